// QRS detection: band-pass 5-15 Hz, derivative over 10 ms, squared and
// integrated over 150 ms; the peaks of that energy are classified by
// PeakClassifier. Every length is set in milliseconds, so the detector works
// the same at any rate.
#include <algorithm>
#include <cmath>

#include "detect/detectors.h"
#include "detect/filters.h"
#include "detect/peak_classifier.h"

namespace rc::detect {

namespace {

constexpr double kIntegrationMs = 150.0;
constexpr double kDerivativeMs = 10.0;
constexpr double kHoldMs = 150.0;         // a peak is final this long after its maximum
constexpr double kGuardMs = 50.0;         // the QRS may start this much before the integration window
constexpr double kRefineBeforeMs = 60.0;  // the R peak is looked for this far before the band-passed maximum
constexpr double kRefineAfterMs = 30.0;   // ... and this far after it
constexpr double kHistoryMs = 800.0;

class EkgDetector final : public EventDetector {
 public:
  EkgDetector(double rate, PeriodBounds bounds, bool advanced)
      : EventDetector(rate, bounds, 800.0),
        advanced_(advanced),
        highPass_(Biquad::highPass(5.0, rate)),
        lowPass_(Biquad::lowPass(15.0, rate)),
        wideHigh_(Biquad::highPass(0.5, rate)),
        wideLow_(Biquad::lowPass(40.0, rate)),
        lag_(msToSamples(kDerivativeMs)),
        window_(msToSamples(kIntegrationMs)),
        hold_(msToSamples(kHoldMs)),
        guard_(msToSamples(kGuardMs)),
        refineBefore_(msToSamples(kRefineBeforeMs)),
        refineAfter_(msToSamples(kRefineAfterMs)),
        energy_(static_cast<std::size_t>(window_)),
        band_(static_cast<std::size_t>(msToSamples(kHistoryMs))),
        wide_(advanced ? static_cast<std::size_t>(msToSamples(kHistoryMs)) : 1),
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
    o.fraction = advanced ? 0.5 : 0.55;
    o.tWaveWindowMs = advanced ? 360.0 : 0.0;
    o.latencyMs = kHoldMs + kIntegrationMs + kGuardMs + kRefineAfterMs;
    return o;
  }

  void step(float raw, std::int64_t n) {
    double x = raw;
    if (!std::isfinite(x)) {
      x = lastGood_;
    } else if (!started_) {
      started_ = true;
      highPass_.settle(x);
      wideHigh_.settle(x);
    }
    if (std::isfinite(x)) lastGood_ = x;

    const double b = lowPass_.step(highPass_.step(x));
    band_.put(n, static_cast<float>(b));
    if (advanced_) wide_.put(n, static_cast<float>(wideLow_.step(wideHigh_.step(x))));
    const double d = b - band_.at(n - lag_);
    const double f = energy_.step(d * d);

    if (rising_) {
      if (f > peak_) {
        peak_ = f;
        peakAt_ = n;
      } else if (f < 0.5 * peak_ || n - peakAt_ > hold_) {
        declare(n);
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

  void declare(std::int64_t now) {
    if (!(peak_ > 0.0)) return;
    const std::int64_t from = std::max<std::int64_t>(0, peakAt_ - window_ - guard_);
    Candidate c;
    c.featureIndex = peakAt_;
    c.height = std::sqrt(peak_);
    c.location = peakAt_;
    double top = -1.0;
    for (std::int64_t k = from; k <= peakAt_; ++k) {
      const double v = std::fabs(band_.at(k));
      if (v > top) {
        top = v;
        c.location = k;
      }
      const double s = std::fabs(band_.at(k) - band_.at(k - lag_));
      if (s > c.slope) c.slope = s;
    }
    if (advanced_) c.location = refine(c.location, now);
    classifier_.offer(c);
  }

  // The R peak near the band-passed maximum: the larger excursion of the
  // wide-band signal, preferring the polarity seen on earlier beats.
  std::int64_t refine(std::int64_t around, std::int64_t now) {
    const std::int64_t lo = std::max<std::int64_t>(0, around - refineBefore_);
    const std::int64_t hi = std::min(now, around + refineAfter_);
    std::int64_t maxAt = around, minAt = around;
    float maxV = wide_.at(around), minV = maxV;
    for (std::int64_t k = lo; k <= hi; ++k) {
      const float v = wide_.at(k);
      if (v > maxV) {
        maxV = v;
        maxAt = k;
      }
      if (v < minV) {
        minV = v;
        minAt = k;
      }
    }
    const double ends = 0.5 * (wide_.at(lo) + wide_.at(hi));
    const double up = maxV - ends;
    const double down = ends - minV;
    const bool positive = polarity_ >= 0 ? up * 1.5 >= down : up >= down * 1.5;
    polarity_ += (positive ? 1 : -1) - polarity_ / 8;
    return positive ? maxAt : minAt;
  }

  bool advanced_;
  Biquad highPass_, lowPass_, wideHigh_, wideLow_;
  std::int64_t lag_, window_, hold_, guard_, refineBefore_, refineAfter_;
  MovingSum energy_;
  History<float> band_;
  History<float> wide_;
  PeakClassifier classifier_;
  double lastGood_ = 0.0;
  bool started_ = false;
  bool rising_ = false;
  double peak_ = 0.0;
  std::int64_t peakAt_ = 0;
  double previous_ = 0.0;
  int polarity_ = 0;  // > 0 when recent R peaks were positive
};

}  // namespace

std::unique_ptr<EventDetector> makeEkgDetector(double rate, PeriodBounds bounds, bool advanced) {
  return std::make_unique<EkgDetector>(rate, bounds, advanced);
}

}  // namespace rc::detect
