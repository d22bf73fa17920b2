#include <cstdio>
#include <filesystem>

#include "analysis/series/series_file.h"
#include "cli/command.h"
#include "editors/autoedit/auto_edit.h"
#include "support/locale.h"

namespace rc::cli {
namespace {

constexpr const char* kUsageLine = "--ibi FILE [--variation V] [--out FILE]";
constexpr const char* kUsage =
    "--ibi FILE [--variation V] [--out FILE]\n"
    "  --ibi FILE       an IBI series file (IBIFromEKG_*.dat or IBIFromBVP_*.dat), read as an open session\n"
    "  --variation V    allowed variation from the mode of the intervals, in percent (10 to 100; default 20)\n"
    "  --out FILE       where the corrected series is written (default: FILE with \"_autoedit\" before\n"
    "                   its extension); the input is overwritten only when --out names it\n"
    "Prints the number of corrections and of marked stretches, and the interval counts before and after.";

std::filesystem::path defaultOut(const std::filesystem::path& in) {
  std::filesystem::path out = in;
  out.replace_filename(in.stem().string() + "_autoedit" + in.extension().string());
  return out;
}

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  std::string ibi, variationText, outText;
  takeOption(args, "--ibi", ibi);
  const bool hasVariation = takeOption(args, "--variation", variationText);
  takeOption(args, "--out", outText);
  if (ibi.empty() || !args.empty()) return usageError(std::string("usage: auto-edit ") + kUsage);
  double variation = 20.0;
  if (hasVariation) {
    const auto v = parseReal(variationText);
    if (!v || *v < 10.0 || *v > 100.0) return usageError("--variation must be a number from 10 to 100");
    variation = *v;
  }
  IntervalSeries series;
  if (Status st = readIntervalSeries(ibi, true, series); !st) return failure(ibi + ": " + st.message());

  AutoEditInput in;
  in.series = &series;
  in.openSession = true;
  in.variation = variation;
  const AutoEditResult r = autoEditSeries(in, PeriodicSegmentList{});
  switch (r.status) {
    case AutoEditStatus::Empty:
      return failure(ibi + ": the series holds no interval");
    case AutoEditStatus::TooIrregular:
      return failure(ibi + ": the intervals spread over more than 85 bins of 100 ms; nothing was corrected");
    case AutoEditStatus::TooManyMarks:
      return failure(ibi + ": more than 199 stretches would be marked; nothing was corrected");
    case AutoEditStatus::Unchanged:
    case AutoEditStatus::Corrected:
      break;
  }
  IntervalSeries out = r.status == AutoEditStatus::Corrected ? r.corrected : series;
  const std::filesystem::path outPath = outText.empty() ? defaultOut(ibi) : std::filesystem::path(outText);
  if (Status st = writeIntervalSeries(outPath, out, true); !st) return failure(outPath.string() + ": " + st.message());
  std::printf("corrections: %d\nmarks: %d\nintervals: %u -> %u\nwritten: %s\n", r.corrections, r.marksAdded,
              series.count(), out.count(), outPath.string().c_str());
  return std::fflush(stdout) == 0 ? 0 : failure("cannot write the output");
}

const CommandRegistrar reg({"auto-edit", kUsageLine,
                            "corrects an IBI series file automatically (as an open session) and writes the result",
                            run});

}  // namespace
}  // namespace rc::cli
