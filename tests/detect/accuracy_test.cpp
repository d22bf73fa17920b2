// Detection accuracy on synthetic signals with known event times, over the
// whole supported rate range, through the program's block-by-block calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "detect/detector.h"
#include "detect/detectors.h"
#include "detect/evaluation.h"
#include "tests/detect/synthetic.h"

namespace rc::detect {
namespace {

using testing::Disturbance;
using testing::Synthetic;

// Median of detection - nearest event (samples): the fixed lag of a fiducial.
std::int64_t medianLag(const std::vector<std::int64_t>& events, const std::vector<std::int64_t>& found) {
  std::vector<std::int64_t> lags;
  for (std::int64_t f : found) {
    auto it = std::lower_bound(events.begin(), events.end(), f);
    std::int64_t best = it != events.end() ? *it - f : INT64_MAX;
    if (it != events.begin() && f - *(it - 1) < std::llabs(best)) best = *(it - 1) - f;
    lags.push_back(-best);
  }
  if (lags.empty()) return 0;
  std::nth_element(lags.begin(), lags.begin() + lags.size() / 2, lags.end());
  return lags[lags.size() / 2];
}

std::uint32_t blockRateFor(double rate) { return rate >= 512 ? 32 : (rate >= 32 ? 16 : 2); }

struct BeatCase {
  const char* name;
  double rate;
  bool advanced;
  double meanRr;
  int ectopicEvery;
  Disturbance disturbance;
  double polarity;
};

void PrintTo(const BeatCase& c, std::ostream* os) { *os << c.name; }

// The reference events no detection was paired with, in seconds, for messages.
std::string missed(const std::vector<std::int64_t>& events, const std::vector<std::int64_t>& found,
                   double rate, std::int64_t tolerance, std::int64_t lag = 0) {
  std::string text;
  for (std::int64_t e : events) {
    auto it = std::lower_bound(found.begin(), found.end(), e + lag - tolerance);
    if (it == found.end() || *it > e + lag + tolerance) text += std::to_string(e / rate) + " ";
  }
  return text;
}

// The detections paired with no reference event, in seconds, for messages.
std::string extra(const std::vector<std::int64_t>& events, const std::vector<std::int64_t>& found,
                  double rate, std::int64_t tolerance) {
  return missed(found, events, rate, tolerance);
}

// Pauses of four and six periods (a sinus arrest; 3 to 5 s at 75 per
// minute) hold no beat and no pulse, and every beat around them is found.
TEST(Pauses, HoldNoBeatOrPulse) {
  constexpr double kRate = 250.0;
  for (int periods : {4, 6}) {
    for (std::int32_t code : {kCodeEkg, kCodeBvp}) {
      Synthetic s = code == kCodeEkg ? testing::makeEkg(kRate, 240, 0.8, 0, Disturbance{.noise = 0.01}, 29)
                                     : testing::makePulse(kRate, 240, 0.8, Disturbance{.noise = 0.01}, 31);
      testing::cutPauses(s, 12, periods, 0.01, 37);
      for (bool advanced : {false, true}) {
        const auto found =
            samplesOf(runChannel(s.samples, kRate, code, beatParameters(advanced), blockRateFor(kRate)));
        const auto tolerance = std::llround(0.150 * kRate);
        const auto score = matchEvents(s.events, found, tolerance);
        SCOPED_TRACE(std::to_string(periods) + " periods, " + (code == kCodeEkg ? "EKG " : "pulse ") +
                     (advanced ? "Advanced" : "Basic"));
        EXPECT_EQ(score.falsePositives, 0) << "extra " << extra(s.events, found, kRate, tolerance);
        EXPECT_LE(score.falseNegatives, 1) << "missed " << missed(s.events, found, kRate, tolerance);
      }
    }
  }
}

// Sinus bradycardia (50 a minute) with a pause of 3 to 6 s after every eighth
// beat, a blocked P wave early in each pause and P waves of 15 or 30 % of the
// R wave: the search back and the level sinking in the pause took the blocked
// P wave, noise, or the next beat's P wave (and then lost its QRS to the
// refractory period).
TEST(Pauses, LongPausesWithBlockedPWavesHoldNoBeat) {
  for (const double rate : {250.0, 360.0}) {
    for (const int percent : {15, 30}) {
      const double p = percent / 100.0;
      for (const double pause : {3.0, 4.5, 6.0}) {
        std::vector<float> x(static_cast<std::size_t>(300 * rate), 0.0f);
        std::vector<std::int64_t> truth;
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> jitter(-0.03, 0.03);
        int beats = 0;
        for (double t = 0.8; t < 298.0;) {
          truth.push_back(std::llround(t * rate));
          testing::addWave(x, rate, t, -0.4, 0.7, [&](double u) {
            return testing::bump(u, 0.0, 0.010) - 0.25 * testing::bump(u, 0.025, 0.010) +
                   0.3 * testing::bump(u, 0.36, 0.06) + p * testing::bump(u, -0.24, 0.025);
          });
          if (++beats % 8 == 0) {
            testing::addWave(x, rate, t + 0.55, -0.1, 0.1, [&](double u) { return p * testing::bump(u, 0.0, 0.025); });
            t += pause;
          } else {
            t += 1.2 * (1.0 + jitter(rng));
          }
        }
        testing::addNoiseAndWander(x, rate, 0.02, 0.2, 0.2, rng);
        for (bool advanced : {false, true}) {
          const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), blockRateFor(rate)));
          const auto tolerance = std::llround(0.100 * rate);
          const auto score = matchEvents(truth, found, tolerance);
          SCOPED_TRACE(::testing::Message() << rate << " Hz, P " << percent << " % of R, pauses of " << pause << " s, "
                                            << (advanced ? "Advanced" : "Basic"));
          EXPECT_LE(score.falsePositives, 1) << "extra " << extra(truth, found, rate, tolerance);
          EXPECT_LE(score.falseNegatives, 1) << "missed " << missed(truth, found, rate, tolerance);
        }
      }
    }
  }
}

