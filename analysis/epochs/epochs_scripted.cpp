// Recompute of a scripted session: epochs within the steps, rows averaged
// over the cycles of their activity, and one record per step.
#include <cmath>
#include <map>
#include <tuple>

#include "analysis/epochs/aggregate.h"
#include "analysis/epochs/epochs_detail.h"

namespace rc::epochs_detail {
namespace {

using RowKey = std::tuple<std::int32_t, std::int32_t, std::int32_t>;  // activity, step, epoch

// Every step of an analysed activity has its duration record.
bool stepsHaveDurations(const ScriptProtocol& protocol) {
  for (const ActivityRecord& a : protocol.activities) {
    if (a.excluded || a.cycles < 1) continue;
    for (std::int32_t st = 1; st <= a.steps; ++st)
      if (!protocol.findStep(a.number, st)) return false;
  }
  return true;
}

}  // namespace
}  // namespace rc::epochs_detail

namespace rc {

EpochIntervals scriptedEpochIntervals(const IntervalSeries& series, std::span<const double> allEnds,
                                      const SegmentIndex& idx, std::size_t segment, double t0,
                                      const SpectralGrid& grid) {
  EpochIntervals w;
  const IntervalSpan seg = idx.span(segment);
  if (seg.count == 0 || seg.first + seg.count > allEnds.size()) return w;
  const auto ends = allEnds.subspan(seg.first, seg.count);
  const auto values = std::span<const float>(series.values).subspan(seg.first, seg.count);
  const std::size_t i0 =
      static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), t0) - ends.begin());
  if (i0 >= ends.size()) return w;
  const double tLast = t0 + (grid.n - 1) * grid.dt;
  std::size_t j =
      static_cast<std::size_t>(std::lower_bound(ends.begin() + i0, ends.end(), tLast) - ends.begin());
  if (j >= ends.size()) j = ends.size() - 1;
  w.intervals = values.subspan(i0, j - i0 + 1);
  w.first = seg.first + i0;
  w.firstStart = i0 == 0 ? segmentFirstEventTime(series, segment) : ends[i0 - 1];
  if (i0 > 0) w.before = values[i0 - 1];
  return w;
}

double scriptedFirstBeat(const IntervalSeries& series, const SegmentIndex& idx, std::size_t segment) {
  if (idx.span(segment).count == 0 || segment >= series.segments.size()) return 0.0;
  return segmentFirstEventTime(series, segment);
}

}  // namespace rc

