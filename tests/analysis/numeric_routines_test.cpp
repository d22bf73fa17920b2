#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "analysis/numeric/numeric.h"

namespace rc {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Mean, SumsInOrderAndRefusesEmpty) {
  const double one[] = {4.25};
  double m = -1;
  EXPECT_EQ(Mean(one, 1, &m), kNumericOk);
  EXPECT_EQ(m, 4.25);
  m = -1;
  EXPECT_EQ(Mean(one, 0, &m), kNumericCountBelowOne);
  EXPECT_EQ(m, -1);
  const double x[] = {1e16, 1.0, -1e16, 1.0};  // index order: (1e16 + 1) loses the 1
  EXPECT_EQ(Mean(x, 4, &m), kNumericOk);
  EXPECT_EQ(m, 0.25);
}

TEST(HanningWindow, PeriodicWindowWithAccumulatedAngle) {
  std::vector<double> x = {8, 6, 4, 2};
  EXPECT_EQ(HanningWindow(x.data(), 4), kNumericOk);
  EXPECT_EQ(x[0], 0.0);
  EXPECT_DOUBLE_EQ(x[1], 3.0);
  EXPECT_EQ(x[2], 4.0);  // the middle keeps its value
  EXPECT_DOUBLE_EQ(x[3], 1.0);

  std::vector<double> one = {5}, two = {5, 7};
  HanningWindow(one.data(), 1);
  HanningWindow(two.data(), 2);
  EXPECT_EQ(one[0], 0.0);
  EXPECT_EQ(two, (std::vector<double>{0.0, 7.0}));
  EXPECT_EQ(HanningWindow(x.data(), 0), kNumericCountBelowOne);

  for (int n : {5, 256, 1023}) {
    std::vector<double> w(static_cast<std::size_t>(n), 1.0);
    HanningWindow(w.data(), n);
    for (int i = 0; i < n; ++i) {
      const double s = std::sin(M_PI * i / n);
      EXPECT_NEAR(w[static_cast<std::size_t>(i)], s * s, 1e-13) << n << " " << i;
      EXPECT_EQ(w[static_cast<std::size_t>(i)], w[static_cast<std::size_t>((n - i) % n)]);
    }
  }
}

TEST(AutoPowerSpectrum, ConstantShortAndCosineSignals) {
  const double c = 3.0, dt = 0.5;
  std::vector<double> x(8, c), p(4, -1);
  double df = 0;
  ASSERT_EQ(AutoPowerSpectrum(x.data(), 8, dt, p.data(), &df), kNumericOk);
  EXPECT_DOUBLE_EQ(p[0], c * c);
  for (int k = 1; k < 4; ++k) EXPECT_NEAR(p[static_cast<std::size_t>(k)], 0.0, 1e-15);
  EXPECT_EQ(df, 1.0 / (8 * dt));
  EXPECT_EQ(x, std::vector<double>(8, c));  // input unchanged

  const double two[] = {1.0, 3.0};
  double out[2] = {-1, -1};
  ASSERT_EQ(AutoPowerSpectrum(two, 2, 1.0, out, &df), kNumericOk);
  EXPECT_EQ(out[0], 4.0);  // squared mean, no doubling
  EXPECT_EQ(out[1], -1);   // one value only
  const double three[] = {1.0, 2.0, 3.0};
  ASSERT_EQ(AutoPowerSpectrum(three, 3, 1.0, out, &df), kNumericOk);
  EXPECT_DOUBLE_EQ(out[0], 4.0);
  EXPECT_EQ(out[1], -1);
  const double single[] = {2.0};
  ASSERT_EQ(AutoPowerSpectrum(single, 1, 0.25, out, &df), kNumericOk);
  EXPECT_EQ(df, 4.0);

  for (int n : {64, 100, 257}) {
    const double a = 2.5;
    const int k0 = 7;
    std::vector<double> s(static_cast<std::size_t>(n)), ps(static_cast<std::size_t>(n / 2));
    for (int j = 0; j < n; ++j) s[static_cast<std::size_t>(j)] = a * std::cos(2 * M_PI * k0 * j / n);
    ASSERT_EQ(AutoPowerSpectrum(s.data(), n, 1.0, ps.data(), &df), kNumericOk);
    for (int k = 0; k < n / 2; ++k)
      EXPECT_NEAR(ps[static_cast<std::size_t>(k)], k == k0 ? a * a / 2 : 0.0, 1e-12) << n << " " << k;
  }
}

