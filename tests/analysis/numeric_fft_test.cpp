// The transform against a direct DFT computed in long double.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "analysis/numeric/fft.h"
#include "analysis/numeric/numeric_fft_plan.h"

namespace rc {
namespace {

using Cplx = std::complex<long double>;

std::vector<double> randomSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

// Direct DFT at the chosen frequencies, with roots exp(-2*pi*i*j/n) in long double.
class DirectDft {
 public:
  explicit DirectDft(const std::vector<double>& x) : x_(x), n_(static_cast<long long>(x.size())) {
    const long double twoPi = 6.283185307179586476925286766559005768L;
    roots_.resize(x.size());
    for (long long j = 0; j < n_; ++j)
      roots_[static_cast<std::size_t>(j)] = Cplx(std::cos(twoPi * j / n_), -std::sin(twoPi * j / n_));
  }
  Cplx at(long long k) const {
    Cplx sum = 0;
    long long idx = 0;
    for (long long j = 0; j < n_; ++j) {
      sum +=
          static_cast<long double>(x_[static_cast<std::size_t>(j)]) * roots_[static_cast<std::size_t>(idx)];
      idx += k;
      if (idx >= n_) idx -= n_;
    }
    return sum;
  }

 private:
  std::vector<double> x_;
  long long n_;
  std::vector<Cplx> roots_;
};

// Frequencies to check: all of them for short lengths, else both ends, the
// middle and a spread of others.
std::vector<long long> frequenciesToCheck(long long n, unsigned seed) {
  std::vector<long long> ks;
  if (n <= 512) {
    for (long long k = 0; k < n; ++k) ks.push_back(k);
    return ks;
  }
  ks = {0, 1, 2, n / 2, n / 2 + 1, n - 2, n - 1, n / 3, n / 4, n / 5};
  std::mt19937 gen(seed);
  std::uniform_int_distribution<long long> dist(0, n - 1);
  for (int i = 0; i < 22; ++i) ks.push_back(dist(gen));
  return ks;
}

// Checks the transform of n random samples; returns the worst error relative
// to the largest reference magnitude seen.
double worstRelativeError(int n, unsigned seed) {
  const std::vector<double> x = randomSignal(n, seed);
  std::vector<double> re = x, im(x.size(), 7.0);
  EXPECT_EQ(RealFFT(re.data(), im.data(), n), kNumericOk) << "n=" << n;
  const DirectDft dft(x);
  long double largest = 0, worst = 0;
  for (long long k : frequenciesToCheck(n, seed)) {
    const Cplx ref = dft.at(k);
    const Cplx got(re[static_cast<std::size_t>(k)], im[static_cast<std::size_t>(k)]);
    largest = std::max(largest, std::abs(ref));
    worst = std::max(worst, std::abs(got - ref));
  }
  // The DC term bounds the scale from below for any input.
  return largest > 0 ? static_cast<double>(worst / largest) : static_cast<double>(worst);
}

TEST(RealFft, MatchesDirectDftForEveryLengthUpTo4096) {
  double worst = 0;
  int worstN = 0;
  for (int n = 1; n <= 4096; ++n) {
    const double e = worstRelativeError(n, static_cast<unsigned>(n));
    if (e > worst) {
      worst = e;
      worstN = n;
    }
    ASSERT_LT(e, 1e-12) << "n=" << n;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3g at n=%d", worst, worstN);
  RecordProperty("worst_relative_error", text);
}

class RealFftLargeLength : public ::testing::TestWithParam<int> {};

TEST_P(RealFftLargeLength, MatchesDirectDft) { EXPECT_LT(worstRelativeError(GetParam(), 99u), 1e-12); }

INSTANTIATE_TEST_SUITE_P(PrimesAndProducts, RealFftLargeLength,
                         ::testing::Values(4099, 65521, 30030, 2 * 4099, 997 * 3, 991 * 4, 1009, 2 * 1009 * 3,
                                           65536, 1 << 17, 3 * 5 * 7 * 9 * 11, 8191 * 2));

TEST(RealFft, NarrowAndWideVectorKernelsAgreeBitForBit) {
  for (int n : {2, 3, 8, 12, 30, 64, 100, 128, 256, 360, 512, 1000, 1024, 2048, 4099, 6000}) {
    const std::vector<double> x = randomSignal(n, 17u);
    std::vector<double> wideRe = x, wideIm(x.size()), narrowRe = x, narrowIm(x.size());
    ASSERT_EQ(RealFFT(wideRe.data(), wideIm.data(), n), kNumericOk);
    fft_detail::allowWideVectors(false);
    const std::int32_t status = RealFFT(narrowRe.data(), narrowIm.data(), n);
    fft_detail::allowWideVectors(true);
    ASSERT_EQ(status, kNumericOk);
    EXPECT_EQ(wideRe, narrowRe) << n;
    EXPECT_EQ(wideIm, narrowIm) << n;
  }
}

TEST(RealFft, RoutesLengthsToTheirAlgorithm) {
  EXPECT_TRUE(fft_detail::hasOnlySmallPrimeFactors(2 * 3 * 5 * 7 * 11 * 13));
  EXPECT_TRUE(fft_detail::hasOnlySmallPrimeFactors(997));
  EXPECT_FALSE(fft_detail::hasOnlySmallPrimeFactors(1009));
  EXPECT_FALSE(fft_detail::hasOnlySmallPrimeFactors(4099));
  EXPECT_TRUE(fft_detail::ComplexPlan(4099).usesBluestein());
  EXPECT_FALSE(fft_detail::ComplexPlan(997).usesBluestein());
  EXPECT_EQ(fft_detail::smoothLengthAtLeast(8197), 8640);
  EXPECT_EQ(fft_detail::smoothLengthAtLeast(1), 1);
}

TEST(RealFft, LengthOneAndInvalidCounts) {
  double re[1] = {3.5}, im[1] = {9.0};
  EXPECT_EQ(RealFFT(re, im, 1), kNumericOk);
  EXPECT_EQ(re[0], 3.5);
  EXPECT_EQ(im[0], 0.0);
  double keep[2] = {1.0, 2.0};
  EXPECT_EQ(RealFFT(keep, keep, 0), kNumericCountBelowOne);
  EXPECT_EQ(RealFFT(keep, keep, -4), kNumericCountBelowOne);
  EXPECT_EQ(keep[0], 1.0);
}

TEST(RealFft, InjectedAllocationFailureIsReported) {
  std::vector<double> re = randomSignal(300, 1), im(300);
  testing::failNextNumericAllocation();
  EXPECT_EQ(RealFFT(re.data(), im.data(), 300), kNumericOutOfMemory);
  re = randomSignal(300, 1);
  EXPECT_EQ(RealFFT(re.data(), im.data(), 300), kNumericOk);
}

TEST(RealFft, ConcurrentCallersGetTheSameResults) {
  const std::vector<int> lengths = {256, 1024, 2048, 4099, 360, 1000, 17, 65};
  std::vector<std::vector<double>> expected;
  for (int n : lengths) {
    std::vector<double> re = randomSignal(n, 5), im(re.size());
    ASSERT_EQ(RealFFT(re.data(), im.data(), n), kNumericOk);
    expected.push_back(re);
  }
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        // The extra lengths cycle through the plan cache and force evictions.
        for (std::size_t i = 0; i < lengths.size(); ++i) {
          const int n = lengths[(i + t) % lengths.size()];
          std::vector<double> re = randomSignal(n, 5), im(re.size());
          if (RealFFT(re.data(), im.data(), n) != kNumericOk || re != expected[(i + t) % lengths.size()])
            ++mismatches[t];
          std::vector<double> other = randomSignal(100 + round + t * 50, 3), oi(other.size());
          RealFFT(other.data(), oi.data(), static_cast<std::int32_t>(other.size()));
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

}  // namespace
}  // namespace rc
