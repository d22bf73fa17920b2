// Prints the detectors' scores on the real recordings: per annotated EKG
// record sensitivity and positive predictivity (150 ms window), beat counts of
// the other channels, pulse-versus-EKG agreement and breath rates.
// Usage: detect_score [blocks-per-second]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "tests/detect/real_records.h"

using namespace rc::detect;
using namespace rc::detect::testing;

namespace {

void scoreEkg(std::uint32_t blockRate) {
  for (bool advanced : {false, true}) {
    std::printf("EKG %s\n", advanced ? "Advanced" : "Basic");
    for (const RealChannel& ch : ekgChannels()) {
      const auto x = loadChannel(ch.record, ch.channel);
      if (x.empty()) continue;
      const auto det = runChannel(x, ch.rate, kCodeEkg, beatParameters(advanced), blockRate);
      const double minutes = x.size() / ch.rate / 60.0;
      if (!ch.annotated) {
        std::printf("  %-18s %-5s %6zu beats  %.1f /min\n", ch.record, ch.channel, det.size(), det.size() / minutes);
        continue;
      }
      const auto ref = loadBeats(ch.record);
      const auto s = matchEvents(ref, samplesOf(det), std::llround(0.150 * ch.rate));
      double meanOff = 0;
      for (auto o : s.offsets) meanOff += o;
      meanOff = s.offsets.empty() ? 0 : meanOff / s.offsets.size() * 1000.0 / ch.rate;
      std::printf("  %-18s %-5s ref %5zu TP %5lld FN %4lld FP %4lld  Se %.2f%%  +P %.2f%%  offset %.1f ms\n",
                  ch.record, ch.channel, ref.size(), (long long)s.truePositives, (long long)s.falseNegatives,
                  (long long)s.falsePositives, 100 * s.sensitivity(), 100 * s.positivePredictivity(), meanOff);
      if (std::getenv("RC_DETECT_LIST")) {
        auto d = samplesOf(det);
        std::size_t j = 0;
        for (auto r : ref) {
          while (j < d.size() && d[j] < r - 54) std::printf("    FP %.2f s\n", d[j++] / ch.rate);
          if (j < d.size() && std::llabs(d[j] - r) <= 54) ++j;
          else std::printf("    FN %.2f s\n", r / ch.rate);
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t blockRate = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 32;
  scoreEkg(blockRate);
  return 0;
}
