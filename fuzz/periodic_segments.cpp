// Decodes arbitrary bytes as a "HRV_PSegments.dat" file: at most 200 sane
// records, which encode and decode to themselves; then offers ranges taken
// from the data to the list, which keeps its order and bound.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "editors/periodic/segments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const auto segs = rc::parsePeriodicSegments(bytes);
  if (segs.size() > rc::kMaxPeriodicSegments) std::abort();
  for (const auto& s : segs)
    if (!std::isfinite(s.start) || !std::isfinite(s.end) || s.start > s.end) std::abort();
  const auto again = rc::parsePeriodicSegments(rc::encodePeriodicSegments(segs));
  if (again != segs) std::abort();
  rc::PeriodicSegmentList list;
  for (std::size_t at = 0; at + 9 <= size; at += 9) {
    float a, b;
    std::memcpy(&a, data + at, 4);
    std::memcpy(&b, data + at + 4, 4);
    list.offer(data[at + 8] % 3, 0, a, b, 1000.0);
  }
  if (list.size() > rc::kMaxPeriodicSegments) std::abort();
  for (std::size_t i = 1; i < list.size(); ++i) {
    const auto& p = list.segments()[i - 1];
    const auto& q = list.segments()[i];
    if (p.source == q.source && !(q.start > p.end)) std::abort();
  }
  return 0;
}
