// Pulse detection: band-pass 0.1-8 Hz, slope sum (the rises of the last
// 128 ms added up), whose peaks are the candidate upstrokes. Each candidate
// carries its steepest point, the level it rose from (its foot) and how far
// it rose. The beat is the steepest point of the upstroke, which moves least
// with the pulse shape.
//
// A pulse is a candidate whose slope-sum peak clears a threshold between the
// levels of pulses and of noise (Basic detection sets it a little higher than
// Advanced) and that rises by a fair share of the recent pulses' rise, unless
// it is the dicrotic wave of the pulse before it. The dicrotic wave can be as
// steep and as tall as the pulse itself; it is told apart by where it starts
// (from the notch, high on the falling side of the pulse) and by when it comes
// (within a share of the period, before any pulse of a steady rhythm is due,
// and smaller than the pulse). When no pulse comes for 1.66 periods, the
// largest rejected candidate in the gap is taken (search back).
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "detect/candidate_list.h"
#include "detect/detectors.h"
#include "detect/filters.h"

namespace rc::detect {

namespace {

constexpr double kSlopeSumMs = 128.0;
constexpr double kDerivativeMs = 8.0;
constexpr double kHoldMs = 150.0;
constexpr double kGuardMs = 60.0;
constexpr double kHistoryMs = 800.0;
constexpr double kLowPassHz = 8.0;
// Only the slowest drift is removed: a higher cut-off pulls the level after a
// pulse down, turns its slow return into a rise of its own and hides how high
// a dicrotic notch lies. Drift adds little to a slope sum over 128 ms.
constexpr double kHighPassHz = 0.1;
// Delay of the two low-pass sections at low frequencies (sqrt 2 / wc each), ms.
constexpr double kLowPassDelayMs = 2.0 * 1.41421356 / (2.0 * 3.14159265 * kLowPassHz) * 1000.0;

// Classification.
constexpr double kLearnMs = 2500.0;     // levels are learnt over this span before deciding
constexpr double kSearchFactor = 1.66;  // search back after this many periods without a pulse
// The dicrotic wave follows its pulse by less than this share of the period
// (a premature beat, or a short period in atrial fibrillation, comes later)
// and less than this time (the end of ejection plus the wave's own rise; the
// premature beat of a bigeminy, whose median period spans two beats, comes
// later).
constexpr double kDicroticShare = 0.55;
constexpr double kDicroticMaxMs = 500.0;
// ... and rises from a foot this far (share of the pulse's rise) above the
// pulse's foot (the lower share while the rhythm is not yet known); or, when
// it rises less than half as far as the pulse, from a foot above the pulse's
// by the smallest share.
constexpr double kDicroticFoot = 0.3;
constexpr double kDicroticFootAtStart = 0.15;
constexpr double kDicroticSmallFoot = 0.08;
constexpr double kDicroticSmallRise = 0.5;
constexpr double kDicroticMaxRise = 1.25;
// Within this share of the period (a premature beat comes later), a wave
// rising less than this share of the pulse; before the period is known,
// within this time.
constexpr double kEarlyShare = 0.45;
constexpr double kEarlyRise = 0.85;
constexpr double kStartEarlyMs = 450.0;
// The period guessed from the learnt upstrokes (guessPeriod): from those that
// rise by this share of the highest, with at least this many intervals; a
// pulse and its dicrotic wave alternate by this share of the longer interval.
constexpr double kGuessRise = 0.3;
constexpr std::size_t kGuessIntervals = 3;
constexpr double kAlternate = 0.3;
// A pulse rises by at least this share of the recent pulses' rise.
constexpr double kMinRise = 0.2;
// The share of the pulse levels before a long silence they keep in a pause
// (sinkLevel).
constexpr double kSinkShare = 0.35;
// Baseline restoration after a step of the baseline (restoreBaseline).
constexpr double kStepSpanMs = 20.0;
constexpr double kStepSwings = 1.5;
constexpr double kSwingBlockMs = 2000.0;
constexpr std::size_t kMaxLearnt = 256;
constexpr std::size_t kMaxRejected = 64;
constexpr int kPeriods = 8;

struct Upstroke {
  std::int64_t location = 0;  // steepest point, in input samples
  std::int64_t seenAt = 0;    // sample of the slope-sum peak
  double height = 0.0;        // slope-sum peak
  double foot = 0.0;          // band level the rise starts from
  double rise = 0.0;          // band rise from the foot to the top
};

struct ClassifierSettings {
  double rate = 250.0;
  double refractoryMs = 300.0;
  double upperMs = 2000.0;
  double fraction = 0.3;
  double searchFloor = 0.3;
  double latencyMs = 400.0;
};

// Decides which upstrokes are pulses; `found` receives the pulse locations in
// time order.
template <typename Sink>
class PulseClassifier {
 public:
  PulseClassifier(const ClassifierSettings& s, Sink sink)
      : s_(s),
        sink_(sink),
        refractory_(toSamples(s.refractoryMs)),
        upper_(toSamples(s.upperMs)),
        latency_(toSamples(s.latencyMs)),
        learnEnd_(toSamples(kLearnMs)),
        dicroticMax_(toSamples(kDicroticMaxMs)),
        startEarly_(toSamples(kStartEarlyMs)) {
    learnt_.reserve(kMaxLearnt);
    rejected_.reserve(kMaxRejected);
    longestPause_ = toSamples(kLongestPauseMs);
    period_ = std::clamp(0.8 * s.rate, static_cast<double>(refractory_), static_cast<double>(upper_));
    deadline_ = learnEnd_ + latency_;
  }

