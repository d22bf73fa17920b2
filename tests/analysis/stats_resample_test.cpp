#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "analysis/epochs/resample.h"

namespace rc {
namespace {

// Intervals whose ends fall exactly on the 60 s grid's sample times
// (dt = 234.375 ms): 2, 3 and 4 sample steps long.
const std::vector<float> kOnGrid = {468.75f, 703.125f, 937.5f};

TEST(Resample, SampleOnABoundaryBelongsToTheEarlierInterval) {
  const SpectralGrid g = spectralGrid(60);
  std::vector<double> out(11, -1);
  ASSERT_TRUE(resampleWindow(kOnGrid, 0.0, std::nullopt, 0.0, g.dt, out));
  // Times 0, 234.375, 468.75 (end of 0), 703.125, 937.5, 1171.875 (end of 1),
  // 1406.25 ... 2109.375 (end of 2), then past the last interval.
  EXPECT_EQ(out, (std::vector<double>{468.75, 468.75, 468.75, 703.125, 703.125, 703.125, 937.5, 937.5, 937.5,
                                      937.5, 937.5}));
}

TEST(Resample, BeforeTheFirstIntervalUsesThePrecedingOneOrTheFirst) {
  std::vector<double> out(4, -1);
  // The run starts at 10 s; samples at 9.5, 10.0 (on the boundary), 10.5, 11.0.
  ASSERT_TRUE(resampleWindow(kOnGrid, 10.0, 612.0f, 9.5, 0.5, out));
  EXPECT_EQ(out, (std::vector<double>{612.0, 612.0, 703.125, 703.125}));
  // No interval precedes the window (its first interval is the series' first).
  ASSERT_TRUE(resampleWindow(kOnGrid, 10.0, std::nullopt, 9.5, 0.5, out));
  EXPECT_EQ(out, (std::vector<double>{468.75, 468.75, 703.125, 703.125}));
}

TEST(Resample, EmptyRunIsAWindowWithoutData) {
  std::vector<double> out(4, -1);
  EXPECT_FALSE(resampleWindow({}, 0.0, 700.0f, 0.0, 0.25, out));
  EXPECT_EQ(out, std::vector<double>(4, -1));
  EXPECT_TRUE(resampleOpenSession({}, 3, spectralGrid(60)).empty());
  EXPECT_TRUE(resampleOpenSession(kOnGrid, 0, spectralGrid(60)).empty());
}

TEST(Resample, NonFiniteIntervalsDoNotStopTheWalk) {
  const std::vector<float> bad = {500.0f, std::numeric_limits<float>::quiet_NaN(), 500.0f, 500.0f};
  std::vector<double> out(8, -1);
  ASSERT_TRUE(resampleWindow(bad, 0.0, std::nullopt, 0.0, 0.25, out));
  EXPECT_EQ(out[7], 500.0);
}

// Epoch k of the once-resampled open session equals that epoch resampled on
// its own from k*E, and a series of 750 ms beats holds its value throughout.
TEST(Resample, OpenSessionEpochsAreConsecutiveWindows) {
  const SpectralGrid g = spectralGrid(60);
  std::vector<float> ibi;
  for (int i = 0; i < 400; ++i) ibi.push_back(static_cast<float>(700 + (i * 37) % 200));
  const std::vector<double> all = resampleOpenSession(ibi, 4, g);
  ASSERT_EQ(all.size(), 4u * 256u);
  for (int k = 0; k < 4; ++k) {
    std::vector<double> one(256);
    ASSERT_TRUE(resampleWindow(ibi, 0.0, std::nullopt, k * 60.0, g.dt, one));
    EXPECT_TRUE(std::equal(one.begin(), one.end(), all.begin() + k * 256)) << k;
  }
  const std::vector<float> steady(100, 750.0f);
  for (double v : resampleOpenSession(steady, 1, g)) ASSERT_EQ(v, 750.0);
}

}  // namespace
}  // namespace rc
