// The call convention of the detector library: parameter block layout,
// argument checks, the output of one block, position and reset.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "detect/detector.h"
#include "detect/evaluation.h"
#include "tests/detect/synthetic.h"

namespace rc::detect {
namespace {

using testing::Disturbance;

TEST(ParameterBlock, FieldsSitAtTheirOffsetsLittleEndian) {
  ParameterBlock p = beatParameters(true);
  // 300.0f = 0x43960000, 2000.0f = 0x44FA0000.
  const std::uint8_t lower[] = {0x00, 0x00, 0x96, 0x43};
  const std::uint8_t upper[] = {0x00, 0x00, 0xFA, 0x44};
  EXPECT_EQ(0, std::memcmp(p.bytes.data() + 68, lower, 4));
  EXPECT_EQ(0, std::memcmp(p.bytes.data() + 72, upper, 4));
  EXPECT_EQ(p.bytes[81], 1);
  int nonZero = 0;
  for (std::uint8_t b : p.bytes) nonZero += b != 0;
  EXPECT_EQ(nonZero, 5);  // 0x96 0x43 0xFA 0x44 and the type byte
  ParameterBlock r = respParameters(true);
  EXPECT_EQ(r.respOption(), 1);
  EXPECT_FLOAT_EQ(r.lowerBound(), 1.0f);
  EXPECT_FLOAT_EQ(r.upperBound(), 1.0f);
}

struct BadCall {
  const char* name;
  std::int32_t code;
  double rate;
  bool nullSamples;
  bool nullHandle;
  std::int32_t expected;
};

class RefusedCall : public ::testing::TestWithParam<BadCall> {};

TEST_P(RefusedCall, LeavesOutputAndHandleAlone) {
  const BadCall& c = GetParam();
  std::vector<float> in(100, 0.5f), out(100, -7.0f);
  SignalLibrary lib;
  lib.start(10);
  DetectorObject* handle = nullptr;
  const auto rc = lib.detect(c.code, c.nullSamples ? nullptr : in.data(), 0, out.data(), 100, 0,
                             beatParameters(false), c.rate, c.nullHandle ? nullptr : &handle);
  EXPECT_EQ(rc, c.expected);
  EXPECT_EQ(handle, nullptr);
  for (float v : out) ASSERT_EQ(v, -7.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Detect, RefusedCall,
    ::testing::Values(BadCall{"UnknownCode", 0x55, 1000, false, false, kErrorCode},
                      BadCall{"RateTooLow", kCodeEkg, 62.5, false, false, kErrorRate},
                      BadCall{"RespRateTooLow", kCodeResp, 9.5, false, false, kErrorRate},
                      BadCall{"RateTooHigh", kCodeBvp, 8001, false, false, kErrorRate},
                      BadCall{"RateNaN", kCodeResp, std::numeric_limits<double>::quiet_NaN(), false, false,
                              kErrorRate},
                      BadCall{"NullSamples", kCodeEkg, 1000, true, false, kErrorArguments},
                      BadCall{"NullHandle", kCodeEkg, 1000, false, true, kErrorArguments}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs a channel and checks the convention of every block; returns the
// detections collected as the program does.
std::vector<Detection> runChecked(const std::vector<float>& x, double rate, std::int32_t code,
                                  const ParameterBlock& params, std::size_t block) {
  SignalLibrary lib;
  lib.start(static_cast<std::uint32_t>(rate / block));
  DetectorObject* handle = nullptr;
  std::vector<float> out(block);
  std::vector<Detection> found;
  for (std::size_t first = 0; first < x.size(); first += block) {
    const std::size_t n = std::min(block, x.size() - first);
    EXPECT_EQ(lib.detect(code, x.data() + first, 0, out.data(), static_cast<std::int32_t>(n), 0, params, rate,
                         &handle),
              kOk);
    int inBlock = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (out[i] == kNoValue) continue;
      ++inBlock;
      EXPECT_GT(out[i], 0.0f);
      EXPECT_LT(out[i], kDetectionLimit);
      const std::int64_t p = handle->position + static_cast<std::int64_t>(first);
      EXPECT_GE(p, 0);
      EXPECT_LT(p, static_cast<std::int64_t>(first + n));
      found.push_back({p, out[i]});
    }
    EXPECT_LE(inBlock, 1);
  }
  release(handle);
  return found;
}

TEST(DetectorOutput, PeriodIsTheIntervalEndingAtTheBeat) {
  const double rate = 500;
  const auto s = testing::makeEkg(rate, 60, 0.8, 0, Disturbance{.noise = 0.02}, 3);
  const auto d = runChecked(s.samples, rate, kCodeEkg, beatParameters(true), 16);
  ASSERT_GT(d.size(), 60u);
  // The first beat's period must not date the beat before it ahead of the start.
  EXPECT_LE(d[0].periodMs, d[0].sample * 1000.0 / rate + 1e-3);
  for (std::size_t i = 1; i < d.size(); ++i) {
    ASSERT_GT(d[i].sample, d[i - 1].sample);
    const double interval = (d[i].sample - d[i - 1].sample) * 1000.0 / rate;
    EXPECT_NEAR(d[i].periodMs, interval, 1e-3) << "beat " << i;
  }
}

TEST(DetectorOutput, SameBeatsWhateverTheBlockSize) {
  for (std::int32_t code : {kCodeEkg, kCodeBvp, kCodeResp}) {
    const double rate = 250;
    const auto s = code == kCodeEkg   ? testing::makeEkg(rate, 90, 0.75, 7, Disturbance{.noise = 0.05}, 5)
                   : code == kCodeBvp ? testing::makePulse(rate, 90, 0.75, Disturbance{.noise = 0.02}, 5)
                                      : testing::makeBreathing(rate, 90, 15, Disturbance{.noise = 0.02}, 5);
    const auto params = code == kCodeResp ? respParameters(false) : beatParameters(true);
    const auto reference = samplesOf(runChecked(s.samples, rate, code, params, 1));
    ASSERT_GT(reference.size(), 15u);
    for (std::size_t block : {7, 25, 64, 125}) {
      EXPECT_EQ(samplesOf(runChecked(s.samples, rate, code, params, block)), reference)
          << "code " << code << " block " << block;
    }
  }
}

TEST(DetectorOutput, TheLastBlockBeingShorterBringsTheLastBeatOut) {
  // Recordings often end a moment after a beat. The last block is shorter
  // than the others when the channel is not a whole number of blocks long,
  // and the detector then decides what still waited for later samples.
  const double rate = 200;
  const auto s = testing::makeEkg(rate, 60, 0.8, 0, Disturbance{.noise = 0.02}, 9);
  const std::int64_t lastBeat = s.events.back();
  for (const double afterMs : {60.0, 120.0, 160.0}) {
    const auto end = static_cast<std::size_t>(lastBeat + std::llround(afterMs * rate / 1000.0));
    std::vector<float> cut(s.samples.begin(), s.samples.begin() + static_cast<std::ptrdiff_t>(end));
    const std::size_t block = 8;
    if (cut.size() % block == 0) cut.pop_back();  // a short last block
    for (bool advanced : {false, true}) {
      const auto d = runChecked(cut, rate, kCodeEkg, beatParameters(advanced), block);
      ASSERT_FALSE(d.empty());
      EXPECT_LE(std::llabs(d.back().sample - lastBeat), std::llround(0.05 * rate))
          << afterMs << " ms after the last beat" << (advanced ? ", Advanced" : ", Basic");
      // A channel of whole blocks: the evaluation run gives its last sample a
      // call of its own, as the program does.
      std::vector<float> whole(cut.begin(), cut.end() - static_cast<std::ptrdiff_t>(cut.size() % block));
      const auto w = runChannel(whole, rate, kCodeEkg, beatParameters(advanced), 25);
      ASSERT_FALSE(w.empty());
      EXPECT_LE(std::llabs(w.back().sample - lastBeat), std::llround(0.05 * rate))
          << afterMs << " ms after the last beat, whole blocks" << (advanced ? ", Advanced" : ", Basic");
    }
  }
}

TEST(DetectorOutput, BlocksLongerThanABeatLoseNothing) {
  // Half-second blocks sometimes hold two beats; the second one follows in
  // the next block with its own position.
  const double rate = 200;
  const auto s = testing::makeEkg(rate, 120, 0.7, 0, Disturbance{.noise = 0.02}, 11);
  const auto shortBlocks = samplesOf(runChecked(s.samples, rate, kCodeEkg, beatParameters(false), 10));
  const auto longBlocks = samplesOf(runChannel(s.samples, rate, kCodeEkg, beatParameters(false), 2));
  // Beats still queued when the channel ends are the only difference.
  ASSERT_GE(longBlocks.size() + 3, shortBlocks.size());
  EXPECT_TRUE(std::equal(longBlocks.begin(), longBlocks.end(), shortBlocks.begin()));
}

TEST(DetectorOutput, ResetMakesTheNextBeatReportTheMeanPeriod) {
  const double rate = 250;
  const auto s = testing::makeEkg(rate, 40, 1.0, 0, Disturbance{}, 2);
  SignalLibrary lib;
  lib.start(25);
  DetectorObject* handle = nullptr;
  std::vector<float> out(10);
  const auto params = beatParameters(true);
  std::vector<float> periods;
  bool resetDone = false;
  for (std::size_t first = 0; first + 10 <= s.samples.size(); first += 10) {
    if (!resetDone && first >= 20 * 250) {
      handle->reset = 1;
      resetDone = true;
      periods.push_back(-1);  // marks the boundary
    }
    ASSERT_EQ(lib.detect(kCodeEkg, s.samples.data() + first, 0, out.data(), 10, 0, params, rate, &handle),
              kOk);
    EXPECT_EQ(handle->reset, 0);
    for (float v : out)
      if (v != kNoValue) periods.push_back(v);
  }
  release(handle);
  const auto mark = std::find(periods.begin(), periods.end(), -1.0f);
  ASSERT_NE(mark, periods.end());
  ASSERT_NE(mark + 1, periods.end());
  // The RR varies by a few per cent around 1000 ms; the mean is smooth.
  EXPECT_NEAR(*(mark + 1), 1000.0f, 60.0f);
}

// After a reset the first beat cannot be measured against the one before
// it, so it reports the running mean period. The heart rate changes from
// 60 to 100 per minute a few beats before the reset: the mean still lags
// near 800 ms while the real interval is 600 ms, so a detector that ignores
// the flag reports 600 and one that honours it reports the mean.
TEST(DetectorOutput, ResetReportsTheMeanNotTheIntervalAfterARateChange) {
  const double rate = 250;
  auto slow = testing::makeEkg(rate, 20, 1.0, 0, Disturbance{}, 3);
  const auto fast = testing::makeEkg(rate, 20, 0.6, 0, Disturbance{}, 4);
  std::vector<float> x = slow.samples;
  x.insert(x.end(), fast.samples.begin(), fast.samples.end());
  const std::size_t resetAt = static_cast<std::size_t>(23.0 * rate);
  auto firstAfter = [&](bool withReset) {
    SignalLibrary lib;
    lib.start(25);
    DetectorObject* handle = nullptr;
    std::vector<float> out(10);
    float found = -1.0f;
    for (std::size_t first = 0; first + 10 <= x.size() && found < 0; first += 10) {
      if (withReset && first == resetAt) handle->reset = 1;
      EXPECT_EQ(
          lib.detect(kCodeEkg, x.data() + first, 0, out.data(), 10, 0, beatParameters(true), rate, &handle),
          kOk);
      if (first < resetAt) continue;
      for (float v : out)
        if (v != kNoValue && found < 0) found = v;
    }
    release(handle);
    return found;
  };
  const float kept = firstAfter(false);
  const float reset = firstAfter(true);
  ASSERT_GT(kept, 0.0f);
  ASSERT_GT(reset, 0.0f);
  EXPECT_NEAR(kept, 600.0f, 60.0f);
  EXPECT_GT(reset, 700.0f) << "the reset beat reports the lagging mean";
  EXPECT_LT(reset, 1000.0f);
}

TEST(DetectorInput, HostileSamplesAreSurvived) {
  // NaN stretches, infinities, huge values and denormals: no crash and no
  // undefined behaviour (run under the sanitizers); beats return after them.
  std::mt19937 rng(9);
  for (std::int32_t code : {kCodeEkg, kCodeBvp, kCodeResp}) {
    for (double rate : {100.0, 8000.0}) {
      auto s = testing::makeEkg(rate, 40, 0.8, 0, Disturbance{.noise = 0.02}, 4);
      std::uniform_int_distribution<std::size_t> where(0, s.samples.size() - 1);
      const float odd[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           3e38f,
                           -3e38f,
                           1e-45f};
      for (int k = 0; k < 200; ++k) s.samples[where(rng)] = odd[k % 6];
      for (std::size_t i = 0; i < static_cast<std::size_t>(2 * rate); ++i)
        s.samples[static_cast<std::size_t>(10 * rate) + i] = std::numeric_limits<float>::quiet_NaN();
      const auto params = code == kCodeResp ? respParameters(true) : beatParameters(true);
      const auto d = runChecked(s.samples, rate, code, params, static_cast<std::size_t>(rate / 20));
      for (const auto& e : d) EXPECT_TRUE(std::isfinite(e.periodMs));
      if (code == kCodeResp) continue;  // the breathing detector is given beats: it owes no detections
      // Beats return after the NaN stretch (10 to 12 s): of the 30 or so
      // beats (0.8 s apart) from 14 s on, more than a few are found.
      const auto after = std::count_if(d.begin(), d.end(), [&](const Detection& e) {
        return static_cast<double>(e.sample) > 14.0 * rate;
      });
      EXPECT_GE(after, 10) << "code " << code << " rate " << rate << ": " << d.size() << " detections in all";
    }
  }
}

TEST(DetectorInput, UnusableBoundsFallBackToTheUsualLimits) {
  const double rate = 360;
  const auto s = testing::makeEkg(rate, 60, 0.8, 0, Disturbance{.noise = 0.02}, 8);
  ParameterBlock nonsense = beatParameters(true);
  nonsense.setLowerBound(std::numeric_limits<float>::quiet_NaN());
  nonsense.setUpperBound(-5.0f);
  const auto a = samplesOf(runChannel(s.samples, rate, kCodeEkg, beatParameters(true), 18));
  const auto b = samplesOf(runChannel(s.samples, rate, kCodeEkg, nonsense, 18));
  EXPECT_EQ(a, b);
  EXPECT_GT(a.size(), 65u);
}

}  // namespace
}  // namespace rc::detect