  void offer(const Upstroke& c) {
    if (learning_) {
      if (c.seenAt < learnEnd_) {
        if (learnt_.size() < kMaxLearnt) learnt_.push_back(c);
        return;
      }
      finishLearning();
      if (learning_) {
        learnt_.push_back(c);
        return;
      }
    }
    classify(c);
  }

  void tick(std::int64_t now) {
    if (now >= deadline_) onDeadline(now);
  }

 private:
  std::int64_t toSamples(double ms) const {
    return std::max<std::int64_t>(1, std::llround(ms * s_.rate / 1000.0));
  }

  double threshold() const { return noise_ + s_.fraction * (signal_ - noise_); }

  void finishLearning() {
    if (learnt_.empty()) {
      learnEnd_ = std::max(learnEnd_, deadline_) + toSamples(kLearnMs);
      deadline_ = learnEnd_ + latency_;
      return;
    }
    learning_ = false;
    double top = 0.0, highest = 0.0;
    for (const Upstroke& c : learnt_) {
      top = std::max(top, c.height);
      highest = std::max(highest, c.rise);
    }
    signal_ = 0.6 * top;
    noise_ = 0.1 * top;
    riseLevel_ = 0.6 * highest;
    guessPeriod(highest);
    lastAny_ = learnEnd_;
    std::vector<Upstroke> replay;
    replay.swap(learnt_);
    for (const Upstroke& c : replay) classify(c);
    if (!haveLast_) scheduleDeadline();
  }

  // The period the learnt upstrokes suggest, before any pulse is accepted:
  // without it the rules of the first periods assume a slow rhythm, and at
  // fast rates (a child's pulse, atrial fibrillation at 150 a minute), where
  // each pulse rises from high on the falling side of the one before, they
  // took every other pulse for a dicrotic wave and settled on half the rate.
  // The intervals between the upstrokes that rise by kGuessRise of the
  // highest: when they alternate short and long, each pair is a pulse and its
  // dicrotic wave, and the period the sum of the pair; otherwise the median
  // interval. At least kGuessIntervals intervals are needed.
  void guessPeriod(double highest) {
    std::vector<double> gaps;
    std::int64_t previous = -1;
    for (const Upstroke& c : learnt_) {
      if (!(c.rise >= kGuessRise * highest)) continue;
      if (previous >= 0 && c.location - previous < refractory_ / 2) continue;
      if (previous >= 0) gaps.push_back(static_cast<double>(c.location - previous));
      previous = c.location;
    }
    if (gaps.size() < kGuessIntervals) return;
    bool alternate = true;
    for (std::size_t i = 1; i < gaps.size() && alternate; ++i) {
      const bool longer = gaps[i] > gaps[i - 1];
      const bool wasLonger = i >= 2 && gaps[i - 1] > gaps[i - 2];
      alternate = std::fabs(gaps[i] - gaps[i - 1]) > kAlternate * std::max(gaps[i], gaps[i - 1]) &&
                  (i < 2 || longer != wasLonger);
    }
    std::vector<double> periods;
    if (alternate) {
      for (std::size_t i = 1; i < gaps.size(); ++i) periods.push_back(gaps[i - 1] + gaps[i]);
    } else {
      periods = gaps;
    }
    std::nth_element(periods.begin(), periods.begin() + static_cast<std::ptrdiff_t>(periods.size() / 2),
                     periods.end());
    const double guess = periods[periods.size() / 2];
    if (guess < static_cast<double>(refractory_) || guess > static_cast<double>(upper_)) return;
    guess_ = guess;
    period_ = guess;
  }

