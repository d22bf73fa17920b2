#include "views/epochview/epoch_view_state.h"

#include <cmath>

namespace rc {

bool EpochViewState::isAuto(EpochChart c) const {
  switch (c) {
    case EpochChart::Tachogram:
      return autoTachogram;
    case EpochChart::Poincare:
      return autoPoincare;
    case EpochChart::Spectrum:
      return autoSpectrum;
  }
  return false;
}

void EpochViewState::adopt(const EpochCharts& charts) {
  tachogramWindow = charts.tachogram.window;
  if (autoTachogram) tachogramAxis = charts.tachogram.autoRange;
  if (autoPoincare) poincareAxis = charts.poincare.autoRange;
  if (autoSpectrum && charts.spectrum) {
    const double m = charts.spectrum->maxPower();
    spectrumMax = m > 0.0 ? m : 1.0;
  }
}

ChartMenu chartMenu(const EpochViewState& state, EpochChart chart, bool bars) {
  ChartMenu m;
  if (chart == EpochChart::Spectrum) m.toggleId = bars ? kShowAsLinesId : kShowAsBarsId;
  if (chart == EpochChart::Tachogram) m.toggleId = state.tachogramPoints ? kShowLineId : kShowPointsId;
  m.autoChecked = state.isAuto(chart);
  m.setScaleEnabled = !m.autoChecked;
  return m;
}

AxisRange currentScale(const EpochViewState& state, EpochChart chart) {
  switch (chart) {
    case EpochChart::Tachogram:
      return state.tachogramAxis;
    case EpochChart::Poincare:
      return state.poincareAxis;
    case EpochChart::Spectrum:
      return {0.0, state.spectrumMax};
  }
  return {};
}

std::optional<Message> checkScale(EpochChart chart, double min, double max) {
  if (chart == EpochChart::Spectrum) {
    if (std::isfinite(max) && max > 0.0 && max <= kSpectrumLimit) return std::nullopt;
    return MessageBuilder().idArg(kScaleMaximumId, static_cast<long long>(kSpectrumLimit)).build();
  }
  if (std::isfinite(min) && std::isfinite(max) && min < max && min >= -kEpochViewScaleLimit && max <= kEpochViewScaleLimit)
    return std::nullopt;
  return MessageBuilder()
      .idArgs(kScaleRangeId, static_cast<long long>(-kEpochViewScaleLimit), static_cast<long long>(kEpochViewScaleLimit))
      .build();
}

void setScale(EpochViewState& state, EpochChart chart, AxisRange range) {
  switch (chart) {
    case EpochChart::Tachogram:
      state.tachogramAxis = range;
      break;
    case EpochChart::Poincare:
      state.poincareAxis = range;
      break;
    case EpochChart::Spectrum:
      state.spectrumMax = range.max;
      break;
  }
}

}  // namespace rc
