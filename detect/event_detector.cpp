#include "detect/event_detector.h"

#include <algorithm>
#include <cmath>

namespace rc::detect {

EventDetector::EventDetector(double rate, PeriodBounds bounds, double typicalPeriodMs)
    : rate_(rate),
      bounds_(bounds),
      meanPeriodMs_(std::clamp(typicalPeriodMs, bounds.lowerMs, bounds.upperMs)),
      startGuardMs_(bounds.lowerMs) {}

std::int64_t EventDetector::msToSamples(double ms) const {
  return std::max<std::int64_t>(1, std::llround(ms * rate_ / 1000.0));
}

bool EventDetector::found(std::int64_t index) {
  // The caller cannot place an event at sample 0.
  if (index <= 0) return false;
  double periodMs;
  if (last_ < 0) {
    // First event after the start or a reset: the caller dates the event
    // before it at index - period, which must not lie before the recording.
    // A beat closer to the start than its period is reported with the time
    // since the start: the caller then takes the beat itself as the first
    // event, so no interval is made up for the stretch before it.
    // An event within the first moments (startGuardMs) is the filters
    // settling, or the remnant of a complex the start of the recording cut,
    // whose place cannot be told.
    periodMs = meanPeriodMs_;
    const double sinceStartMs = static_cast<double>(index) * 1000.0 / rate_;
    if (sinceStartMs < startGuardMs_) return false;
    periodMs = std::min(periodMs, sinceStartMs);
  } else {
    const double intervalMs = static_cast<double>(index - last_) * 1000.0 / rate_;
    if (intervalMs < bounds_.lowerMs) return false;
    if (intervalMs > bounds_.upperMs) {
      // Events were missed (noise, lead off): report the usual period and let
      // the caller account for the gap.
      periodMs = meanPeriodMs_;
    } else {
      periodMs = intervalMs;
      meanPeriodMs_ += (intervalMs - meanPeriodMs_) / 8.0;
    }
  }
  last_ = index;
  if (queueSize_ == kQueueCapacity) return true;  // blocks far longer than any period
  queue_[(queueHead_ + queueSize_) % kQueueCapacity] = {index, static_cast<float>(periodMs)};
  ++queueSize_;
  return true;
}

void EventDetector::process(const float* samples, std::size_t count, float* out) {
  if (reset != 0) {
    reset = 0;
    last_ = -1;
  }
  const std::int64_t first = consumed_;
  std::fill(out, out + count, kNoValue);
  analyse(samples, count, first);
  consumed_ += static_cast<std::int64_t>(count);
  if (count > 0 && count < blockSize_) finish(consumed_);
  blockSize_ = std::max(blockSize_, count);
  if (queueSize_ == 0 || count == 0) return;
  const Pending ev = queue_[queueHead_];
  queueHead_ = (queueHead_ + 1) % kQueueCapacity;
  --queueSize_;
  const std::int64_t rel = ev.index - first;
  position = static_cast<std::int32_t>(std::clamp<std::int64_t>(rel, INT32_MIN, INT32_MAX));
  const std::size_t slot =
      rel >= 0 && rel < static_cast<std::int64_t>(count) ? static_cast<std::size_t>(rel) : 0;
  out[slot] = ev.periodMs;
}

}  // namespace rc::detect
