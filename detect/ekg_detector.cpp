// QRS detection. Two bands of the EKG, 5-15 Hz and 12-30 Hz, are each
// differentiated over 10 ms, squared and integrated over 150 ms; the feature
// is their sum with the upper band weighed by the ratio of the two bands'
// background power, so that the band carrying less noise counts for more
// (muscle noise fills the upper band, electrode motion and tall P and T waves
// the lower one, and a fragmented QRS lives mostly in the upper one). The
// peaks of the feature are classified by PeakClassifier, which is told how
// sharp each one is (the upper band's energy over the lower's: a P wave as
// tall as the QRS is far less sharp). Every length is set
// in milliseconds, so the detector works the same at any rate.
//
// Mains hum (50 or 60 Hz, as large as the QRS on a poorly attached
// electrode) is taken out of the bands by a narrow notch at each frequency
// the rate can carry: it would otherwise fill the upper band and hide the
// QRS there. The R peak and the beat outlines are read from the wide band
// without the notches (with them, sharp artefacts passed for beats more
// often).
//
// The bands reach 30 Hz: at rates of 1 kHz and more they take every few
// samples (about 500 per second) of the signal low-passed at a fifth of that
// rate, which keeps a day at 2 kHz quick. Beat outlines and the R peak are
// still read at the full rate.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "detect/detectors.h"
#include "detect/filters.h"
#include "detect/peak_classifier.h"

namespace rc::detect {

namespace {

constexpr double kLowBand[2] = {5.0, 15.0};    // Hz
constexpr double kHighBand[2] = {12.0, 30.0};  // Hz
constexpr double kBackgroundTau = 4.0;         // s, time constant of the bands' background power
constexpr double kLearnMs = 2000.0;            // the background is a plain mean over this first stretch
constexpr double kTopTau = 3.0;                // s, decay of the bands' recent peaks
constexpr double kBurstMs = 15.0;              // half the span a beat is placed by (the briskest stretch)
constexpr double kIntegrationMs = 150.0;
constexpr double kDerivativeMs = 10.0;
constexpr double kHoldMs = 150.0;         // a peak is final this long after its maximum
constexpr double kGuardMs = 50.0;         // the QRS may start this much before the integration window
constexpr double kRefineBeforeMs = 60.0;  // the R peak is looked for this far before the band-passed maximum
constexpr double kRefineAfterMs = 30.0;   // ... and this far after it
constexpr double kHistoryMs = 800.0;
constexpr double kPrecursorMs = 400.0;  // the longest P-R interval over which a P wave is told from its QRS
constexpr double kCutComplexMs = 100.0;
constexpr double kShapeHalfMs = 70.0;  // the outline of a complex spans this much either side of its peak
constexpr int kWeightEvery = 16;       // samples between updates of the bands' weights
constexpr double kInnerRate = 500.0;   // Hz; the bands run at the rate divided by rate / kInnerRate
constexpr double kAntiAlias = 0.2;     // low-pass before the bands thin the samples, times their rate
constexpr double kWideLowPassHz = 40.0;     // the wide band's upper edge (it starts at 0.5 Hz)
constexpr double kMains[2] = {50.0, 60.0};  // Hz
constexpr double kMainsQ = 10.0;            // the notches are a tenth of their frequency wide

// Notches at the mains frequencies below 0.45 of the rate (the bands').
class MainsNotch {
 public:
  explicit MainsNotch(double rate) {
    for (double f : kMains)
      if (f < 0.45 * rate) notches_[count_++] = Biquad::notch(f, kMainsQ, rate);
  }
  void settle(double x) {
    for (int i = 0; i < count_; ++i) notches_[i].settle(x);
  }
  double step(double x) {
    for (int i = 0; i < count_; ++i) x = notches_[i].step(x);
    return x;
  }

