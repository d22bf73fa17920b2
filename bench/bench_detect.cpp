// Throughput of the detectors through the program's block-by-block calls:
// samples per second on one core (target: 30 million, i.e. one hour of EKG
// at 2048 Hz in under 0.25 s).
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

// One run of the whole two-minute channel per iteration, 64-sample blocks
// (32 blocks per second).
void runDetector(benchmark::State& state, std::int32_t code, const ParameterBlock& params) {
  const auto& x = signal(code);
  constexpr std::size_t kBlock = 64;
  std::vector<float> out(kBlock);
  for (auto _ : state) {
    SignalLibrary lib;
    lib.start(32);
    DetectorObject* handle = nullptr;
    int found = 0;
    for (std::size_t first = 0; first + kBlock <= x.size(); first += kBlock) {
      lib.detect(code, x.data() + first, 0, out.data(), kBlock, 0, params, 2048.0, &handle);
      for (float v : out) found += v < kDetectionLimit;
    }
    release(handle);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(x.size()));
}

void BM_EkgBasic(benchmark::State& s) { runDetector(s, kCodeEkg, beatParameters(false)); }
void BM_EkgAdvanced(benchmark::State& s) { runDetector(s, kCodeEkg, beatParameters(true)); }
void BM_BvpBasic(benchmark::State& s) { runDetector(s, kCodeBvp, beatParameters(false)); }
void BM_BvpAdvanced(benchmark::State& s) { runDetector(s, kCodeBvp, beatParameters(true)); }
void BM_RespFast(benchmark::State& s) { runDetector(s, kCodeResp, respParameters(false)); }
void BM_RespSlow(benchmark::State& s) { runDetector(s, kCodeResp, respParameters(true)); }

BENCHMARK(BM_EkgBasic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EkgAdvanced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvpBasic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvpAdvanced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RespFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RespSlow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
