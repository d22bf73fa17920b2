// Decodes arbitrary bytes as an IBI or respiration period file, in both
// session modes; a decoded series must encode and decode to itself.
#include "analysis/series/series_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (bool open : {true, false}) {
    auto parsed = rc::parseIntervalSeries(bytes, open);
    if (!parsed) continue;
    rc::IntervalSeries series = *parsed;
    (void)rc::intervalEndTimes(series);
    if (!rc::prepareForWrite(series, open)) std::abort();  // a decoded table is always consistent
    const auto encoded = rc::encodeIntervalSeries(series);
    auto again = rc::parseIntervalSeries(encoded, open);
    if (!again || !(*again == series)) std::abort();
  }
  return 0;
}