namespace rc::epochs_detail {

int recomputeScripted(const EpochInputs& in, std::vector<Source>& sources, EpochResults& out,
                      UserInterface& ui) {
  const ScriptProtocol& protocol = *in.protocol;
  if (!stepsHaveDurations(protocol)) {
    out = EpochResults{};
    ui.showMessage(messageOf(kStepWithoutDurationId), Icon::Error);
    return kRecomputeNoSeries;
  }
  std::vector<const IntervalSeries*> series;
  std::vector<SegmentIndex> indexes;
  for (const Source& s : sources) {
    series.push_back(s.series);
    indexes.push_back(segmentIndex(*s.series, protocol.activities.size()));
  }
  std::vector<StepEntry> steps = stepEpochs(protocol, series, in.epochSeconds);
  std::vector<EpochEntry> entries = scriptedEpochEntries(protocol, steps);
  if (entries.empty()) {
    noEpoch(out, ui);
    return kRecomputeNoEpoch;
  }
  Calculator calc(in, sources, ui);
  const SpectralGrid& grid = calc.grid();
  std::vector<double> buffer(static_cast<std::size_t>(grid.n) + 10);
  const auto resampled = std::span<double>(buffer).first(static_cast<std::size_t>(grid.n));

  // Every window of every cycle, gathered by its row.
  std::map<RowKey, std::vector<HrvAverage>> hrvByRow;
  std::map<RowKey, std::vector<SignalAverage>> signalsByRow;
  std::vector<std::span<const float>> intervals(sources.size());
  std::vector<double> starts(sources.size());
  for (const EpochEntry& e : entries) {
    const RowKey key{e.activity, e.step, e.epoch};
    auto& hrvAvg = hrvByRow[key];
    if (hrvAvg.empty())
      for (const Source& s : sources) hrvAvg.emplace_back(s.id);
    double t0 = 0.0;
    for (std::size_t j = 0; j < sources.size(); ++j) {
      const double start = scriptedEpochStart(e.cycleStart, e.epoch, in.epochSeconds,
                                              scriptedFirstBeat(*sources[j].series, indexes[j], e.segment));
      if (j == 0) t0 = start;
      EpochIntervals w = scriptedEpochIntervals(*sources[j].series, sources[j].ends, indexes[j], e.segment, start, grid);
      intervals[j] = w.intervals;
      starts[j] = w.firstStart;
      std::span<const double> window;
      if (resampleWindow(w.intervals, w.firstStart, w.before, start, grid.dt, resampled)) window = resampled;
      hrvAvg[j].add(calc.hrvRow(sources[j].id, w.intervals, window));
    }
    WindowRows rows;
    calc.addSignals(rows, intervals, starts, t0, [&](const ChannelSignalInput& c, bool rms) {
      const double rate = rms ? c.rmsRate : c.rate;
      return SampleWindow{std::llround(t0 * rate), std::llround(in.epochSeconds * rate)};
    });
    auto& sigAvg = signalsByRow[key];
    for (const SignalRow& r : rows.signals) {
      auto it = std::find_if(sigAvg.begin(), sigAvg.end(),
                             [&](const SignalAverage& a) { return a.signal() == r.signal; });
      if (it == sigAvg.end()) it = sigAvg.insert(sigAvg.end(), SignalAverage(r.signal));
      it->add(r);
    }
  }

  // Rows in the order of the first cycle's entries; step records after each step's last epoch.
  std::vector<HrvAverage> stepHrv;
  std::vector<SignalAverage> stepSignals;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const EpochEntry& e = entries[i];
    if (e.cycle != 1) continue;
    const RowKey key{e.activity, e.step, e.epoch};
    const RowId id{e.activity, e.step, e.epoch, e.activityLabel, e.stepLabel};
    if (e.epoch == 1) {
      stepHrv.clear();
      stepSignals.clear();
    }
    for (const HrvAverage& a : hrvByRow[key]) {
      HrvRow row = a.result();
      out.hrvRows.push_back({id, row});
      auto it = std::find_if(stepHrv.begin(), stepHrv.end(),
                             [&](const HrvAverage& s) { return s.source() == row.source; });
      if (it == stepHrv.end()) it = stepHrv.insert(stepHrv.end(), HrvAverage(row.source));
      it->add(row);
    }
    for (const SignalAverage& a : signalsByRow[key]) {
      SignalRow row = a.result();
      out.signalRows.push_back({id, row});
      auto it = std::find_if(stepSignals.begin(), stepSignals.end(),
                             [&](const SignalAverage& s) { return s.signal() == row.signal; });
      if (it == stepSignals.end()) it = stepSignals.insert(stepSignals.end(), SignalAverage(row.signal));
      it->add(row);
    }
    const bool lastOfStep = i + 1 >= entries.size() || entries[i + 1].epoch == 1 || entries[i + 1].cycle != 1;
    if (lastOfStep) {
      const RowId stepId{e.activity, e.step, e.epoch, e.activityLabel, e.stepLabel};
      for (const HrvAverage& a : stepHrv) out.hrvStepRows.push_back({stepId, a.result()});
      for (const SignalAverage& a : stepSignals) out.signalStepRows.push_back({stepId, a.result()});
    }
  }
  out.epochCount = static_cast<std::int64_t>(entries.size());
  out.steps = std::move(steps);
  out.entries = std::move(entries);
  out.emptyWindows = calc.emptyWindows();
  computeMeanSdnn(out);
  return kRecomputeOk;
}

}  // namespace rc::epochs_detail
