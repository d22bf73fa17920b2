#pragma once
// The rows of a third-party series as the editor lists them: interval k
// starts at the sum of intervals 0 .. k-1 divided by 1000 (the first at 0 s).
// Start times are kept once; the texts are made when a row is shown.
#include <span>
#include <string>
#include <vector>

namespace rc {

// Start times in seconds, summed in double.
std::vector<double> thirdPartyStartTimes(std::span<const float> values);

// The row time text "hh:mm:ss.fff" ("%02d:%02d:%06.3f" with the user's
// decimal separator), and the interval text "%.6f".
std::string thirdPartyRowTime(double seconds, char decimal);
std::string thirdPartyIntervalText(float ms);

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
