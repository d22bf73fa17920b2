#pragma once
// The view state of the epoch viewer page: the signal and epoch shown, the
// axis ranges of the three charts and their automatic-scale flags, and the
// context-menu rules (which items, checks and scale entries are allowed).
#include <cstdint>
#include <optional>

#include "support/ui.h"
#include "views/epochview/epoch_view_data.h"

namespace rc {

enum class EpochChart { Tachogram, Poincare, Spectrum };

// Language strings of the page.
inline constexpr int kShowPointsId = 311;   // on the tachogram while a line is shown
inline constexpr int kShowLineId = 312;     // on the tachogram while points are shown
inline constexpr int kShowAsLinesId = 313;  // on the spectrum while bars are shown
inline constexpr int kShowAsBarsId = 314;   // on the spectrum while lines are shown
inline constexpr int kAutoScaleId = 375;
inline constexpr int kSetScaleId = 376;
inline constexpr int kScaleRangeId = 377;     // "%d", "%d": minimum below maximum, both within the limits
inline constexpr int kScaleMaximumId = 378;   // "%d": maximum between 0 and the limit
inline constexpr int kEpochViewScaleLimit = 10000;     // ms, tachogram and Poincaré axes
inline constexpr int kSpectrumLimit = 10000000;  // ms^2, spectrum maximum

struct EpochViewState {
  int signal = kViewEkg;
  std::int64_t epochNumber = 1;  // open sessions: 1 .. epochs
  std::int64_t stepIndex = 0;    // scripted sessions: into the step epochs
  AxisRange tachogramAxis{0, 2000};
  AxisRange tachogramWindow{0, 300};
  AxisRange poincareAxis{0, 2000};
  double spectrumMax = 100.0;
  bool autoSpectrum = true;
  bool autoTachogram = true;
  bool autoPoincare = true;
  bool tachogramPoints = false;

  // The position of EpochViewData::charts for this state.
  std::int64_t position(const EpochViewData& d) const { return d.scripted() ? stepIndex : epochNumber; }
  bool isAuto(EpochChart c) const;
  // Takes the time window of the charts and, for each auto-scaled chart, its
  // automatic range.
  void adopt(const EpochCharts& charts);
};

// The context menu of a chart: its first item (a string id, 0 = none), the
// check mark of "Auto Scale" and whether "Set Scale" can be chosen.
struct ChartMenu {
  int toggleId = 0;
  bool autoChecked = false;
  bool setScaleEnabled = false;
  bool operator==(const ChartMenu&) const = default;
};
ChartMenu chartMenu(const EpochViewState& state, EpochChart chart, bool bars);

// The range a chart's scale dialog starts from.
AxisRange currentScale(const EpochViewState& state, EpochChart chart);

// Checks a range entered in the scale dialog: the tachogram and Poincaré
// axes need finite min < max within +-kEpochViewScaleLimit (message 377), the
// spectrum a finite maximum in (0, kSpectrumLimit] (message 378; its minimum
// is always 0). nullopt when the range is accepted.
std::optional<Message> checkScale(EpochChart chart, double min, double max);

// Sets a chart's range after the dialog's OK (the range has passed checkScale).
void setScale(EpochViewState& state, EpochChart chart, AxisRange range);

}  // namespace rc