// Electrode artefacts in a bigeminy: a spike ten times the R wave every 20 s,
// or a step of the baseline twenty times the R wave every 20 s (up and down in
// turn). The artefact itself may pass for a beat, but it must not hide the
// beats after it: at most one beat is missed per artefact.
TEST(ElectrodeArtefacts, DoNotHideTheBeatsAfterThem) {
  constexpr double kRate = 250.0;
  for (bool step : {false, true}) {
    Synthetic s = testing::makeEkg(kRate, 300, 0.8, 2, Disturbance{.noise = 0.02}, 43);
    int artefacts = 0;
    for (double t = 10.3; t < 290.0; t += 20.0, ++artefacts) {
      const auto at = static_cast<std::size_t>(t * kRate);
      if (step) {
        const float jump = artefacts % 2 == 0 ? 20.0f : -20.0f;
        for (std::size_t i = at; i < s.samples.size(); ++i) s.samples[i] += jump;
      } else {
        for (std::size_t i = at; i < at + 3; ++i) s.samples[i] += 10.0f;
      }
    }
    for (bool advanced : {false, true}) {
      const auto found =
          samplesOf(runChannel(s.samples, kRate, kCodeEkg, beatParameters(advanced), blockRateFor(kRate)));
      const auto tolerance = std::llround(0.150 * kRate);
      const auto score = matchEvents(s.events, found, tolerance);
      SCOPED_TRACE(std::string(step ? "steps " : "spikes ") + (advanced ? "Advanced" : "Basic"));
      EXPECT_LE(score.falseNegatives, artefacts) << "missed " << missed(s.events, found, kRate, tolerance);
      EXPECT_LE(score.falsePositives, artefacts) << "extra " << extra(s.events, found, kRate, tolerance);
    }
  }
}

// A step of the pulse's baseline twenty times the pulse (up and down in turn,
// every 20 s) does not hide the pulses after it.
TEST(ProbeArtefacts, StepsDoNotHideThePulsesAfterThem) {
  constexpr double kRate = 250.0;
  Synthetic s = testing::makePulse(kRate, 300, 0.8, Disturbance{.noise = 0.01}, 47);
  int steps = 0;
  for (double t = 10.3; t < 290.0; t += 20.0, ++steps) {
    const float jump = steps % 2 == 0 ? 20.0f : -20.0f;
    for (auto i = static_cast<std::size_t>(t * kRate); i < s.samples.size(); ++i) s.samples[i] += jump;
  }
  for (bool advanced : {false, true}) {
    const auto found =
        samplesOf(runChannel(s.samples, kRate, kCodeBvp, beatParameters(advanced), blockRateFor(kRate)));
    const auto tolerance = std::llround(0.150 * kRate);
    const auto score = matchEvents(s.events, found, tolerance);
    SCOPED_TRACE(advanced ? "Advanced" : "Basic");
    EXPECT_LE(score.falseNegatives, steps / 2) << "missed " << missed(s.events, found, kRate, tolerance);
    EXPECT_LE(score.falsePositives, steps / 2) << "extra " << extra(s.events, found, kRate, tolerance);
  }
}

