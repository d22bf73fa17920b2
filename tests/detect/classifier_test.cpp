// The beat classifier's decisions on hand-made candidate streams (early
// candidates against the rhythm, the likeness of beat outlines), and the QRS
// detector on complexes the plain 5-15 Hz band gets wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "detect/peak_classifier.h"
#include "tests/detect/synthetic.h"

namespace rc::detect {
namespace {

constexpr double kRate = 1000.0;  // one sample per millisecond

ClassifierOptions ekgLike() {
  ClassifierOptions o;
  o.rate = kRate;
  o.refractoryMs = 300;
  o.upperMs = 2000;
  o.noiseTracking = true;
  o.fraction = 0.5;
  o.tWaveWindowMs = 360;
  o.arbitrateEarly = true;
  o.latencyMs = 380;
  return o;
}

// A QRS-like outline (a narrow peak) or a broad bump, times `height`.
Candidate candidate(std::int64_t at, double height, bool narrow = true) {
  Candidate c;
  c.featureIndex = at + 100;
  c.location = at;
  c.height = height;
  c.slope = height;
  c.hasShape = true;
  for (std::size_t i = 0; i < kOutlinePoints; ++i) {
    const double t = static_cast<double>(i) - kOutlinePoints / 2.0;
    const double w = narrow ? 2.5 : 9.0;
    c.shape[i] = static_cast<float>(height * std::exp(-0.5 * t * t / (w * w)));
  }
  return c;
}

// Feeds candidates in time order, ticking the clock up to each, and then on
// past the last; returns the beats reported.
std::vector<std::int64_t> classify(const ClassifierOptions& o, const std::vector<Candidate>& stream) {
  std::vector<std::int64_t> beats;
  PeakClassifier k(o, [&](std::int64_t at) { beats.push_back(at); });
  std::int64_t now = 0;
  for (const Candidate& c : stream) {
    for (; now < c.featureIndex; ++now) k.tick(now);
    k.offer(c);
  }
  for (std::int64_t end = now + 5000; now < end; ++now) k.tick(now);
  return beats;
}

// Regular beats every 800 ms from 1 s on; `extra` candidates are merged in.
std::vector<Candidate> rhythm(int beats, const std::vector<Candidate>& extra) {
  std::vector<Candidate> v;
  for (int i = 0; i < beats; ++i) v.push_back(candidate(1000 + 800 * i, 1.0));
  for (const Candidate& c : extra) v.push_back(c);
  std::sort(v.begin(), v.end(),
            [](const Candidate& a, const Candidate& b) { return a.featureIndex < b.featureIndex; });
  return v;
}

bool has(const std::vector<std::int64_t>& beats, std::int64_t at) {
  return std::find(beats.begin(), beats.end(), at) != beats.end();
}

TEST(EarlyCandidates, AWeakOneBeforeAnExpectedBeatIsNoise) {
  // 10th beat at 8200; a weaker candidate 400 ms after the 9th (at 7800).
  const auto beats = classify(ekgLike(), rhythm(20, {candidate(7800, 0.55)}));
  EXPECT_FALSE(has(beats, 7800));
  EXPECT_TRUE(has(beats, 8200));
  EXPECT_EQ(beats.size(), 20u);
}

TEST(EarlyCandidates, SeveralWeakOnesBeforeAnExpectedBeatAreNoise) {
  // A burst of noise: two weak candidates 300 ms apart before the 10th beat.
  const auto beats = classify(ekgLike(), rhythm(20, {candidate(7700, 0.55), candidate(8000, 0.5)}));
  EXPECT_FALSE(has(beats, 7700));
  EXPECT_FALSE(has(beats, 8000));
  EXPECT_TRUE(has(beats, 8200));
  EXPECT_EQ(beats.size(), 20u);
}

TEST(EarlyCandidates, APrematureBeatWithItsPauseIsKept) {
  // Beats at 1000 + 800 i, except that the 12th comes 35 % early and the
  // next one after a full pause: no candidate falls where the rhythm expects
  // the beat it replaced.
  std::vector<Candidate> v;
  for (int i = 0; i < 20; ++i) {
    if (i == 11) {
      v.push_back(candidate(1000 + 800 * 10 + 520, 0.9, false));
      continue;
    }
    v.push_back(candidate(1000 + 800 * i, 1.0));
  }
  const auto beats = classify(ekgLike(), v);
  EXPECT_TRUE(has(beats, 1000 + 800 * 10 + 520));
  EXPECT_EQ(beats.size(), 20u);
}

TEST(EarlyCandidates, AWeakOneFollowedByAPairAndAPauseWasACouplet) {
  // Two early beats in a row (the first weaker, the second where the rhythm
  // expects a beat), then a pause: the first is reported after all, in order.
  std::vector<Candidate> v;
  for (int i = 0; i < 12; ++i) v.push_back(candidate(1000 + 800 * i, 1.0));
  const std::int64_t last = 1000 + 800 * 11;
  v.push_back(candidate(last + 450, 0.6, false));
  v.push_back(candidate(last + 900, 1.0, false));
  for (int i = 0; i < 8; ++i) v.push_back(candidate(last + 900 + 1200 + 800 * i, 1.0));
  const auto beats = classify(ekgLike(), v);
  EXPECT_TRUE(has(beats, last + 450));
  EXPECT_TRUE(has(beats, last + 900));
  EXPECT_TRUE(std::is_sorted(beats.begin(), beats.end()));
  EXPECT_EQ(beats.size(), v.size());
}

TEST(EarlyCandidates, AWeakOneAtTheOnsetOfAQuickerRhythmIsKept) {
  // The period halves: the first quick beat is weaker and the second falls
  // where the old rhythm expected a beat, but the beats go on quickly.
  std::vector<Candidate> v;
  for (int i = 0; i < 12; ++i) v.push_back(candidate(1000 + 800 * i, 1.0));
  const std::int64_t last = 1000 + 800 * 11;
  v.push_back(candidate(last + 450, 0.6));
  for (int i = 0; i < 10; ++i) v.push_back(candidate(last + 900 + 450 * i, 1.0));
  const auto beats = classify(ekgLike(), v);
  EXPECT_TRUE(has(beats, last + 450));
  EXPECT_TRUE(std::is_sorted(beats.begin(), beats.end()));
  EXPECT_EQ(beats.size(), v.size());
}

TEST(EarlyCandidates, AsStrongAsTheNextOneIsKept) {
  // Both look like beats of the same size: the early one is not the lesser.
  const auto beats = classify(ekgLike(), rhythm(20, {candidate(7800, 1.0)}));
  EXPECT_TRUE(has(beats, 7800));
}

TEST(EarlyCandidates, NearlyAsTallIsNoiseInASteadyRhythmOnly) {
  // In a steady rhythm a candidate 400 ms after a beat and a little lower
  // than the beat the rhythm then brings is noise.
  const auto steady = classify(ekgLike(), rhythm(20, {candidate(7800, 0.85)}));
  EXPECT_FALSE(has(steady, 7800));
  EXPECT_EQ(steady.size(), 20u);
  // In an irregular one (periods of 650 to 950 ms) it may be a beat: kept.
  const std::int64_t periods[] = {650, 950, 800, 700, 900};
  std::vector<Candidate> v;
  std::int64_t at = 1000;
  for (int i = 0; i < 20; ++i) {
    v.push_back(candidate(at, 1.0));
    at += periods[i % 5];
  }
  const std::int64_t after = v[11].location;  // the next beat comes 900 ms later
  v.insert(v.begin() + 12, candidate(after + 400, 0.85));
  const auto irregular = classify(ekgLike(), v);
  EXPECT_TRUE(has(irregular, after + 400));
  EXPECT_EQ(irregular.size(), v.size());
}

TEST(EarlyCandidates, OfTwoTooCloseForBothTheLikelierStays) {
  // A noise candidate 150 ms before a beat that is itself early (a rate
  // change): only one of the two can be a beat, and it is the taller.
  std::vector<Candidate> v;
  for (int i = 0; i < 12; ++i) v.push_back(candidate(1000 + 800 * i, 1.0));
  v.push_back(candidate(9800 + 300, 0.55));
  for (int i = 0; i < 10; ++i) v.push_back(candidate(9800 + 450 + 600 * i, 1.0));
  const auto beats = classify(ekgLike(), v);
  EXPECT_FALSE(has(beats, 10100));
  EXPECT_TRUE(has(beats, 10250));
}

TEST(EarlyCandidates, ArbitrationOffKeepsTheFirstComer) {
  ClassifierOptions o = ekgLike();
  o.arbitrateEarly = false;
  const auto beats = classify(o, rhythm(20, {candidate(7800, 0.55)}));
  EXPECT_TRUE(has(beats, 7800));
}

// Beats of `height` every 800 ms over [from, to), with noise candidates
// (broad bumps of 0.7, 1 and 1.3 times `noise` in turn) every 130 ms between
// them.
void addBeatsAndNoise(std::vector<Candidate>& v, std::int64_t from, std::int64_t to, double height,
                      double noise) {
  int k = 0;
  for (std::int64_t t = from; t < to; t += 800) {
    if (height > 0.0) v.push_back(candidate(t, height));
    for (std::int64_t n = t + 330; n < std::min(t + 800, to) - 100; n += 130)
      v.push_back(candidate(n, noise * (0.7 + 0.3 * (k++ % 3)), false));
  }
}

std::size_t beatsWithin(const std::vector<std::int64_t>& beats, std::int64_t from, std::int64_t to) {
  return static_cast<std::size_t>(
      std::count_if(beats.begin(), beats.end(), [&](std::int64_t b) { return b >= from && b < to; }));
}

TEST(LongSilence, APauseHoldsNoBeatsAndTheRhythmAfterItIsFound) {
  // 20 s of beats, a pause of 4 or 6 s with noise only, then beats again.
  for (std::int64_t pause : {4000, 6000}) {
    std::vector<Candidate> v;
    addBeatsAndNoise(v, 1000, 21000, 1.0, 0.04);
    addBeatsAndNoise(v, 21000, 21000 + pause, 0.0, 0.04);
    addBeatsAndNoise(v, 21000 + pause, 40000, 1.0, 0.04);
    const auto beats = classify(ekgLike(), v);
    SCOPED_TRACE(pause);
    EXPECT_EQ(beatsWithin(beats, 0, 21000), 25u);
    EXPECT_EQ(beatsWithin(beats, 21000, 21000 + pause), 0u);
    EXPECT_EQ(beatsWithin(beats, 21000 + pause, 40000),
              static_cast<std::size_t>((19000 - pause + 799) / 800));
  }
}

TEST(LongSilence, BeatsThatShrankAreFoundAgain) {
  // After 10 s of beats the signal shrinks to a sixth of its size (some found
  // at once, the rest by the search back) or to a twentieth (found once the
  // silence is too long for a pause); nearly noise-free.
  for (double shrunk : {1.0 / 6.0, 0.05}) {
    std::vector<Candidate> v;
    addBeatsAndNoise(v, 1000, 11000, 1.0, 0.005);
    addBeatsAndNoise(v, 11000, 60000, shrunk, 0.003);
    const auto beats = classify(ekgLike(), v);
    SCOPED_TRACE(shrunk);
    EXPECT_GE(beatsWithin(beats, 25000, 60000), 43u);  // of 44
    EXPECT_LE(beatsWithin(beats, 25000, 60000), 44u);
  }
}

TEST(Bigeminy, SmallerBeatsBetweenTallOnesAreKept) {
  // 20 s of beats every 800 ms, then an irregular bigeminy: a tall premature
  // beat of another form 380-620 ms after each beat, the next beat 800-1400 ms
  // after it, heights varying by up to 30 % (the tall ones by 40 %), noise
  // between. The tall ones lift the signal level until the others often fall
  // a little short of the threshold; a rhythm of the tall ones alone must not
  // settle.
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<Candidate> v;
  std::int64_t t = 1000;
  for (; t < 21000; t += 800) v.push_back(candidate(t, 0.4));
  std::size_t beatsAfter = 0;
  while (t < 81000) {
    const auto coupling = static_cast<std::int64_t>(500 + 120 * u(rng));
    v.push_back(candidate(t, 0.4 * (1.0 + 0.3 * u(rng))));
    v.push_back(candidate(t + coupling, 1.0 + 0.4 * u(rng), false));
    if (t >= 41000) beatsAfter += 2;
    for (std::int64_t n = t + coupling + 320; n < t + 1500; n += 170)
      v.push_back(candidate(n, 0.08 * (1.0 + 0.5 * u(rng)), false));
    t += coupling + static_cast<std::int64_t>(1100 + 300 * u(rng));
  }
  std::sort(v.begin(), v.end(),
            [](const Candidate& a, const Candidate& b) { return a.featureIndex < b.featureIndex; });
  const auto beats = classify(ekgLike(), v);
  EXPECT_GE(beatsWithin(beats, 41000, 81000) + 1, beatsAfter);
}

TEST(Likeness, SameOutlineAlignedOppositeAndUnknown) {
  std::vector<std::int64_t> beats;
  PeakClassifier k(ekgLike(), [&](std::int64_t at) { beats.push_back(at); });
  Candidate probe = candidate(0, 3.0);
  EXPECT_DOUBLE_EQ(k.likeness(probe), 1.0);  // nothing learnt yet
  std::int64_t now = 0;
  for (const Candidate& c : rhythm(12, {})) {
    for (; now < c.featureIndex; ++now) k.tick(now);
    k.offer(c);
  }
  ASSERT_GE(beats.size(), 8u);
  EXPECT_GT(k.likeness(probe), 0.99);  // any size
  // Shifted by a few points: the slack aligns it.
  Candidate shifted = probe;
  for (std::size_t i = 0; i < kOutlinePoints; ++i)
    shifted.shape[i] = probe.shape[std::min(kOutlinePoints - 1, i + 4)];
  EXPECT_GT(k.likeness(shifted), 0.95);
  Candidate inverted = probe;
  for (float& v : inverted.shape) v = -v;
  EXPECT_LT(k.likeness(inverted), 0.5);
  Candidate flat = probe;
  flat.shape.fill(0.25f);
  EXPECT_DOUBLE_EQ(k.likeness(flat), 0.0);
  Candidate none = probe;
  none.hasShape = false;
  EXPECT_DOUBLE_EQ(k.likeness(none), 1.0);
}

// An EKG whose QRS is a short burst of 40 Hz oscillation between tall,
// smooth P and T waves (as on some intensive-care leads): the 5-15 Hz band
// alone sees the P and T waves more than the burst.
std::vector<float> fragmentedEkg(double rate, double seconds, std::vector<std::int64_t>& beats) {
  std::vector<float> x(static_cast<std::size_t>(seconds * rate), 0.0f);
  std::mt19937 rng(5);
  std::normal_distribution<double> jitter(0.0, 0.02);
  std::normal_distribution<double> white(0.0, 0.01);
  for (double t = 0.6; t < seconds - 0.6; t += 0.75 + jitter(rng)) {
    beats.push_back(std::llround(t * rate));
    const auto from = static_cast<std::int64_t>((t - 0.4) * rate);
    const auto to = static_cast<std::int64_t>((t + 0.6) * rate);
    for (std::int64_t i = std::max<std::int64_t>(0, from); i < to && i < static_cast<std::int64_t>(x.size());
         ++i) {
      const double u = static_cast<double>(i) / rate - t;
      const double p = 0.6 * std::exp(-0.5 * std::pow((u + 0.18) / 0.03, 2));
      const double tw = 0.9 * std::exp(-0.5 * std::pow((u - 0.26) / 0.05, 2));
      const double burst =
          0.35 * std::exp(-0.5 * std::pow(u / 0.012, 2)) * std::cos(2 * std::numbers::pi * 40.0 * u);
      x[static_cast<std::size_t>(i)] += static_cast<float>(p + tw + burst);
    }
  }
  for (float& v : x) v += static_cast<float>(white(rng));
  return x;
}

TEST(QrsBands, AFragmentedQrsBetweenTallWavesIsTheBeat) {
  for (const double rate : {250.0, 500.0}) {
    std::vector<std::int64_t> truth;
    const auto x = fragmentedEkg(rate, 120.0, truth);
    for (bool advanced : {false, true}) {
      const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
      // Within 50 ms: on the burst, not on the P wave 180 ms before it or the
      // T wave 260 ms after it.
      const auto score = matchEvents(truth, found, std::llround(0.050 * rate));
      EXPECT_GE(score.sensitivity(), 0.99) << rate << " Hz" << (advanced ? ", Advanced" : ", Basic");
      EXPECT_GE(score.positivePredictivity(), 0.99) << rate << " Hz" << (advanced ? ", Advanced" : ", Basic");
    }
  }
}

// Pacing spikes as a recorder below 500 Hz leaves them: smeared by its
// filters into a bump of `sigma` seconds, `before` seconds ahead of the QRS
// (an atrial and a ventricular one; 0: none).
struct SmearedSpikes {
  double sigma = 0.0;
  std::array<double, 2> before{};
};

// Paced rhythm: a pacemaker spike of 2 ms (1 mV, either way), then a wide QRS
// (its first and largest deflection, 1.6 mV, 40 ms later, an opposite one
// 90 ms after that) and a broad T wave (or, with `smeared`, the spikes it
// names). The beat is the QRS, whichever way the complex points.
std::vector<float> pacedEkg(double rate, double seconds, double polarity, double spike,
                            std::vector<std::int64_t>& beats, double spikeBefore = 0.040,
                            const SmearedSpikes& smeared = {}) {
  std::vector<float> x(static_cast<std::size_t>(seconds * rate), 0.0f);
  std::mt19937 rng(11);
  std::normal_distribution<double> white(0.0, 0.01);
  for (double t = 0.7; t < seconds - 0.7; t += 0.86) {
    beats.push_back(std::llround(t * rate));
    const auto from = static_cast<std::int64_t>((t - 0.3) * rate);
    const auto to = static_cast<std::int64_t>((t + 0.6) * rate);
    for (std::int64_t i = std::max<std::int64_t>(0, from); i < to && i < static_cast<std::int64_t>(x.size());
         ++i) {
      const double u = static_cast<double>(i) / rate - t;
      double v = 0.0;
      if (smeared.sigma > 0.0) {
        for (double before : smeared.before)
          if (before > 0.0) v += spike * std::exp(-0.5 * std::pow((u + before) / smeared.sigma, 2));
      } else {
        v = spike * (std::fabs(u + spikeBefore) < 0.001 ? 1.0 : 0.0);
      }
      v += 1.6 * std::exp(-0.5 * std::pow(u / 0.022, 2));
      v -= 1.1 * std::exp(-0.5 * std::pow((u - 0.09) / 0.03, 2));
      v -= 0.5 * std::exp(-0.5 * std::pow((u - 0.33) / 0.06, 2));
      x[static_cast<std::size_t>(i)] += static_cast<float>(polarity * v);
    }
  }
  for (float& v : x) v += static_cast<float>(white(rng));
  return x;
}

TEST(QrsBands, PacedComplexesAreMarkedOnTheirQrs) {
  for (const double rate : {360.0, 1000.0}) {
    for (const double polarity : {1.0, -1.0}) {
      for (const double spike : {0.0, 1.0, -1.0}) {
        std::vector<std::int64_t> truth;
        const auto x = pacedEkg(rate, 120.0, polarity, spike, truth);
        for (bool advanced : {false, true}) {
          const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
          const auto score = matchEvents(truth, found, std::llround(0.060 * rate));
          EXPECT_GE(score.sensitivity(), 0.99) << rate << " Hz, polarity " << polarity << ", spike " << spike
                                               << (advanced ? ", Advanced" : ", Basic");
          EXPECT_GE(score.positivePredictivity(), 0.99) << rate << " Hz, polarity " << polarity << ", spike "
                                                        << spike << (advanced ? ", Advanced" : ", Basic");
        }
      }
    }
  }
}

// At 500 Hz and more, pacing spikes (2 ms) taller than the QRS are no beats
// and do not move the beat: an atrial spike 180 ms before each QRS, a
// ventricular one 40 ms before it, up to eight times the R wave.
TEST(QrsBands, TallPacingSpikesDoNotTakeTheBeatsPlace) {
  for (const double rate : {500.0, 1000.0, 2048.0}) {
    for (const double before : {0.180, 0.040}) {
      for (const double spike : {4.0, -8.0}) {
        std::vector<std::int64_t> truth;
        const auto x = pacedEkg(rate, 60.0, 1.0, spike, truth, before);
        for (bool advanced : {false, true}) {
          const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
          const auto score = matchEvents(truth, found, std::llround(0.060 * rate));
          const std::string what = std::to_string(rate) + " Hz, spike " + std::to_string(spike) + " " +
                                   std::to_string(before) + " s before" +
                                   (advanced ? ", Advanced" : ", Basic");
          EXPECT_LE(score.falseNegatives, 1) << what;
          EXPECT_LE(score.falsePositives, 1) << what;
        }
      }
    }
  }
}

// Below 500 Hz the recorder's filters smear a pacing spike over a few
// milliseconds (here 1.5 and 2 ms); it is still far narrower than a QRS and
// may be taller. An atrial spike 180 ms before each QRS, a ventricular one
// 40 ms before it, or both, up to four times the R wave: each beat once, on
// its QRS.
TEST(QrsBands, SmearedPacingSpikesDoNotTakeTheBeatsPlace) {
  const std::array<std::array<double, 2>, 3> pacing = {{{0.180, 0.0}, {0.040, 0.0}, {0.180, 0.040}}};
  for (const double rate : {250.0, 360.0}) {
    for (const double sigma : {0.0015, 0.002}) {
      for (const auto& before : pacing) {
        for (const double spike : {1.6, 6.4, -3.2}) {
          std::vector<std::int64_t> truth;
          const auto x = pacedEkg(rate, 60.0, 1.0, spike, truth, 0.0, {sigma, before});
          for (bool advanced : {false, true}) {
            const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
            const auto score = matchEvents(truth, found, std::llround(0.030 * rate));
            const std::string what = std::to_string(rate) + " Hz, sigma " + std::to_string(sigma) +
                                     ", spike " + std::to_string(spike) + " " + std::to_string(before[0]) +
                                     "/" + std::to_string(before[1]) + " s before" +
                                     (advanced ? ", Advanced" : ", Basic");
            EXPECT_LE(score.falseNegatives, 1) << what;
            EXPECT_LE(score.falsePositives, 1) << what;
          }
        }
      }
    }
  }
}

// The narrowest R waves (half their height for 9 ms) are no spikes: every
// beat is found, Advanced on its R peak (within a sample).
TEST(QrsBands, NarrowRWavesAreNotCutAsSpikes) {
  for (const double rate : {128.0, 200.0, 250.0, 360.0}) {
    std::vector<float> x(static_cast<std::size_t>(60 * rate), 0.0f);
    std::vector<std::int64_t> truth;
    std::mt19937 rng(3);
    std::normal_distribution<double> white(0.0, 0.01);
    for (double t = 0.7; t < 59.3; t += 0.9) {
      truth.push_back(std::llround(t * rate));
      for (std::int64_t k = -std::llround(0.3 * rate); k <= std::llround(0.5 * rate); ++k) {
        const double u = static_cast<double>(k) / rate;
        const double v = 1.2 * std::exp(-0.5 * std::pow(u / 0.004, 2)) -
                         0.3 * std::exp(-0.5 * std::pow((u - 0.012) / 0.005, 2)) +
                         0.3 * std::exp(-0.5 * std::pow((u - 0.28) / 0.05, 2));
        x[static_cast<std::size_t>(truth.back() + k)] += static_cast<float>(v);
      }
    }
    for (float& v : x) v += static_cast<float>(white(rng));
    for (bool advanced : {false, true}) {
      const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
      const auto score = matchEvents(truth, found, advanced ? 1 : std::llround(0.030 * rate));
      EXPECT_EQ(score.falseNegatives, 0) << rate << " Hz" << (advanced ? ", Advanced" : ", Basic");
      EXPECT_EQ(score.falsePositives, 0) << rate << " Hz" << (advanced ? ", Advanced" : ", Basic");
    }
  }
}

// P waves as tall as 0.7-0.9 of the R wave: before a long P-R interval each
// came late enough after the refractory period to pass for a beat (every
// beat counted twice from the start), and before a short one it took the
// beat's place.
TEST(QrsBands, TallPWavesAreNoBeats) {
  for (const double rate : {250.0, 360.0, 500.0}) {
    for (const int percent : {70, 90}) {
      const double height = percent / 100.0;
      for (const double width : {0.020, 0.025}) {
        for (const double pr : {0.20, 0.30, 0.35}) {
          std::vector<float> x(static_cast<std::size_t>(60 * rate), 0.0f);
          std::vector<std::int64_t> truth;
          std::mt19937 rng(5);
          std::uniform_real_distribution<double> jitter(-0.05, 0.05);
          for (double t = 0.6; t < 59.3; t += 0.9 * (1.0 + jitter(rng))) {
            truth.push_back(std::llround(t * rate));
            testing::addWave(x, rate, t, -0.5, 0.5, [&](double u) {
              return testing::bump(u, 0.0, 0.010) - 0.25 * testing::bump(u, 0.025, 0.010) +
                     0.4 * testing::bump(u, 0.3, 0.05) + height * testing::bump(u, -pr, width);
            });
          }
          testing::addNoiseAndWander(x, rate, 0.02, 0.3, 0.3, rng);
          for (bool advanced : {false, true}) {
            const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), 32));
            const auto score = matchEvents(truth, found, std::llround(0.075 * rate));
            SCOPED_TRACE(::testing::Message() << rate << " Hz, P " << percent << " % of R, " << width * 1000
                                              << " ms, P-R " << pr * 1000 << " ms"
                                              << (advanced ? ", Advanced" : ", Basic"));
            EXPECT_LE(score.falseNegatives, 1);
            EXPECT_LE(score.falsePositives, 1);
          }
        }
      }
    }
  }
}

