// The vectorised window loops against the plain ones, and the statistics
// taken straight from a channel's samples against those of its gathered values.
#include "analysis/numeric/window_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/numeric/numeric.h"
#include "analysis/stats/signal_stats.h"

namespace rc {
namespace {

using window_kernels::BinGrid;
using window_kernels::Lanes;

class VectorUnits : public ::testing::Test {
 protected:
  void TearDown() override { window_kernels::testing::allowVectorUnits(true); }

  // Values in [-3, 13) with the awkward ones mixed in: the grid's ends, both
  // zeros, NaN and infinities.
  static std::vector<float> awkward(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> u(-3.0f, 13.0f);
    const float specials[] = {0.0f,
                              -0.0f,
                              10.0f,
                              9.9999990f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity()};
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = gen() % 5 == 0 ? specials[gen() % 7] : u(gen);
    return v;
  }
};

TEST_F(VectorUnits, SlotsMatchThePlainLoopForEveryValueAndLength) {
  const BinGrid grid{0.0, 7.0 / 10.0, 10.0, 7};
  for (std::size_t n : {0u, 1u, 3u, 4u, 5u, 17u, 1000u}) {
    const std::vector<float> f = awkward(n, static_cast<unsigned>(n));
    const std::vector<double> d(f.begin(), f.end());
    std::vector<std::int32_t> plainF(n), plainD(n), fastF(n), fastD(n);
    window_kernels::testing::allowVectorUnits(false);
    window_kernels::binSlots(f.data(), n, grid, plainF.data());
    window_kernels::binSlots(d.data(), n, grid, plainD.data());
    window_kernels::testing::allowVectorUnits(true);
    window_kernels::binSlots(f.data(), n, grid, fastF.data());
    window_kernels::binSlots(d.data(), n, grid, fastD.data());
    EXPECT_EQ(fastF, plainF) << n;
    EXPECT_EQ(fastD, plainD) << n;
    EXPECT_EQ(plainF, plainD) << n;
    for (std::size_t i = 0; i < n; ++i) {
      const float v = f[i];
      const std::int32_t expected =
          v == 10.0f ? 7 : (v >= 0.0f && v < 10.0f ? static_cast<int>(v * 0.7) + 1 : 0);
      if (std::fabs(v * 0.7 - std::round(v * 0.7)) > 1e-4) {
        EXPECT_EQ(plainF[i], expected) << v;
      }
    }
  }
}

TEST_F(VectorUnits, MomentsMatchThePlainLoopBitForBit) {
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(1e4, 3.0);
  std::vector<double> d(4001);
  for (double& v : d) v = noise(gen);
  const std::vector<float> f(d.begin(), d.end());
  auto fold = [](const auto& x, bool vector) {
    window_kernels::testing::allowVectorUnits(vector);
    const double s = x[0];
    Lanes l;
    for (std::size_t k = 0; k < window_kernels::kLanes; ++k) {
      l.lo[k] = l.hi[k] = s;
      l.s1[k] = l.s2[k] = 0.0;
    }
    window_kernels::foldMoments(x.data(), x.size() / window_kernels::kLanes, s, l);
    return l;
  };
  for (bool useFloat : {false, true}) {
    const Lanes plain = useFloat ? fold(f, false) : fold(d, false);
    const Lanes fast = useFloat ? fold(f, true) : fold(d, true);
    for (std::size_t k = 0; k < window_kernels::kLanes; ++k) {
      EXPECT_EQ(fast.lo[k], plain.lo[k]);
      EXPECT_EQ(fast.hi[k], plain.hi[k]);
      EXPECT_EQ(fast.s1[k], plain.s1[k]);
      EXPECT_EQ(fast.s2[k], plain.s2[k]);
    }
  }
}

TEST(HistogramTallies, LongInputsOverFewBinsCountEverySample) {
  // Long enough for the interleaved tallies, with a remainder, out-of-range
  // values and values equal to the top.
  std::vector<double> x;
  std::vector<std::int32_t> expected(5, 0);
  for (int i = 0; i < 1003; ++i) {
    const double v = (i * 37 % 61) / 10.0 - 0.5;  // -0.5 .. 5.5
    x.push_back(v);
    if (v == 5.0)
      ++expected[4];
    else if (v >= 0.0 && v < 5.0)
      ++expected[static_cast<int>(v)];
  }
  std::vector<std::int32_t> counts(5, -1);
  std::vector<double> axis(5);
  ASSERT_EQ(Histogram(x.data(), static_cast<std::int32_t>(x.size()), 0.0, 5.0, counts.data(), axis.data(), 5),
            kNumericOk);
  EXPECT_EQ(counts, expected);
  const std::vector<float> f(x.begin(), x.end());
  double fromFloats = 0, fromDoubles = 0;
  ASSERT_EQ(Mode(f.data(), static_cast<std::int32_t>(f.size()), 0.0, 5.0, 5, &fromFloats), kNumericOk);
  ASSERT_EQ(Mode(x.data(), static_cast<std::int32_t>(x.size()), 0.0, 5.0, 5, &fromDoubles), kNumericOk);
  EXPECT_EQ(fromFloats, fromDoubles);
}

// A channel window is described from its samples when nothing is rejected
// and every sample is finite; otherwise from its gathered values. Both must
// give the row the gathered values give.
TEST(ChannelRows, DirectAndGatheredWindowsAgree) {
  std::mt19937 gen(3);
  std::normal_distribution<float> noise(31.0f, 0.8f);
  std::vector<float> samples(6001);
  for (float& v : samples) v = noise(gen);
  const SampleWindow window{1000, 3843};
  const std::vector<double> values = channelWindowValues(samples, window, 32.0, {}, 7);
  const SignalRow gathered = describeValues(kSignalTemperature1, values, 0.1, 32.0);
  EXPECT_EQ(rawChannelRow(kSignalTemperature1, samples, window, 32.0, 0.1, {}, 7), gathered);
  const Result<SignalRow> rms = rmsChannelRow(kSignalTemperature1, samples, window, 32.0, 0.1, {}, 7);
  ASSERT_TRUE(rms);
  EXPECT_EQ(*rms, gathered);
  // The area counts each inner sample whole and the two ends half.
  double sum = 0;
  for (std::size_t i = 1; i + 1 < values.size(); ++i) sum += values[i];
  sum += (values.front() + values.back()) / 2;
  EXPECT_NEAR(*gathered.area, sum / 32.0, 1e-9 * std::fabs(sum));

  // A NaN in the window, or a stretch rejected on another channel, takes the
  // other road to the same kind of answer.
  samples[2000] = std::numeric_limits<float>::quiet_NaN();
  const SignalRow withNaN = rawChannelRow(kSignalTemperature1, samples, window, 32.0, 0.1, {}, 7);
  EXPECT_EQ(withNaN, describeValues(kSignalTemperature1, channelWindowValues(samples, window, 32.0, {}, 7),
                                    0.1, 32.0));
  EXPECT_TRUE(std::isfinite(*withNaN.mean));
  const std::vector<TSessionSegment> elsewhere = {{40.0, 50.0, 8}};
  EXPECT_EQ(rawChannelRow(kSignalTemperature1, samples, window, 32.0, 0.1, elsewhere, 7), withNaN);
}

TEST(ChannelRows, ExtremeZerosKeepTheSignOfTheFirstMet) {
  const std::vector<float> samples = {-0.0f, 1.0f, 0.0f, 2.0f, 3.0f, 0.0f, 4.0f, 5.0f, -0.0f};
  const SignalRow row = rawChannelRow(kSignalTemperature1, samples, {0, 9}, 1.0, 1.0, {}, 1);
  EXPECT_TRUE(std::signbit(*row.minimum));
  const std::vector<float> positive = {0.0f, -0.0f, 1.0f, 2.0f, 3.0f, -0.0f};
  EXPECT_FALSE(std::signbit(*rawChannelRow(kSignalTemperature1, positive, {0, 6}, 1.0, 1.0, {}, 1).minimum));
}

}  // namespace
}  // namespace rc
