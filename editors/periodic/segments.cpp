#include "editors/periodic/segments.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "analysis/series/series_file.h"
#include "support/binary.h"
#include "support/file_io.h"

namespace rc {

Message marksFullMessage(int detectionType) {
  return MessageBuilder().id(kMarksFullId).id(irregularMessageId(detectionType)).build();
}

int irregularMessageId(int detectionType) { return detectionType == 1 ? kIrregularAdvancedId : kIrregularBasicId; }

std::size_t PeriodicSegmentList::countFor(std::int32_t source) const {
  return static_cast<std::size_t>(
      std::count_if(segments_.begin(), segments_.end(), [&](const auto& s) { return s.source == source; }));
}

std::vector<TPeriodicSegment> PeriodicSegmentList::segmentsOf(std::int32_t source) const {
  std::vector<TPeriodicSegment> out;
  for (const auto& s : segments_)
    if (s.source == source) out.push_back(s);
  return out;
}

OfferResult PeriodicSegmentList::offer(std::int32_t source, std::int32_t operation, double start, double end,
                                       double sessionDuration) {
  if (full()) return OfferResult::Full;
  if (!std::isfinite(start) || !std::isfinite(end)) return OfferResult::Dropped;
  if (start > end) std::swap(start, end);
  if (start > sessionDuration || end < 0.0) return OfferResult::Dropped;
  if (end > sessionDuration) end = sessionDuration;

  std::size_t lastOfSource = segments_.size();
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    TPeriodicSegment& seg = segments_[i];
    if (seg.source != source) continue;
    lastOfSource = i;
    if (seg.start <= start && end <= seg.end) return OfferResult::Contained;
    if (end < seg.start - kSegmentJoinGap) {
      segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(i),
                       TPeriodicSegment{source, operation, static_cast<float>(start), static_cast<float>(end)});
      return OfferResult::Inserted;
    }
    if (start <= seg.end + kSegmentJoinGap) {
      seg.start = std::min(seg.start, static_cast<float>(start));
      seg.end = std::max(seg.end, static_cast<float>(end));
      for (std::size_t j = i + 1; j < segments_.size();) {
        const TPeriodicSegment& next = segments_[j];
        if (next.source != source) {
          ++j;
          continue;
        }
        if (next.start > seg.end + kSegmentJoinGap) break;
        const float nextEnd = next.end;
        segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(j));
        segments_[i].end = std::max(segments_[i].end, nextEnd);
      }
      return OfferResult::Merged;
    }
  }
  const TPeriodicSegment added{source, operation, static_cast<float>(start), static_cast<float>(end)};
  if (lastOfSource == segments_.size())
    segments_.push_back(added);
  else
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(lastOfSource) + 1, added);
  return OfferResult::Inserted;
}

namespace {
bool sane(const TPeriodicSegment& s) { return std::isfinite(s.start) && std::isfinite(s.end) && s.start <= s.end; }
}  // namespace

void PeriodicSegmentList::assign(std::vector<TPeriodicSegment> records) {
  segments_.clear();
  for (const auto& r : records) {
    if (segments_.size() >= kMaxPeriodicSegments) break;
    if (sane(r)) segments_.push_back(r);
  }
}

void PeriodicSegmentList::removeAt(std::size_t index) {
  if (index < segments_.size()) segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
}

void PeriodicSegmentList::removeSource(std::int32_t source) {
  std::erase_if(segments_, [&](const auto& s) { return s.source == source; });
}

int PeriodicSegmentList::findAt(std::int32_t source, double t) const {
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const auto& s = segments_[i];
    if (s.source == source && s.start <= t && t <= s.end) return static_cast<int>(i);
  }
  return -1;
}

std::vector<TPeriodicSegment> parsePeriodicSegments(std::span<const std::uint8_t> bytes) {
  std::vector<TPeriodicSegment> out;
  ByteReader r(bytes);
  const auto n = r.i32(0);
  if (!n || *n <= 0) return out;
  const std::size_t held = bytes.size() >= 4 ? (bytes.size() - 4) / kPeriodicSegmentRecordSize : 0;
  const std::size_t count = std::min({static_cast<std::size_t>(*n), kMaxPeriodicSegments, held});
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint64_t at = 4 + k * kPeriodicSegmentRecordSize;
    TPeriodicSegment s{*r.i32(at), *r.i32(at + 4), *r.f32(at + 8), *r.f32(at + 12)};
    if (sane(s)) out.push_back(s);
  }
  return out;
}

std::vector<std::uint8_t> encodePeriodicSegments(std::span<const TPeriodicSegment> segments) {
  ByteWriter w;
  w.i32(static_cast<std::int32_t>(segments.size()));
  for (const auto& s : segments) {
    w.i32(s.source);
    w.i32(s.operation);
    w.f32(s.start);
    w.f32(s.end);
  }
  return w.take();
}

std::filesystem::path periodicSegmentsPath(const std::filesystem::path& sessionFolder) {
  return sessionFolder / kPeriodicSegmentsFileName;
}

Status readPeriodicSegments(const std::filesystem::path& file, PeriodicSegmentList& list) {
  list.clear();
  auto bytes = readWholeFile(file);
  if (!bytes) return bytes.status();
  list.assign(parsePeriodicSegments(*bytes));
  return Status::ok();
}

Status writePeriodicSegments(const std::filesystem::path& file, const PeriodicSegmentList& list) {
  return writeFileAtomic(file, encodePeriodicSegments(list.segments()));
}

bool savePeriodicSegments(const std::filesystem::path& file, const PeriodicSegmentList& list, UserInterface& ui) {
  if (writePeriodicSegments(file, list)) return true;
  ui.showMessage(fileNotCreatedMessage(file), Icon::Warning);
  return false;
}

bool deletePeriodicSegments(const std::filesystem::path& file, UserInterface& ui) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return true;
  if (std::filesystem::remove(file, ec)) return true;
  ui.showMessage(fileNotCreatedMessage(file), Icon::Warning);
  return false;
}

}  // namespace rc
