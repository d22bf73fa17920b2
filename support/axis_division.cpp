#include "support/axis_division.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rc {

namespace {

// Whether step is 1, 2, 2.5 or 5 times a power of ten.
bool niceStep(double step) {
  if (!(step > 0) || !std::isfinite(step)) return false;
  const double mag = std::pow(10.0, std::floor(std::log10(step)));
  const double f = step / mag;
  for (double n : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (std::fabs(f - n) < 1e-6 * n) return true;
  return false;
}

}  // namespace

AxisDivision axisDivision(double lo, double hi, int ticks, bool extend) {
  ticks = std::max(1, ticks);
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return {lo, std::isfinite(lo) ? lo + 1.0 : 1.0, 1};
  const double span = hi - lo;
  if (extend) {
    // Of the nice steps near span / ticks, the one that wastes least room
    // with between ticks - 1 and ticks + 2 divisions (at least 2); failing
    // that, the one whose division count comes nearest `ticks`.
    const double mag = std::pow(10.0, std::floor(std::log10(span / ticks)));
    const int fewest = std::max(2, ticks - 1), most = ticks + 2;
    AxisDivision best{lo, hi, 0}, nearest{lo, hi, 0};
    for (double m : {mag / 10, mag, mag * 10})
      for (double f : {1.0, 2.0, 2.5, 5.0}) {
        const double step = f * m;
        const double a = std::floor(lo / step + 1e-9) * step, b = std::ceil(hi / step - 1e-9) * step;
        const int n = std::max(1, static_cast<int>(std::lround((b - a) / step)));
        const AxisDivision d{a, b, n};
        if (n >= fewest && n <= most &&
            (best.segments == 0 || b - a < best.hi - best.lo ||
             (b - a == best.hi - best.lo && std::abs(n - ticks) < std::abs(best.segments - ticks))))
          best = d;
        if (nearest.segments == 0 || std::abs(n - ticks) < std::abs(nearest.segments - ticks) ||
            (std::abs(n - ticks) == std::abs(nearest.segments - ticks) && b - a < nearest.hi - nearest.lo))
          nearest = d;
      }
    return best.segments != 0 ? best : nearest;
  }
  // The count nearest `ticks` whose step is nice.
  for (int d = 0; d <= ticks; ++d)
    for (int n : {ticks - d, ticks + d})
      if (n >= 2 && n <= 2 * ticks && niceStep(span / n)) return {lo, hi, n};
  return {lo, hi, ticks};
}

int axisDecimals(const AxisDivision& d) {
  const double step = (d.hi - d.lo) / std::max(1, d.segments);
  if (!(step > 0.0) || !std::isfinite(step)) return 0;
  int decimals = 0;
  double scaled = step;
  while (decimals < 9 && std::fabs(scaled - std::round(scaled)) > 1e-6 * std::max(1.0, scaled)) {
    scaled *= 10.0;
    ++decimals;
  }
  return decimals;
}

}  // namespace rc
