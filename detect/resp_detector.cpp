// Breath detection: the respiration signal is high-passed (baseline drift)
// and low-passed (heart beat ripple, noise); then turning points are followed
// with a hysteresis: a peak counts once the signal has fallen from it by a
// set share of the recent breath swing, a trough once it has risen by it. A
// breath is reported at its peak. Working on swings rather than levels keeps
// slow trends that survive the high-pass from hiding shallow breaths.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "detect/detectors.h"
#include "detect/filters.h"

namespace rc::detect {

namespace {

// Hysteresis as a share of the recent swing (peak to trough).
constexpr double kHysteresis = 0.3;
// Weight of a new swing in the running swing size.
constexpr double kSwingWeight = 0.3;

struct RespTuning {
  double highPassHz;
  double lowPassHz;
  double typicalMs;
  // Delay of the two low-pass sections at low frequencies (sqrt 2 / wc each), ms.
  double delayMs() const { return 2.0 * std::numbers::sqrt2 / (2.0 * std::numbers::pi * lowPassHz) * 1000.0; }
};

RespTuning tuning(bool slow) {
  // Slow: 3 breaths per minute is 0.05 Hz, so the drift filter sits well below it.
  return slow ? RespTuning{0.012, 0.6, 6000.0} : RespTuning{0.04, 1.2, 3500.0};
}

class RespDetector final : public EventDetector {
 public:
  RespDetector(double rate, bool slow)
      : EventDetector(rate, respBounds(slow), tuning(slow).typicalMs),
        highPass_(Biquad::highPass(tuning(slow).highPassHz, rate)),
        lowPass_(Biquad::lowPass(tuning(slow).lowPassHz, rate)),
        lowPass2_(Biquad::lowPass(tuning(slow).lowPassHz, rate)),
        minimum_(msToSamples(respBounds(slow).lowerMs)),
        delay_(msToSamples(tuning(slow).delayMs())) {}

 protected:
  void analyse(const float* samples, std::size_t count, std::int64_t firstIndex) override {
    for (std::size_t i = 0; i < count; ++i) step(samples[i], firstIndex + static_cast<std::int64_t>(i));
  }

 private:
  void step(float raw, std::int64_t n) {
    double x = raw;
    if (!std::isfinite(x)) {
      x = lastGood_;
    } else if (!started_) {
      started_ = true;
      highPass_.settle(x);
    }
    lastGood_ = x;
    const double y = lowPass2_.step(lowPass_.step(highPass_.step(x)));

    if (swings_ < 2) {
      // Until two swings are known, the range seen so far sets the scale.
      lowest_ = std::min(lowest_, y);
      highest_ = std::max(highest_, y);
      swing_ = highest_ - lowest_;
    }
    const double band = kHysteresis * swing_;
    if (rising_) {
      if (y > extreme_) {
        extreme_ = y;
        extremeAt_ = n;
      } else if (y < extreme_ - band && band > 0.0) {
        offerPeak(extreme_, std::max<std::int64_t>(1, extremeAt_ - delay_));
        learnSwing(extreme_ - trough_);
        peak_ = extreme_;
        rising_ = false;
        extreme_ = y;
      }
    } else {
      if (y < extreme_) {
        extreme_ = y;
      } else if (y > extreme_ + band && band > 0.0) {
        learnSwing(peak_ - extreme_);
        trough_ = extreme_;
        rising_ = true;
        extreme_ = y;
        extremeAt_ = n;
      }
    }
    if (tentativeAt_ >= 0 && n - tentativeAt_ >= 2 * minimum_) {
      if (found(tentativeAt_)) overdueAt_ = n + overdueSamples();
      tentativeAt_ = -1;
    }
    if (n >= overdueAt_) {
      // No breath for a while: shallower breathing, so shrink the scale.
      swing_ *= 0.5;
      overdueAt_ = n + overdueSamples() / 2;
    }
  }

  // A peak is held until it is twice the shortest breath period old; a
  // larger peak within the shortest period replaces it, so that a notch on a
  // breath does not hide its real top.
  void offerPeak(double value, std::int64_t at) {
    if (tentativeAt_ >= 0 && at - tentativeAt_ >= minimum_) {
      if (found(tentativeAt_)) overdueAt_ = at + overdueSamples();
      tentativeAt_ = -1;
    }
    if (tentativeAt_ < 0 || value > tentative_) {
      tentative_ = value;
      tentativeAt_ = at;
    }
  }

  void learnSwing(double s) {
    if (!(s > 0.0)) return;
    if (swings_ < 2) {
      ++swings_;
      if (swings_ < 2) return;
      swing_ = s;
      return;
    }
    swing_ += kSwingWeight * (s - swing_);
  }

  std::int64_t overdueSamples() const { return msToSamples(1.5 * meanPeriodMs()); }

  Biquad highPass_, lowPass_, lowPass2_;
  std::int64_t minimum_;  // shortest breath period, samples
  std::int64_t delay_;    // low-pass delay taken off the peak, samples
  double tentative_ = 0.0;
  std::int64_t tentativeAt_ = -1;
  double lastGood_ = 0.0;
  bool started_ = false;
  // A peak needs a trough before it, so the search starts with a minimum.
  bool rising_ = false;
  double extreme_ = std::numeric_limits<double>::infinity();  // maximum while rising, minimum while falling
  std::int64_t extremeAt_ = 0;
  double peak_ = 0.0;    // last confirmed peak
  double trough_ = 0.0;  // last confirmed trough
  double swing_ = 0.0;   // recent swing size
  int swings_ = 0;
  double lowest_ = 0.0, highest_ = 0.0;
  std::int64_t overdueAt_ = std::numeric_limits<std::int64_t>::max();
};

}  // namespace

PeriodBounds respBounds(bool slow) {
  return slow ? PeriodBounds{2000.0, 30000.0} : PeriodBounds{1200.0, 15000.0};
}

std::unique_ptr<EventDetector> makeRespDetector(double rate, bool slow) {
  return std::make_unique<RespDetector>(rate, slow);
}

}  // namespace rc::detect
