// Throughput of the detectors through the program's block-by-block calls:
// samples per second on one core (target: 30 million, i.e. one hour of EKG
// at 2048 Hz in under 0.25 s; at 256 Hz the EKG bands take every sample, so
// fewer samples a second, a day still in a few seconds).
#include <benchmark/benchmark.h>

#include <vector>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "tests/detect/synthetic.h"

namespace {

using namespace rc::detect;

const std::vector<float>& signal(std::int32_t code) {
  static const double rate = 2048;
  static const auto ekg = testing::makeEkg(rate, 120, 0.8, 7, {.noise = 0.05, .wander = 0.3}, 1).samples;
  static const auto bvp = testing::makePulse(rate, 120, 0.8, {.noise = 0.02, .wander = 0.3}, 1).samples;
  static const auto resp = testing::makeBreathing(rate, 120, 12, {.noise = 0.02, .wander = 0.3}, 1).samples;
  return code == kCodeEkg ? ekg : code == kCodeBvp ? bvp : resp;
}

// An EKG at 256 Hz, where the bands take every sample and pacing spikes are
// cut by their shape (ten minutes, so that a run is as long as at 2048 Hz).
const std::vector<float>& slowEkg() {
  static const auto ekg = testing::makeEkg(256, 600, 0.8, 7, {.noise = 0.05, .wander = 0.3}, 1).samples;
  return ekg;
}

// One run of the whole channel per iteration, in blocks of 1/32 s.
void runDetector(benchmark::State& state, std::int32_t code, const ParameterBlock& params,
                 const std::vector<float>& x, double rate) {
  const std::size_t block = static_cast<std::size_t>(rate / 32);
  std::vector<float> out(block);
  for (auto _ : state) {
    SignalLibrary lib;
    lib.start(32);
    DetectorObject* handle = nullptr;
    int found = 0;
    for (std::size_t first = 0; first + block <= x.size(); first += block) {
      lib.detect(code, x.data() + first, 0, out.data(), block, 0, params, rate, &handle);
      for (float v : out) found += v < kDetectionLimit;
    }
    release(handle);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(x.size()));
}

void runDetector(benchmark::State& state, std::int32_t code, const ParameterBlock& params) {
  runDetector(state, code, params, signal(code), 2048.0);
}

void BM_EkgBasic(benchmark::State& s) { runDetector(s, kCodeEkg, beatParameters(false)); }
void BM_EkgAdvanced(benchmark::State& s) { runDetector(s, kCodeEkg, beatParameters(true)); }
void BM_EkgBasic256Hz(benchmark::State& s) {
  runDetector(s, kCodeEkg, beatParameters(false), slowEkg(), 256.0);
}
void BM_EkgAdvanced256Hz(benchmark::State& s) {
  runDetector(s, kCodeEkg, beatParameters(true), slowEkg(), 256.0);
}
void BM_BvpBasic(benchmark::State& s) { runDetector(s, kCodeBvp, beatParameters(false)); }
void BM_BvpAdvanced(benchmark::State& s) { runDetector(s, kCodeBvp, beatParameters(true)); }
void BM_RespFast(benchmark::State& s) { runDetector(s, kCodeResp, respParameters(false)); }
void BM_RespSlow(benchmark::State& s) { runDetector(s, kCodeResp, respParameters(true)); }

BENCHMARK(BM_EkgBasic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EkgAdvanced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EkgBasic256Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EkgAdvanced256Hz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvpBasic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvpAdvanced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RespFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RespSlow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
