// Speed of the interval series: generation through the detector library on an
// hour of EKG, the interval pass alone, the RMS series, and decoding and
// encoding a day of intervals.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/series/series_file.h"
#include "analysis/series/series_gen.h"

namespace {

constexpr double kRate = 500.0;

// An EKG-like signal: narrow R waves every 0.8 s +- 5 % with a T wave and a little noise.
const std::vector<float>& ekgHour() {
  static const std::vector<float> x = [] {
    std::vector<float> v(static_cast<std::size_t>(3600 * kRate), 0.0f);
    double t = 0.5;
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < v.size(); ++i) {
      noise = noise * 1664525u + 1013904223u;
      v[i] = 0.02f * (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
    }
    for (int k = 0; t < 3599.0; ++k) {
      for (int j = -40; j <= 200; ++j) {
        const double dt = j / kRate;
        const auto i = static_cast<std::size_t>(t * kRate) + j;
        v[i] += static_cast<float>(std::exp(-0.5 * std::pow(dt / 0.01, 2)) +
                                   0.3 * std::exp(-0.5 * std::pow((dt - 0.28) / 0.05, 2)));
      }
      t += 0.8 * (1.0 + 0.05 * std::sin(0.25 * k));
    }
    return v;
  }();
  return x;
}

void BM_GenerateEkgHour(benchmark::State& state) {
  const auto& x = ekgHour();
  rc::SessionTiming timing;
  timing.blockRate = static_cast<std::uint32_t>(state.range(0));
  std::size_t intervals = 0;
  for (auto _ : state) {
    auto lib = rc::makeSignalLibrary();
    auto s = rc::generateIntervalSeries(rc::SeriesKind::IbiFromEkg, {x, kRate}, timing, {}, *lib);
    intervals = s ? s->values.size() : 0;
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(x.size()));
  state.counters["intervals"] = static_cast<double>(intervals);
}
BENCHMARK(BM_GenerateEkgHour)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_IntervalPass(benchmark::State& state) {
  rc::DetectionPass pass;
  pass.slots.assign(static_cast<std::size_t>(3600 * 1000), rc::detect::kNoValue);
  for (std::size_t i = 800; i < pass.slots.size(); i += 800) pass.slots[i] = 800.0f + (i % 7);
  pass.segments = {rc::SegmentRecord{1, 0.0f, 0.0f, 0}};
  pass.boundaries = {pass.slots.size()};
  pass.detections = pass.slots.size() / 800;
  for (auto _ : state) {
    auto s = rc::buildIntervals(rc::SeriesKind::IbiFromBvp, pass, 1000.0, {});
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pass.slots.size()));
}
BENCHMARK(BM_IntervalPass)->Unit(benchmark::kMillisecond);

void BM_RmsHour(benchmark::State& state) {
  std::vector<float> x(static_cast<std::size_t>(3600 * 2048));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(std::sin(i * 0.37) * 40.0);
  for (auto _ : state) benchmark::DoNotOptimize(rc::computeRms(x, static_cast<int>(state.range(0))));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(x.size()));
}
BENCHMARK(BM_RmsHour)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_SeriesFileDay(benchmark::State& state) {
  rc::IntervalSeries s;
  s.values.assign(110000, 785.0f);
  s.segments = {rc::SegmentRecord{1, 0.4f, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  const auto bytes = rc::encodeIntervalSeries(s);
  for (auto _ : state) {
    auto parsed = rc::parseIntervalSeries(bytes, true);
    benchmark::DoNotOptimize(parsed);
    benchmark::DoNotOptimize(rc::encodeIntervalSeries(*parsed));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_SeriesFileDay)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
