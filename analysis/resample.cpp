#include "analysis/resample.h"

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

bool resampleWindow(std::span<const float> intervals, double firstStart, std::optional<float> before,
                    double t0, double dt, std::span<double> out) {
  if (intervals.empty()) return false;
  const std::size_t n = intervals.size();
  const double beforeValue = before ? *before : intervals[0];
  // Times in ms: the running sum of float intervals is exact in double, and
  // for an axis starting at 0 so are the sample times, so samples that fall
  // exactly on a beat are assigned by the boundary rule, not by rounding.
  const double startMs = firstStart * 1000.0;
  auto step = [&](std::size_t i) {
    const double v = intervals[i];
    return std::isfinite(v) ? v : 0.0;
  };
  std::size_t i = 0;
  double sumMs = step(0);
  for (std::size_t k = 0; k < out.size(); ++k) {
    const double t = (t0 + static_cast<double>(k) * dt) * 1000.0;
    if (t <= startMs) {
      out[k] = beforeValue;
      continue;
    }
    while (i < n && startMs + sumMs < t) {
      ++i;
      if (i < n) sumMs += step(i);
    }
    out[k] = intervals[i < n ? i : n - 1];
  }
  return true;
}

std::vector<double> resampleOpenSession(std::span<const float> intervals, std::int32_t epochs,
                                        const SpectralGrid& grid) {
  if (intervals.empty() || epochs < 1 || grid.n < 1) return {};
  std::vector<double> out(static_cast<std::size_t>(epochs) * static_cast<std::size_t>(grid.n));
  resampleWindow(intervals, 0.0, std::nullopt, 0.0, grid.dt, out);
  return out;
}

}  // namespace rc
