// Fuzzes the channel-set version trailer reader with whole files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "store/staging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int r = rc::versionTrailerOf(std::span<const std::uint8_t>(data, size));
  if (r < 0 || r > 4 || r == rc::kTrailerUnreadable) std::abort();
  if (size <= rc::kTrailerSize && r != rc::kTrailerTooShort) std::abort();
  return 0;
}