class EkgSynthetic : public ::testing::TestWithParam<BeatCase> {};

TEST_P(EkgSynthetic, EveryBeatOnceAtItsRPeak) {
  const BeatCase& c = GetParam();
  const Synthetic s = testing::makeEkg(c.rate, 180, c.meanRr, c.ectopicEvery, c.disturbance, 17, c.polarity);
  const auto found =
      samplesOf(runChannel(s.samples, c.rate, kCodeEkg, beatParameters(c.advanced), blockRateFor(c.rate)));
  const auto score = matchEvents(s.events, found, std::llround(0.150 * c.rate));
  EXPECT_GE(score.sensitivity(), 0.995)
      << "missed " << missed(s.events, found, c.rate, std::llround(0.150 * c.rate));
  EXPECT_GE(score.positivePredictivity(), 0.995)
      << "extra " << extra(s.events, found, c.rate, std::llround(0.150 * c.rate));
  if (c.advanced) {
    // The R peak itself, within a few milliseconds, whatever the polarity.
    std::vector<std::int64_t> off = score.offsets;
    std::nth_element(off.begin(), off.begin() + off.size() / 2, off.end());
    EXPECT_LE(std::abs(off[off.size() / 2] * 1000.0 / c.rate), 4.0);
  }
}

const Disturbance kClean{.noise = 0.01};
const Disturbance kRough{.noise = 0.08, .wander = 0.6, .amplitudeSteps = true, .hum = 0.1};
// Basic detection has no noise tracking: a little less noise on the weak stretch.
const Disturbance kModerate{.noise = 0.04, .wander = 0.6, .amplitudeSteps = true, .hum = 0.1};

