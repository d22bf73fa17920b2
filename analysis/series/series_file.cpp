#include "analysis/series/series_file.h"

#include <cmath>
#include <limits>

#include "support/binary.h"
#include "support/file_io.h"
#include "support/format.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

// Offsets within a 16-byte segment record.
constexpr std::size_t kRecNumber = 0;
constexpr std::size_t kRecOffset = 4;
constexpr std::size_t kRecStart = 8;
constexpr std::size_t kRecCount = 12;

bool finite(float v) { return std::isfinite(v); }

float sanitizedTime(double t) {
  if (!std::isfinite(t) || t < 0.0) return 0.0f;
  return static_cast<float>(t);
}

}  // namespace

const char* seriesFilePrefix(SeriesKind kind) {
  switch (kind) {
    case SeriesKind::IbiFromEkg:
      return "IBIFromEKG_";
    case SeriesKind::IbiFromBvp:
      return "IBIFromBVP_";
    case SeriesKind::RespPeriod:
      return "RespPeriod_";
    case SeriesKind::Rms:
      return "RMS_";
  }
  return "";
}

std::string seriesFileName(SeriesKind kind, std::string_view channelText) {
  return std::string(seriesFilePrefix(kind)) + std::string(channelText) + ".dat";
}

fs::path seriesFilePath(const fs::path& sessionFolder, SeriesKind kind, std::string_view channelText) {
  return sessionFolder / seriesFileName(kind, channelText);
}

std::optional<SeriesKind> seriesKindFromPath(const fs::path& path) {
  const std::string name = path.filename().string();
  auto startsWith = [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; };
  if (startsWith("IBIFromEKG")) return SeriesKind::IbiFromEkg;
  if (startsWith("IBIFromBVP")) return SeriesKind::IbiFromBvp;
  if (startsWith("RespPeriod")) return SeriesKind::RespPeriod;
  if (startsWith("RMS_")) return SeriesKind::Rms;
  return std::nullopt;
}

Result<IntervalSeries> parseIntervalSeries(std::span<const std::uint8_t> bytes, bool openSession) {
  ByteReader r(bytes);
  auto s = r.i32(0);
  if (!s) return Status::error("the file is shorter than its record count");
  if (*s < 0) return Status::error("the file has a negative record count");
  const std::uint64_t records = static_cast<std::uint64_t>(*s);
  if (!r.has(4, records * kSegmentRecordSize))
    return Status::error("the file is shorter than its segment table");

  IntervalSeries series;
  series.segments.reserve(records);
  std::uint64_t total = 0;
  for (std::uint64_t i = 0; i < records; ++i) {
    const std::uint64_t at = 4 + i * kSegmentRecordSize;
    SegmentRecord rec;
    rec.number = *r.i32(at + kRecNumber);
    rec.firstBeatOffset = *r.f32(at + kRecOffset);
    rec.segmentStart = *r.f32(at + kRecStart);
    rec.intervalCount = *r.i32(at + kRecCount);
    if (rec.intervalCount < 0) return Status::error("the file has a negative interval count");
    if (!finite(rec.firstBeatOffset) || !finite(rec.segmentStart))
      return Status::error("the file has a segment time that is not a number");
    if (std::fabs(rec.firstBeatOffset) > kMaxSegmentTimeS || std::fabs(rec.segmentStart) > kMaxSegmentTimeS)
      return Status::error(strprintf("segment %llu has a time beyond %.0f s",
                                     static_cast<unsigned long long>(i + 1), kMaxSegmentTimeS));
    total += static_cast<std::uint64_t>(rec.intervalCount);
    series.segments.push_back(rec);
  }
  const std::uint64_t valuesAt = 4 + records * kSegmentRecordSize;
  if (total > std::numeric_limits<std::int32_t>::max() || !r.has(valuesAt, total * 4))
    return Status::error("the file is shorter than its intervals");
  series.values.resize(total);
  r.f32Array(valuesAt, series.values.data(), total);
  for (std::size_t i = 0; i < series.values.size(); ++i) {
    const float v = series.values[i];
    if (!finite(v)) return Status::error(strprintf("interval %zu is not a number", i + 1));
    if (!(v > 0.0f))
      return Status::error(strprintf("interval %zu is not positive (%.9g ms)", i + 1, static_cast<double>(v)));
    if (v > kMaxIntervalMs)
      return Status::error(strprintf("interval %zu is longer than %.0f s (%.9g ms)", i + 1, kMaxIntervalMs / 1000.0,
                                     static_cast<double>(v)));
  }

  if (openSession) {
    if (series.segments.empty()) {
      series.segments.push_back(SegmentRecord{});
    } else {
      series.segments.resize(1);
      series.segments[0].intervalCount = static_cast<std::int32_t>(total);
    }
    series.firstEventTime = sanitizedTime(series.segments[0].firstBeatOffset);
  } else if (!series.segments.empty()) {
    const SegmentRecord& first = series.segments[0];
    series.firstEventTime =
        sanitizedTime(static_cast<double>(first.segmentStart) + static_cast<double>(first.firstBeatOffset));
  }
  return series;
}

