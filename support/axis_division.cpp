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
    // Of the nice steps near span / ticks, the one whose whole steps come
    // nearest `ticks` (the shorter range on a tie).
    const double mag = std::pow(10.0, std::floor(std::log10(span / ticks)));
    AxisDivision best{lo, hi, 0};
    int bestMiss = 0;
    for (double m : {mag / 10, mag, mag * 10})
      for (double f : {1.0, 2.0, 2.5, 5.0}) {
        const double step = f * m;
        const double a = std::floor(lo / step + 1e-9) * step, b = std::ceil(hi / step - 1e-9) * step;
        const int n = std::max(1, static_cast<int>(std::lround((b - a) / step)));
        const int miss = std::abs(n - ticks);
        if (best.segments == 0 || miss < bestMiss || (miss == bestMiss && b - a < best.hi - best.lo)) {
          best = {a, b, n};
          bestMiss = miss;
        }
      }
    return best;
  }
  // The count nearest `ticks` whose step is nice.
  for (int d = 0; d <= ticks; ++d)
    for (int n : {ticks - d, ticks + d})
      if (n >= 2 && n <= 2 * ticks && niceStep(span / n)) return {lo, hi, n};
  return {lo, hi, ticks};
}

}  // namespace rc
