#include "analysis/epochs/resample.h"

#include <cmath>

namespace rc {
namespace {

std::int32_t bandEdgeBin(double edgeHz, double df) { return static_cast<std::int32_t>(edgeHz / df); }

}  // namespace

SpectralGrid spectralGrid(std::int32_t epochSeconds) {
  SpectralGrid g;
  switch (epochSeconds) {
    case 60:
      g.n = 256;
      g.dt = 0.234375;
      break;
    case 180:
      g.n = 1024;
      g.dt = 0.17578125;
      break;
    case 300:
      g.n = 1024;
      g.dt = 0.29296875;
      break;
    default:
      g.n = 2048;
      g.dt = 0.29296875;
      break;
  }
  const double df = g.df();
  g.kVlf = bandEdgeBin(0.04, df);
  g.kLf = bandEdgeBin(0.15, df);
  g.kHf = bandEdgeBin(0.4, df);
  return g;
}

namespace {

double stepMs(float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; }

// Sample-and-hold from interval `cursor.i` on: out[k] takes the interval in
// progress at t0 + (first + k) * dt seconds, the intervals starting at
// startMs (ms); before that, beforeValue. cursor.sumMs is the end of interval
// i relative to startMs, and both move on with the samples.
struct Cursor {
  std::size_t i = 0;
  double sumMs = 0.0;
};

void hold(std::span<const float> intervals, double startMs, double beforeValue, double t0, double dt,
          std::size_t first, std::span<double> out, Cursor& c) {
  const std::size_t n = intervals.size();
  for (std::size_t k = 0; k < out.size(); ++k) {
    // Times in ms: the running sum of float intervals is exact in double, and
    // for an axis starting at 0 so are the sample times, so samples that fall
    // exactly on a beat are assigned by the boundary rule, not by rounding.
    const double t = (t0 + static_cast<double>(first + k) * dt) * 1000.0;
    if (t <= startMs) {
      out[k] = beforeValue;
      continue;
    }
    while (c.i < n && startMs + c.sumMs < t) {
      ++c.i;
      if (c.i < n) c.sumMs += stepMs(intervals[c.i]);
    }
    out[k] = intervals[c.i < n ? c.i : n - 1];
  }
}

}  // namespace

bool resampleWindow(std::span<const float> intervals, double firstStart, std::optional<float> before,
                    double t0, double dt, std::span<double> out) {
  if (intervals.empty()) return false;
  Cursor c{0, stepMs(intervals[0])};
  hold(intervals, firstStart * 1000.0, before ? *before : intervals[0], t0, dt, 0, out, c);
  return true;
}

OpenSessionResampler::OpenSessionResampler(std::span<const float> intervals, const SpectralGrid& grid)
    : intervals_(intervals), dt_(grid.dt), n_(grid.n > 0 ? static_cast<std::size_t>(grid.n) : 0) {
  if (!intervals_.empty()) sumMs_ = stepMs(intervals_[0]);
}

bool OpenSessionResampler::next(std::span<double> out) {
  if (intervals_.empty() || out.size() != n_ || n_ == 0) return false;
  Cursor c{i_, sumMs_};
  hold(intervals_, 0.0, intervals_[0], 0.0, dt_, produced_, out, c);
  i_ = c.i;
  sumMs_ = c.sumMs;
  produced_ += n_;
  return true;
}

std::vector<double> resampleOpenSession(std::span<const float> intervals, std::int32_t epochs,
                                        const SpectralGrid& grid) {
  if (intervals.empty() || epochs < 1 || grid.n < 1) return {};
  std::vector<double> out(static_cast<std::size_t>(epochs) * static_cast<std::size_t>(grid.n));
  OpenSessionResampler r(intervals, grid);
  for (std::int32_t k = 0; k < epochs; ++k)
    r.next(std::span<double>(out).subspan(static_cast<std::size_t>(k) * static_cast<std::size_t>(grid.n),
                                          static_cast<std::size_t>(grid.n)));
  return out;
}

}  // namespace rc
