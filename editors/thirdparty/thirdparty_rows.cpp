#include "editors/thirdparty/thirdparty_rows.h"

#include <algorithm>
#include <cmath>

namespace rc {

std::vector<double> thirdPartyStartTimes(std::span<const float> values) {
  std::vector<double> t(values.size());
  double sum = 0.0;
  for (std::size_t k = 0; k < values.size(); ++k) {
    t[k] = sum / 1000.0;
    sum += static_cast<double>(values[k]);
  }
  return t;
}

double thirdPartyDuration(std::span<const float> values) {
  double sum = 0.0;
  for (float v : values) sum += static_cast<double>(v);
  return sum / 1000.0;
}

long long thirdPartyWholeSeconds(std::span<const float> values) {
  return static_cast<long long>(std::ceil(thirdPartyDuration(values)));
}

TimeRange applyTimeRange(const TimeRange& current, double entered, long long wholeSeconds) {
  TimeRange r = current;
  if (std::isfinite(entered)) {
    const double rounded = std::round(std::clamp(entered, -1.0e12, 1.0e12));
    r.width = std::max<long long>(1, static_cast<long long>(rounded));
  }
  if (r.width < wholeSeconds) {
    r.scrollable = true;
    r.scrollMax = wholeSeconds - r.width;
    r.start = std::clamp<long long>(r.start, 0, r.scrollMax);
  } else {
    r.scrollable = false;
    r.scrollMax = 0;
    r.start = 0;
  }
  return r;
}

std::pair<double, double> thirdPartyYRange(std::span<const float> values) {
  if (values.empty()) return {0.0, 1.0};
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  if (*lo == *hi) return {*lo - 0.5, *hi + 0.5};
  return {*lo, *hi};
}

}  // namespace rc
