#include "detect/evaluation.h"

#include <algorithm>
#include <cstdlib>

namespace rc::detect {

ParameterBlock beatParameters(bool advanced) {
  ParameterBlock p;
  p.setLowerBound(300.0f);
  p.setUpperBound(2000.0f);
  p.setDetectionType(advanced ? 1 : 0);
  return p;
}

ParameterBlock respParameters(bool slow) {
  ParameterBlock p;
  p.setLowerBound(1.0f);
  p.setUpperBound(1.0f);
  p.setRespOption(slow ? 1 : 0);
  return p;
}

std::vector<Detection> runChannel(std::span<const float> samples, double rate, std::int32_t code,
                                  const ParameterBlock& params, std::uint32_t blockRate) {
  std::vector<Detection> result;
  if (blockRate == 0 || !(rate >= 1.0)) return result;
  const auto block = static_cast<std::size_t>(rate / blockRate);
  if (block == 0) return result;
  std::vector<float> out(block);
  SignalLibrary lib;
  lib.start(blockRate);
  DetectorObject* handle = nullptr;
  std::size_t k = 0;
  auto detectSamples = [&](std::size_t first, std::size_t count) {
    lib.setTime(static_cast<double>(k) / blockRate);
    lib.setTimeStep(1.0 / blockRate);
    if (lib.detect(code, samples.data() + first, 0, out.data(), static_cast<std::int32_t>(count), 0, params,
                   rate, &handle) != kOk)
      return false;
    for (std::size_t i = 0; i < count; ++i) {
      const float v = out[i];
      if (!(v > 0.0f) || v >= kDetectionLimit) continue;
      std::int64_t p = static_cast<std::int64_t>(handle->position) + static_cast<std::int64_t>(first);
      if (p <= 0) p = static_cast<std::int64_t>(first + i);
      if (p >= static_cast<std::int64_t>(samples.size())) continue;
      result.push_back({p, v});
    }
    return true;
  };
  const std::size_t n = samples.size();
  for (std::size_t first = 0; first < n; first += block, ++k) {
    const std::size_t count = std::min(block, n - first);
    // As the program does: a last block of the usual length gives its last
    // sample a call of its own.
    const BlockCalls calls = callsOfBlock(first, count, n, block);
    bool ok = true;
    for (int j = 0; j < calls.calls && ok; ++j) ok = detectSamples(calls.first[j], calls.count[j]);
    if (!ok) break;
  }
  release(handle);
  std::stable_sort(result.begin(), result.end(),
                   [](const Detection& a, const Detection& b) { return a.sample < b.sample; });
  return result;
}

double MatchScore::sensitivity() const {
  const auto n = truePositives + falseNegatives;
  return n ? static_cast<double>(truePositives) / static_cast<double>(n) : 1.0;
}

double MatchScore::positivePredictivity() const {
  const auto n = truePositives + falsePositives;
  return n ? static_cast<double>(truePositives) / static_cast<double>(n) : 1.0;
}

MatchScore matchEvents(std::span<const std::int64_t> reference, std::span<const std::int64_t> detected,
                       std::int64_t tolerance, std::int64_t shift) {
  MatchScore s;
  std::size_t j = 0;
  for (std::int64_t r0 : reference) {
    const std::int64_t r = r0 + shift;
    while (j < detected.size() && detected[j] < r - tolerance) {
      ++s.falsePositives;
      ++j;
    }
    if (j < detected.size() && std::llabs(detected[j] - r) <= tolerance) {
      // Take the closer of this detection and the next one when both fit.
      if (j + 1 < detected.size() && std::llabs(detected[j + 1] - r) < std::llabs(detected[j] - r)) {
        ++s.falsePositives;
        ++j;
      }
      s.offsets.push_back(detected[j] - r);
      ++s.truePositives;
      ++j;
    } else {
      ++s.falseNegatives;
    }
  }
  s.falsePositives += static_cast<std::int64_t>(detected.size() - j);
  return s;
}

std::vector<std::int64_t> samplesOf(std::span<const Detection> detections) {
  std::vector<std::int64_t> v;
  v.reserve(detections.size());
  for (const Detection& d : detections) v.push_back(d.sample);
  return v;
}

}  // namespace rc::detect