  // Whether the rhythm is known: three periods, or a guess from the learnt
  // upstrokes.
  bool rhythmKnown() const { return periodCount_ >= 3 || guess_ > 0.0; }

  // The dicrotic wave of the last pulse: soon after it, rising from high on
  // its falling side, or rising little from above its foot.
  bool isDicrotic(const Upstroke& c) const {
    if (!haveLast_ || !(last_.rise > 0.0)) return false;
    const auto dt = static_cast<double>(c.location - last_.location);
    if (dt >= std::min(kDicroticShare * period_, static_cast<double>(dicroticMax_))) return false;
    // A wave that rises far more than the pulse is a pulse after a small one.
    if (c.rise > kDicroticMaxRise * last_.rise) return false;
    const double foot = (c.foot - last_.foot) / last_.rise;
    // A wave from well above the pulse's foot; until the rhythm is known,
    // and the rule below cannot help, a little above will do.
    if (foot > (rhythmKnown() ? kDicroticFoot : kDicroticFootAtStart)) return true;
    // Early in the period of a steady rhythm no pulse is due: a smaller wave
    // there is the dicrotic wave, wherever drift has put the level of the
    // notch.
    if (rhythmKnown() && dt < kEarlyShare * period_ && c.rise < kEarlyRise * last_.rise) return true;
    // Before that, a smaller wave from above the pulse's foot within the time
    // a dicrotic wave takes at the slowest rates.
    if (!rhythmKnown() && dt < startEarly_ && foot > 0.0 && c.rise < kEarlyRise * last_.rise) return true;
    return foot > kDicroticSmallFoot && c.rise < kDicroticSmallRise * last_.rise;
  }

  // A pulse rises by a fair share of the recent pulses' rise.
  bool risesEnough(const Upstroke& c) const { return c.rise > kMinRise * riseLevel_; }

  void classify(const Upstroke& c) {
    if (haveLast_ && c.location - last_.location < refractory_) return;
    if (isDicrotic(c)) return;
    if (c.height > threshold() && risesEnough(c)) {
      while (haveLast_ && periodCount_ > 0 &&
             static_cast<double>(c.location - last_.location) > kSearchFactor * period_ &&
             searchBack(c.location - refractory_)) {
      }
      if (!haveLast_ || (c.location - last_.location >= refractory_ && !isDicrotic(c))) {
        accept(c, false);
        return;
      }
    }
    reject(c);
  }

  void accept(const Upstroke& c, bool searchedBack) {
    if (haveLast_) {
      const std::int64_t interval = c.location - last_.location;
      // A pulse found by the search back only shortens the period when it is
      // plausible, so that one wrong pick does not invite the next.
      if (interval <= upper_ && (!searchedBack || static_cast<double>(interval) > 0.7 * period_)) {
        periods_[periodPos_] = static_cast<double>(interval);
        periodPos_ = (periodPos_ + 1) % kPeriods;
        periodCount_ = std::min(periodCount_ + 1, kPeriods);
        // The median of the recent periods: one missed or extra pulse does
        // not move it. Until three are known, the guessed period fills in for
        // the missing ones.
        std::array<double, kPeriods> sorted{};
        const int guessed = guess_ > 0.0 ? std::max(0, 3 - periodCount_) : 0;
        const int count = periodCount_ + guessed;
        for (int i = 0; i < count; ++i) {
          const double v = i < periodCount_ ? periods_[i] : guess_;
          int k = i;
          for (; k > 0 && sorted[k - 1] > v; --k) sorted[k] = sorted[k - 1];
          sorted[k] = v;
        }
        period_ = count % 2 ? sorted[count / 2] : 0.5 * (sorted[count / 2 - 1] + sorted[count / 2]);
      }
    }
    // One artefact many times the pulse moves the levels no more than a
    // pulse of a few times the level would.
    signal_ += (searchedBack ? 0.25 : 0.125) * (std::min(c.height, kLevelCap * signal_) - signal_);
    riseLevel_ += 0.125 * (std::min(c.rise, kLevelCap * riseLevel_) - riseLevel_);
    last_ = c;
    haveLast_ = true;
    lastAny_ = c.location;
    sinking_ = false;
    std::erase_if(rejected_, [&](const Upstroke& n) { return n.location <= c.location; });
    sink_(c.location);
    scheduleDeadline();
  }

  void reject(const Upstroke& c) {
    noise_ += 0.125 * (c.height - noise_);
    keepLargest(rejected_, c, kMaxRejected);
  }

