#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/stats/signal_stats.h"
#include "support/locale.h"

namespace rc {
namespace {

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

TEST(SignalStats, AllEqualValues) {
  const std::vector<double> v(11, 5.0);
  const SignalRow row = describeValues(kSignalSkinConductance1, v, 0.5, 10.0);
  EXPECT_EQ(row, (SignalRow{kSignalSkinConductance1, 5.0, 5.0, 5.0, 0.0, 0.0, 5.0, 5.0}));
  EXPECT_EQ(signalCells(row),
            (std::vector<std::string>{"5.000", "5.000", "5.000", "0.000", "0.000", "5.000", "5.000"}));
  // Without a resolution the common value is still the mode.
  EXPECT_EQ(describeValues(kSignalTemperature1, v, 0.0, 1.0).mode, 5.0);
}

TEST(SignalStats, ZeroMeanLeavesSdOverMeanUndefined) {
  const std::vector<double> v = {-1.0, 1.0};
  const SignalRow row = describeValues(kSignalTemperature1, v, 0.5, 1.0);
  EXPECT_NEAR(*row.sd, std::sqrt(2.0), 1e-15);
  EXPECT_FALSE(row.sdMean);
  EXPECT_EQ(cellText(row.sdMean), "     -");
  EXPECT_EQ(*row.area, 0.0);
}

TEST(SignalStats, CancellationNeverGivesNaN) {
  const std::vector<double> v = {1e6, 1e6 + 0.001, 1e6 + 0.002};
  const SignalRow row = describeValues(kSignalSkinConductance1, v, 0.001, 1.0);
  ASSERT_TRUE(row.sd);
  EXPECT_TRUE(std::isfinite(*row.sd));
  EXPECT_NEAR(*row.sd, 0.001, 1e-9);
}

struct ModeCase {
  const char* name;
  std::vector<double> values;
  double resolution;
  std::optional<double> mode;
};

class SignalMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SignalMode, FromHistogramOfResolution) {
  const ModeCase& c = GetParam();
  EXPECT_EQ(describeValues(kSignalHeartRateEkg, c.values, c.resolution, 0).mode, c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignalMode,
    ::testing::Values(ModeCase{"ExactQuotient", {60, 61, 61, 62, 70}, 1.0, 61.5},
                      // ceil(10 / 3) = 4 bins of 2.5 over [60, 70].
                      ModeCase{"RoundedUpQuotient", {60, 66, 66.5, 64, 70}, 3.0, 66.25},
                      ModeCase{"TopInLastBin", {60, 70, 70}, 5.0, 67.5},
                      ModeCase{"ZeroResolution", {60, 70}, 0.0, std::nullopt},
                      ModeCase{"NegativeResolution", {60, 70}, -1.0, std::nullopt},
                      ModeCase{
                          "NaNResolution", {60, 70}, std::numeric_limits<double>::quiet_NaN(), std::nullopt},
                      ModeCase{"TooManyBins", {0, 1e6}, 1e-9, std::nullopt}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST(SignalStats, AreaOnlyForChannelSignals) {
  const std::vector<double> v = {1, 3, 5};
  EXPECT_EQ(describeValues(kSignalSkinConductance2, v, 1, 2.0).area, 3.0);  // (2 + 4) / 2
  EXPECT_EQ(describeValues(kSignalFirstEmg + 3, v, 1, 2.0).area, 3.0);
  EXPECT_EQ(describeValues(kSignalRespirationRate, v, 1, 2.0).area, 0.0);
  const SignalRow empty = describeValues(kSignalTemperature2, {}, 1, 2.0);
  EXPECT_FALSE(empty.hasData());
  EXPECT_EQ(signalCells(empty), std::vector<std::string>(7, "     -"));
}

TEST(SignalStats, RatesSkipUnusableIntervals) {
  const std::vector<float> x = {1000, 0, -5, kNaNf, 500, std::numeric_limits<float>::infinity()};
  EXPECT_EQ(ratesPerMinute(x), (std::vector<double>{60.0, 120.0}));
}

// Beats of 1000, 500, 1000, 750, 1000 ms from 0 s; breaths end at 2 s and 4 s.
const std::vector<float> kBeats = {1000, 500, 1000, 750, 1000};

TEST(SwingPerBreath, MaxMinusMinPerBreath) {
  const std::vector<float> breaths = {2000, 2000};
  EXPECT_EQ(swingPerBreath(kBeats, 0.0, breaths, 0.0), (std::vector<double>{60.0, 20.0}));
  // Breaths that ended before the window are passed over.
  const std::vector<float> earlier = {5000, 5000, 2000, 2000};
  EXPECT_EQ(swingPerBreath(kBeats, 0.0, earlier, -10.0), (std::vector<double>{60.0, 20.0}));
}

TEST(SwingPerBreath, ZeroPeriodsAndShortRespirationSeries) {
  const std::vector<float> withZero = {2000, 0, -3, 2000};
  EXPECT_EQ(swingPerBreath(kBeats, 0.0, withZero, 0.0), (std::vector<double>{60.0, 20.0}));
  const std::vector<float> oneBreath = {2000};
  EXPECT_EQ(swingPerBreath(kBeats, 0.0, oneBreath, 0.0), (std::vector<double>{60.0}));
  EXPECT_TRUE(swingPerBreath(kBeats, 0.0, {}, 0.0).empty());
  const std::vector<float> zeros(5, 0.0f);
  EXPECT_TRUE(swingPerBreath(kBeats, 0.0, zeros, 0.0).empty());
}

class ChannelWindow : public ::testing::Test {
 protected:
  // 10 Hz channel, sample i holds i.
  void SetUp() override {
    for (int i = 0; i < 100; ++i) samples.push_back(static_cast<float>(i));
  }
  std::vector<float> samples;
};

TEST_F(ChannelWindow, RejectedStretchesOfTheChannelAreSkippedInAnyOrder) {
  // Unsorted and overlapping, plus a stretch of another channel and one with
  // its ends swapped.
  const std::vector<TSessionSegment> rejected = {
      {7.0, 8.0, 5}, {2.0, 3.0, 5}, {2.5, 2.7, 5}, {4.0, 6.0, 7}, {9.5, 9.2, 5}};
  const std::vector<double> v = channelWindowValues(samples, {0, 100}, 10.0, rejected, 5);
  std::vector<double> expected;
  for (int i = 0; i < 100; ++i)
    if (!(i >= 20 && i <= 30) && !(i >= 70 && i <= 80) && !(i >= 92 && i <= 95)) expected.push_back(i);
  EXPECT_EQ(v, expected);
}

TEST_F(ChannelWindow, ClippedToTheBufferAndNonFiniteSkipped) {
  samples[95] = kNaNf;
  EXPECT_EQ(channelWindowValues(samples, {90, 30}, 10.0, {}, 1).size(), 9u);
  EXPECT_TRUE(channelWindowValues(samples, {100, 30}, 10.0, {}, 1).empty());
  EXPECT_TRUE(channelWindowValues(samples, {-5, 30}, 10.0, {}, 1).empty());
  const SignalRow row = rawChannelRow(kSignalSkinConductance1, samples, {90, 30}, 10.0, 1.0, {}, 1);
  EXPECT_EQ(*row.maximum, 99.0);
  EXPECT_TRUE(std::isfinite(*row.mean));
  EXPECT_FALSE(rawChannelRow(kSignalSkinConductance1, samples, {200, 30}, 10.0, 1.0, {}, 1).hasData());
}

TEST_F(ChannelWindow, RmsWindowNeedingMoreValuesFails) {
  const Result<SignalRow> ok = rmsChannelRow(kSignalFirstEmg, samples, {80, 20}, 2.0, 1.0, {}, 3);
  ASSERT_TRUE(ok);
  EXPECT_EQ(*ok->minimum, 80.0);
  const Result<SignalRow> bad = rmsChannelRow(kSignalFirstEmg, samples, {90, 20}, 2.0, 1.0, {}, 3);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.status().message(), "Error");
}

TEST(EpochWindows, SixtyFourBitOffsetsAndRoundedRmsWindows) {
  EXPECT_EQ(rawEpochWindow(3, 256.0, 600), (SampleWindow{460800, 153600}));
  EXPECT_EQ(rawEpochWindow(100000, 2048.0, 600), (SampleWindow{122880000000LL, 1228800}));
  EXPECT_EQ(rmsEpochWindow(2, 2048.0 / 32, 60), (SampleWindow{7680, 3840}));
  EXPECT_EQ(rmsEpochWindow(1, 256.0 / 3, 60), (SampleWindow{5120, 5120}));
}

TEST(CellText, FormatsWithTheUserDecimalSeparator) {
  EXPECT_EQ(cellText(std::optional<double>(1234.5678)), "1234.568");
  EXPECT_EQ(cellText(std::optional<std::int32_t>(42)), "42");
  EXPECT_EQ(cellText(std::optional<double>(std::numeric_limits<double>::infinity())), "     -");
  const LocaleSeparators saved = localeSeparators();
  setLocaleSeparators({',', '.', ';'});
  EXPECT_EQ(cellText(std::optional<double>(0.5)), "0,500");
  setLocaleSeparators(saved);
}

TEST(Resolutions, ByIndex) {
  const SignalResolutions r{1, 2, 3, 4, 5, 6};
  const std::vector<double> expected = {1, 2, 1, 2, 3, 4, 4, 5, 5, 6, 6};
  for (std::int32_t i = 0; i < 11; ++i)
    EXPECT_EQ(resolutionFor(i, r), expected[static_cast<std::size_t>(i)]) << i;
}

}  // namespace
}  // namespace rc
