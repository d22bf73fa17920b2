// Reads arbitrary bytes as an IBI text file of other software with every
// layout, and proposes a layout for them; the proposal must read the bytes
// to its own first values.
#include <cstdint>
#include <cstdlib>

#include "editors/thirdparty/ibi_text_detect.h"
#include "editors/thirdparty/ibi_text_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const int header = size > 0 ? data[0] % 8 : 0;
  for (rc::IbiTextLayout kind : {rc::IbiTextLayout::Lines, rc::IbiTextLayout::Inline, rc::IbiTextLayout::HrmSection}) {
    for (int two = 0; two < 2; ++two) {
      for (char sep : {',', '\t'}) {
        const rc::IbiFileLayout layout{kind, header, two == 1, (size & 1) != 0, sep};
        const rc::IbiTextReadResult r = rc::readIbiText(bytes, layout);
        for (float v : r.values) {
          if (!(v > 0.0f)) std::abort();  // no zero, negative or NaN interval is ever read
        }
        if (r.outOfRange > r.values.size()) std::abort();
      }
    }
  }
  const rc::IbiLayoutProposal p = rc::detectIbiLayout(bytes);
  if (p.recognised && bytes.size() <= rc::kDetectBytes) {
    const rc::IbiTextReadResult r = rc::readIbiText(bytes, p.layout);
    for (std::size_t i = 0; i < p.firstValues.size(); ++i) {
      if (i >= r.values.size() || r.values[i] != p.firstValues[i]) std::abort();
    }
  }
  return 0;
}
