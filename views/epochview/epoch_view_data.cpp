#include "views/epochview/epoch_view_data.h"

#include <algorithm>

#include "analysis/stats/hrv_stats.h"
#include "app/session_analysis_load.h"

namespace rc {

void EpochViewData::clear() { *this = EpochViewData{}; }

void EpochViewData::fill(const AnalysisSession& session, const EpochResults& results, std::int32_t epochSeconds) {
  const ScriptProtocol* protocol = nullptr;
  if (!session.openSession) protocol = session.protocol ? &*session.protocol : &kNoProtocol_;
  fill(session.ekg ? &*session.ekg : nullptr, session.bvp ? &*session.bvp : nullptr, protocol, results,
       epochSeconds);
}

void EpochViewData::fill(const IntervalSeries* ekg, const IntervalSeries* bvp, const ScriptProtocol* protocol,
                         const EpochResults& results, std::int32_t epochSeconds) {
  clear();
  protocol_ = protocol;
  epochSeconds_ = epochSeconds > 0 ? epochSeconds : 60;
  grid_ = spectralGrid(epochSeconds_);
  signals_[kViewEkg].series = ekg;
  signals_[kViewBvp].series = bvp;
  const std::size_t n = static_cast<std::size_t>(grid_.n);
  if (!protocol_) {
    epochs_ = std::max<std::int64_t>(0, results.epochCount);
    for (Signal& s : signals_) {
      if (!s.series) continue;
      s.epochs = std::min(epochs_, openEpochCount(s.series->values, epochSeconds_));
      s.prepared = resampleOpenSession(s.series->values, static_cast<std::int32_t>(s.epochs), grid_);
      for (std::int64_t k = 0; k < s.epochs; ++k)
        prepareSpectrumWindow(std::span<double>(s.prepared).subspan(static_cast<std::size_t>(k) * n, n));
    }
    return;
  }
  for (Signal& s : signals_) {
    if (!s.series) continue;
    s.ends = intervalEndTimes(*s.series);
    s.index = segmentIndex(*s.series, protocol_->activities.size());
  }
  const IntervalSeries* any = ekg ? ekg : bvp;
  for (const EpochEntry& e : results.entries) {
    StepEpoch st{e.activity, e.step, e.cycle, e.epoch, 0, e.segment, e.activityLabel, e.stepLabel, e.cycleStart};
    for (const StepEntry& s : results.steps)
      if (s.activity == e.activity && s.step == e.step) st.epochsInStep = s.epochs;
    bool qualifies = e.epoch > 1 || e.cycle > 1;
    if (!qualifies && any && e.segment < any->segments.size()) {
      const double segmentStart = any->segments[e.segment].segmentStart;
      qualifies = e.cycleStart > segmentStart + epochSeconds_;
    }
    if (qualifies) steps3D_.push_back(steps_.size());
    steps_.push_back(std::move(st));
  }
}

std::span<const float> EpochViewData::segmentValues(const Signal& s, std::size_t segment) const {
  const IntervalSpan sp = s.index.span(segment);
  if (!s.series || sp.count == 0) return {};
  return std::span<const float>(s.series->values).subspan(sp.first, sp.count);
}

std::optional<double> EpochViewData::stepEpochStart(int signal, std::size_t index) const {
  if (!protocol_ || index >= steps_.size()) return std::nullopt;
  const StepEpoch& e = steps_[index];
  if (!protocol_->findStep(e.activity, e.step)) return std::nullopt;
  const auto t = std::find_if(protocol_->timeline.begin(), protocol_->timeline.end(), [&](const StepTimelineEntry& x) {
    return x.activity == e.activity && x.step == e.step && x.cycle == e.cycle;
  });
  if (t == protocol_->timeline.end() || t->start < 0 || e.cycleStart < 0) return std::nullopt;
  double firstBeat = 0.0;
  if (hasSignal(signal)) firstBeat = scriptedFirstBeat(*signals_[signal].series, signals_[signal].index, e.segment);
  return scriptedEpochStart(e.cycleStart, e.epoch, epochSeconds_, firstBeat);
}

std::optional<EpochCharts> EpochViewData::charts(int signal, std::int64_t position) const {
  EpochCharts c;
  const std::size_t n = static_cast<std::size_t>(grid_.n);
  const double e = epochSeconds_;
  if (!protocol_) {
    const Signal* s = hasSignal(signal) ? &signals_[signal] : nullptr;
    const double s0 = s ? s->series->firstEventTime : 0.0;
    c.epochStart = s0 + static_cast<double>(position - 1) * e;
    const AxisRange window{c.epochStart, c.epochStart + e};
    if (!s || position < 1 || position > epochs_) {
      c.tachogram = tachogramPlot({}, s0, window);
      return c;
    }
    c.tachogram = tachogramPlot(s->series->values, s0, window);
    c.poincare = poincareOpen(s->series->values, position, e);
    if (position <= s->epochs)
      c.spectrum = spectrumOfPrepared(
          std::span<const double>(s->prepared).subspan(static_cast<std::size_t>(position - 1) * n, n), grid_);
  } else {
    if (position < 0 || position >= static_cast<std::int64_t>(steps_.size())) return std::nullopt;
    const std::size_t index = static_cast<std::size_t>(position);
    const std::optional<double> start = stepEpochStart(signal, index);
    if (!start) return std::nullopt;
    c.epochStart = *start;
    const AxisRange window{*start, *start + e};
    if (!hasSignal(signal)) {
      c.tachogram = tachogramPlot({}, 0.0, window);
      return c;
    }
    const Signal& s = signals_[signal];
    const std::size_t segment = steps_[index].segment;
    const std::span<const float> frame = segmentValues(s, segment);
    c.tachogram = tachogramPlot(frame, segmentFirstEventTime(*s.series, segment), window);
    const EpochIntervals w = scriptedEpochIntervals(*s.series, s.ends, s.index, segment, *start, grid_);
    if (!w.intervals.empty()) {
      c.poincare = poincareOfRun(frame, w.first - s.index.span(segment).first, w.intervals.size());
      std::vector<double> samples(n);
      if (resampleWindow(w.intervals, w.firstStart, w.before, *start, grid_.dt, samples))
        c.spectrum = spectrumOfRaw(samples, grid_);
    }
  }
  c.sd = poincareSd(c.poincare);
  return c;
}

std::vector<double> EpochViewData::heldSamples(int signal, std::size_t index) const {
  if (!protocol_ || !hasSignal(signal) || index >= steps_.size()) return {};
  const std::optional<double> start = stepEpochStart(signal, index);
  if (!start) return {};
  const Signal& s = signals_[signal];
  const std::size_t segment = steps_[index].segment;
  const std::span<const float> values = segmentValues(s, segment);
  std::vector<double> out(2 * static_cast<std::size_t>(grid_.n));
  if (!resampleWindow(values, segmentFirstEventTime(*s.series, segment), std::nullopt, *start - epochSeconds_,
                      grid_.dt, out))
    return {};
  return out;
}

std::optional<Spectra3D> EpochViewData::spectra3D(int signal, std::int64_t position) const {
  if (!hasSignal(signal)) return std::nullopt;
  if (!protocol_) {
    const std::int64_t k = std::clamp<std::int64_t>(position, 2, std::max<std::int64_t>(2, epochs_));
    return openSpectra3D(signals_[signal].prepared, k, epochSeconds_, grid_);
  }
  if (position < 1 || position > static_cast<std::int64_t>(steps3D_.size())) return std::nullopt;
  const std::size_t index = steps3D_[static_cast<std::size_t>(position - 1)];
  const std::optional<double> start = stepEpochStart(signal, index);
  if (!start) return std::nullopt;
  const std::vector<double> held = heldSamples(signal, index);
  if (held.empty()) {
    Spectra3D none;
    none.depthStart = *start;
    none.depthEnd = *start + epochSeconds_;
    return none;
  }
  return scriptedSpectra3D(held, *start, epochSeconds_, grid_);
}

}  // namespace rc
