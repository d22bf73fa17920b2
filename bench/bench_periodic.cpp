// Speed of the periodic editor's core over a day of intervals (100,000 rows):
// filling the list, one edit and its undo, and the automatic correction.
#include <benchmark/benchmark.h>

#include <random>

#include "editors/autoedit/auto_edit.h"
#include "editors/periodic/periodic_editor.h"

namespace {

using namespace rc;

IntervalSeries daySeries(int artefacts) {
  IntervalSeries s;
  std::mt19937 rng(7);
  std::normal_distribution<float> d(0.0f, 25.0f);
  for (int i = 0; i < 100000; ++i) s.values.push_back(860.0f + 60.0f * std::sin(i / 40.0f) + d(rng));
  for (int k = 0; k < artefacts; ++k) {
    const std::size_t at = 500 + static_cast<std::size_t>(k) * (99000 / std::max(1, artefacts));
    s.values[at] *= 2.0f;  // a missed beat
  }
  s.segments = {SegmentRecord{0, 0.0f, 0.0f, 100000}};
  return s;
}

class OkUi : public SilentUi {
 public:
  bool askOkCancel(const Message&, Icon) override { return true; }
};

void BM_LoadDay(benchmark::State& state) {
  IntervalSeries s = daySeries(0);
  PeriodicSource src;
  src.series = &s;
  src.sessionDuration = 1e6;
  SilentUi ui;
  for (auto _ : state) {
    PeriodicEditor e;
    e.load(src, ui);
    auto times = e.rowStartTimes();
    auto values = e.model().values();
    benchmark::DoNotOptimize(times.data());
    benchmark::DoNotOptimize(values.data());
  }
}
BENCHMARK(BM_LoadDay)->Unit(benchmark::kMillisecond);

void BM_EditAndUndo(benchmark::State& state) {
  IntervalSeries s = daySeries(0);
  PeriodicEditModel m(1, '.');
  m.setRows(s.values, 0.0);
  OkUi ui;
  const int op = static_cast<int>(state.range(0));
  const std::vector<std::size_t> three{50000, 50001, 50002}, one{50000};
  for (auto _ : state) {
    if (op == 0) benchmark::DoNotOptimize(m.add(three, ui));
    if (op == 1) benchmark::DoNotOptimize(m.split(one, SplitOptions{}, ui));
    if (op == 2) benchmark::DoNotOptimize(m.average(three, ui));
    benchmark::DoNotOptimize(m.undo());
  }
}
BENCHMARK(BM_EditAndUndo)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_AutoEditDay(benchmark::State& state) {
  IntervalSeries s = daySeries(150);
  AutoEditInput in;
  in.series = &s;
  for (auto _ : state) {
    auto r = autoEditSeries(in, PeriodicSegmentList{});
    if (r.status != AutoEditStatus::Corrected) state.SkipWithError("not corrected");
    benchmark::DoNotOptimize(r.corrected.values.data());
  }
}
BENCHMARK(BM_AutoEditDay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
