#pragma once
// What the three charts of the epoch viewer plot for one epoch: the
// tachogram of a frame of intervals, the Poincaré (return) map with SD1 and
// SD2, and the epoch's power spectrum split into the VLF, LF and HF bands.
//
// Times are seconds, intervals milliseconds, powers ms^2 per bin. Running
// times are summed in double. Pure functions; nothing is kept.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/epochs/resample.h"
#include "analysis/stats/hrv_stats.h"

namespace rc {

// The viewer's heart signals.
inline constexpr int kViewEkg = 0;
inline constexpr int kViewBvp = 1;

struct AxisRange {
  double min = 0.0;
  double max = 1.0;
  bool operator==(const AxisRange&) const = default;
};

// The automatic range of values: minimum to maximum; the last value +-0.5
// when all are equal; 0 to 1 when there are none.
AxisRange autoRangeOf(std::span<const double> values);

// Tachogram points of a frame: one point per interval at x = the beat that
// ends it (frameStart plus the running sum of the intervals / 1000) and y =
// the interval. Only the points inside [window.min, window.max] are kept,
// with the one just before and the one just after the window so that a line
// runs to the chart's edges; the automatic y range covers the points inside.
struct TachogramPlot {
  std::vector<double> x, y;
  AxisRange window;     // the x range shown
  AxisRange autoRange;  // y
};
TachogramPlot tachogramPlot(std::span<const float> frame, double frameStart, AxisRange window);

// Poincaré pairs (previous interval, interval) and the automatic range of
// both axes: the first pair sets minimum and maximum from both coordinates,
// later pairs extend them by their second coordinate only; the last interval
// of the walk +-0.5 when they are equal; 0 to 1 when the walk saw none.
struct PoincarePlot {
  std::vector<double> x, y;
  AxisRange autoRange;
};

// Open session: the intervals of epoch k (1-based) are those whose beat time
// t (running sum from the first beat) has (k-1)E < t <= kE; the walk stops at
// the first interval past kE. The first interval of the series has no pair.
PoincarePlot poincareOpen(std::span<const float> intervals, std::int64_t k, double epochSeconds);

// A frame whose intervals [first, first + count) belong: each of them pairs
// with the one before it, except the frame's very first interval.
PoincarePlot poincareOfRun(std::span<const float> frame, std::size_t first, std::size_t count);

// SD1 = sqrt(1/2) x SD of the differences y - x; SD2 = sqrt(2 SDNN^2 - SD1^2)
// with SDNN^2 the mean of the sample variances of the two coordinates (the
// SD across the identity line). Both over the plotted pairs; undefined for
// fewer than 2 pairs. The centre is the mean of each coordinate.
struct PoincareSd {
  double sd1 = 0.0;
  double sd2 = 0.0;
  double centreX = 0.0;
  double centreY = 0.0;
  bool operator==(const PoincareSd&) const = default;
};
std::optional<PoincareSd> poincareSd(const PoincarePlot& plot);

// The points of the SD1/SD2 ellipse (semi-axes SD2 along the identity line,
// SD1 across it), closed: the last point repeats the first.
std::vector<std::array<double, 2>> poincareEllipse(const PoincareSd& sd, int points = 73);

// The spectrum of one epoch: power[j] for bins j = 0 .. e3, e1 / e2 / e3 the
// band edges in bins (the grid's, each 0.04, 0.15, 0.4 Hz / df truncated,
// e3 kept below n / 2), and the band powers by the statistics' own sums.
struct EpochSpectrum {
  double df = 0.0;
  std::int32_t e1 = 0, e2 = 0, e3 = 0;
  std::vector<double> power;
  BandPowers bands;
  double maxPower() const;  // over bins 1 .. e3; 0 when there are none
};

// From grid.n samples already mean-removed and windowed; nullopt when there
// are fewer samples or a numeric routine fails (out of memory).
std::optional<EpochSpectrum> spectrumOfPrepared(std::span<const double> prepared, const SpectralGrid& grid);
// From raw resampled samples: mean removed and windowed on a copy first.
std::optional<EpochSpectrum> spectrumOfRaw(std::span<const double> samples, const SpectralGrid& grid);

// The bins [first, last] each band series draws. Lines: VLF 1..e1, LF
// e1..e2, HF e2..e3 (meeting at the edge bins); bars: VLF 1..e1, LF
// e1+1..e2, HF e2+1..e3 (no bin twice). A band with last < first is empty.
struct BinRun {
  std::int32_t first = 0;
  std::int32_t last = -1;
  bool operator==(const BinRun&) const = default;
};
std::array<BinRun, 3> bandRuns(const EpochSpectrum& s, bool bars);

}  // namespace rc