  bool searchBack(std::int64_t before) {
    if (periodCount_ == 0) return false;
    const double floor = std::max(0.5 * threshold(), s_.searchFloor * signal_);
    auto eligible = [&](const Upstroke& n) {
      return n.location <= before && n.height > floor &&
             (!haveLast_ || n.location - last_.location >= refractory_) && risesEnough(n) && !isDicrotic(n);
    };
    const Upstroke* found = earliestOfComparableSize(rejected_, eligible);
    if (found == nullptr) return false;
    const Upstroke pick = *found;  // accept() prunes the list
    accept(pick, true);
    return true;
  }

  void scheduleDeadline() {
    const std::int64_t from = haveLast_ ? last_.location : lastAny_;
    deadline_ = from + static_cast<std::int64_t>(kSearchFactor * period_) + latency_;
  }

  void onDeadline(std::int64_t now) {
    if (learning_) {
      finishLearning();
      return;
    }
    if (searchBack(std::numeric_limits<std::int64_t>::max())) return;
    // Nothing even at half the threshold: after a long silence let the signal
    // level sink towards the noise so that a weaker pulse is found again
    // (sinkLevel).
    if (now - lastAny_ > upper_ + latency_) {
      if (!sinking_) {
        sinking_ = true;
        sinkFrom_ = signal_;
        riseFrom_ = riseLevel_;
      }
      const bool pause = periodCount_ >= 4 && now - lastAny_ < longestPause_;
      signal_ = sinkLevel(signal_, noise_, pause, std::max(kSinkFloor * noise_, kSinkShare * sinkFrom_));
      riseLevel_ = sinkLevel(riseLevel_, 0.0, pause, kSinkShare * riseFrom_);
    }
    deadline_ = now + std::max<std::int64_t>(latency_, static_cast<std::int64_t>(period_ / 2));
  }

  ClassifierSettings s_;
  Sink sink_;
  std::int64_t refractory_, upper_, latency_, learnEnd_, dicroticMax_, startEarly_;
  bool learning_ = true;
  std::vector<Upstroke> learnt_;
  std::vector<Upstroke> rejected_;  // since the last pulse, for the search back
  double signal_ = 0.0;
  double noise_ = 0.0;
  double riseLevel_ = 0.0;                  // rise of the recent pulses, on the wave
  bool sinking_ = false;                    // the levels sink in a long silence
  double sinkFrom_ = 0.0, riseFrom_ = 0.0;  // ... from these
  std::int64_t longestPause_ = 0;
  bool haveLast_ = false;
  Upstroke last_{};
  std::int64_t lastAny_ = 0;
  double guess_ = 0.0;  // period guessed from the learnt upstrokes (guessPeriod); 0: none
  std::array<double, kPeriods> periods_{};
  int periodCount_ = 0;
  int periodPos_ = 0;
  double period_ = 0.0;
  std::int64_t deadline_ = 0;
};

class BvpDetector final : public EventDetector {
 public:
  BvpDetector(double rate, PeriodBounds bounds, bool advanced)
      : EventDetector(rate, bounds, 800.0),
        highPass_(Biquad::highPass(kHighPassHz, rate)),
        lowPass_(Biquad::lowPass(kLowPassHz, rate)),
        lowPass2_(Biquad::lowPass(kLowPassHz, rate)),
        delay_(msToSamples(kLowPassDelayMs)),
        lag_(msToSamples(kDerivativeMs)),
        window_(msToSamples(kSlopeSumMs)),
        hold_(msToSamples(kHoldMs)),
        guard_(msToSamples(kGuardMs)),
        slopeSum_(static_cast<std::size_t>(window_)),
        band_(static_cast<std::size_t>(msToSamples(kHistoryMs))),
        classifier_(settings(rate, bounds, advanced), Found{this}) {
    stepSpan_ = std::max<std::int64_t>(1, msToSamples(kStepSpanMs));
    raw_ = History<double>(static_cast<std::size_t>(stepSpan_ + 1));
    blockLength_ = std::max<std::int64_t>(1, msToSamples(kSwingBlockMs));
  }

 protected:
  void analyse(const float* samples, std::size_t count, std::int64_t firstIndex) override {
    for (std::size_t i = 0; i < count; ++i) step(samples[i], firstIndex + static_cast<std::int64_t>(i));
  }

 private:
  struct Found {
    BvpDetector* self;
    void operator()(std::int64_t at) const { self->found(at); }
  };

