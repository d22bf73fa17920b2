#include <algorithm>

#include "analysis/series/series.h"

namespace rc {

IntervalSeries emptyOpenSeries() {
  IntervalSeries s;
  s.segments.push_back(SegmentRecord{});
  return s;
}

double segmentFirstEventTime(const IntervalSeries& series, std::size_t s) {
  if (s == 0 || s >= series.segments.size()) return series.firstEventTime;
  const SegmentRecord& r = series.segments[s];
  return static_cast<double>(r.segmentStart) + static_cast<double>(r.firstBeatOffset);
}

std::vector<double> intervalEndTimes(const IntervalSeries& series) {
  std::vector<double> ends;
  ends.reserve(series.values.size());
  const std::size_t n = series.values.size();
  std::size_t k = 0;
  double sumMs = 0.0;
  double origin = series.firstEventTime;
  for (std::size_t s = 0; s < series.segments.size() && k < n; ++s) {
    origin = segmentFirstEventTime(series, s);
    sumMs = 0.0;
    const std::size_t count = static_cast<std::size_t>(std::max(series.segments[s].intervalCount, 0));
    for (std::size_t j = 0; j < count && k < n; ++j, ++k) {
      sumMs += static_cast<double>(series.values[k]);
      ends.push_back(origin + sumMs / 1000.0);
    }
  }
  for (; k < n; ++k) {
    sumMs += static_cast<double>(series.values[k]);
    ends.push_back(origin + sumMs / 1000.0);
  }
  return ends;
}

}  // namespace rc
