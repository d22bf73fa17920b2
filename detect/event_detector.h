#pragma once
// The block-by-block side shared by every detector: the absolute sample
// count, the queue of events found but not yet reported, and the period that
// goes with each reported event.
#include <array>
#include <cstddef>
#include <cstdint>

#include "detect/detector.h"

namespace rc::detect {

// Period limits of one detector, in milliseconds.
struct PeriodBounds {
  double lowerMs = 300.0;
  double upperMs = 2000.0;
};

class EventDetector : public DetectorObject {
 public:
  EventDetector(double rate, PeriodBounds bounds, double typicalPeriodMs);

  // Reports at most one queued event per block: its period (ms) goes into the
  // slot of its sample when that lies in this block, else into slot 0, and
  // `position` is set to its sample relative to the block's first sample.
  void process(const float* samples, std::size_t count, float* out) final;

  double rate() const { return rate_; }
  const PeriodBounds& bounds() const { return bounds_; }
  // Mean of the recent accepted periods, in ms.
  double meanPeriodMs() const { return meanPeriodMs_; }
  // Events waiting to be reported.
  std::size_t pendingCount() const { return queueSize_; }

 protected:
  // Runs the detection over one block; samples[i] is absolute sample
  // firstIndex + i. Calls found() for every event, in time order.
  virtual void analyse(const float* samples, std::size_t count, std::int64_t firstIndex) = 0;
  // Called after the last block of the recording, recognised by its being
  // shorter than the blocks before it (every block but the last has the same
  // length): decides what still waits for later samples. `end` is the
  // absolute sample after the last one.
  virtual void finish(std::int64_t /*end*/) {}

  // Records an event at absolute sample `index`. Returns false (and drops it)
  // when it is not later than the previous event by at least the lower bound.
  bool found(std::int64_t index);

  // Absolute sample of the last event, or -1 when there is none since the
  // start or the last reset.
  std::int64_t lastEvent() const { return last_; }
  std::int64_t msToSamples(double ms) const;
  // No event is reported closer to the start of the recording than this
  // (ms); the shortest period unless the detector says otherwise.
  void setStartGuard(double ms) { startGuardMs_ = ms; }

 private:
  struct Pending {
    std::int64_t index;
    float periodMs;
  };
  static constexpr std::size_t kQueueCapacity = 64;

  double rate_;
  PeriodBounds bounds_;
  double meanPeriodMs_;
  double startGuardMs_;
  std::int64_t consumed_ = 0;
  std::size_t blockSize_ = 0;  // length of the blocks before the last
  std::int64_t last_ = -1;
  std::array<Pending, kQueueCapacity> queue_{};
  std::size_t queueHead_ = 0;
  std::size_t queueSize_ = 0;
};

}  // namespace rc::detect
