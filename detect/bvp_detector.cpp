// Pulse detection: band-pass 0.5-8 Hz, slope sum (the rises of the last
// 128 ms added up), whose peaks are classified by PeakClassifier. The beat is
// the steepest point of the upstroke, which moves least with the pulse shape.
#include <algorithm>
#include <cmath>

#include "detect/detectors.h"
#include "detect/filters.h"
#include "detect/peak_classifier.h"

namespace rc::detect {

namespace {

constexpr double kSlopeSumMs = 128.0;
constexpr double kDerivativeMs = 8.0;
constexpr double kHoldMs = 150.0;
constexpr double kGuardMs = 60.0;
constexpr double kHistoryMs = 800.0;
constexpr double kLowPassHz = 8.0;
// Delay of the two low-pass sections at low frequencies (sqrt 2 / wc each), ms.
constexpr double kLowPassDelayMs = 2.0 * 1.41421356 / (2.0 * 3.14159265 * kLowPassHz) * 1000.0;

class BvpDetector final : public EventDetector {
 public:
  BvpDetector(double rate, PeriodBounds bounds, bool advanced)
      : EventDetector(rate, bounds, 800.0),
        highPass_(Biquad::highPass(0.5, rate)),
        lowPass_(Biquad::lowPass(kLowPassHz, rate)),
        lowPass2_(Biquad::lowPass(kLowPassHz, rate)),
        delay_(msToSamples(kLowPassDelayMs)),
        lag_(msToSamples(kDerivativeMs)),
        window_(msToSamples(kSlopeSumMs)),
        hold_(msToSamples(kHoldMs)),
        guard_(msToSamples(kGuardMs)),
        slopeSum_(static_cast<std::size_t>(window_)),
        band_(static_cast<std::size_t>(msToSamples(kHistoryMs))),
        classifier_(options(rate, bounds, advanced), [this](std::int64_t at) { found(at); }) {}

 protected:
  void analyse(const float* samples, std::size_t count, std::int64_t firstIndex) override {
    for (std::size_t i = 0; i < count; ++i) step(samples[i], firstIndex + static_cast<std::int64_t>(i));
  }

 private:
  static ClassifierOptions options(double rate, PeriodBounds bounds, bool advanced) {
    ClassifierOptions o;
    o.rate = rate;
    o.refractoryMs = bounds.lowerMs;
    o.upperMs = bounds.upperMs;
    o.noiseTracking = advanced;
    o.fraction = advanced ? 0.3 : 0.4;
    o.searchFloor = 0.3;
    // A dicrotic wave within this time of the pulse has far less upslope.
    o.tWaveWindowMs = advanced ? 450.0 : 0.0;
    o.tWaveShare = 0.6;
    o.latencyMs = kHoldMs + kSlopeSumMs + kGuardMs;
    return o;
  }

  void step(float raw, std::int64_t n) {
    double x = raw;
    if (!std::isfinite(x)) {
      x = lastGood_;
    } else if (!started_) {
      started_ = true;
      highPass_.settle(x);
    }
    lastGood_ = x;
    const double b = lowPass2_.step(lowPass_.step(highPass_.step(x)));
    band_.put(n, static_cast<float>(b));
    const double d = b - band_.at(n - lag_);
    const double f = slopeSum_.step(d > 0.0 ? d : 0.0);

    if (rising_) {
      if (f > peak_) {
        peak_ = f;
        peakAt_ = n;
      } else if (f < 0.5 * peak_ || n - peakAt_ > hold_) {
        declare();
        rising_ = false;
      }
    } else if (f > previous_) {
      rising_ = true;
      peak_ = f;
      peakAt_ = n;
    }
    previous_ = f;
    classifier_.tick(n);
  }

  void declare() {
    if (!(peak_ > 0.0)) return;
    Candidate c;
    c.featureIndex = peakAt_;
    c.height = peak_;
    c.location = peakAt_;
    const std::int64_t from = std::max<std::int64_t>(0, peakAt_ - window_ - guard_);
    for (std::int64_t k = from; k <= peakAt_; ++k) {
      const double s = band_.at(k) - band_.at(k - lag_);
      if (s > c.slope) {
        c.slope = s;
        c.location = k;
      }
    }
    // The difference spans lag_ samples, so its steepest point lies mid-way;
    // the low-pass delay is taken off as well.
    c.location = std::max<std::int64_t>(0, c.location - lag_ / 2 - delay_);
    classifier_.offer(c);
  }

  Biquad highPass_, lowPass_, lowPass2_;
  std::int64_t delay_, lag_, window_, hold_, guard_;
  MovingSum slopeSum_;
  History<float> band_;
  PeakClassifier classifier_;
  double lastGood_ = 0.0;
  bool started_ = false;
  bool rising_ = false;
  double peak_ = 0.0;
  std::int64_t peakAt_ = 0;
  double previous_ = 0.0;
};

}  // namespace

std::unique_ptr<EventDetector> makeBvpDetector(double rate, PeriodBounds bounds, bool advanced) {
  return std::make_unique<BvpDetector>(rate, bounds, advanced);
}

}  // namespace rc::detect