INSTANTIATE_TEST_SUITE_P(Detect, EkgSynthetic,
                         ::testing::Values(BeatCase{"Basic100Hz", 100, false, 0.8, 0, kClean, 1},
                                           BeatCase{"Basic128HzEctopic", 128, false, 0.9, 9, kModerate, 1},
                                           BeatCase{"Basic1000HzFast", 1000, false, 0.42, 0, kModerate, 1},
                                           BeatCase{"Basic8000Hz", 8000, false, 0.8, 7, kModerate, 1},
                                           BeatCase{"Advanced100HzRough", 100, true, 0.7, 8, kRough, 1},
                                           BeatCase{"Advanced250HzInverted", 250, true, 0.8, 6, kRough, -1},
                                           BeatCase{"Advanced360HzSlow", 360, true, 1.6, 0, kRough, 1},
                                           BeatCase{"Advanced2048Hz", 2048, true, 0.6, 5, kRough, 1},
                                           BeatCase{"Advanced8000HzInverted", 8000, true, 0.9, 0, kRough,
                                                    -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Mains hum as tall as the R wave (a loose electrode), at 50 and 60 Hz and at
// rates from 200 Hz up: every beat once, nothing else.
TEST(EkgMainsHum, AsTallAsTheQrsChangesNoBeat) {
  for (const double humHz : {50.0, 60.0}) {
    for (const double rate : {200.0, 360.0, 500.0, 1000.0}) {
      const Disturbance d{.noise = 0.02, .wander = 0.3, .hum = 1.0, .humHz = humHz};
      const Synthetic s = testing::makeEkg(rate, 180, 0.8, 9, d, 29, 1);
      const auto tolerance = std::llround(0.150 * rate);
      for (bool advanced : {false, true}) {
        const auto found =
            samplesOf(runChannel(s.samples, rate, kCodeEkg, beatParameters(advanced), blockRateFor(rate)));
        const auto score = matchEvents(s.events, found, tolerance);
        const std::string what = std::to_string(static_cast<int>(humHz)) + " Hz hum at " +
                                 std::to_string(static_cast<int>(rate)) + " Hz" +
                                 (advanced ? " Advanced" : " Basic");
        EXPECT_GE(score.sensitivity(), 0.995)
            << what << " missed " << missed(s.events, found, rate, tolerance);
        EXPECT_GE(score.positivePredictivity(), 0.995)
            << what << " extra " << extra(s.events, found, rate, tolerance);
      }
    }
  }
}

class BvpSynthetic : public ::testing::TestWithParam<BeatCase> {};

TEST_P(BvpSynthetic, EveryPulseOnceWithSteadyIntervals) {
  const BeatCase& c = GetParam();
  const Synthetic s = testing::makePulse(c.rate, 180, c.meanRr, c.disturbance, 23);
  const auto found =
      samplesOf(runChannel(s.samples, c.rate, kCodeBvp, beatParameters(c.advanced), blockRateFor(c.rate)));
  const auto lag = medianLag(s.events, found);
  EXPECT_LE(std::abs(lag * 1000.0 / c.rate), 40.0) << lag;
  const auto score = matchEvents(s.events, found, std::llround(0.150 * c.rate), lag);
  EXPECT_GE(score.sensitivity(), 0.99) << "FN " << score.falseNegatives;
  EXPECT_GE(score.positivePredictivity(), 0.99)
      << "extra " << missed(found, s.events, c.rate, std::llround(0.150 * c.rate), -lag);
  // Timing jitter of the upstroke point (the source of interval errors).
  double sq = 0;
  for (auto o : score.offsets) sq += std::pow(o * 1000.0 / c.rate, 2);
  EXPECT_LE(std::sqrt(sq / std::max<std::size_t>(1, score.offsets.size())), 10.0)
      << "missed " << missed(s.events, found, c.rate, std::llround(0.150 * c.rate), lag);
}

const Disturbance kPulseRough{.noise = 0.03, .wander = 0.8, .wanderHz = 0.2, .amplitudeSteps = true};

INSTANTIATE_TEST_SUITE_P(
    Detect, BvpSynthetic,
    ::testing::Values(BeatCase{"Basic100Hz", 100, false, 0.8, 0, kClean, 1},
                      BeatCase{"Basic500HzRough", 500, false, 0.7, 0, kPulseRough, 1},
                      BeatCase{"Advanced125HzRough", 125, true, 0.9, 0, kPulseRough, 1},
                      BeatCase{"Advanced1000HzFast", 1000, true, 0.45, 0, kPulseRough, 1},
                      BeatCase{"Advanced8000HzSlow", 8000, true, 1.5, 0, kPulseRough, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Finger pulses whose dicrotic wave rises well clear of the refractory
// period after the pulse, up to as high as the pulse itself, at heart rates
// from 40 to 180 per minute: every pulse is found once, no dicrotic wave is
// taken for one, and the beat stays at the steepest point of the systolic
// upstroke.
struct DicroticCase {
  const char* name;
  double rate;       // Hz
  double perMinute;  // heart rate
  double height;     // dicrotic wave, share of the pulse
};

void PrintTo(const DicroticCase& c, std::ostream* os) { *os << c.name; }

class DicroticWave : public ::testing::TestWithParam<DicroticCase> {};

TEST_P(DicroticWave, IsNotAPulse) {
  const DicroticCase& c = GetParam();
  const Disturbance d{.noise = 0.02, .wander = 0.5, .wanderHz = 0.15};
  const Synthetic s = testing::makeFingerPulse(c.rate, 240, 60.0 / c.perMinute, c.height, d, 41);
  const auto tolerance = std::llround(0.150 * c.rate);
  for (bool advanced : {false, true}) {
    const auto found =
        samplesOf(runChannel(s.samples, c.rate, kCodeBvp, beatParameters(advanced), blockRateFor(c.rate)));
    const auto lag = medianLag(s.events, found);
    EXPECT_LE(std::abs(lag * 1000.0 / c.rate), 25.0) << (advanced ? "Advanced " : "Basic ") << lag;
    const auto score = matchEvents(s.events, found, tolerance, lag);
    EXPECT_GE(score.sensitivity(), 0.995)
        << (advanced ? "Advanced" : "Basic") << " missed " << missed(s.events, found, c.rate, tolerance, lag);
    EXPECT_GE(score.positivePredictivity(), 0.995)
        << (advanced ? "Advanced" : "Basic") << " extra " << missed(found, s.events, c.rate, tolerance, -lag);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Detect, DicroticWave,
    ::testing::Values(DicroticCase{"Rate40Half", 250, 40, 0.5}, DicroticCase{"Rate40Full", 125, 40, 1.0},
                      DicroticCase{"Rate50Full", 500, 50, 1.0}, DicroticCase{"Rate60Third", 100, 60, 0.3},
                      DicroticCase{"Rate60Full", 250, 60, 1.0}, DicroticCase{"Rate75Half", 1000, 75, 0.6},
                      DicroticCase{"Rate75Full", 128, 75, 1.0}, DicroticCase{"Rate90Full", 250, 90, 1.0},
                      DicroticCase{"Rate120Full", 200, 120, 1.0}, DicroticCase{"Rate150Half", 500, 150, 0.5},
                      DicroticCase{"Rate180Half", 250, 180, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

// A premature beat 35 % early sends a smaller pulse from high on the falling
// side of the one before, as a dicrotic wave rises, but later: it is a pulse,
// now and then or every other beat (bigeminy, where the median period is
// that of a premature and a normal beat together).
TEST(DicroticWave, PrematurePulsesAreKept) {
  for (const int ectopicEvery : {7, 2}) {
    for (const double rate : {100.0, 250.0}) {
      for (const double rr : {0.8, 1.0}) {
        for (const double height : {0.3, 0.8}) {
          const Synthetic s = testing::makeFingerPulse(
              rate, 240, rr, height, Disturbance{.noise = 0.02, .wander = 0.3}, 43, ectopicEvery);
          const auto tolerance = std::llround(0.150 * rate);
          for (bool advanced : {false, true}) {
            const auto found = samplesOf(
                runChannel(s.samples, rate, kCodeBvp, beatParameters(advanced), blockRateFor(rate)));
            const auto lag = medianLag(s.events, found);
            const auto score = matchEvents(s.events, found, tolerance, lag);
            const std::string what = "every " + std::to_string(ectopicEvery) + ", " + std::to_string(rate) +
                                     " Hz, RR " + std::to_string(rr) + " s, dicrotic " +
                                     std::to_string(height) + (advanced ? " Advanced" : " Basic");
            EXPECT_GE(score.sensitivity(), 0.995)
                << what << " missed " << missed(s.events, found, rate, tolerance, lag);
            EXPECT_GE(score.positivePredictivity(), 0.995) << what;
          }
        }
      }
    }
  }
}

// Fast irregular pulses (atrial fibrillation at 120 and 150 a minute, each
// period within a fifth of the mean either way, the pulse after a short
// period smaller): each pulse rises from high on the falling side of the one
// before, and is often smaller than it. None is taken for a dicrotic wave,
// from the first seconds on. (At 150 a minute a dicrotic wave of more than a
// third of the pulse would run into the next pulse.)
TEST(DicroticWave, FastIrregularPulsesAreKeptFromTheStart) {
  for (const double rate : {125.0, 300.0}) {
    for (const double rr : {0.4, 0.5}) {
      for (const double height : {0.3, rr > 0.45 ? 0.6 : 0.15}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
          const Synthetic s =
              testing::makeFingerPulse(rate, 60, rr, height, Disturbance{.noise = 0.01}, seed, 0, 0.2);
          const auto tolerance = std::llround(0.100 * rate);
          for (bool advanced : {false, true}) {
            const auto found = samplesOf(
                runChannel(s.samples, rate, kCodeBvp, beatParameters(advanced), blockRateFor(rate)));
            const auto lag = medianLag(s.events, found);
            const std::vector<std::int64_t> first(s.events.begin(), s.events.begin() + 12);
            const std::string what = std::to_string(rate) + " Hz, RR " + std::to_string(rr) +
                                     " s, dicrotic " + std::to_string(height) + ", seed " +
                                     std::to_string(seed) + (advanced ? " Advanced" : " Basic");
            EXPECT_EQ(matchEvents(first, found, tolerance, lag).falseNegatives, 0)
                << what << " missed " << missed(first, found, rate, tolerance, lag);
            EXPECT_GE(matchEvents(s.events, found, tolerance, lag).sensitivity(), 0.98) << what;
          }
        }
      }
    }
  }
}

struct BreathCase {
  const char* name;
  double rate;
  bool slow;
  double perMinute;
};

void PrintTo(const BreathCase& c, std::ostream* os) { *os << c.name; }

class RespSynthetic : public ::testing::TestWithParam<BreathCase> {};

TEST_P(RespSynthetic, EveryBreathOnceDespiteNoiseAndDrift) {
  const BreathCase& c = GetParam();
  const double duration = std::max(240.0, 20 * 60.0 / c.perMinute);
  const Disturbance d{.noise = 0.05, .wander = 0.5, .wanderHz = 0.004};
  Synthetic s = testing::makeBreathing(c.rate, duration, c.perMinute, d, 31);
  // A breath is known once it is well over; the last one or two are still pending at the end.
  std::erase_if(s.events, [&](std::int64_t e) { return e > (duration - 60.0 / c.perMinute - 4.0) * c.rate; });
  auto found =
      samplesOf(runChannel(s.samples, c.rate, kCodeResp, respParameters(c.slow), blockRateFor(c.rate)));
  const double period = 60.0 / c.perMinute * c.rate;
  // Only the span of the known breaths is scored (the signal starts and ends mid-cycle).
  std::erase_if(found, [&](std::int64_t f) {
    return f < s.events.front() - 0.5 * period || f > s.events.back() + 0.5 * period;
  });
  const auto lag = medianLag(s.events, found);
  const auto score = matchEvents(s.events, found, std::llround(0.25 * period), lag);
  EXPECT_EQ(score.falseNegatives, 0) << "missed "
                                     << missed(s.events, found, c.rate, std::llround(0.25 * period), lag)
                                     << " of " << s.events.back() / c.rate;
  EXPECT_EQ(score.falsePositives, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Detect, RespSynthetic,
    ::testing::Values(BreathCase{"Slow3PerMin", 256, true, 3}, BreathCase{"Slow4PerMin8kHz", 8000, true, 4},
                      BreathCase{"Slow6PerMin", 100, true, 6}, BreathCase{"Slow12PerMin", 1000, true, 12},
                      BreathCase{"Slow20PerMin", 256, true, 20}, BreathCase{"Fast6PerMin", 256, false, 6},
                      BreathCase{"Fast15PerMin", 100, false, 15}, BreathCase{"Fast30PerMin", 2048, false, 30},
                      BreathCase{"Fast40PerMin", 256, false, 40},
                      BreathCase{"Fast40PerMin8kHz", 8000, false, 40},
                      BreathCase{"Slow6PerMin10Hz", 10, true, 6},
                      BreathCase{"Fast20PerMin32Hz", 32, false, 20},
                      BreathCase{"Fast40PerMin10Hz", 10, false, 40}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rc::detect
namespace rc::detect {
namespace {

// At 2 kHz the QRS bands run at a quarter of the rate; the beats are still
// placed between their samples, so the intervals of a clean recording are as
// exact with Basic as with Advanced (well under a millisecond).
TEST(BeatPlacement, IntervalsAtTwoKilohertzAreExactToTheMillisecond) {
  constexpr double kRate = 2048.0;
  const auto s = testing::makeEkg(kRate, 300, 0.8, 0, Disturbance{.noise = 0.02}, 3);
  for (bool advanced : {false, true}) {
    const auto found = samplesOf(runChannel(s.samples, kRate, kCodeEkg, beatParameters(advanced), 32));
    const MatchScore m = matchEvents(s.events, found, std::llround(0.150 * kRate));
    ASSERT_GT(m.offsets.size(), 300u);
    double sq = 0.0;
    for (std::size_t i = 1; i < m.offsets.size(); ++i) {
      const double d = static_cast<double>(m.offsets[i] - m.offsets[i - 1]) * 1000.0 / kRate;
      sq += d * d;
    }
    EXPECT_LT(std::sqrt(sq / static_cast<double>(m.offsets.size() - 1)), 0.5)
        << (advanced ? "Advanced" : "Basic");
  }
}

}  // namespace
}  // namespace rc::detect
