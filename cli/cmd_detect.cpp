#include <unistd.h>

#include <cstdio>

#include "analysis/series/series_gen.h"
#include "cli/command.h"
#include "support/binary.h"
#include "support/file_io.h"
#include "support/locale.h"

namespace rc::cli {
namespace {

constexpr const char* kUsage =
    "--signal ekg|bvp|resp [--type basic|advanced|fast|slow] --rate HZ [--block-rate R] [--intervals] FILE";
constexpr std::uint32_t kDefaultBlockRate = 16;

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  std::string signal, type, rateText, blockText;
  if (!takeOption(args, "--signal", signal)) return usageError(std::string("usage: detect ") + kUsage);
  SeriesKind kind;
  if (signal == "ekg") {
    kind = SeriesKind::IbiFromEkg;
  } else if (signal == "bvp") {
    kind = SeriesKind::IbiFromBvp;
  } else if (signal == "resp") {
    kind = SeriesKind::RespPeriod;
  } else {
    return usageError("--signal takes ekg, bvp or resp");
  }
  DetectionSettings settings;
  if (takeOption(args, "--type", type)) {
    const bool resp = kind == SeriesKind::RespPeriod;
    std::uint8_t value;
    if (!resp && (type == "basic" || type == "advanced")) {
      value = type == "advanced" ? 1 : 0;
    } else if (resp && (type == "fast" || type == "slow")) {
      value = type == "slow" ? 1 : 0;
    } else {
      return usageError(resp ? "--type of resp is fast or slow"
                             : "--type of ekg and bvp is basic or advanced");
    }
    settings.ekgType = settings.bvpType = settings.respOption = value;
  }
  if (!takeOption(args, "--rate", rateText)) return usageError("--rate HZ is required");
  const auto rate = parseReal(rateText);
  if (!rate || !(*rate > 0.0) || *rate > 1.0e6) return usageError("--rate takes a sample rate in Hz above 0");
  std::uint32_t blockRate = kDefaultBlockRate;
  if (takeOption(args, "--block-rate", blockText)) {
    const auto r = parseInteger(blockText);
    if (!r || *r < 1 || *r > 100000)
      return usageError("--block-rate takes a whole number of blocks per second");
    blockRate = static_cast<std::uint32_t>(*r);
  }
  const bool intervals = takeFlag(args, "--intervals");
  if (args.size() != 1) return usageError(std::string("usage: detect ") + kUsage);

  auto bytes = readWholeFile(args[0], kMaxBulkFileBytes);
  if (!bytes) return failure(bytes.status().message());
  if (bytes->size() < 4) return fileFailure(args[0], "the file holds no samples (4 bytes each)");
  std::vector<float> samples(bytes->size() / 4);
  ByteReader(*bytes).f32Array(0, samples.data(), samples.size());
  if (bytes->size() % 4 != 0)
    std::fprintf(stderr, "rhythmcraft-cli: %zu trailing bytes ignored\n", bytes->size() % 4);

  SessionTiming timing;
  timing.blockRate = blockRate;
  timing.sessionLength = static_cast<float>(static_cast<double>(samples.size()) / *rate);
  const bool tty = ::isatty(2);
  ProgressFn progress;
  if (tty) {
    progress = [](std::size_t done, std::size_t total) {
      std::fprintf(stderr, "\rdetecting: %3d%%", total ? static_cast<int>(100.0 * done / total) : 100);
    };
  }
  auto library = makeSignalLibrary();
  auto pass = collectDetections(kind, {samples, *rate}, timing, settings, *library, progress);
  if (tty) std::fprintf(stderr, "\r               \r");
  if (!pass) return failure(args[0] + ": " + pass.status().message());

  if (intervals) {
    const IntervalSeries series = buildIntervals(kind, *pass, *rate, settings);
    for (float v : series.values) std::printf("%.9g\n", static_cast<double>(v));
  } else {
    for (std::size_t i = 0; i < pass->slots.size(); ++i) {
      const float v = pass->slots[i];
      if (v > 0.0f && v < detect::kDetectionLimit) std::printf("%zu,%.9g\n", i, static_cast<double>(v));
    }
  }
  return std::fflush(stdout) == 0 ? 0 : failure("cannot write the output");
}

constexpr const char* kHelp =
    "options:\n"
    "  --signal ekg|bvp|resp   the detector: beats of an EKG or a pulse (BVP) channel, or breaths\n"
    "  --type T          ekg and bvp: basic (default) or advanced; resp: fast (default) or slow\n"
    "  --rate HZ         the samples' rate in Hz (above 0)\n"
    "  --block-rate R    blocks per second of the recording the samples come from (default 16)\n"
    "  --intervals       print the interval series in ms, one per line, instead of the detections\n"
    "  FILE              raw little-endian float32 samples (a regular file of at most 2 GiB)\n"
    "\n"
    "exit status: 0 on success, 1 when the file cannot be read or holds no samples, 2 for a\n"
    "usage error.\n";

const CommandRegistrar reg({"detect", kUsage,
                            "runs the detector over raw little-endian float32 samples and prints "
                            "\"sample,period_ms\" per detection, or the interval series with --intervals",
                            run, kHelp});

}  // namespace
}  // namespace rc::cli