  static ClassifierSettings settings(double rate, PeriodBounds bounds, bool advanced) {
    ClassifierSettings s;
    s.rate = rate;
    s.refractoryMs = bounds.lowerMs;
    s.upperMs = bounds.upperMs;
    s.fraction = advanced ? 0.3 : 0.33;
    s.searchFloor = 0.25;
    s.latencyMs = kHoldMs + kSlopeSumMs + kGuardMs;
    return s;
  }

  void step(float raw, std::int64_t n) {
    double x = raw;
    if (!std::isfinite(x)) {
      x = lastGood_;
    } else if (!started_) {
      started_ = true;
      highPass_.settle(x);
    }
    restoreBaseline(x, n);
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

  // A step of the baseline (the probe pressed or moved) turns, through the
  // high-pass, into a slope lasting seconds that hides the pulses' upstrokes.
  // A change within kStepSpanMs larger than kStepSwings times the pulse's
  // usual swing (the range over kSwingBlockMs, followed slowly) cannot be a
  // pulse: the high-pass starts afresh at the new level.
  void restoreBaseline(double x, std::int64_t n) {
    raw_.put(n, x);
    bool step = false;
    if (n >= stepSpan_ && swing_ > 0.0 && std::fabs(x - raw_.at(n - stepSpan_)) > kStepSwings * swing_) {
      highPass_.settle(x);
      step = true;
    }
    stepInBlock_ = stepInBlock_ || step;
    blockMin_ = std::min(blockMin_, x);
    blockMax_ = std::max(blockMax_, x);
    if (++blockCount_ < blockLength_) return;
    const double range = blockMax_ - blockMin_;
    if (!stepInBlock_ && std::isfinite(range))
      swing_ = swing_ > 0.0 ? swing_ + 0.25 * (range - swing_) : range;
    blockMin_ = std::numeric_limits<double>::infinity();
    blockMax_ = -std::numeric_limits<double>::infinity();
    blockCount_ = 0;
    stepInBlock_ = false;
  }

  void declare(std::int64_t now) {
    if (!(peak_ > 0.0)) return;
    Upstroke c;
    c.seenAt = peakAt_;
    c.height = peak_;
    std::int64_t steepest = peakAt_;
    double slope = 0.0;
    const std::int64_t from = std::max<std::int64_t>(0, peakAt_ - window_ - guard_);
    for (std::int64_t k = from; k <= peakAt_; ++k) {
      const double s = band_.at(k) - band_.at(k - lag_);
      if (s > slope) {
        slope = s;
        steepest = k;
      }
    }
    // The foot: the lowest level in the span before the steepest point, not
    // reaching back past the previous candidate's steepest point (a dicrotic
    // wave's foot is its notch, not the trough before its pulse).
    const std::int64_t footFrom =
        std::max({std::int64_t{0}, steepest - window_ - guard_, previousSteepest_, now - band_.size() + 1});
    double foot = band_.at(steepest);
    for (std::int64_t k = footFrom; k < steepest; ++k)
      foot = std::min(foot, static_cast<double>(band_.at(k)));
    double top = band_.at(steepest);
    for (std::int64_t k = steepest; k <= now; ++k) top = std::max(top, static_cast<double>(band_.at(k)));
    c.foot = foot;
    c.rise = top - foot;
    previousSteepest_ = steepest;
    // The difference spans lag_ samples, so its steepest point lies mid-way;
    // the low-pass delay is taken off as well.
    c.location = std::max<std::int64_t>(0, steepest - lag_ / 2 - delay_);
    classifier_.offer(c);
  }

  Biquad highPass_, lowPass_, lowPass2_;
  std::int64_t delay_, lag_, window_, hold_, guard_;
  MovingSum slopeSum_;
  History<float> band_;
  PulseClassifier<Found> classifier_;
  double lastGood_ = 0.0;
  bool started_ = false;
  // Baseline restoration (restoreBaseline): the last raw samples, the pulse's
  // usual swing, and the range of the current block.
  History<double> raw_;
  std::int64_t stepSpan_ = 1;
  double swing_ = 0.0;
  double blockMin_ = std::numeric_limits<double>::infinity();
  double blockMax_ = -std::numeric_limits<double>::infinity();
  std::int64_t blockCount_ = 0, blockLength_ = 1;
  bool stepInBlock_ = false;
  bool rising_ = false;
  double peak_ = 0.0;
  std::int64_t peakAt_ = 0;
  std::int64_t previousSteepest_ = 0;
  double previous_ = 0.0;
};

}  // namespace

std::unique_ptr<EventDetector> makeBvpDetector(double rate, PeriodBounds bounds, bool advanced) {
  return std::make_unique<BvpDetector>(rate, bounds, advanced);
}

}  // namespace rc::detect
