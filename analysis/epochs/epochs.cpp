// Recompute: the statistics rows of every epoch of the loaded session.
#include "analysis/epochs/epochs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "analysis/epochs/aggregate.h"
#include "analysis/epochs/epochs_detail.h"
#include "analysis/series/series_find.h"

namespace rc {
namespace epochs_detail {

std::vector<Source> analysedSources(const EpochInputs& in, bool& missing) {
  std::vector<Source> out;
  missing = false;
  if (selectionUsesEkg(in.ibiSource)) {
    if (!in.ekg)
      missing = true;
    else
      out.push_back({IbiSource::Ekg, in.ekg, {}});
  }
  if (selectionUsesBvp(in.ibiSource)) {
    if (!in.bvp)
      missing = true;
    else
      out.push_back({IbiSource::Bvp, in.bvp, {}});
  }
  return out;
}

void computeMeanSdnn(EpochResults& out) {
  MeanAccumulator acc[2];
  for (const HrvTableRow& r : out.hrvRows) acc[static_cast<int>(r.row.source) & 1].add(r.row.sdnn);
  for (int s = 0; s < 2; ++s) out.meanSdnn[s] = acc[s].mean();
}

void noEpoch(EpochResults& out, UserInterface& ui) {
  out = EpochResults{};
  ui.showMessage(messageOf(kNoEpochId), Icon::Warning);
}

}  // namespace epochs_detail

namespace {

using namespace epochs_detail;

int recomputeOpen(const EpochInputs& in, std::vector<Source>& sources, EpochResults& out, UserInterface& ui) {
  std::int64_t epochs = -1;
  for (const Source& s : sources) {
    const std::int64_t k = openEpochCount(s.series->values, in.epochSeconds);
    epochs = epochs < 0 ? k : std::min(epochs, k);
  }
  if (epochs <= 0) {
    noEpoch(out, ui);
    return kRecomputeNoEpoch;
  }
  Calculator calc(in, sources, ui);
  const SpectralGrid& grid = calc.grid();
  std::vector<std::vector<IntervalSpan>> spans;
  std::vector<OpenSessionResampler> resamplers;
  for (const Source& s : sources) {
    spans.push_back(openEpochSpans(s.series->values, epochs, in.epochSeconds));
    resamplers.emplace_back(s.series->values, grid);
  }
  std::vector<double> resampled(static_cast<std::size_t>(grid.n));
  out.epochCount = epochs;
  out.hrvRows.reserve(static_cast<std::size_t>(epochs) * sources.size());
  const double axisStart = sources.front().series->firstEventTime;
  std::vector<std::span<const float>> intervals(sources.size());
  std::vector<double> starts(sources.size());
  for (std::int64_t k = 0; k < epochs; ++k) {
    WindowRows rows;
    const RowId id{0, 0, static_cast<std::int32_t>(k + 1), {}, {}};
    for (std::size_t j = 0; j < sources.size(); ++j) {
      const IntervalSpan& sp = spans[j][static_cast<std::size_t>(k)];
      intervals[j] = std::span<const float>(sources[j].series->values).subspan(sp.first, sp.count);
      starts[j] = sources[j].series->firstEventTime + sp.firstStart;
      std::span<const double> window;
      if (resamplers[j].next(resampled)) window = resampled;
      out.hrvRows.push_back({id, calc.hrvRow(sources[j].id, intervals[j], window)});
    }
    calc.addSignals(rows, intervals, starts, axisStart + static_cast<double>(k) * in.epochSeconds,
                    [&](const ChannelSignalInput& c, bool rms) {
                      return rms ? rmsEpochWindow(k, c.rmsRate, in.epochSeconds)
                                 : rawEpochWindow(k, c.rate, in.epochSeconds);
                    });
    if (k == 0) out.signalRows.reserve(static_cast<std::size_t>(epochs) * rows.signals.size());
    for (SignalRow& r : rows.signals) out.signalRows.push_back({id, std::move(r)});
  }
  out.emptyWindows = calc.emptyWindows();
  out.missingSignalRows = calc.missingRows();
  computeMeanSdnn(out);
  return kRecomputeOk;
}

}  // namespace

std::int64_t countEpochs(const EpochInputs& in) {
  bool missing = false;
  std::vector<epochs_detail::Source> sources = epochs_detail::analysedSources(in, missing);
  if (missing) return -1;
  if (sources.empty()) return 0;
  if (in.openSession) {
    std::int64_t epochs = -1;
    for (const Source& s : sources) {
      const std::int64_t k = openEpochCount(s.series->values, in.epochSeconds);
      epochs = epochs < 0 ? k : std::min(epochs, k);
    }
    return std::max<std::int64_t>(0, epochs);
  }
  if (!in.protocol) return 0;
  std::vector<const IntervalSeries*> series;
  for (const epochs_detail::Source& s : sources) series.push_back(s.series);
  std::int64_t total = 0;
  for (const StepEntry& st : stepEpochs(*in.protocol, series, in.epochSeconds)) {
    const ActivityRecord& a = in.protocol->activities[st.segment];
    total += st.epochs * a.cycles;
  }
  return total;
}

int recomputeEpochs(const EpochInputs& in, EpochResults& out, UserInterface& ui) {
  out = EpochResults{};
  bool missing = false;
  std::vector<epochs_detail::Source> sources = epochs_detail::analysedSources(in, missing);
  if (missing) return kRecomputeNoSeries;
  if (sources.empty() || (!in.openSession && !in.protocol)) {
    noEpoch(out, ui);
    return kRecomputeNoEpoch;
  }
  return in.openSession ? recomputeOpen(in, sources, out, ui)
                        : epochs_detail::recomputeScripted(in, sources, out, ui);
}

}  // namespace rc
