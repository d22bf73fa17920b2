// ChannelSegments.dat as the rejection editor takes it: the records read,
// normalised (sorted, merged per channel), then ranges added by the merge
// rule; every channel's stretches must stay ascending and apart, and the
// statistics' test must agree with the list.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

#include "editors/rejection/rejection_list.h"

namespace {
void check(const std::vector<rc::TSessionSegment>& list) {
  std::map<std::int32_t, double> lastEnd;
  for (const rc::TSessionSegment& r : list) {
    if (!(r.start <= r.end)) __builtin_trap();
    auto it = lastEnd.find(r.channel);
    if (it != lastEnd.end() && !(it->second < r.start)) __builtin_trap();
    lastEnd[r.channel] = r.end;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t half = size / 2 / rc::kStretchRecordSize * rc::kStretchRecordSize;
  std::vector<rc::TSessionSegment> list = rc::normaliseStretches(rc::parseStretches({data, half}));
  check(list);
  // The rest of the input: ranges added one after another.
  for (const rc::TSessionSegment& r : rc::parseStretches({data + half, size - half})) {
    if (!std::isfinite(r.start) || !std::isfinite(r.end)) continue;
    rc::addRejection(list, r.start, r.end, r.channel % 4);
    check(list);
    // Halving rounds subnormal ends, so the middle is kept inside the range.
    const double mid = std::clamp(r.start / 2 + r.end / 2, std::min(r.start, r.end), std::max(r.start, r.end));
    if (std::isfinite(mid) && !rc::isRejected(list, r.channel % 4, mid)) __builtin_trap();
  }
  return 0;
}
