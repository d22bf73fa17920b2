#pragma once
// The time axis of a third-party series: interval k starts at the sum of
// intervals 0 .. k-1 divided by 1000 (the first at 0 s). The list's rows and
// their texts are those of the shared edit model (editors/periodic).
#include <span>
#include <string>
#include <vector>

namespace rc {

// Start times in seconds, summed in double.
std::vector<double> thirdPartyStartTimes(std::span<const float> values);

// The duration in seconds (the sum of all intervals / 1000), and T = that
// rounded up to a whole second.
double thirdPartyDuration(std::span<const float> values);
long long thirdPartyWholeSeconds(std::span<const float> values);

// The visible time range: W = the entry rounded to a whole number, at least 1
// (a negative or zero entry gives 1; a non-number keeps the previous W).
// The window start p is kept but at most T - W; when W >= T the window is
// [0, W] and there is nothing to scroll.
struct TimeRange {
  long long width = 60;   // W, s
  long long start = 0;    // p, s
  bool scrollable = false;
  long long scrollMax = 0;  // the largest p
};
TimeRange applyTimeRange(const TimeRange& current, double entered, long long wholeSeconds);

// The chart's Y range: the smallest to the largest value, value +- 0.5 when
// all are equal, 0 to 1 for an empty series.
std::pair<double, double> thirdPartyYRange(std::span<const float> values);

}  // namespace rc
