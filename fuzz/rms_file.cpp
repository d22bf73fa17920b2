// Decodes arbitrary bytes as an RMS file; a decoded series must encode and
// decode to the same values (compared bit for bit: NaN values are kept).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "analysis/series/series_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parsed = rc::parseRmsSeries(std::span<const std::uint8_t>(data, size));
  if (!parsed) return 0;
  const auto encoded = rc::encodeRmsSeries(*parsed);
  if (encoded.size() > size || std::memcmp(encoded.data(), data, encoded.size()) != 0) std::abort();
  auto again = rc::parseRmsSeries(encoded);
  if (!again || again->values.size() != parsed->values.size()) std::abort();
  return 0;
}