 private:
  Biquad notches_[2];
  int count_ = 0;
};

// The usual steep change of the beats: the 98th percentile of the changes
// from one sample to the next over a second, the median of the last
// kSlewBlocks seconds (at first over a tenth of a second). It takes every few
// changes at high rates (about kSpikeRate a second); 0 until known.
constexpr double kSpikeRate = 500.0;  // Hz
constexpr std::size_t kSlewBlocks = 5;

class SteepChange {
 public:
  explicit SteepChange(double rate)
      : every_(std::max(1, static_cast<int>(rate / kSpikeRate))),
        blockLength_(std::max<std::size_t>(1, static_cast<std::size_t>(rate / every_))),
        firstBlock_(std::max<std::size_t>(1, blockLength_ / 10)) {
    startBlock(firstBlock_);
  }
  void settle(double x) { previous_ = x; }
  // The next sample.
  void add(double x) {
    const double change = std::fabs(x - previous_);
    previous_ = x;
    if (++phase_ != every_) return;
    phase_ = 0;
    // Only the largest changes of the block are kept, in descending order.
    if (kept_ < keep_ || change > top_[kept_ - 1]) {
      std::size_t k = kept_ < keep_ ? kept_++ : kept_ - 1;
      for (; k > 0 && top_[k - 1] < change; --k) top_[k] = top_[k - 1];
      top_[k] = change;
    }
    if (++used_ == length_) endBlock();
  }
  double value() const { return value_; }

 private:
  // The 98th percentile of a block of n changes is its (n - 98 n / 100)-th
  // largest.
  void startBlock(std::size_t length) {
    length_ = length;
    keep_ = std::min(top_.size(), length - length * 98 / 100);
    kept_ = used_ = 0;
  }
  void endBlock() {
    recent_[count_++ % kSlewBlocks] = top_[kept_ - 1];
    std::array<double, kSlewBlocks> sorted = recent_;
    const std::size_t n = std::min(count_, kSlewBlocks);
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n));
    value_ = std::isfinite(sorted[n / 2]) ? sorted[n / 2] : 0.0;
    startBlock(blockLength_);
  }

  int every_;
  int phase_ = 0;
  double previous_ = 0.0;
  std::size_t blockLength_;  // changes a second
  std::size_t firstBlock_;   // the first value comes after a tenth of a second
  std::size_t length_ = 1, keep_ = 1, kept_ = 0, used_ = 0;
  std::array<double, 32> top_{};
  std::array<double, kSlewBlocks> recent_{};
  std::size_t count_ = 0;
  double value_ = 0.0;
};

// Pacemaker spikes, a millisecond or two long and often taller than the QRS,
// survive on recordings of kSpikeRate and more. Left in, a spike takes the
// place of the beat: an atrial one 150-200 ms before its QRS, a ventricular
// one just before it. The change from one sample to the next is limited to
// kSlewTimes the usual steep change of the beats: a spike is cut down to a
// small bump, and a QRS and a step of the baseline pass untouched.
constexpr double kSlewTimes = 6.0;
constexpr double kSpikeMs = 4.0;  // longer, a change is a step of the baseline

class SpikeLimiter {
 public:
  explicit SpikeLimiter(double rate)
      : active_(rate >= kSpikeRate), longest_(std::max(1, static_cast<int>(kSpikeMs * rate / 1000.0))) {}
  void settle(double x) { y_ = x; }
  // Sample x limited, given the usual steep change.
  double step(double x, double steep) {
    if (!active_) return x;
    // Held back for longer than a spike lasts, the change is a step of the
    // baseline: it goes through.
    const double limit = kSlewTimes * steep;
    const double gap = x - y_;
    if (limit > 0.0 && std::fabs(gap) > limit && ++limited_ <= longest_) {
      y_ += gap > 0.0 ? limit : -limit;
    } else {
      y_ = x;
      limited_ = 0;
    }
    return y_;
  }

 private:
  bool active_;
  int longest_;      // samples a spike may last
  int limited_ = 0;  // samples held back in a row
  double y_ = 0.0;
};

// Below kSpikeRate the recorder's filters smear a pacemaker spike over a few
// milliseconds, and its steepest change is no longer far above the QRS's; but
// it is still far narrower than any QRS. A peak that stands more than
// kCutTimes the usual steep change above the samples kCutSpanMs either side,
// rises from signal that kept within kQuietShare of its height over the
// kQuietMs before it, and stays above half its height for no longer than
// kHalfWidthMs, is cut out: the samples between its flanks are replaced by
// the line joining them. The lobes of a QRS made of a burst of oscillation
// (no quiet before them) and the narrowest R waves (above half their height
// for 9 ms and more) are left alone. Samples come out two reaches (a little
// over 2 kCutSpanMs) late. Below kCutMinRate a sample is too long to tell a
// spike from the narrowest R wave (which would then stay above half its height
// for a single sample).
constexpr double kCutMinRate = 240.0;  // Hz
constexpr double kCutSpanMs = 4.0;
constexpr double kCutTimes = 2.0;
constexpr double kHalfWidthMs = 6.0;
constexpr double kQuietMs = 20.0;
constexpr double kQuietShare = 0.5;