std::vector<std::uint8_t> encodeIntervalSeries(const IntervalSeries& series) {
  ByteWriter w;
  w.i32(static_cast<std::int32_t>(series.segments.size()));
  for (const SegmentRecord& rec : series.segments) {
    w.i32(rec.number);
    w.f32(rec.firstBeatOffset);
    w.f32(rec.segmentStart);
    w.i32(rec.intervalCount);
  }
  w.f32Array(series.values.data(), series.values.size());
  return w.take();
}

Status prepareForWrite(IntervalSeries& series, bool openSession) {
  if (series.values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return Status::error("the series has too many intervals for its file");
  if (series.segments.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return Status::error("the series has too many segments for its file");
  if (openSession) {
    if (series.segments.empty()) series.segments.push_back(SegmentRecord{});
    series.segments.resize(1);
    series.segments[0].intervalCount = static_cast<std::int32_t>(series.values.size());
    series.segments[0].firstBeatOffset = series.firstEventTime;
    return Status::ok();
  }
  std::int64_t total = 0;
  for (const SegmentRecord& rec : series.segments) {
    if (rec.intervalCount < 0) return Status::error("a segment has a negative interval count");
    total += rec.intervalCount;
  }
  if (total != static_cast<std::int64_t>(series.values.size()))
    return Status::error("the segment counts do not match the number of intervals");
  return Status::ok();
}

Status readIntervalSeries(const fs::path& path, bool openSession, IntervalSeries& series) {
  auto bytes = readWholeFile(path);
  if (!bytes) return bytes.status();
  auto parsed = parseIntervalSeries(*bytes, openSession);
  if (!parsed) return Status::error(path.string() + ": " + parsed.status().message());
  series = std::move(*parsed);
  return Status::ok();
}

Status writeIntervalSeries(const fs::path& path, IntervalSeries& series, bool openSession) {
  Status st = prepareForWrite(series, openSession);
  if (!st) return Status::error(path.string() + ": " + st.message());
  return writeFileAtomic(path, encodeIntervalSeries(series));
}

Message fileNotCreatedMessage(const fs::path& path) {
  return MessageBuilder().id(kFileNotCreatedId).text(" ").text(path.string()).build();
}

bool saveIntervalSeries(const fs::path& path, IntervalSeries& series, bool openSession, UserInterface& ui) {
  const Status st = writeIntervalSeries(path, series, openSession);
  if (st) return true;
  ui.showMessage(fileNotWrittenMessage(path, st), Icon::Warning);
  return false;
}

Result<RmsSeries> parseRmsSeries(std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  auto m = r.i32(0);
  if (!m) return Status::error("the file is shorter than its value count");
  if (*m < 0) return Status::error("the file has a negative value count");
  const std::uint64_t count = static_cast<std::uint64_t>(*m);
  if (!r.has(4, count * 4)) return Status::error("the file is shorter than its values");
  RmsSeries series;
  series.values.resize(count);
  r.f32Array(4, series.values.data(), count);
  return series;
}

std::vector<std::uint8_t> encodeRmsSeries(const RmsSeries& series) {
  ByteWriter w;
  w.i32(static_cast<std::int32_t>(series.values.size()));
  w.f32Array(series.values.data(), series.values.size());
  return w.take();
}

Status readRmsSeries(const fs::path& path, RmsSeries& series) {
  auto bytes = readWholeFile(path, kMaxBulkFileBytes);
  if (!bytes) return bytes.status();
  auto parsed = parseRmsSeries(*bytes);
  if (!parsed) return Status::error(path.string() + ": " + parsed.status().message());
  series = std::move(*parsed);
  return Status::ok();
}

Status writeRmsSeries(const fs::path& path, const RmsSeries& series) {
  if (series.values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return Status::error(path.string() + ": the series has too many values for its file");
  return writeFileAtomic(path, encodeRmsSeries(series));
}

bool saveRmsSeries(const fs::path& path, const RmsSeries& series, UserInterface& ui) {
  const Status st = writeRmsSeries(path, series);
  if (st) return true;
  ui.showMessage(fileNotWrittenMessage(path, st), Icon::Warning);
  return false;
}

}  // namespace rc
