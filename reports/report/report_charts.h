#pragma once
// The three charts of an epoch or step in a report, as data: the tachogram
// of the window, the Poincare (return) map of its intervals, and the power
// spectrum of its evenly resampled series with the VLF, LF and HF bands.
// How a chart becomes a picture is the renderer's (ChartRenderer).
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/epochs/resample.h"

namespace rc {

struct ChartSeries {
  enum class Style { Line, Points, Bars };
  std::vector<double> x, y;
  Style style = Style::Line;
  std::uint32_t rgb = 0x1F4E79;
};

// A shaded band of the x axis (the spectrum's frequency bands).
struct ChartBand {
  double from = 0.0, to = 0.0;
  std::uint32_t rgb = 0xDDDDDD;
  std::string label;
};

struct ChartSpec {
  std::string title;
  std::string xLabel, yLabel;
  double xMin = 0.0, xMax = 1.0, yMin = 0.0, yMax = 1.0;
  std::vector<ChartSeries> series;
  std::vector<ChartBand> bands;
  bool diagonal = false;  // the identity line (Poincare map)
};

// Renders a chart as a PNG picture of the given size in pixels; empty when it
// cannot. The widget layer supplies it.
using ChartRenderer = std::function<std::vector<std::uint8_t>(const ChartSpec&, int widthPx, int heightPx)>;

// The intervals of one window on the series' own time axis: interval i
// (of values) ends at firstStart + the running sum to i, in seconds.
struct ChartWindow {
  std::span<const float> intervals;
  double firstStart = 0.0;  // s, the start of the first interval
  double from = 0.0;        // s, the window shown
  double to = 0.0;
  std::optional<float> before;  // the interval before the window, for the resampling
};

// Tachogram: one point per interval at its end time. The y range is the
// smallest to largest interval, or the value +-0.5 when all are equal, or 0
// to 1 without intervals.
ChartSpec tachogramChart(const ChartWindow& w, const std::string& title, std::uint32_t rgb);
// Poincare map: interval i against interval i+1, both axes over the same range.
ChartSpec poincareChart(const ChartWindow& w, const std::string& title, std::uint32_t rgb);
// Power spectrum of the window resampled on the grid of its epoch length,
// from 0 to 0.4 Hz, with the three bands shaded.
ChartSpec spectrumChart(const ChartWindow& w, const SpectralGrid& grid, const std::string& title, std::uint32_t rgb);

}  // namespace rc
