// Breath detection: the respiration signal is high-passed (baseline drift)
// and low-passed (heart beat ripple, noise), then a breath is a swing above
// and back below a hysteresis band that follows the breathing amplitude.
#include <algorithm>
#include <cmath>

#include "detect/detectors.h"
#include "detect/filters.h"

namespace rc::detect {

namespace {

// Hysteresis as a fraction of the recent half swing.
constexpr double kHysteresis = 0.3;

struct RespTuning {
  double highPassHz;
  double lowPassHz;
  double typicalMs;
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
        // The envelope halves over the longest breath period.
        decay_(std::exp(-std::log(2.0) * 1000.0 / (respBounds(slow).upperMs * rate))) {}

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
    high_ = std::max(y, high_ * decay_);
    low_ = std::min(y, low_ * decay_);
    const double centre = 0.5 * (high_ + low_);
    const double band = kHysteresis * 0.5 * (high_ - low_);
    if (above_) {
      if (y > peak_) {
        peak_ = y;
        peakAt_ = n;
      } else if (y < centre - band) {
        found(peakAt_);
        above_ = false;
        high_ = peak_;
      }
    } else if (y > centre + band && band > 0.0) {
      above_ = true;
      peak_ = y;
      peakAt_ = n;
    }
  }

  Biquad highPass_, lowPass_, lowPass2_;
  double decay_;
  double lastGood_ = 0.0;
  bool started_ = false;
  bool above_ = false;
  double high_ = 0.0;  // decaying maximum of the filtered signal
  double low_ = 0.0;   // decaying minimum
  double peak_ = 0.0;
  std::int64_t peakAt_ = 0;
};

}  // namespace

PeriodBounds respBounds(bool slow) {
  return slow ? PeriodBounds{2000.0, 30000.0} : PeriodBounds{1200.0, 15000.0};
}

std::unique_ptr<EventDetector> makeRespDetector(double rate, bool slow) {
  return std::make_unique<RespDetector>(rate, slow);
}

}  // namespace rc::detect