class SpikeCutter {
 public:
  explicit SpikeCutter(double rate)
      : active_(rate >= kCutMinRate && rate < kSpikeRate),
        span_(std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::ceil(kCutSpanMs * rate / 1000.0 - 1e-9)))),
        reach_(span_ + 1),
        halfWidth_(std::max<std::int64_t>(1, static_cast<std::int64_t>(kHalfWidthMs * rate / 1000.0))),
        quiet_(std::max<std::int64_t>(reach_ + 1, std::llround(kQuietMs * rate / 1000.0))),
        ring_(static_cast<std::size_t>(quiet_ + 2 * reach_ + 2)) {}
  // Absolute index of the next sample to come out.
  std::int64_t nextOut() const { return out_; }
  // Takes the next sample; returns whether a sample came out (in `out`), the
  // one two reaches before it.
  bool step(double x, double steep, double& out) {
    const std::int64_t n = count_++;
    if (!active_) {
      out = x;
      out_ = count_;
      return true;
    }
    ring_.put(n, x);
    if (n - 2 * reach_ < out_) return false;
    if (steep > 0.0) cut(n - reach_, kCutTimes * steep);
    out = ring_.at(out_++);
    return true;
  }
  // The samples not yet out (the recording has ended): how many, and the
  // next of them.
  std::size_t held() const { return static_cast<std::size_t>(count_ - out_); }
  bool release(double& out) {
    if (out_ >= count_) return false;
    out = ring_.at(out_++);
    return true;
  }

 private:
  // A spike tipped at sample i: measured against the samples span_ either
  // side, and cut between the samples a sample further out (its flanks).
  void cut(std::int64_t i, double least) {
    const double tip = ring_.at(i), before = ring_.at(i - span_), after = ring_.at(i + span_);
    const double up = tip - std::max(before, after), down = std::min(before, after) - tip;
    const double height = std::max(up, down);
    if (!(height > least)) return;
    const double sign = up > down ? 1.0 : -1.0;
    for (std::int64_t k = i - span_; k <= i + span_; ++k)
      if (sign * (ring_.at(k) - tip) > 0.0) return;  // the tip is further on
    // Measured from the mean level before it, it is above half its height for
    // no longer than kHalfWidthMs and falls back within its reach.
    double base = 0.0, lo = ring_.at(i - reach_), hi = lo;
    const std::int64_t from = std::max<std::int64_t>(0, i - quiet_);
    for (std::int64_t k = from; k <= i - reach_; ++k) {
      base += ring_.at(k);
      lo = std::min(lo, ring_.at(k));
      hi = std::max(hi, ring_.at(k));
    }
    base /= static_cast<double>(i - reach_ - from + 1);
    const double full = sign * (tip - base);
    auto above = [&](std::int64_t k) { return sign * (ring_.at(k) - base) > 0.5 * full; };
    std::int64_t a = i, b = i;
    while (a > i - reach_ && above(a - 1)) --a;
    while (b < i + reach_ && above(b + 1)) ++b;
    if (!(full > 0.0) || b == i + reach_ || b - a + 1 > halfWidth_) return;
    if (hi - lo > kQuietShare * full) return;
    const double left = ring_.at(i - reach_), right = ring_.at(i + reach_);
    const double step = (right - left) / static_cast<double>(2 * reach_);
    for (std::int64_t k = 1; k < 2 * reach_; ++k)
      ring_.put(i - reach_ + k, left + step * static_cast<double>(k));
  }

  bool active_;         // from kCutMinRate to kSpikeRate (above it, SpikeLimiter)
  std::int64_t span_;   // samples either side a spike falls back within
  std::int64_t reach_;  // ... and its flanks
  std::int64_t halfWidth_;
  std::int64_t quiet_;
  History<double> ring_;
  std::int64_t count_ = 0;  // samples taken
  std::int64_t out_ = 0;    // samples out
};

