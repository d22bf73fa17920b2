// Speed of the epoch viewer's computations: the 61 spectra of one 3D view at
// E = 600 (n = 2048) and at E = 60, the three charts' data of the next epoch
// of a day-long open session, and the data taken after a statistics run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "analysis/epochs/epochs.h"
#include "views/epochview/epoch_view_data.h"

namespace {

rc::IntervalSeries series(double seconds, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, 15.0);
  rc::IntervalSeries s;
  double t = 0;
  while (t < seconds) {
    const double v = 860 + 50 * std::sin(2 * M_PI * 0.25 * t) + 30 * std::sin(2 * M_PI * 0.08 * t) + noise(gen);
    s.values.push_back(static_cast<float>(v));
    t += v / 1000;
  }
  s.segments = {{0, 0.5f, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  s.firstEventTime = 0.5f;
  return s;
}

struct ViewFixture {
  rc::IntervalSeries ekg;
  rc::EpochResults results;
  rc::EpochViewData data;
  ViewFixture(double seconds, int e) : ekg(series(seconds, 1)) {
    rc::EpochInputs in;
    in.ibiSource = 2;
    in.epochSeconds = e;
    in.ekg = &ekg;
    rc::SilentUi ui;
    rc::recomputeEpochs(in, results, ui);
    data.fill(&ekg, nullptr, nullptr, results, e);
  }
};

void BM_Spectra3D(benchmark::State& state) {
  const int e = static_cast<int>(state.range(0));
  static ViewFixture* f600 = nullptr;
  static ViewFixture* f60 = nullptr;
  ViewFixture*& f = e == 600 ? f600 : f60;
  if (!f) f = new ViewFixture(e * 6.5, e);
  std::int64_t k = 2;
  for (auto _ : state) {
    auto sp = f->data.spectra3D(rc::kViewEkg, k);
    benchmark::DoNotOptimize(sp);
    k = k >= f->data.epochCount() ? 2 : k + 1;
  }
}
BENCHMARK(BM_Spectra3D)->Arg(600)->Arg(60)->Unit(benchmark::kMillisecond);

// A day of intervals at 60-second epochs: the data of the next epoch's charts.
void BM_NextEpochCharts(benchmark::State& state) {
  static ViewFixture f(86400, 60);
  std::int64_t k = 1;
  for (auto _ : state) {
    auto c = f.data.charts(rc::kViewEkg, k);
    benchmark::DoNotOptimize(c);
    k = k >= f.data.epochCount() ? 1 : k + 1;
  }
}
BENCHMARK(BM_NextEpochCharts)->Unit(benchmark::kMicrosecond);

// Taking a day's statistics run: resampling and windowing every epoch.
void BM_FillDay(benchmark::State& state) {
  static ViewFixture f(86400, 60);
  for (auto _ : state) {
    rc::EpochViewData d;
    d.fill(&f.ekg, nullptr, nullptr, f.results, 60);
    benchmark::DoNotOptimize(d);
  }
}
BENCHMARK(BM_FillDay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
