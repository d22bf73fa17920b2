// Raw samples from a recording through every detector: the first bytes pick
// the detector, its type or option and the sample rate; the rest are samples.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "detect/evaluation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const std::int32_t codes[] = {rc::detect::kCodeEkg, rc::detect::kCodeBvp, rc::detect::kCodeResp};
  const std::int32_t code = codes[data[0] % 3];
  const bool option = data[1] & 1;
  const double rate = 100.0 + (static_cast<unsigned>(data[2]) | (static_cast<unsigned>(data[3]) << 8)) % 7901;
  std::vector<float> samples((size - 4) / 4);
  if (!samples.empty()) std::memcpy(samples.data(), data + 4, samples.size() * 4);
  auto params = code == rc::detect::kCodeResp ? rc::detect::respParameters(option) : rc::detect::beatParameters(option);
  auto found = rc::detect::runChannel(samples, rate, code, params, 16);
  std::int64_t last = -1;
  for (const auto& d : found) {
    if (d.sample <= 0 || d.sample >= static_cast<std::int64_t>(samples.size())) __builtin_trap();
    if (!(d.periodMs > 0.0f) || !std::isfinite(d.periodMs)) __builtin_trap();
    if (d.sample < last) __builtin_trap();
    last = d.sample;
  }
  return 0;
}
