#include "views/epochview/epoch_plots.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <numbers>

#include "analysis/numeric/numeric.h"

namespace rc {
namespace {

double stepMs(float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; }

// The range tracked along a Poincaré walk.
class PairRange {
 public:
  void add(double prev, double cur) {
    if (!any_) {
      lo_ = std::min(prev, cur);
      hi_ = std::max(prev, cur);
      any_ = true;
    } else {
      lo_ = std::min(lo_, cur);
      hi_ = std::max(hi_, cur);
    }
    last_ = cur;
  }
  AxisRange range() const {
    if (!any_) return {};
    if (lo_ == hi_) return {last_ - 0.5, last_ + 0.5};
    return {lo_, hi_};
  }

 private:
  bool any_ = false;
  double lo_ = 0.0, hi_ = 0.0, last_ = 0.0;
};

}  // namespace

AxisRange autoRangeOf(std::span<const double> values) {
  if (values.empty()) return {};
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  if (*lo == *hi) return {values.back() - 0.5, values.back() + 0.5};
  return {*lo, *hi};
}

TachogramPlot tachogramPlot(std::span<const float> frame, double frameStart, AxisRange window) {
  TachogramPlot p;
  p.window = window;
  double sumMs = 0.0;
  std::vector<double> inside;
  bool before = false;
  double beforeX = 0.0, beforeY = 0.0;
  for (float v : frame) {
    sumMs += stepMs(v);
    const double x = frameStart + sumMs / 1000.0;
    if (x < window.min) {
      before = true;
      beforeX = x;
      beforeY = v;
      continue;
    }
    if (before) {
      p.x.push_back(beforeX);
      p.y.push_back(beforeY);
      before = false;
    }
    p.x.push_back(x);
    p.y.push_back(v);
    if (x > window.max) break;
    inside.push_back(v);
  }
  p.autoRange = autoRangeOf(inside);
  return p;
}

PoincarePlot poincareOpen(std::span<const float> intervals, std::int64_t k, double epochSeconds) {
  PoincarePlot p;
  PairRange range;
  const double lo = static_cast<double>(k - 1) * epochSeconds * 1000.0;
  const double hi = static_cast<double>(k) * epochSeconds * 1000.0;
  double t = 0.0;  // ms
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    t += stepMs(intervals[i]);
    if (t > hi) break;
    if (t > lo && i > 0) {
      p.x.push_back(intervals[i - 1]);
      p.y.push_back(intervals[i]);
      range.add(intervals[i - 1], intervals[i]);
    }
  }
  p.autoRange = range.range();
  return p;
}

PoincarePlot poincareOfRun(std::span<const float> frame, std::size_t first, std::size_t count) {
  PoincarePlot p;
  PairRange range;
  const std::size_t end = std::min(frame.size(), first + count);
  for (std::size_t i = std::max<std::size_t>(first, 1); i < end; ++i) {
    p.x.push_back(frame[i - 1]);
    p.y.push_back(frame[i]);
    range.add(frame[i - 1], frame[i]);
  }
  p.autoRange = range.range();
  return p;
}

std::optional<PoincareSd> poincareSd(const PoincarePlot& plot) {
  const std::size_t n = plot.x.size();
  if (n < 2) return std::nullopt;
  long double sx = 0, sy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sx += plot.x[i];
    sy += plot.y[i];
  }
  const long double mx = sx / n, my = sy / n, md = my - mx;
  long double vx = 0, vy = 0, vd = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const long double dx = plot.x[i] - mx, dy = plot.y[i] - my, dd = (plot.y[i] - plot.x[i]) - md;
    vx += dx * dx;
    vy += dy * dy;
    vd += dd * dd;
  }
  vx /= (n - 1);
  vy /= (n - 1);
  vd /= (n - 1);
  const long double sd1sq = vd / 2;
  const long double sdnnSq = (vx + vy) / 2;
  PoincareSd sd;
  sd.sd1 = static_cast<double>(std::sqrt(sd1sq));
  sd.sd2 = static_cast<double>(std::sqrt(std::max<long double>(0, 2 * sdnnSq - sd1sq)));
  sd.centreX = static_cast<double>(mx);
  sd.centreY = static_cast<double>(my);
  if (!std::isfinite(sd.sd1) || !std::isfinite(sd.sd2)) return std::nullopt;
  return sd;
}

std::vector<std::array<double, 2>> poincareEllipse(const PoincareSd& sd, int points) {
  std::vector<std::array<double, 2>> out;
  if (points < 3) points = 3;
  const double c = std::numbers::sqrt2 / 2;  // cos and sin of 45 degrees
  for (int i = 0; i < points; ++i) {
    const double a = 2 * std::numbers::pi * (i % (points - 1)) / (points - 1);
    const double along = sd.sd2 * std::cos(a), across = sd.sd1 * std::sin(a);
    out.push_back({sd.centreX + c * (along - across), sd.centreY + c * (along + across)});
  }
  return out;
}

double EpochSpectrum::maxPower() const {
  double m = 0.0;
  for (std::int32_t j = 1; j <= e3 && j < static_cast<std::int32_t>(power.size()); ++j) m = std::max(m, power[j]);
  return m;
}

std::optional<EpochSpectrum> spectrumOfPrepared(std::span<const double> prepared, const SpectralGrid& grid) {
  if (grid.n < 2 || prepared.size() < static_cast<std::size_t>(grid.n)) return std::nullopt;
  const std::int32_t half = grid.n / 2;
  std::unique_ptr<double[]> power(new (std::nothrow) double[half]);
  if (!power) return std::nullopt;
  EpochSpectrum s;
  if (AutoPowerSpectrum(prepared.data(), grid.n, grid.dt, power.get(), &s.df) != kNumericOk) return std::nullopt;
  const std::optional<BandPowers> bands = bandPowersOfPrepared(prepared, grid);
  if (!bands) return std::nullopt;
  s.bands = *bands;
  s.e3 = std::min(grid.kHf, half - 1);
  s.e2 = std::min(grid.kLf, s.e3);
  s.e1 = std::min(grid.kVlf, s.e2);
  s.power.assign(power.get(), power.get() + s.e3 + 1);
  return s;
}

std::optional<EpochSpectrum> spectrumOfRaw(std::span<const double> samples, const SpectralGrid& grid) {
  if (grid.n < 2 || samples.size() < static_cast<std::size_t>(grid.n)) return std::nullopt;
  std::vector<double> work;
  try {
    work.assign(samples.begin(), samples.begin() + grid.n);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (prepareSpectrumWindow(work) != kNumericOk) return std::nullopt;
  return spectrumOfPrepared(work, grid);
}

std::array<BinRun, 3> bandRuns(const EpochSpectrum& s, bool bars) {
  const std::int32_t k = bars ? 1 : 0;
  return {BinRun{1, s.e1}, BinRun{std::max(1, s.e1 + k), s.e2}, BinRun{std::max(1, s.e2 + k), s.e3}};
}

}  // namespace rc
