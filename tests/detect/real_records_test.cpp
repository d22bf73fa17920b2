// Accuracy on the shared real recordings, through the program's call
// sequence (32 blocks per second). Skipped when the recordings are absent.
#include "tests/detect/real_records.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "detect/detector.h"
#include "detect/evaluation.h"

namespace rc::detect {
namespace {

using namespace testing;

class RealRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(realDir() + "/mitdb_105_MLII.f32")) GTEST_SKIP() << "no shared recordings";
  }
};

struct EkgTarget {
  const char* record;
  const char* channel;
  double rate;
  bool advanced;
  double sensitivity;
  double predictivity;
};

TEST_F(RealRecords, EkgMeetsTheAnnotatedTargets) {
  // mitdb_105 is the very noisy one; svdb_800 is clean and sampled at 128 Hz.
  // Its second lead, whose complexes look different, is held to the same
  // targets.
  const EkgTarget targets[] = {{"mitdb_105", "MLII", 360, true, 0.99, 0.975},
                               {"svdb_800", "ECG", 128, true, 0.995, 0.995},
                               {"svdb_800", "ECG", 128, false, 0.99, 0.99},
                               {"svdb_800", "ECG_2", 128, true, 0.995, 0.995},
                               {"svdb_800", "ECG_2", 128, false, 0.99, 0.99}};
  for (const EkgTarget& t : targets) {
    const auto x = loadChannel(t.record, t.channel);
    const auto ref = loadBeats(t.record);
    ASSERT_FALSE(x.empty());
    ASSERT_FALSE(ref.empty());
    const auto found = samplesOf(runChannel(x, t.rate, kCodeEkg, beatParameters(t.advanced), 32));
    const auto s = matchEvents(ref, found, std::llround(0.150 * t.rate));
    EXPECT_GE(s.sensitivity(), t.sensitivity) << t.record << (t.advanced ? " advanced" : " basic");
    EXPECT_GE(s.positivePredictivity(), t.predictivity) << t.record << (t.advanced ? " advanced" : " basic");
  }
}

// Every pulse channel recorded beside an EKG, scored over the stretches where
// both signals are clean. Ventricular beats (unusual QRS shape) are left out:
// the plots show no pulse wave after them in these records.
TEST_F(RealRecords, PulseFollowsEveryBeat) {
  for (const PulseChannel& p : pulseChannels()) {
    const PulseRun r = runPulseChannel(p, true, 32);
    ASSERT_TRUE(r.loaded) << p.record;
    const PulseScore& s = r.score;
    ASSERT_GT(s.beats, 300u) << p.record << " " << p.pulse;
    EXPECT_GE(static_cast<double>(s.found) / s.beats, 0.99) << p.record << " " << p.pulse;
    EXPECT_LE(static_cast<double>(s.extra) / s.beats, 0.01) << p.record << " " << p.pulse;
    EXPECT_LE(s.intervalRmsMs, 20.0) << p.record << " " << p.pulse;
  }
}

// Breath rates checked by eye against plots: about 19.5 per minute on the
// intensive-care respiration at 125 Hz, and about 6 per minute (24 cycles in
// 230 s) on the one recorded at 62.47 Hz.
TEST_F(RealRecords, BreathRatesOfTheRespirationChannels) {
  struct Channel {
    const char* record;
    const char* name;
    double rate;
    double perMinute;
  };
  for (const Channel& c : {Channel{"mimicdb_03700181", "RESP", 125.0, 19.5},
                           Channel{"icu_mixedsignals", "Resp", 62.4725, 6.2}}) {
    const auto x = loadChannel(c.record, c.name);
    ASSERT_FALSE(x.empty()) << c.record;
    for (bool slow : {false, true}) {
      const auto d = runChannel(x, c.rate, kCodeResp, respParameters(slow), 16);
      const double perMinute = d.size() / (x.size() / c.rate / 60.0);
      EXPECT_NEAR(perMinute, c.perMinute, 1.0) << c.record << (slow ? " slow" : " fast");
    }
  }
}

}  // namespace
}  // namespace rc::detect
