#include <cstdio>

#include "analysis/series/series_file.h"
#include "cli/command.h"
#include "support/file_io.h"

namespace rc::cli {
namespace {

int run(const std::vector<std::string>& args) {
  if (args.size() != 1) return usageError("usage: ibi-dump FILE");
  const bool rmsFile = seriesKindFromPath(args[0]) == SeriesKind::Rms;
  auto bytes = readWholeFile(args[0], rmsFile ? kMaxBulkFileBytes : kMaxSeriesFileBytes);
  if (!bytes) return failure(bytes.status().message());
  if (rmsFile) {
    auto rms = parseRmsSeries(*bytes);
    if (!rms) return failure(args[0] + ": " + rms.status().message());
    std::printf("# values: %zu\n", rms->values.size());
    for (float v : rms->values) std::printf("%.9g\n", static_cast<double>(v));
    return std::fflush(stdout) == 0 ? 0 : failure("cannot write the output");
  }
  auto series = parseIntervalSeries(*bytes, false);
  if (!series) return failure(args[0] + ": " + series.status().message());
  std::printf("# segments: %zu (number,first_beat_offset_s,segment_start_s,interval_count)\n",
              series->segments.size());
  for (const SegmentRecord& r : series->segments) {
    std::printf("%d,%.9g,%.9g,%d\n", r.number, static_cast<double>(r.firstBeatOffset),
                static_cast<double>(r.segmentStart), r.intervalCount);
  }
  std::printf("# intervals: %zu (ms)\n", series->values.size());
  for (float v : series->values) std::printf("%.9g\n", static_cast<double>(v));
  return std::fflush(stdout) == 0 ? 0 : failure("cannot write the output");
}

const CommandRegistrar reg({"ibi-dump", "FILE",
                            "prints the segment records and values of an IBI, respiration period or RMS file",
                            run,
                            "FILE is read as an RMS series when its name starts with RMS_, else as an IBI or\n"
                            "respiration period series (segment table, then intervals in ms). A file that\n"
                            "cannot be used is named with the reason (short file, count beyond the file, an\n"
                            "interval that is not a number, not positive or longer than 60 s ...) and the\n"
                            "exit status is 1.\n"});

}  // namespace
}  // namespace rc::cli
