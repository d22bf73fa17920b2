// Speed of Recompute at 60-second epochs with both IBI sources and every
// signal: a synthetic day-long open session (about 100,000 intervals) and
// the demo's two-hour open session (made in a temporary folder on first use).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis_load.h"
#include "bench/bench_demo.h"
#include "demo/demo_root.h"

namespace {

namespace fs = std::filesystem;

rc::IntervalSeries series(std::size_t n, double mean, double spread, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, spread);
  rc::IntervalSeries s;
  s.values.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    s.values[i] = static_cast<float>(mean + 40.0 * std::sin(i * 0.25) + noise(gen));
  s.segments = {{1, 0.5f, 0.0f, static_cast<std::int32_t>(n)}};
  s.firstEventTime = 0.5f;
  return s;
}

std::vector<float> channel(double seconds, double rate, double level, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, level * 0.05);
  std::vector<float> v(static_cast<std::size_t>(seconds * rate));
  for (float& x : v) x = static_cast<float>(level + noise(gen));
  return v;
}

struct DaySession {
  rc::IntervalSeries ekg = series(100000, 864.0, 30.0, 1);
  rc::IntervalSeries bvp = series(100000, 864.0, 32.0, 2);
  rc::IntervalSeries resp = series(21600, 4000.0, 300.0, 3);
  std::vector<float> sc1 = channel(86400, 32, 5.0, 4), sc2 = channel(86400, 32, 3.0, 5);
  std::vector<float> t1 = channel(86400, 32, 31.0, 6), t2 = channel(86400, 32, 30.0, 7);
  std::vector<float> emg = channel(86400, 64, 8.0, 8);
  rc::RmsSeries rms{channel(86400, 64, 8.0, 9)};

  rc::EpochInputs inputs() const {
    rc::EpochInputs in;
    in.ekg = &ekg;
    in.bvp = &bvp;
    in.resp = &resp;
    in.channels = {{5, 4, sc1, 32.0, nullptr, 0.0}, {6, 5, sc2, 32.0, nullptr, 0.0},
                   {7, 6, t1, 32.0, nullptr, 0.0},  {8, 7, t2, 32.0, nullptr, 0.0},
                   {9, 8, emg, 64.0, nullptr, 0.0}, {10, 9, emg, 2048.0, &rms, 64.0}};
    in.hrv.nnThresholdMs = 50;
    in.resolutions = {1.0, 1.0, 0.5, 0.1, 0.1, 0.5};
    return in;
  }
};

void BM_RecomputeOpenDay(benchmark::State& state) {
  static const DaySession day;
  const rc::EpochInputs in = day.inputs();
  rc::SilentUi ui;
  for (auto _ : state) {
    rc::EpochResults out;
    if (rc::recomputeEpochs(in, out, ui) != rc::kRecomputeOk) state.SkipWithError("no epochs");
    benchmark::DoNotOptimize(out.hrvRows.data());
  }
  state.counters["epochs"] = 1440;
}
BENCHMARK(BM_RecomputeOpenDay)->Unit(benchmark::kMillisecond);

// The same day with the two IBI sources and respiration only (no raw channels).
void BM_RecomputeOpenDayIntervalsOnly(benchmark::State& state) {
  static const DaySession day;
  rc::EpochInputs in = day.inputs();
  in.channels.clear();
  rc::SilentUi ui;
  for (auto _ : state) {
    rc::EpochResults out;
    if (rc::recomputeEpochs(in, out, ui) != rc::kRecomputeOk) state.SkipWithError("no epochs");
    benchmark::DoNotOptimize(out.hrvRows.data());
  }
}
BENCHMARK(BM_RecomputeOpenDayIntervalsOnly)->Unit(benchmark::kMillisecond);

void BM_RecomputeDemoTwoHours(benchmark::State& state) {
  rc::SilentUi ui;
  static std::unique_ptr<rc::AnalysisSession> s;
  if (!s) {
    const fs::path root = rc::bench::demoRoot();
    s = rc::loadSessionForAnalysis(
        {root, RC_PROGRAM_DIR, rc::demo::kDemoLongOpen.client, rc::demo::kDemoLongOpen.session, {}}, ui);
  }
  if (!s) {
    state.SkipWithError("the demo session could not be loaded");
    return;
  }
  rc::EpochInputs in = s->epochInputs();
  in.epochSeconds = 60;
  for (auto _ : state) {
    rc::EpochResults out;
    if (rc::recomputeEpochs(in, out, ui) != rc::kRecomputeOk) state.SkipWithError("no epochs");
    benchmark::DoNotOptimize(out.hrvRows.data());
  }
}
BENCHMARK(BM_RecomputeDemoTwoHours)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