TEST(RecordingStart, ABeatCloserToTheStartThanItsPeriodIsReported) {
  // The first R peak 150 ms after the start, as on recordings cut at a beat.
  const double rate = 250.0;
  std::vector<float> x(static_cast<std::size_t>(30 * rate), 0.0f);
  std::vector<std::int64_t> truth;
  for (double t = 0.15; t < 29.5; t += 0.8) {
    truth.push_back(std::llround(t * rate));
    for (int k = -25; k <= 25; ++k) {
      const auto i = truth.back() + k;
      if (i >= 0) x[static_cast<std::size_t>(i)] += static_cast<float>(std::exp(-0.5 * std::pow(k / 2.5, 2)));
    }
  }
  for (bool advanced : {false, true}) {
    const auto found = runChannel(x, rate, kCodeEkg, beatParameters(advanced), 16);
    ASSERT_FALSE(found.empty());
    // Advanced places it on the R peak, Basic within the complex.
    const std::int64_t tolerance = advanced ? 3 : std::llround(0.040 * rate);
    EXPECT_LE(std::llabs(found.front().sample - truth.front()), tolerance)
        << (advanced ? "Advanced" : "Basic");
    // Its period is the time since the start (the beat before it would lie
    // before the recording).
    EXPECT_NEAR(found.front().periodMs, found.front().sample * 1000.0 / rate, 0.01);
    EXPECT_EQ(found.size(), truth.size());
  }
}

}  // namespace
}  // namespace rc::detect