// One band of the feature: band-pass, derivative, squared and integrated.
class EnergyBand {
 public:
  EnergyBand(const double (&band)[2], double rate, std::int64_t lag, std::int64_t window,
             std::int64_t history)
      : high_(Biquad::highPass(band[0], rate)),
        low_(Biquad::lowPass(band[1], rate)),
        lag_(lag),
        energy_(static_cast<std::size_t>(window)),
        values_(static_cast<std::size_t>(history)) {}

  void settle(double x) { high_.settle(x); }
  // The band's filters, taken out for a block (so that their state stays in
  // registers) and put back after it.
  std::pair<Biquad, Biquad> filters() const { return {high_, low_}; }
  void setFilters(const std::pair<Biquad, Biquad>& f) {
    high_ = f.first;
    low_ = f.second;
  }
  // The band's energy at sample n, from the band-passed value b.
  double step(double b, std::int64_t n) {
    values_.put(n, static_cast<float>(b));
    const double d = b - values_.at(n - lag_);
    power_ = d * d;
    return energy_.step(power_);
  }
  // The squared derivative of the last step.
  double power() const { return power_; }
  float at(std::int64_t n) const { return values_.at(n); }

 private:
  Biquad high_, low_;
  std::int64_t lag_;
  MovingSum energy_;
  History<float> values_;
  double power_ = 0.0;
};

class EkgDetector final : public EventDetector {
 public:
  EkgDetector(double rate, PeriodBounds bounds, bool advanced)
      : EventDetector(rate, bounds, 800.0),
        advanced_(advanced),
        every_(std::max<std::int64_t>(1, static_cast<std::int64_t>(rate / kInnerRate))),
        inner_(rate / static_cast<double>(every_)),
        lag_(innerSamples(kDerivativeMs)),
        window_(innerSamples(kIntegrationMs)),
        hold_(innerSamples(kHoldMs)),
        guard_(innerSamples(kGuardMs)),
        refineBefore_(msToSamples(kRefineBeforeMs)),
        refineAfter_(msToSamples(kRefineAfterMs)),
        learnEnd_(innerSamples(kLearnMs)),
        backgroundStep_(1.0 - std::exp(-kWeightEvery / (kBackgroundTau * inner_))),
        shapeHalf_(kShapeHalfMs * rate / 1000.0),
        topDecay_(std::exp(-kWeightEvery / (kTopTau * inner_))),
        low_(kLowBand, inner_, lag_, window_, innerSamples(kHistoryMs)),
        high_(kHighBand, inner_, lag_, window_, innerSamples(kHistoryMs)),
        mains_(inner_),
        steep_(rate),
        spikes_(rate),
        cutter_(rate),
        wideHigh_(Biquad::highPass(0.5, rate)),
        wideLow_(Biquad::lowPass(kWideLowPassHz, rate)),
        wideDelay_(std::llround(wideLow_.lowFrequencyDelay())),
        antiAlias_(Biquad::lowPass(kAntiAlias * inner_, rate)),
        // A second-order Butterworth low-pass delays slow content by sqrt 2 / (2 pi fc).
        aliasDelay_(every_ > 1 ? std::llround(std::numbers::sqrt2 /
                                              (2.0 * std::numbers::pi * kAntiAlias * inner_) * rate)
                               : 0),
        wide_(static_cast<std::size_t>(msToSamples(kHistoryMs))),
        power_(static_cast<std::size_t>(innerSamples(kHistoryMs))),
        burst_(innerSamples(kBurstMs)),
        classifier_(options(rate, bounds), [this](std::int64_t at) { found(at); }) {
    // A QRS settles the filters at once: only the first moments, where a
    // complex cut by the start of the recording lies, are no beat.
    setStartGuard(kCutComplexMs);
  }

 protected:
  void analyse(const float* samples, std::size_t count, std::int64_t /*firstIndex*/) override {
    if (!started_) {
      // The filters start settled on the first finite sample.
      for (std::size_t i = 0; i < count && !started_; ++i) {
        if (std::isfinite(samples[i])) {
          started_ = true;
          steep_.settle(samples[i]);
          spikes_.settle(samples[i]);
          mains_.settle(samples[i]);
          low_.settle(samples[i]);
          high_.settle(samples[i]);
          antiAlias_.settle(samples[i]);
          wideHigh_.settle(samples[i]);
        }
      }
    }
    // A sample that is not a number repeats the last one that was; spikes
    // are limited and cut before the bands see the sample.
    double last = lastGood_;
    run(count, [&](std::size_t i, double& x, std::int64_t& n) {
      n = cutter_.nextOut();
      const double v = std::isfinite(samples[i]) ? static_cast<double>(samples[i]) : last;
      last = v;
      steep_.add(v);
      return cutter_.step(spikes_.step(v, steep_.value()), steep_.value(), x);
    });
    lastGood_ = last;
  }

