#pragma once
// Decides which peaks of a detection feature (the integrated QRS energy of the
// EKG) are beats: adaptive signal and noise levels, a refractory period, T-
// and P-wave discrimination and a search back for beats the threshold missed.
// Works in absolute sample numbers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

namespace rc::detect {

// Points of the beats' average outline, and the points a candidate's outline
// holds beyond them on either side, so that the two can be aligned.
inline constexpr std::size_t kShapePoints = 32;
inline constexpr std::size_t kShapeSlack = 8;
inline constexpr std::size_t kOutlinePoints = kShapePoints + 2 * kShapeSlack;

// One peak of the feature.
struct Candidate {
  std::int64_t featureIndex = 0;  // sample of the feature maximum
  std::int64_t location = 0;      // sample reported for the beat (R peak, pulse upstroke)
  double height = 0.0;            // feature maximum (arbitrary units, > 0)
  double slope = 0.0;             // steepest slope of the complex (same units for all candidates)
  // The complex around `location`, sampled at kOutlinePoints evenly spaced
  // instants, when the detector supplies it (hasShape). Only its form counts:
  // it is compared with the average form of the recent beats, at the best of
  // the alignments the slack allows.
  bool hasShape = false;
  std::array<float, kOutlinePoints> shape{};
  double likeness = 0.0;  // correlation with the beats' average form (set by the classifier)
  // The complex's energy in the detector's upper band over that in its lower
  // band (how sharp it is), when the detector supplies it (> 0).
  double sharpness = 0.0;
};

struct ClassifierOptions {
  double rate = 250.0;        // Hz
  double refractoryMs = 300;  // beats closer than this are impossible
  double upperMs = 2000;      // longest believable beat period
  // Threshold = noise + fraction * (signal - noise) with noise tracking, or
  // fraction * signal without.
  bool noiseTracking = true;
  double fraction = 0.25;
  // The search back takes candidates above half the threshold and above this
  // share of the signal level.
  double searchFloor = 0.0;
  // Candidates later than the refractory period but within this time of the
  // last beat must have at least half its slope (0 disables the test).
  double tWaveWindowMs = 0.0;
  // ... or within this share of the mean period, when that is longer.
  double tWaveShare = 0.0;
  // Longest delay (ms) between a beat's location and the moment its candidate
  // is offered; the search back waits for it.
  double latencyMs = 300;
  double learnMs = 2000;  // levels are learnt over this span before deciding
  // Candidates that come early in the rhythm wait for one that falls where
  // the rhythm expects a beat; each early one close before it and clearly
  // the lesser is set aside as noise.
  bool arbitrateEarly = false;
  // A candidate followed within this time (ms) by a taller, steeper and far
  // sharper one (see isPrecursor) is the P wave before its QRS, and is no
  // beat (0 disables; needs the candidates' sharpness).
  double precursorMs = 0.0;
};

// The last eight values of a quantity (a ring).
class RecentEight {
 public:
  void push(double v) {
    values_[pos_] = v;
    pos_ = (pos_ + 1) % 8;
    if (count_ < 8) ++count_;
  }
  int count() const { return count_; }
  std::span<const double> values() const { return {values_.data(), static_cast<std::size_t>(count_)}; }

 private:
  std::array<double, 8> values_{};
  int pos_ = 0;
  int count_ = 0;
};

class PeakClassifier {
 public:
  using Sink = std::function<void(std::int64_t location)>;

  PeakClassifier(const ClassifierOptions& options, Sink sink);

