#pragma once
// Decides which peaks of a detection feature (the integrated QRS energy of the
// EKG, the slope sum of the pulse) are beats: adaptive signal and noise
// levels, a refractory period, T-wave discrimination and a search back for
// beats the threshold missed. Works in absolute sample numbers.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace rc::detect {

// One peak of the feature.
struct Candidate {
  std::int64_t featureIndex = 0;  // sample of the feature maximum
  std::int64_t location = 0;      // sample reported for the beat (R peak, pulse upstroke)
  double height = 0.0;            // feature maximum (arbitrary units, > 0)
  double slope = 0.0;             // steepest slope of the complex (same units for all candidates)
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
};

class PeakClassifier {
 public:
  using Sink = std::function<void(std::int64_t location)>;

  PeakClassifier(const ClassifierOptions& options, Sink sink);

  // A new feature peak; candidates arrive in time order.
  void offer(const Candidate& c);
  // Called with the current sample number; cheap unless a deadline passed.
  void tick(std::int64_t now) {
    if (now >= deadline_) onDeadline(now);
  }
  double signalLevel() const { return signal_; }
  double noiseLevel() const { return noise_; }
  double threshold() const;
  double meanRrSamples() const { return rrMean_; }

 private:
  void classify(const Candidate& c);
  void accept(const Candidate& c, bool searchedBack);
  void rejectAsNoise(const Candidate& c);
  bool searchBack(std::int64_t before);
  void finishLearning();
  void onDeadline(std::int64_t now);
  void scheduleDeadline();
  bool looksLikeTWave(const Candidate& c) const;

  ClassifierOptions o_;
  Sink sink_;
  std::int64_t refractory_;
  std::int64_t upper_;
  std::int64_t latency_;
  std::int64_t tWindow_;
  std::int64_t learnEnd_;

  bool learning_ = true;
  std::vector<Candidate> learnt_;
  std::vector<Candidate> noisy_;  // rejected candidates since the last beat (for search back)

  double signal_ = 0.0;
  double noise_ = 0.0;
  bool haveLast_ = false;
  Candidate last_{};
  std::int64_t lastAny_ = 0;  // last beat, or the end of learning when there is none
  double rr_[8] = {};
  int rrCount_ = 0;
  int rrPos_ = 0;
  double rrMean_ = 0.0;
  std::int64_t deadline_ = 0;
};

}  // namespace rc::detect
