// Events.dat and ChannelSegments.dat parsing, and the events rewrite round trip.
#include <cstdint>

#include "store/channel_segments.h"
#include "store/events.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rc::EventList list;
  if (list.parse({data, size})) {
    list.applyDefaultNames();
    auto bytes = list.serialise();
    rc::EventList again;
    if (!again.parse(bytes)) __builtin_trap();
  }
  auto stretches = rc::parseStretches({data, size});
  if (rc::parseStretches(rc::serialiseStretches(stretches)).size() != stretches.size()) __builtin_trap();
  return 0;
}