  // A new feature peak; candidates arrive in time order.
  void offer(const Candidate& c);
  // Called with the current sample number; cheap unless a deadline passed.
  // The recording has ended: the candidate waiting for the next one is
  // accepted, and a beat whose report waits is reported.
  void finish();
  void tick(std::int64_t now) {
    if (now >= releaseAt_) releaseWaiting(now);
    if (now >= deadline_) deadlineCame(now);
  }
  double signalLevel() const { return signal_; }
  double noiseLevel() const { return noise_; }
  double threshold() const;
  double meanRrSamples() const { return rrMean_; }
  // Whether the outline of a candidate of this height can change a decision
  // (smaller ones are noise whatever their form).
  bool outlineMatters(double height) const { return learning_ || height > kOutlineFloor * threshold(); }
  static constexpr double kOutlineFloor = 0.3;
  // Correlation of c's form with the average form of the recent beats, in
  // -1 .. 1; 1 when either is unknown.
  double likeness(const Candidate& c, std::size_t* alignment = nullptr) const;

 private:
  // The candidates after the precursor stage: learnt or classified.
  void take(const Candidate& c);
  void classify(const Candidate& c);
  // Whether the last eight periods keep close to their mean.
  bool regularRhythm() const;
  void accept(const Candidate& c, bool searchedBack);
  void rejectAsNoise(const Candidate& c);
  bool searchBack(std::int64_t before);
  // Whether a rejected candidate between two beats nearly reached the
  // threshold.
  bool nearMissBetween(std::int64_t from, std::int64_t to) const;
  void finishLearning();
  // A deadline waits until the waiting candidates are judged.
  void deadlineCame(std::int64_t now);
  void onDeadline(std::int64_t now);
  void scheduleDeadline();
  bool looksLikeTWave(const Candidate& c) const;

  // The precursor stage (precursorMs). A candidate that may be a beat and is
  // far less sharp than one of the recent beats waits until no candidate can
  // come within the window after it; the candidates after it wait behind it.
  struct Waiting {
    Candidate c;
    bool mayPrecede;
  };
  bool mayPrecede(const Candidate& c) const;
  // The least and the greatest sharpness among the last beats (0 when none
  // is known).
  double bluntestBeat() const;
  double sharpestBeat() const;
  bool isPrecursor(const Candidate& early, const Candidate& next) const;
  void takeFirstWaiting();
  void releaseWaiting(std::int64_t now);
  std::vector<Waiting> waiting_;
  std::int64_t precursor_ = 0;
  RecentEight sharp_;  // sharpness of the last beats
  std::int64_t releaseAt_ = std::numeric_limits<std::int64_t>::max();

  ClassifierOptions o_;
  Sink sink_;
  std::int64_t refractory_;
  std::int64_t upper_;
  std::int64_t latency_;
  std::int64_t tWindow_;
  std::int64_t learnEnd_;
  std::int64_t longestPause_;

  bool learning_ = true;
  std::vector<Candidate> learnt_;
  std::vector<Candidate> noisy_;  // rejected candidates since the last beat (for search back)

  double signal_ = 0.0;
  double noise_ = 0.0;
  bool haveLast_ = false;
  Candidate last_{};
  std::int64_t lastAny_ = 0;  // last beat, or the end of learning when there is none
  RecentEight rr_;  // the last beat periods
  double rrMean_ = 0.0;
  bool sinking_ = false;   // the signal level sinks in a long silence
  double sinkFrom_ = 0.0;  // ... from this level
  std::int64_t deadline_ = 0;

  // Average form of the recent beats (each form scaled to zero mean and unit
  // norm before it is added).
  std::array<double, kShapePoints> template_{};
  int templateCount_ = 0;
  void learnShape(const Candidate& c);

  // The early candidates waiting for the next beat (arbitrateEarly).
  std::vector<Candidate> pending_;
  std::int64_t pendingUntil_ = 0;
  bool resolvePending(const Candidate& next);
  void flushPending(std::size_t count);
  double beatScore(const Candidate& c) const;
  void setAside(const Candidate& c);

  // A beat whose report waits (see emit).
  bool holdNext_ = false;
  bool holding_ = false;
  std::int64_t heldEarly_ = 0;
  std::int64_t heldBeat_ = 0;
  std::int64_t holdUntil_ = 0;
  void emit(std::int64_t location);
  void releaseHeld(bool withEarly);
};

}  // namespace rc::detect
