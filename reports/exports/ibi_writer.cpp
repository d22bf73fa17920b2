#include "reports/exports/ibi_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "analysis/epochs/epochs.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {
namespace {

// Start time (s) of the first beat of segment record s: its start plus its
// first-beat offset.
double segmentBeatTime(const IntervalSeries& series, std::size_t s) {
  if (s >= series.segments.size()) return 0.0;
  return static_cast<double>(series.segments[s].segmentStart) +
         static_cast<double>(series.segments[s].firstBeatOffset);
}

// "%.<precision>f" with the decimal separator (to_chars gives the same
// digits as printf's correctly rounded conversion).
void appendNumber(std::string& out, int precision, double v, char decimal) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
  if (r.ec != std::errc()) return;
  const std::size_t start = out.size();
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
  if (decimal != '.')
    for (std::size_t i = start; i < out.size(); ++i)
      if (out[i] == '.') out[i] = decimal;
}

// Writes values [first, end) with the running time starting at t; returns
// false when a line could not be handed over (never: writes fail at close).
void writeRun(ExportFile& file, const std::vector<float>& values, std::size_t first, std::size_t end, double t,
              const IbiLineFormat& f) {
  std::string chunk;
  chunk.reserve(1 << 16);
  for (std::size_t i = first; i < end && i < values.size(); ++i) {
    appendIbiLine(chunk, t, values[i], f);
    t += static_cast<double>(values[i]) / 1000.0;
    if (chunk.size() > 60000) {
      file.WriteExportLine(std::string_view(chunk));
      chunk.clear();
    }
  }
  if (!chunk.empty()) file.WriteExportLine(std::string_view(chunk));
}

}  // namespace

std::int64_t roundIbi(float value) {
  const double v = value;
  if (!std::isfinite(v) || std::fabs(v) > 9.0e18) return 0;
  const std::int64_t n = static_cast<std::int64_t>(v);  // toward zero
  return v - static_cast<double>(n) >= 0.5 ? n + 1 : n;
}

void appendIbiLine(std::string& out, double time, float value, const IbiLineFormat& f) {
  if (f.timeColumn) {
    appendNumber(out, 6, time, f.decimal);
    out += f.list;
  }
  if (f.integerIbi) {
    out += std::to_string(roundIbi(value));
  } else {
    appendNumber(out, 3, static_cast<double>(value), f.decimal);
  }
  out += '\n';
}

std::string ibiCaptionLine(int signal, const IbiLineFormat& f) {
  std::string line;
  if (f.timeColumn) line += str(156) + f.list;
  line += str(signal == 1 ? 120 : 119);
  line += '\n';
  return line;
}

std::filesystem::path numberedFile(const std::filesystem::path& base, int number) {
  return std::filesystem::path(base.string() + strprintf("%03d", number) + ".txt");
}

void writeIbiSingleFile(ExportFile& file, const IbiExportInput& in, bool header, const IbiLineFormat& f) {
  if (header) file.WriteExportLine(std::string_view(ibiCaptionLine(in.signal, f)));
  if (!in.series) return;
  const IntervalSeries& series = *in.series;
  if (in.openSession) {
    // An open session ends with the interval that completes its last whole epoch.
    std::size_t end = series.values.size();
    const std::int64_t epochs = openEpochCount(series.values, in.epochSeconds);
    if (epochs > 0) {
      const std::vector<IntervalSpan> spans = openEpochSpans(series.values, epochs, in.epochSeconds);
      if (!spans.empty()) end = spans.back().first + spans.back().count;
    }
    writeRun(file, series.values, 0, end, segmentBeatTime(series, 0), f);
    return;
  }
  // Each segment record's intervals follow those of the records before it;
  // the walk is bounded by the table and by the values held.
  const SegmentIndex index = segmentIndex(series, series.segments.size());
  for (std::size_t s = 0; s < index.size(); ++s) {
    const IntervalSpan span = index.span(s);
    writeRun(file, series.values, span.first, span.first + span.count, segmentBeatTime(series, s), f);
  }
}

bool writeIbiNumberedFiles(const std::filesystem::path& base, const std::string& headerText,
                           const IbiExportInput& in, bool header, const IbiLineFormat& f, UserInterface& ui,
                           std::int32_t codePage) {
  if (!in.series) return true;
  const IntervalSeries& series = *in.series;
  struct Part {
    std::size_t first, end;
    double time;
  };
  std::vector<Part> parts;
  if (in.openSession) {
    // File k holds exactly the intervals of epoch k on the grid from the
    // first beat; an interval that straddles a boundary ends one file and
    // opens the next.
    const std::int64_t epochs = openEpochCount(series.values, in.epochSeconds);
    const double t0 = segmentBeatTime(series, 0);
    for (const IntervalSpan& s : openEpochSpans(series.values, epochs, in.epochSeconds))
      parts.push_back({s.first, s.first + s.count, t0 + s.firstStart});
  } else {
    const std::size_t n = std::min(in.recordedActivities, series.segments.size());
    const SegmentIndex index = segmentIndex(series, n);
    for (std::size_t k = 0; k < n; ++k) {
      const IntervalSpan s = index.span(k);
      parts.push_back({s.first, s.first + s.count, segmentBeatTime(series, k)});
    }
  }
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const std::filesystem::path path = numberedFile(base, static_cast<int>(k + 1));
    ExportFile file(codePage);
    if (!file.open(path)) {
      showCannotCreate(ui, path);
      return false;
    }
    file.WriteByteOrderMark();
    if (header) {
      file.WriteExportLine(std::string_view(headerText));
      file.WriteExportLine(std::string_view(ibiCaptionLine(in.signal, f)));
    }
    writeRun(file, series.values, parts[k].first, parts[k].end, parts[k].time, f);
    if (!file.close()) {
      showCannotCreate(ui, path);
      return false;
    }
  }
  return true;
}

}  // namespace rc