 private:
  // The bands, the wide band and the classifier over `count` steps; next(i,
  // x, n) gives the sample x of step i and its index n, or false when the
  // step yields none.
  template <typename Next>
  void run(std::size_t count, Next next) {
    auto [lowHigh, lowLow] = low_.filters();
    auto [highHigh, highLow] = high_.filters();
    Biquad wideHigh = wideHigh_, wideLow = wideLow_, antiAlias = antiAlias_;
    MainsNotch mains = mains_;
    double x;
    std::int64_t n;
    if (every_ == 1) {
      for (std::size_t i = 0; i < count; ++i) {
        if (!next(i, x, n)) continue;
        wide_.put(n, static_cast<float>(wideLow.step(wideHigh.step(x))));
        const double b = mains.step(x);
        step(lowLow.step(lowHigh.step(b)), highLow.step(highHigh.step(b)), n, n);
        innerIndex_ = n + 1;
      }
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        if (!next(i, x, n)) continue;
        wide_.put(n, static_cast<float>(wideLow.step(wideHigh.step(x))));
        const double a = antiAlias.step(x);
        if (++phase_ == every_) {
          phase_ = 0;
          const double b = mains.step(a);
          step(lowLow.step(lowHigh.step(b)), highLow.step(highHigh.step(b)), innerIndex_++, n);
        }
      }
    }
    low_.setFilters({lowHigh, lowLow});
    high_.setFilters({highHigh, highLow});
    wideHigh_ = wideHigh;
    wideLow_ = wideLow;
    antiAlias_ = antiAlias;
    mains_ = mains;
  }

  // Both types classify alike; Advanced moves each beat to its R peak.
  static ClassifierOptions options(double rate, PeriodBounds bounds) {
    ClassifierOptions o;
    o.rate = rate;
    o.refractoryMs = bounds.lowerMs;
    o.upperMs = bounds.upperMs;
    o.noiseTracking = true;
    o.fraction = 0.5;
    o.tWaveWindowMs = 360.0;
    o.arbitrateEarly = true;
    o.precursorMs = kPrecursorMs;
    o.latencyMs = kHoldMs + kIntegrationMs + kGuardMs + kRefineAfterMs;
    o.learnMs = kLearnMs;
    return o;
  }

  // The recording's sample of the bands' sample m.
  std::int64_t toRecording(std::int64_t m) const { return m * every_ + every_ - 1; }
  std::int64_t innerSamples(double ms) const {
    return std::max<std::int64_t>(1, std::llround(ms * inner_ / 1000.0));
  }

  void finish(std::int64_t end) override {
    // The samples the spike cutter still holds.
    run(cutter_.held(), [this](std::size_t, double& x, std::int64_t& n) {
      n = cutter_.nextOut();
      return cutter_.release(x);
    });
    if (rising_) {
      declare(innerIndex_ - 1, end - 1);
      rising_ = false;
    }
    classifier_.finish();
  }

  // Background power (a plain mean over the first stretch, then a slow
  // exponential mean), recent peaks and the weights, after a chunk of samples
  // ending at n. Each band's clarity is its recent peaks against its
  // background; the bands are brought to one scale by their backgrounds and
  // weighed by the square of their clarity.
  void updateWeights(std::int64_t n) {
    const double length = static_cast<double>(chunkLength_);
    if (n < learnEnd_) {
      sum1_ += chunk1_;
      sum2_ += chunk2_;
      background1_ = sum1_ / static_cast<double>(n + 1);
      background2_ = sum2_ / static_cast<double>(n + 1);
    } else {
      background1_ += backgroundStep_ * (chunk1_ / length - background1_);
      background2_ += backgroundStep_ * (chunk2_ / length - background2_);
    }
    top1_ = std::max(chunkTop1_, top1_ * topDecay_);
    top2_ = std::max(chunkTop2_, top2_ * topDecay_);
    chunk1_ = chunk2_ = chunkTop1_ = chunkTop2_ = 0.0;
    chunkLength_ = 0;
    // Until the backgrounds are known the bands count alike: the recent peaks
    // leap from the noise to the first QRS while it passes, and weights
    // following them would pull that beat's place by several milliseconds.
    if (n >= learnEnd_ && background1_ > 0.0 && background2_ > 0.0) {
      const double q1 = top1_ / background1_, q2 = top2_ / background2_;
      const double sum = q1 * q1 + q2 * q2;
      if (sum > 0.0 && std::isfinite(sum)) {
        weight1_ = q1 * q1 / sum;
        weight2_ = background1_ / background2_ * q2 * q2 / sum;
      }
    }
  }

  // One sample of the two bands (band-passed values b1 and b2): sample n of
  // the bands' rate, `now` of the recording's.
  void step(double b1, double b2, std::int64_t n, std::int64_t now) {
    const double e1 = low_.step(b1, n);
    const double e2 = high_.step(b2, n);
    // The bands' background power, their recent peaks and the weights move
    // slowly: they are brought up to date every few samples.
    chunk1_ += e1;
    chunk2_ += e2;
    chunkTop1_ = std::max(chunkTop1_, e1);
    chunkTop2_ = std::max(chunkTop2_, e2);
    if (++chunkLength_ == kWeightEvery) updateWeights(n);
    const double f = weight1_ * e1 + weight2_ * e2;
    power_.put(n, static_cast<float>(weight1_ * low_.power() + weight2_ * high_.power()));

    if (rising_) {
      if (f > peak_) {
        peak_ = f;
        peakAt_ = n;
        peakLow_ = e1;
        peakHigh_ = e2;
      } else if (f < 0.5 * peak_ || n - peakAt_ > hold_) {
        declare(n, now);
        rising_ = false;
      }
    } else if (f > previous_) {
      rising_ = true;
      peak_ = f;
      peakAt_ = n;
      peakLow_ = e1;
      peakHigh_ = e2;
    }
    previous_ = f;
    classifier_.tick(now);
  }

  // A peak of the feature ends: n is the bands' sample, `now` the
  // recording's.
  void declare(std::int64_t n, std::int64_t now) {
    if (!(peak_ > 0.0)) return;
    const std::int64_t from = std::max<std::int64_t>(0, peakAt_ - window_ - guard_);
    Candidate c;
    c.featureIndex = toRecording(peakAt_);
    c.height = std::sqrt(peak_);
    if (peakLow_ > 0.0) c.sharpness = peakHigh_ / peakLow_;
    // The derivative's centre lies half its span back; the filter before the
    // thinned bands delays them by aliasDelay_ more.
    const std::int64_t at = briskest(from, peakAt_, n);
    const std::int64_t brisk = toRecording(at) +
                               std::llround(briskestFraction(at, n) * static_cast<double>(every_)) -
                               lag_ * every_ / 2 - aliasDelay_;
    c.location = std::min(now, std::max<std::int64_t>(0, brisk));
    for (std::int64_t k = from; k <= peakAt_; ++k) {
      const double s = std::fabs(low_.at(k) - low_.at(k - lag_));
      if (s > c.slope) c.slope = s;
    }
    if (advanced_) c.location = refine(c.location, now);
    if (classifier_.outlineMatters(c.height)) takeShape(c, now);
    // The wide band lags the signal by its low-pass delay: the R peak lies
    // that much before its peak there.
    if (advanced_) c.location = std::max<std::int64_t>(0, c.location - wideDelay_);
    classifier_.offer(c);
  }

  // The centre of the briskest stretch in [from, to]: the most power of the
  // bands' derivatives within a short span.
  std::int64_t briskest(std::int64_t from, std::int64_t to, std::int64_t now) const {
    std::int64_t at = from;
    double run = 0.0;
    for (std::int64_t k = from - burst_; k <= std::min(from + burst_, now); ++k) run += power_.at(k);
    double top = run;
    for (std::int64_t k = from + 1; k <= to; ++k) {
      if (k + burst_ <= now) run += power_.at(k + burst_);
      run -= power_.at(k - burst_ - 1);
      if (run > top) {
        top = run;
        at = k;
      }
    }
    return at;
  }

  // Where between the bands' samples the briskest stretch centred at `at`
  // lies (-0.5 .. 0.5, from the run sums either side); 0 at the full rate,
  // where a sample is fine enough.
  double briskestFraction(std::int64_t at, std::int64_t now) const {
    if (every_ == 1) return 0.0;
    auto runAt = [&](std::int64_t c) {
      double run = 0.0;
      for (std::int64_t k = c - burst_; k <= std::min(c + burst_, now); ++k) run += power_.at(k);
      return run;
    };
    const double before = runAt(at - 1), here = runAt(at), after = runAt(at + 1);
    const double curve = before - 2.0 * here + after;
    if (!(curve < 0.0)) return 0.0;
    return std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);
  }

  // The outline of the complex around c.location, read from the history at
  // evenly spaced instants (linear interpolation between samples).
  void takeShape(Candidate& c, std::int64_t now) {
    const double step = 2.0 * shapeHalf_ / static_cast<double>(kShapePoints - 1);
    const double start =
        static_cast<double>(c.location) - shapeHalf_ - step * static_cast<double>(kShapeSlack);
    for (std::size_t i = 0; i < kOutlinePoints; ++i) {
      const double t = std::clamp(start + step * static_cast<double>(i), 0.0, static_cast<double>(now));
      const auto k = static_cast<std::int64_t>(t);
      const double frac = t - static_cast<double>(k);
      const double a = wide_.at(k);
      const double b = k + 1 <= now ? wide_.at(k + 1) : a;
      c.shape[i] = static_cast<float>(a + frac * (b - a));
    }
    // Without the sway of the baseline: the line through the two ends is
    // taken off.
    const double first = c.shape.front(), last = c.shape.back();
    for (std::size_t i = 0; i < kOutlinePoints; ++i)
      c.shape[i] -=
          static_cast<float>(first + (last - first) * static_cast<double>(i) / (kOutlinePoints - 1));
    c.hasShape = true;
  }

  // The R peak near the briskest stretch: the larger excursion of the
  // wide-band signal; when the two excursions are of a size, the earlier one
  // (the R wave of an RS complex, the first deflection of a wide paced
  // complex).
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
    const bool ofASize = std::min(up, down) * 1.5 >= std::max(up, down);
    const bool positive = ofASize ? maxAt < minAt : up > down;
    return positive ? maxAt : minAt;
  }

  bool advanced_;
  std::int64_t every_;  // the bands take every every_-th sample
  double inner_;        // Hz, the bands' rate
  std::int64_t lag_, window_, hold_, guard_, refineBefore_, refineAfter_, learnEnd_;
  double backgroundStep_;
  double shapeHalf_;
  double topDecay_;
  EnergyBand low_, high_;
  MainsNotch mains_;
  SteepChange steep_;
  SpikeLimiter spikes_;
  SpikeCutter cutter_;
  Biquad wideHigh_, wideLow_;
  std::int64_t wideDelay_;   // of wideLow_ at low frequencies, in samples
  Biquad antiAlias_;         // before the bands take every every_-th sample
  std::int64_t aliasDelay_;  // its delay, in samples of the recording
  History<float> wide_;      // 0.5-40 Hz: R peaks and beat outlines
  History<float> power_;     // at the bands' rate
  std::int64_t burst_;
  PeakClassifier classifier_;
  double sum1_ = 0.0, sum2_ = 0.0;
  double background1_ = 0.0, background2_ = 0.0;
  double weight1_ = 1.0, weight2_ = 1.0;
  double chunk1_ = 0.0, chunk2_ = 0.0, chunkTop1_ = 0.0, chunkTop2_ = 0.0;
  int chunkLength_ = 0;
  double top1_ = 0.0, top2_ = 0.0;
  double lastGood_ = 0.0;
  std::int64_t phase_ = 0;       // samples since the bands took the last one
  std::int64_t innerIndex_ = 0;  // the bands' next sample
  bool started_ = false;
  bool rising_ = false;
  double peak_ = 0.0;
  double peakLow_ = 0.0, peakHigh_ = 0.0;  // the bands' energies at the peak
  std::int64_t peakAt_ = 0;
  double previous_ = 0.0;
};

}  // namespace

std::unique_ptr<EventDetector> makeEkgDetector(double rate, PeriodBounds bounds, bool advanced) {
  return std::make_unique<EkgDetector>(rate, bounds, advanced);
}

}  // namespace rc::detect
