#pragma once
// Helpers shared by the beat and pulse classifiers: their lists of rejected
// candidates (each candidate type has `height` and `location`), the cap on
// what one beat does to their levels, and the sink of their levels in a long
// silence.
#include <algorithm>
#include <cstddef>
#include <vector>

namespace rc::detect {

// Adds c to a list of at most `capacity` rejected candidates; when it is full
// the smallest gives way, unless c is no larger.
template <typename C>
void keepLargest(std::vector<C>& list, const C& c, std::size_t capacity) {
  if (list.size() == capacity) {
    auto smallest = std::min_element(list.begin(), list.end(),
                                     [](const C& a, const C& b) { return a.height < b.height; });
    if (smallest->height >= c.height) return;
    list.erase(smallest);
  }
  list.push_back(c);
}

// The search back's pick among the eligible candidates of `list`: the
// earliest one of a size comparable to the largest (half of it or more), so
// that when two beats were missed both are found in turn. Null when none is
// eligible.
template <typename C, typename Eligible>
const C* earliestOfComparableSize(const std::vector<C>& list, Eligible eligible) {
  double largest = 0.0;
  for (const C& n : list)
    if (eligible(n)) largest = std::max(largest, n.height);
  if (largest <= 0.0) return nullptr;
  for (const C& n : list)
    if (eligible(n) && n.height >= 0.5 * largest) return &n;
  return nullptr;
}

// One beat (or an artefact taken for one) moves a level no more than a beat
// of this many times the level would.
inline constexpr double kLevelCap = 3.0;

// After a long silence a level sinks halfway towards `towards` at each step,
// so that a weaker signal is found again. But when the silence follows a run
// of beats, for as long as a pause may last (kLongestPauseMs), it sinks no
// lower than `floor` (the classifiers take kSinkFloor times the noise level
// and a share of the level before the silence): a pause (sinus arrest, a
// blocked beat) holds only noise.
inline constexpr double kSinkFloor = 3.0;
inline constexpr double kLongestPauseMs = 10000.0;

inline double sinkLevel(double level, double towards, bool pause, double floor) {
  return std::max(pause ? std::min(level, floor) : 0.0, towards + 0.5 * (level - towards));
}

}  // namespace rc::detect