TEST(AutoPowerSpectrum, StatusesAndLongSignals) {
  double out[1] = {-1}, df = -1;
  const double x[1] = {1};
  EXPECT_EQ(AutoPowerSpectrum(x, 0, 1.0, out, &df), kNumericCountBelowOne);
  EXPECT_EQ(df, -1);
  testing::failNextNumericAllocation();
  std::vector<double> s(16, 1.0), p(8);
  EXPECT_EQ(AutoPowerSpectrum(s.data(), 16, 1.0, p.data(), &df), kNumericOutOfMemory);

  // n^2 beyond 32 bits.
  std::vector<double> big(50000, 1.5), pb(25000);
  ASSERT_EQ(AutoPowerSpectrum(big.data(), 50000, 0.01, pb.data(), &df), kNumericOk);
  EXPECT_NEAR(pb[0], 2.25, 1e-12);
}

struct HistogramCase {
  const char* name;
  std::vector<double> samples;
  std::vector<std::int32_t> counts;
};

class HistogramOverZeroToTen : public ::testing::TestWithParam<HistogramCase> {};

TEST_P(HistogramOverZeroToTen, Counts) {
  const HistogramCase& c = GetParam();
  std::vector<std::int32_t> counts(5, -1);
  std::vector<double> axis(5);
  ASSERT_EQ(Histogram(c.samples.data(), static_cast<std::int32_t>(c.samples.size()), 0.0, 10.0, counts.data(),
                      axis.data(), 5),
            kNumericOk);
  EXPECT_EQ(counts, c.counts);
  EXPECT_EQ(axis, (std::vector<double>{1, 3, 5, 7, 9}));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, HistogramOverZeroToTen,
    ::testing::Values(HistogramCase{"Interior", {0.0, 1.9, 2.0, 5.5, 9.99}, {2, 1, 1, 0, 1}},
                      HistogramCase{"TopGoesToLastBin", {10.0}, {0, 0, 0, 0, 1}},
                      HistogramCase{"OutsideNotCounted", {10.000001, -0.1, -1e-300}, {0, 0, 0, 0, 0}},
                      HistogramCase{
                          "NonFiniteAndHuge", {kNaN, kInf, -kInf, 1e300, -1e300, 4.0}, {0, 0, 1, 0, 0}}),
    [](const ::testing::TestParamInfo<HistogramCase>& info) { return std::string(info.param.name); });

TEST(Histogram, ArgumentChecksInOrderLeaveOutputsUntouched) {
  std::int32_t counts[2] = {-7, -7};
  double axis[2] = {-7, -7};
  const double x[1] = {1};
  EXPECT_EQ(Histogram(x, 0, 10, 10, counts, axis, 2), kNumericEmptyRange);  // range checked before n
  EXPECT_EQ(Histogram(x, 1, 11, 10, counts, axis, 2), kNumericEmptyRange);
  EXPECT_EQ(Histogram(x, 1, kNaN, 10, counts, axis, 2), kNumericEmptyRange);
  EXPECT_EQ(Histogram(x, 1, -kInf, 0, counts, axis, 2), kNumericEmptyRange);
  EXPECT_EQ(Histogram(x, 1, 0, kInf, counts, axis, 2), kNumericEmptyRange);
  EXPECT_EQ(Histogram(x, 0, 0, 10, counts, axis, 2), kNumericCountBelowOne);
  EXPECT_EQ(Histogram(x, 1, 0, 10, counts, axis, 0), kNumericCountBelowOne);
  EXPECT_EQ(counts[0], -7);
  EXPECT_EQ(axis[1], -7);
}

TEST(Mode, TiesGoLowAndEmptyRangeGivesFirstCentre) {
  double mode = -1;
  const double ties[] = {1, 1, 3, 3};
  ASSERT_EQ(Mode(ties, 4, 0, 4, 4, &mode), kNumericOk);
  EXPECT_EQ(mode, 1.5);
  const double outside[] = {20, 30};
  ASSERT_EQ(Mode(outside, 2, 0, 4, 4, &mode), kNumericOk);
  EXPECT_EQ(mode, 0.5);
  const double peak[] = {0.2, 3.1, 3.2, 3.9, 1.1};
  ASSERT_EQ(Mode(peak, 5, 0, 4, 4, &mode), kNumericOk);
  EXPECT_EQ(mode, 3.5);
}

TEST(Mode, FailuresLeaveOutputUntouched) {
  double mode = -1;
  const double x[] = {1, 2};
  EXPECT_EQ(Mode(x, 2, 4, 4, 4, &mode), kNumericEmptyRange);
  EXPECT_EQ(Mode(x, 0, 0, 4, 4, &mode), kNumericCountBelowOne);
  EXPECT_EQ(Mode(x, 2, 0, 4, std::numeric_limits<std::int32_t>::max(), &mode), kNumericOutOfMemory);
  testing::failNextNumericAllocation();
  EXPECT_EQ(Mode(x, 2, 0, 4, 4, &mode), kNumericOutOfMemory);
  EXPECT_EQ(mode, -1);
  EXPECT_EQ(Mode(x, 2, 0, 4, 4, &mode), kNumericOk);  // the injected failure was used up
}

}  // namespace
}  // namespace rc
