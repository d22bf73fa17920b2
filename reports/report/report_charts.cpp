#include "reports/report/report_charts.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "analysis/numeric/numeric.h"
#include "analysis/stats/hrv_stats.h"

namespace rc {
namespace {

void fitRange(const std::vector<double>& v, double& lo, double& hi) {
  if (v.empty()) {
    lo = 0.0;
    hi = 1.0;
    return;
  }
  auto [mn, mx] = std::minmax_element(v.begin(), v.end());
  lo = *mn;
  hi = *mx;
  if (hi <= lo) {
    lo -= 0.5;
    hi += 0.5;
  }
}

// The end times and values of the intervals that end within (from, to].
void windowPoints(const ChartWindow& w, std::vector<double>& t, std::vector<double>& y) {
  double end = w.firstStart;
  for (float v : w.intervals) {
    if (std::isfinite(v)) end += v / 1000.0;
    if (end > w.to) break;
    if (end > w.from && std::isfinite(v)) {
      t.push_back(end);
      y.push_back(v);
    }
  }
}

}  // namespace

ChartSpec tachogramChart(const ChartWindow& w, const std::string& title, std::uint32_t rgb) {
  ChartSpec c;
  c.title = title;
  c.xLabel = "s";
  c.yLabel = "ms";
  ChartSeries s;
  s.rgb = rgb;
  windowPoints(w, s.x, s.y);
  c.xMin = w.from;
  c.xMax = w.to > w.from ? w.to : w.from + 1.0;
  fitRange(s.y, c.yMin, c.yMax);
  c.series.push_back(std::move(s));
  return c;
}

ChartSpec poincareChart(const ChartWindow& w, const std::string& title, std::uint32_t rgb) {
  ChartSpec c;
  c.title = title;
  c.xLabel = "IBI(n) ms";
  c.yLabel = "IBI(n+1) ms";
  c.diagonal = true;
  std::vector<double> t, y;
  windowPoints(w, t, y);
  ChartSeries s;
  s.style = ChartSeries::Style::Points;
  s.rgb = rgb;
  for (std::size_t i = 0; i + 1 < y.size(); ++i) {
    s.x.push_back(y[i]);
    s.y.push_back(y[i + 1]);
  }
  fitRange(y, c.xMin, c.xMax);
  c.yMin = c.xMin;
  c.yMax = c.xMax;
  c.series.push_back(std::move(s));
  return c;
}

ChartSpec spectrumChart(const ChartWindow& w, const SpectralGrid& grid, const std::string& title, std::uint32_t rgb) {
  ChartSpec c;
  c.title = title;
  c.xLabel = "Hz";
  c.yLabel = "ms²";
  c.xMin = 0.0;
  c.xMax = 0.4;
  c.bands = {{0.0, 0.04, 0xE8E8E8, "VLF"}, {0.04, 0.15, 0xDCEBF7, "LF"}, {0.15, 0.4, 0xFBE5D6, "HF"}};
  ChartSeries s;
  s.style = ChartSeries::Style::Bars;
  s.rgb = rgb;
  if (grid.n > 2 && !w.intervals.empty()) {
    std::vector<double> samples(static_cast<std::size_t>(grid.n));
    if (resampleWindow(w.intervals, w.firstStart, w.before, w.from, grid.dt, samples) &&
        prepareSpectrumWindow(samples) == kNumericOk) {
      std::vector<double> power(static_cast<std::size_t>(grid.n / 2));
      double df = 0.0;
      if (AutoPowerSpectrum(samples.data(), grid.n, grid.dt, power.data(), &df) == kNumericOk) {
        for (std::size_t k = 1; k < power.size() && k * df <= 0.4 + 1e-9; ++k) {
          s.x.push_back(k * df);
          s.y.push_back(std::isfinite(power[k]) ? power[k] : 0.0);
        }
      }
    }
  }
  c.yMin = 0.0;
  c.yMax = 1.0;
  if (!s.y.empty()) c.yMax = std::max(1e-9, *std::max_element(s.y.begin(), s.y.end()) * 1.05);
  c.series.push_back(std::move(s));
  return c;
}

}  // namespace rc
