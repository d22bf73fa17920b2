#include "detect/peak_classifier.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "detect/candidate_list.h"

namespace rc::detect {

namespace {

constexpr std::size_t kMaxLearnt = 256;
constexpr std::size_t kMaxNoisy = 64;
constexpr double kSearchFactor = 1.66;  // search back after this many mean periods
// Early-candidate arbitration, as shares of the mean period: a candidate
// sooner than kEarly after the last beat waits; the next candidate is where
// the rhythm expects a beat between kExpectedLow and kExpectedHigh after the
// last beat, and close to the early one within kCloseAfter.
constexpr double kEarly = 0.8;
constexpr std::size_t kMaxPending = 8;
constexpr double kExpectedLow = 0.8;
constexpr double kExpectedHigh = 1.3;
constexpr double kCloseAfter = 0.75;
// ... and the early one is set aside only when it is clearly the lesser: lower
// than this share of the next one's height, or less like the recent beats.
// In a regular rhythm (the last periods within kRegular of their mean, on
// average) an early candidate lower than the beat where the rhythm expects it
// is noise; in an irregular one (atrial fibrillation) it may well be a beat.
constexpr double kWeaker = 0.75;
constexpr double kWeakerRegular = 1.0;
constexpr double kRegular = 0.08;
constexpr double kLessAlike = 0.1;
// A beat after which the next comes this many mean periods later or more was
// preceded by a genuine early beat.
constexpr double kPause = 1.2;
// ... and so was it when the next comes sooner than this share of the mean
// period: the rhythm has quickened (the onset of a fast or irregular rhythm).
constexpr double kQuicker = 0.75;
// The search back: a candidate at least this like the recent beats is taken
// down to kAlikeFloor of the threshold (others down to half of it).
constexpr double kAlike = 0.9;
constexpr double kAlikeFloor = 0.4;
// A period this many times the mean with a candidate of kNearMiss of the
// threshold in it may hide a beat (accept).
constexpr double kHidingGap = 1.4;
constexpr double kNearMiss = 0.9;
// The share of the signal level before a long silence it keeps in a pause
// (sinkLevel); beats that shrank further are left to the search back until
// the silence is too long for a pause.
constexpr double kSinkShare = 0.4;
// The precursor stage: a P wave is followed by a QRS that is taller, has
// kPrecursorSlope times its slope and kPrecursorSharpness times its
// sharpness, and is at most kPrecursorLikeness less like the recent beats
// (a P wave of a tenth of a second has a fifth to two-fifths of a narrow
// QRS's sharpness, the more the more noise there is, and one nine-tenths as
// tall as the R wave two-thirds of its slope).
constexpr double kPrecursorSlope = 1.5;
constexpr double kPrecursorSharpness = 2.5;
constexpr double kPrecursorLikeness = 0.1;
// The search back leaves a candidate of less than this share of the last
// beat's slope that is a precursor's share less sharp than every recent beat.
constexpr double kBluntSlope = 0.25;

std::int64_t toSamples(double ms, double rate) {
  return std::max<std::int64_t>(1, std::llround(ms * rate / 1000.0));
}

// kShapePoints of a candidate's outline from `from` on, scaled to zero mean
// and unit norm; false when flat.
bool normalised(const Candidate& c, std::size_t from, std::array<double, kShapePoints>& out) {
  double mean = 0.0;
  for (std::size_t i = 0; i < kShapePoints; ++i) mean += c.shape[from + i];
  mean /= static_cast<double>(kShapePoints);
  double norm = 0.0;
  for (std::size_t i = 0; i < kShapePoints; ++i) {
    out[i] = c.shape[from + i] - mean;
    norm += out[i] * out[i];
  }
  if (!(norm > 0.0) || !std::isfinite(norm)) return false;
  const double k = 1.0 / std::sqrt(norm);
  for (double& v : out) v *= k;
  return true;
}

}  // namespace

double PeakClassifier::likeness(const Candidate& c, std::size_t* alignment) const {
  if (alignment) *alignment = kShapeSlack;
  if (!c.hasShape || templateCount_ == 0) return 1.0;
  double norm = 0.0, templateSum = 0.0;
  for (double t : template_) {
    norm += t * t;
    templateSum += t;
  }
  if (!(norm > 0.0)) return 1.0;
  // Each alignment's sum and sum of squares from running sums, so that a
  // window's form is scaled without being copied: the correlation is
  // (x . t - mean(x) sum(t)) / |x - mean(x)|.
  std::array<double, kOutlinePoints + 1> sum{}, squares{};
  for (std::size_t i = 0; i < kOutlinePoints; ++i) {
    const double v = c.shape[i];
    sum[i + 1] = sum[i] + v;
    squares[i + 1] = squares[i] + v * v;
  }
  constexpr double kPoints = static_cast<double>(kShapePoints);
  double best = -2.0;
  for (std::size_t from = 0; from <= 2 * kShapeSlack; ++from) {
    const double s = sum[from + kShapePoints] - sum[from];
    const double spread = squares[from + kShapePoints] - squares[from] - s * s / kPoints;
    if (!(spread > 0.0) || !std::isfinite(spread)) continue;
    double dot = 0.0;
    for (std::size_t i = 0; i < kShapePoints; ++i) dot += c.shape[from + i] * template_[i];
    const double r = (dot - s / kPoints * templateSum) / std::sqrt(spread);
    if (r > best) {
      best = r;
      if (alignment) *alignment = from;
    }
  }
  return best < -1.5 ? 0.0 : std::clamp(best / std::sqrt(norm), -1.0, 1.0);
}

void PeakClassifier::learnShape(const Candidate& c) {
  std::size_t from = kShapeSlack;
  if (templateCount_ > 0) likeness(c, &from);
  std::array<double, kShapePoints> x;
  if (!c.hasShape || !normalised(c, from, x)) return;
  const double w = templateCount_ < 8 ? 1.0 / (templateCount_ + 1) : 0.125;
  for (std::size_t i = 0; i < kShapePoints; ++i) template_[i] += w * (x[i] - template_[i]);
  ++templateCount_;
}

PeakClassifier::PeakClassifier(const ClassifierOptions& options, Sink sink)
    : o_(options),
      sink_(std::move(sink)),
      refractory_(toSamples(options.refractoryMs, options.rate)),
      upper_(toSamples(options.upperMs, options.rate)),
      latency_(toSamples(options.latencyMs, options.rate)),
      tWindow_(options.tWaveWindowMs > 0 ? toSamples(options.tWaveWindowMs, options.rate) : 0),
      learnEnd_(toSamples(options.learnMs, options.rate)),
      longestPause_(toSamples(kLongestPauseMs, options.rate)) {
  if (options.precursorMs > 0.0) {
    precursor_ = toSamples(options.precursorMs, options.rate);
    waiting_.reserve(kMaxPending);
  }
  learnt_.reserve(kMaxLearnt);
  noisy_.reserve(kMaxNoisy);
  pending_.reserve(kMaxPending);
  rrMean_ = std::clamp(0.8 * options.rate, static_cast<double>(refractory_), static_cast<double>(upper_));
  deadline_ = learnEnd_ + latency_;
}

double PeakClassifier::threshold() const {
  if (o_.noiseTracking) return noise_ + o_.fraction * (signal_ - noise_);
  return o_.fraction * signal_;
}

void PeakClassifier::offer(const Candidate& c) {
  if (precursor_ == 0) {
    take(c);
    return;
  }
  // The waiting candidates that c comes too late to judge are final; those
  // it shows to be P waves are dropped (neither beats nor noise: the noise
  // level would rise with them and the search back take them).
  while (!waiting_.empty() && c.location - waiting_.front().c.location > precursor_) takeFirstWaiting();
  std::erase_if(waiting_, [&](const Waiting& w) { return w.mayPrecede && isPrecursor(w.c, c); });
  if (waiting_.size() == kMaxPending) takeFirstWaiting();
  waiting_.push_back({c, mayPrecede(c)});
  // Those at the front that need not wait go on now (no time has passed).
  releaseWaiting(std::numeric_limits<std::int64_t>::min());
}

double PeakClassifier::bluntestBeat() const {
  const auto recent = sharp_.values();
  return recent.empty() ? 0.0 : *std::min_element(recent.begin(), recent.end());
}

double PeakClassifier::sharpestBeat() const {
  const auto recent = sharp_.values();
  return recent.empty() ? 0.0 : *std::max_element(recent.begin(), recent.end());
}

bool PeakClassifier::mayPrecede(const Candidate& c) const {
  if (!(c.sharpness > 0.0)) return false;
  // One too small to be a beat is noise whatever comes after it.
  if (!learning_ && c.height <= threshold()) return false;
  const double sharpest = sharpestBeat();
  return sharpest == 0.0 || c.sharpness * kPrecursorSharpness <= sharpest;
}

bool PeakClassifier::isPrecursor(const Candidate& early, const Candidate& next) const {
  if (next.location <= early.location || next.height <= early.height) return false;
  if (next.slope < kPrecursorSlope * early.slope) return false;
  if (next.sharpness < kPrecursorSharpness * early.sharpness) return false;
  // The early one where the rhythm expects a beat and the next one beyond:
  // the next one is the intruder (a burst of noise after a beat).
  if (haveLast_ && rr_.count() >= 4) {
    const double toEarly = static_cast<double>(early.location - last_.location);
    const double toNext = static_cast<double>(next.location - last_.location);
    if (toEarly >= kExpectedLow * rrMean_ && toEarly <= kExpectedHigh * rrMean_ &&
        toNext > kExpectedHigh * rrMean_)
      return false;
  }
  return likeness(next) >= likeness(early) - kPrecursorLikeness;
}

void PeakClassifier::takeFirstWaiting() {
  const Candidate w = waiting_.front().c;
  waiting_.erase(waiting_.begin());
  take(w);
}

void PeakClassifier::releaseWaiting(std::int64_t now) {
  while (!waiting_.empty() &&
         (!waiting_.front().mayPrecede || waiting_.front().c.location + precursor_ + latency_ <= now))
    takeFirstWaiting();
  releaseAt_ = waiting_.empty() ? std::numeric_limits<std::int64_t>::max()
                                : waiting_.front().c.location + precursor_ + latency_;
}

void PeakClassifier::take(const Candidate& c) {
  if (learning_) {
    if (c.featureIndex < learnEnd_) {
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

void PeakClassifier::finishLearning() {
  if (learnt_.empty()) {
    // Nothing to learn from yet (flat or missing signal): learn from the
    // next stretch instead.
    learnEnd_ = std::max(learnEnd_, deadline_) + toSamples(o_.learnMs, o_.rate);
    deadline_ = learnEnd_ + latency_;
    return;
  }
  learning_ = false;
  double top = 0.0;
  for (const Candidate& c : learnt_) top = std::max(top, c.height);
  signal_ = 0.6 * top;
  noise_ = 0.1 * top;
  lastAny_ = learnEnd_;
  std::vector<Candidate> replay;
  replay.swap(learnt_);
  for (const Candidate& c : replay) classify(c);
  if (!haveLast_) scheduleDeadline();
}

bool PeakClassifier::looksLikeTWave(const Candidate& c) const {
  if (tWindow_ <= 0 || !haveLast_) return false;
  const double window = std::max(static_cast<double>(tWindow_), o_.tWaveShare * rrMean_);
  return static_cast<double>(c.location - last_.location) < window && c.slope < 0.5 * last_.slope;
}

void PeakClassifier::classify(const Candidate& cIn) {
  if (haveLast_ && cIn.location - last_.location < refractory_) return;
  Candidate c = cIn;
  c.likeness = c.hasShape ? likeness(c) : 0.0;
  if (!pending_.empty() && !resolvePending(c)) return;
  if (c.height > threshold() && !looksLikeTWave(c)) {
    while (haveLast_ && rr_.count() > 0 &&
           static_cast<double>(c.location - last_.location) > kSearchFactor * rrMean_ &&
           searchBack(c.location - refractory_)) {
    }
    if (!haveLast_ || c.location - last_.location >= refractory_) {
      if (o_.arbitrateEarly && haveLast_ && rr_.count() >= 4 &&
          static_cast<double>(c.location - last_.location) < kEarly * rrMean_) {
        if (pending_.size() == kMaxPending) flushPending(pending_.size() / 2);
        pending_.push_back(c);
        pendingUntil_ = last_.location + static_cast<std::int64_t>(kExpectedHigh * rrMean_) + latency_;
        deadline_ = std::min(deadline_, pendingUntil_);
        return;
      }
      accept(c, false);
      return;
    }
  }
  rejectAsNoise(c);
}

bool PeakClassifier::regularRhythm() const {
  if (rr_.count() < 8) return false;
  double spread = 0.0;
  for (double rr : rr_.values()) spread += std::fabs(rr - rrMean_);
  return spread / 8.0 < kRegular * rrMean_;
}

double PeakClassifier::beatScore(const Candidate& c) const {
  return c.height * (0.75 + 0.25 * std::clamp(c.likeness, -1.0, 1.0));
}

void PeakClassifier::setAside(const Candidate& c) {
  if (noisy_.size() < kMaxNoisy) noisy_.push_back(c);
}

// Accepts the first `count` waiting candidates in order (of two closer than
// the refractory period, the likelier).
void PeakClassifier::flushPending(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Candidate& p = pending_[i];
    if (haveLast_ && p.location - last_.location < refractory_) {
      setAside(p);
      continue;
    }
    if (i + 1 < count && pending_[i + 1].location - p.location < refractory_ &&
        beatScore(pending_[i + 1]) > beatScore(p)) {
      setAside(p);
      continue;
    }
    accept(p, false);
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
}

// Decides the waiting early candidates now that `next` has come. Returns
// false when `next` is used up by the decision.
bool PeakClassifier::resolvePending(const Candidate& next) {
  const bool nextIsBeat = next.height > threshold() && !looksLikeTWave(next);
  if (!nextIsBeat) {
    // Not a beat: it changes nothing; the waiting ones wait on.
    return true;
  }
  if (next.location - pending_.back().location < refractory_) {
    // Both cannot be beats: keep the likelier.
    if (beatScore(next) <= beatScore(pending_.back())) {
      setAside(next);
      return false;
    }
    setAside(pending_.back());
    pending_.pop_back();
    if (pending_.empty()) return true;
  }
  const double fromLast = static_cast<double>(next.location - last_.location);
  if (fromLast < kEarly * rrMean_) {
    // Early as well: it waits with them.
    if (pending_.size() == kMaxPending) flushPending(pending_.size() / 2);
    pending_.push_back(next);
    return false;
  }
  if (fromLast >= kExpectedLow * rrMean_ && fromLast <= kExpectedHigh * rrMean_) {
    // Where the rhythm expects a beat: each waiting candidate close before it
    // and clearly the lesser is noise.
    const double weaker = regularRhythm() ? kWeakerRegular : kWeaker;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
      const Candidate& a = pending_[i];
      const double fromEarly = static_cast<double>(next.location - a.location);
      if (fromEarly < kCloseAfter * rrMean_ && beatScore(a) < beatScore(next) &&
          (a.height < weaker * next.height || a.likeness < next.likeness - kLessAlike)) {
        setAside(a);
        holdNext_ = true;
        heldEarly_ = a.location;
      } else {
        if (kept != i) pending_[kept] = a;
        ++kept;
      }
    }
    pending_.resize(kept);
    if (!pending_.empty()) {
      holdNext_ = false;
      flushPending(pending_.size());
    }
  } else {
    flushPending(pending_.size());
  }
  return !(haveLast_ && next.location - last_.location < refractory_);
}

void PeakClassifier::accept(const Candidate& c, bool searchedBack) {
  if (haveLast_) {
    const std::int64_t rr = c.location - last_.location;
    // A beat found by the search back only shortens the mean period when it
    // is plausible, so that one wrong pick does not invite the next.
    // A long period with a candidate in it that nearly reached the threshold
    // may hide a beat: it does not lengthen the mean period either, so that
    // the search back looks into the next such gap. (Otherwise the larger
    // beats of a bigeminy whose smaller ones sank below the threshold settle
    // as the rhythm.)
    const bool hidesABeat = !searchedBack && rr_.count() >= 4 &&
                            static_cast<double>(rr) > kHidingGap * rrMean_ &&
                            nearMissBetween(last_.location, c.location);
    if (rr <= upper_ && !hidesABeat && (!searchedBack || static_cast<double>(rr) > 0.7 * rrMean_)) {
      rr_.push(static_cast<double>(rr));
      double sum = 0.0;
      for (double r : rr_.values()) sum += r;
      rrMean_ = sum / rr_.count();
    }
  }
  if (!searchedBack && (templateCount_ < 8 || c.likeness > 0.5)) learnShape(c);
  if (c.sharpness > 0.0) sharp_.push(c.sharpness);
  const double w = searchedBack ? 0.25 : 0.125;
  signal_ += w * (std::min(c.height, kLevelCap * signal_) - signal_);
  last_ = c;
  haveLast_ = true;
  lastAny_ = c.location;
  sinking_ = false;
  std::erase_if(noisy_, [&](const Candidate& n) { return n.location <= c.location; });
  emit(c.location);
  scheduleDeadline();
}

// Reports a beat. The beat that made an early candidate be set aside waits
// for the beat after it: a pause after it shows the two were a pair of early
// beats (a couplet), and a quicker beat after it that the rhythm has changed
// (the onset of a fast or irregular rhythm); either way the early one is
// reported after all.
void PeakClassifier::emit(std::int64_t location) {
  if (holding_) {
    const double after = static_cast<double>(location - heldBeat_);
    releaseHeld(after >= kPause * rrMean_ || after <= kQuicker * rrMean_);
  }
  if (holdNext_) {
    holdNext_ = false;
    holding_ = true;
    heldBeat_ = location;
    holdUntil_ = location + static_cast<std::int64_t>(kPause * rrMean_) + latency_;
    return;
  }
  sink_(location);
}

void PeakClassifier::finish() {
  for (const Waiting& w : waiting_) take(w.c);
  waiting_.clear();
  releaseAt_ = std::numeric_limits<std::int64_t>::max();
  if (learning_) finishLearning();
  if (!pending_.empty()) flushPending(pending_.size());
  if (holding_) releaseHeld(false);
}

void PeakClassifier::releaseHeld(bool withEarly) {
  holding_ = false;
  if (withEarly) sink_(heldEarly_);
  sink_(heldBeat_);
}

void PeakClassifier::rejectAsNoise(const Candidate& c) {
  if (o_.noiseTracking) noise_ += 0.125 * (c.height - noise_);
  keepLargest(noisy_, c, kMaxNoisy);
}

bool PeakClassifier::nearMissBetween(std::int64_t from, std::int64_t to) const {
  const double least = kNearMiss * threshold();
  return std::any_of(noisy_.begin(), noisy_.end(), [&](const Candidate& n) {
    return n.hasShape && n.height > least && n.location - from >= refractory_ &&
           to - n.location >= refractory_ && !looksLikeTWave(n);
  });
}

bool PeakClassifier::searchBack(std::int64_t before) {
  if (rr_.count() == 0) return false;  // no period known yet to judge a gap by
  const double floor = std::max(0.5 * threshold(), o_.searchFloor * signal_);
  // A candidate of the very outline of the recent beats may be lower.
  const double alikeFloor = std::max(kAlikeFloor * threshold(), o_.searchFloor * signal_);
  // A candidate that came without its outline was too small then to be a
  // beat whatever its form (outlineMatters); a threshold that has sunk since
  // does not make it one.
  // Nor does one far less sharp than every recent beat and far less steep
  // than the last (a P wave, one not followed by a QRS in a pause; a wide
  // ectopic beat is as steep as a narrow one), or far sharper than all of
  // them (noise).
  const double bluntest = bluntestBeat(), sharpest = sharpestBeat();
  auto eligible = [&](const Candidate& n) {
    const double least = n.likeness >= kAlike ? alikeFloor : floor;
    return n.hasShape && n.location <= before && n.height > least &&
           (!haveLast_ || n.location - last_.location >= refractory_) && !looksLikeTWave(n) &&
           !(n.sharpness > 0.0 && n.sharpness * kPrecursorSharpness <= bluntest &&
             (!haveLast_ || n.slope < kBluntSlope * last_.slope)) &&
           !(n.sharpness > 0.0 && sharpest > 0.0 && n.sharpness >= kPrecursorSharpness * sharpest);
  };
  const Candidate* found = earliestOfComparableSize(noisy_, eligible);
  if (found == nullptr) return false;
  const Candidate pick = *found;  // accept() prunes the list
  accept(pick, true);
  return true;
}

void PeakClassifier::scheduleDeadline() {
  const std::int64_t from = haveLast_ ? last_.location : lastAny_;
  deadline_ = from + static_cast<std::int64_t>(kSearchFactor * rrMean_) + latency_;
  if (holding_) deadline_ = std::min(deadline_, holdUntil_);
}

void PeakClassifier::deadlineCame(std::int64_t now) {
  if (!waiting_.empty()) {
    // The deadline waits for the waiting candidates to be judged (they are
    // the next to be classified, and a search back or a sinking level now
    // would decide without them).
    deadline_ = std::max(deadline_, releaseAt_);
    if (now < deadline_) return;
  }
  onDeadline(now);
}

void PeakClassifier::onDeadline(std::int64_t now) {
  if (learning_) {
    finishLearning();
    return;
  }
  if (holding_ && now >= holdUntil_) releaseHeld(true);
  if (!pending_.empty()) {
    if (now < pendingUntil_) {
      deadline_ = pendingUntil_;
      return;
    }
    flushPending(pending_.size());
    return;
  }
  // Only candidates a refractory period before the latest one known: a later
  // one that may still come (its report lags by up to latency_) could be the
  // beat they precede (the P wave before a QRS after a pause).
  if (searchBack(now - latency_ - refractory_)) return;
  // Nothing even at half the threshold: after a long silence let the signal
  // level sink (sinkLevel).
  if (now - lastAny_ > upper_ + latency_) {
    if (!sinking_) {
      sinking_ = true;
      sinkFrom_ = signal_;
    }
    const bool pause = rr_.count() >= 4 && now - lastAny_ < longestPause_;
    signal_ = sinkLevel(signal_, noise_, pause, std::max(kSinkFloor * noise_, kSinkShare * sinkFrom_));
  }
  deadline_ = now + std::max<std::int64_t>(latency_, static_cast<std::int64_t>(rrMean_ / 2));
}

}  // namespace rc::detect
