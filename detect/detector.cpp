#include "detect/detector.h"

#include <cmath>
#include <memory>

#include "detect/detectors.h"

namespace rc::detect {

namespace {

constexpr double kMinRate = 100.0;
// Breathing lies below 1 Hz, and respiration is often recorded slowly.
constexpr double kMinRespRate = 10.0;
constexpr double kMaxRate = 8000.0;

// The bounds of the parameter block, or the usual beat limits when they are
// missing or make no sense (NaN, reversed, outside 100 .. 10000 ms).
PeriodBounds beatBounds(const ParameterBlock& params) {
  const double lower = params.lowerBound();
  const double upper = params.upperBound();
  if (!(lower >= 100.0 && upper <= 10000.0 && upper >= lower + 100.0)) return {};
  return {lower, upper};
}

}  // namespace

void ParameterBlock::setFloat(std::size_t offset, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

float ParameterBlock::getFloat(std::size_t offset) const {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::int32_t SignalLibrary::start(std::uint32_t blockRate) {
  blockRate_ = blockRate;
  time_ = 0.0;
  step_ = blockRate ? 1.0 / blockRate : 0.0;
  return 0;
}

std::int32_t SignalLibrary::setTime(double t) {
  time_ = t;
  return 0;
}

std::int32_t SignalLibrary::setTimeStep(double dt) {
  step_ = dt;
  return 0;
}

std::int32_t SignalLibrary::detect(std::int32_t code, const float* samples, std::int32_t, float* out,
                                   std::int32_t count, std::int32_t, const ParameterBlock& params,
                                   double sampleRate, DetectorObject** handle) {
  if (handle == nullptr || count < 0 || (count > 0 && (samples == nullptr || out == nullptr)))
    return kErrorArguments;
  if (*handle == nullptr) {
    const double minRate = code == kCodeResp ? kMinRespRate : kMinRate;
    if (!(sampleRate >= minRate && sampleRate <= kMaxRate)) return kErrorRate;
    const bool advanced = params.detectionType() != 0;
    std::unique_ptr<EventDetector> made;
    switch (code) {
      case kCodeEkg:
        made = makeEkgDetector(sampleRate, beatBounds(params), advanced);
        break;
      case kCodeBvp:
        made = makeBvpDetector(sampleRate, beatBounds(params), advanced);
        break;
      case kCodeResp:
        made = makeRespDetector(sampleRate, params.respOption() != 0);
        break;
      default:
        return kErrorCode;
    }
    *handle = made.release();
  }
  (*handle)->process(samples, static_cast<std::size_t>(count), out);
  return 0;
}

void release(DetectorObject* handle) { delete handle; }

}  // namespace rc::detect
