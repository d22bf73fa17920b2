// Prints the detectors' scores on the real recordings: per annotated EKG
// record sensitivity and positive predictivity (150 ms window), beat counts of
// the other channels, pulse-versus-EKG agreement and breath rates.
// Usage: detect_score [blocks-per-second]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "tests/detect/real_records.h"

using namespace rc::detect;
using namespace rc::detect::testing;

namespace {

void scoreEkg(std::uint32_t blockRate) {
  for (bool advanced : {false, true}) {
    std::printf("EKG %s\n", advanced ? "Advanced" : "Basic");
    std::vector<RealChannel> channels = ekgChannels();
    channels.insert(channels.end(), secondLeads().begin(), secondLeads().end());
    for (const RealChannel& ch : channels) {
      const auto x = loadChannel(ch.record, ch.channel);
      if (x.empty()) continue;
      const auto det = runChannel(x, ch.rate, kCodeEkg, beatParameters(advanced), blockRate);
      const double minutes = x.size() / ch.rate / 60.0;
      if (!ch.annotated) {
        std::printf("  %-18s %-5s %6zu beats  %.1f /min\n", ch.record, ch.channel, det.size(),
                    det.size() / minutes);
        continue;
      }
      const auto ref = loadBeats(ch.record);
      const auto s = matchEvents(ref, samplesOf(det), std::llround(0.150 * ch.rate));
      double meanOff = 0;
      for (auto o : s.offsets) meanOff += o;
      meanOff = s.offsets.empty() ? 0 : meanOff / s.offsets.size() * 1000.0 / ch.rate;
      std::printf("  %-18s %-5s ref %5zu TP %5lld FN %4lld FP %4lld  Se %.2f%%  +P %.2f%%  offset %.1f ms\n",
                  ch.record, ch.channel, ref.size(), (long long)s.truePositives, (long long)s.falseNegatives,
                  (long long)s.falsePositives, 100 * s.sensitivity(), 100 * s.positivePredictivity(),
                  meanOff);
      if (std::getenv("RC_DETECT_LIST")) {
        auto d = samplesOf(det);
        std::size_t j = 0;
        for (auto r : ref) {
          while (j < d.size() && d[j] < r - 54) std::printf("    FP %.2f s\n", d[j++] / ch.rate);
          if (j < d.size() && std::llabs(d[j] - r) <= 54)
            ++j;
          else
            std::printf("    FN %.2f s\n", r / ch.rate);
        }
      }
    }
  }
}

void scoreBvp(std::uint32_t blockRate) {
  for (bool advanced : {false, true}) {
    std::printf("BVP %s (reference: EKG Advanced)\n", advanced ? "Advanced" : "Basic");
    for (const PulseChannel& p : pulseChannels()) {
      const PulseRun r = runPulseChannel(p, advanced, blockRate);
      if (!r.loaded) continue;
      const PulseScore& s = r.score;
      std::printf(
          "  %-18s %-5s EKG %4zu pulses %4zu transit %3lld ms  clean: beats %4zu found %.2f%%  extra %.2f%%  "
          "interval RMS %.1f ms (%zu)  unusual QRS %zu\n",
          p.record, p.pulse, r.ekgBeats, r.pulses, (long long)s.transitMs, s.beats,
          100.0 * s.found / std::max<std::size_t>(1, s.beats),
          100.0 * s.extra / std::max<std::size_t>(1, s.beats), s.intervalRmsMs, s.intervals, r.unusual);
    }
  }
}

void respRates(std::uint32_t blockRate) {
  const RealChannel resp[] = {{"mimicdb_03700181", "RESP", 125.0, false},
                              {"biosppy_resp", "Resp", 1000.0, false},
                              {"icu_mixedsignals", "Resp", 62.4725, false}};
  for (bool slow : {false, true}) {
    std::printf("Respiration %s\n", slow ? "Slow" : "Fast");
    for (const RealChannel& ch : resp) {
      const auto x = loadChannel(ch.record, ch.channel);
      if (x.empty()) continue;
      const auto det = runChannel(x, ch.rate, kCodeResp, respParameters(slow), blockRate);
      const double minutes = x.size() / ch.rate / 60.0;
      std::printf("  %-18s %-5s %4zu breaths  %.1f /min\n", ch.record, ch.channel, det.size(),
                  det.size() / minutes);
      if (const char* dir = std::getenv("RC_DETECT_DUMP")) {
        std::string path = std::string(dir) + "/" + ch.record + (slow ? "_slow" : "_fast") + ".txt";
        if (FILE* f = std::fopen(path.c_str(), "w")) {
          for (const auto& d : det) std::fprintf(f, "%lld\n", (long long)d.sample);
          std::fclose(f);
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint32_t blockRate = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 32;
  scoreEkg(blockRate);
  scoreBvp(blockRate);
  respRates(blockRate);
  return 0;
}
