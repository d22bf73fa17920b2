#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/stats/hrv_stats.h"
#include "analysis/numeric/numeric.h"

namespace rc {
namespace {

TEST(TimeDomain, AlternatingSeriesCountsOnlyShortenings) {
  const std::vector<float> x = {800, 700, 800, 700};
  const auto st = timeDomainStats(x, 50.0);
  ASSERT_TRUE(st);
  EXPECT_EQ(st->nnCount, 2);
  EXPECT_EQ(st->pnn, 0.5);
  EXPECT_DOUBLE_EQ(*st->rmssd, 100.0);
  EXPECT_DOUBLE_EQ(*st->sdnn, std::sqrt(10000.0 / 3.0));
  // A difference equal to the threshold does not count.
  EXPECT_EQ(timeDomainStats(x, 100.0)->nnCount, 0);
}

TEST(TimeDomain, ConstantOneAndNoInterval) {
  const std::vector<float> flat(50, 812.5f);
  const auto st = timeDomainStats(flat, 50.0);
  EXPECT_EQ(*st, (TimeDomainStats{0, 0.0, 0.0, 0.0}));
  const std::vector<float> one = {900};
  EXPECT_EQ(*timeDomainStats(one, 50.0), (TimeDomainStats{0, 0.0, std::nullopt, std::nullopt}));
  EXPECT_FALSE(timeDomainStats({}, 50.0));
  // Near-constant intervals, where S2 - S1^2/n cancels: never NaN.
  const std::vector<float> near = {1000.0f, 1000.0001f, 1000.0f, 1000.0001f};
  EXPECT_GE(*timeDomainStats(near, 50.0)->sdnn, 0.0);
}

struct GridCase {
  std::int32_t epoch, n, kVlf, kLf, kHf;
};

class SpectralGridTable : public ::testing::TestWithParam<GridCase> {};

TEST_P(SpectralGridTable, BandEdgeBins) {
  const GridCase c = GetParam();
  const SpectralGrid g = spectralGrid(c.epoch);
  EXPECT_EQ(g.n, c.n);
  EXPECT_EQ(g.n * g.dt, c.epoch);
  EXPECT_EQ(g.kVlf, c.kVlf);
  EXPECT_EQ(g.kLf, c.kLf);
  EXPECT_EQ(g.kHf, c.kHf);
}

INSTANTIATE_TEST_SUITE_P(EpochLengths, SpectralGridTable,
                         ::testing::Values(GridCase{60, 256, 2, 9, 24}, GridCase{180, 1024, 7, 26, 72},
                                           GridCase{300, 1024, 12, 44, 120},
                                           GridCase{600, 2048, 24, 89, 240}));

// A cosine at exactly bin k puts all its power in bins k-1..k+1 after the Hann
// window, so a line at an edge bin shows which band owns the edge.
BandPowers linePowers(const SpectralGrid& g, int k) {
  std::vector<double> x(static_cast<std::size_t>(g.n));
  for (int j = 0; j < g.n; ++j) x[static_cast<std::size_t>(j)] = 800 + 30 * std::cos(2 * M_PI * k * j / g.n);
  return *bandPowers(x, g);
}

TEST(BandPowers, EdgeBinsBelongToTheLowerBand) {
  const SpectralGrid g = spectralGrid(300);
  // Bin 44 (just below 0.15 Hz) with its neighbours 43, 45: 45 lies in HF.
  const BandPowers at44 = linePowers(g, 44);
  // The window spreads a line over bins k-1, k, k+1 in the proportions 1:4:1.
  EXPECT_NEAR(at44.lf / at44.total, 5.0 / 6.0, 1e-9);
  EXPECT_NEAR(at44.hf / at44.total, 1.0 / 6.0, 1e-9);
  // Bin 12: VLF owns 11 and 12, LF gets 13.
  const BandPowers at12 = linePowers(g, 12);
  EXPECT_GT(at12.vlf, 0);
  EXPECT_NEAR(at12.lf / at12.total, 1.0 / 6.0, 1e-9);
  // Above the HF limit only the leaking lower neighbour counts.
  const BandPowers at121 = linePowers(g, 121);
  EXPECT_NEAR(at121.hf / (at44.total), 1.0 / 6.0, 1e-9);
  EXPECT_EQ(at121.total, at121.hf);
}

TEST(BandPowers, ConstantSeriesHasNoPowerAndUndefinedRatios) {
  const SpectralGrid g = spectralGrid(60);
  const std::vector<double> flat(static_cast<std::size_t>(g.n), 812.5);
  const auto b = bandPowers(flat, g);
  ASSERT_TRUE(b);
  EXPECT_EQ(*b, (BandPowers{0, 0, 0, 0}));
  EXPECT_EQ(applyBandUnits(*b, BandUnits::Absolute), (SpectralColumns{0.0, 0.0, 0.0, std::nullopt, 0.0}));
  EXPECT_EQ(applyBandUnits(*b, BandUnits::Normalised),
            (SpectralColumns{0.0, std::nullopt, std::nullopt, std::nullopt, 0.0}));
  EXPECT_EQ(applyBandUnits(*b, BandUnits::PercentOfTotal),
            (SpectralColumns{std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0.0}));
}

TEST(BandUnitsArithmetic, NormalisedAndPercent) {
  const BandPowers p{10, 30, 60, 100};
  const SpectralColumns nu = applyBandUnits(p, BandUnits::Normalised);
  EXPECT_EQ(*nu.vlf, 10);
  EXPECT_DOUBLE_EQ(*nu.lf, 100.0 / 3.0);
  EXPECT_DOUBLE_EQ(*nu.hf, 200.0 / 3.0);
  EXPECT_EQ(*nu.lfHf, 0.5);
  EXPECT_EQ(*nu.total, 100);
  const SpectralColumns pc = applyBandUnits(p, BandUnits::PercentOfTotal);
  EXPECT_DOUBLE_EQ(*pc.vlf, 10);
  EXPECT_DOUBLE_EQ(*pc.lf, 30);
  EXPECT_DOUBLE_EQ(*pc.hf, 60);
  EXPECT_EQ(*pc.lfHf, 0.5);
  EXPECT_EQ(*pc.total, 100);
}

TEST(BandPowers, PreparedInPlaceEqualsCopyAndRepeatsIdentically) {
  const SpectralGrid g = spectralGrid(60);
  std::mt19937 gen(3);
  std::normal_distribution<double> d(850, 40);
  std::vector<double> x(static_cast<std::size_t>(g.n));
  for (double& v : x) v = d(gen);
  const auto once = bandPowers(x, g);
  EXPECT_EQ(bandPowers(x, g), once);  // the input was not windowed in place
  std::vector<double> inPlace = x;
  ASSERT_EQ(prepareSpectrumWindow(inPlace), kNumericOk);
  EXPECT_EQ(bandPowersOfPrepared(inPlace, g), once);
  EXPECT_FALSE(bandPowers(std::span<const double>(x).first(100), g));  // too few samples
}

TEST(HrvRow, OneIntervalAndEmptyWindows) {
  const SpectralGrid g = spectralGrid(60);
  const std::vector<double> flat(static_cast<std::size_t>(g.n), 900.0);
  const std::vector<float> one = {900};
  const HrvRow row = computeHrvRow(IbiSource::Bvp, one, flat, g, {});
  EXPECT_TRUE(row.hasData());
  EXPECT_EQ(row.source, IbiSource::Bvp);
  EXPECT_EQ(hrvCells(row), (std::vector<std::string>{"     -", "0", "0.000", "     -", "0.000", "0.000",
                                                     "0.000", "     -", "0.000"}));
  const HrvRow empty = computeHrvRow(IbiSource::Ekg, {}, flat, g, {});
  EXPECT_FALSE(empty.hasData());
  EXPECT_EQ(hrvCells(empty), std::vector<std::string>(9, "     -"));
}

TEST(HrvRow, FailedSpectrumLeavesBandColumnsUndefined) {
  const SpectralGrid g = spectralGrid(60);
  std::vector<double> x(static_cast<std::size_t>(g.n));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 800 + 20 * std::sin(0.3 * static_cast<double>(i));
  const std::vector<float> ibi = {800, 820, 790};
  testing::failNextNumericAllocation();
  const HrvRow row = computeHrvRow(IbiSource::Ekg, ibi, x, g, {});
  EXPECT_TRUE(row.sdnn.has_value());
  EXPECT_FALSE(row.vlf || row.lf || row.hf || row.lfHf || row.total);
  EXPECT_EQ(hrvCells(row)[4], "     -");
  EXPECT_TRUE(computeHrvRow(IbiSource::Ekg, ibi, x, g, {}).total.has_value());
}

// The reference: two-pass SDNN, direct RMSSD, and the band powers from a
// direct DFT of the mean-removed, sin^2-windowed samples, over the bin edges
// of the grid table.
struct Reference {
  double sdnn, rmssd, vlf, lf, hf, total;
};

Reference reference(const std::vector<float>& ibi, const std::vector<double>& samples, int kVlf, int kLf,
                    int kHf) {
  const std::size_t n = ibi.size();
  long double mean = 0;
  for (float v : ibi) mean += v;
  mean /= n;
  long double ss = 0, dd = 0;
  for (std::size_t i = 0; i < n; ++i) {
    ss += (ibi[i] - mean) * (ibi[i] - mean);
    if (i + 1 < n)
      dd += (static_cast<long double>(ibi[i]) - ibi[i + 1]) * (static_cast<long double>(ibi[i]) - ibi[i + 1]);
  }
  const std::size_t m = samples.size();
  long double sm = 0;
  for (double v : samples) sm += v;
  sm /= m;
  std::vector<long double> w(m);
  for (std::size_t j = 0; j < m; ++j) {
    const long double s = std::sin(3.14159265358979323846L * j / m);
    w[j] = (samples[j] - sm) * s * s;
  }
  Reference r{
      static_cast<double>(std::sqrt(ss / (n - 1))), static_cast<double>(std::sqrt(dd / (n - 1))), 0, 0, 0, 0};
  for (int k = 1; k <= kHf; ++k) {
    std::complex<long double> x = 0;
    for (std::size_t j = 0; j < m; ++j)
      x += w[j] * std::polar(1.0L, -2 * 3.14159265358979323846L * ((static_cast<long long>(j) * k) % m) / m);
    const double p = static_cast<double>(2 * std::norm(x) / (static_cast<long double>(m) * m));
    (k <= kVlf ? r.vlf : k <= kLf ? r.lf : r.hf) += p;
    r.total += p;
  }
  return r;
}

void expectMatchesReference(const std::vector<float>& ibi, std::int32_t epoch) {
  const SpectralGrid g = spectralGrid(epoch);
  std::vector<double> samples(static_cast<std::size_t>(g.n));
  ASSERT_TRUE(resampleWindow(ibi, 0.0, std::nullopt, 0.0, g.dt, samples));
  const HrvRow row = computeHrvRow(IbiSource::Ekg, ibi, samples, g, {50.0, BandUnits::Absolute});
  const Reference ref = reference(ibi, samples, g.kVlf, g.kLf, g.kHf);
  EXPECT_NEAR(*row.sdnn, ref.sdnn, 1e-9 * ref.sdnn);
  EXPECT_NEAR(*row.rmssd, ref.rmssd, 1e-9 * ref.rmssd);
  EXPECT_NEAR(*row.vlf, ref.vlf, 1e-9 * ref.total);
  EXPECT_NEAR(*row.lf, ref.lf, 1e-9 * ref.total);
  EXPECT_NEAR(*row.hf, ref.hf, 1e-9 * ref.total);
  EXPECT_NEAR(*row.total, ref.total, 1e-9 * ref.total);
  EXPECT_DOUBLE_EQ(*row.lfHf, *row.lf / *row.hf);
}

TEST(HrvCrossCheck, SyntheticSeriesAgainstReference) {
  std::mt19937 gen(11);
  std::normal_distribution<double> noise(0, 15);
  for (std::int32_t epoch : {60, 180, 300, 600}) {
    std::vector<float> ibi;
    double t = 0;
    while (t < epoch * 1000.0 + 2000) {
      const float v = static_cast<float>(850 + 40 * std::sin(t / 1000 * 2 * M_PI * 0.1) +
                                         25 * std::sin(t / 1000 * 2 * M_PI * 0.25) + noise(gen));
      ibi.push_back(v);
      t += v;
    }
    SCOPED_TRACE(epoch);
    expectMatchesReference(ibi, epoch);
  }
}

// Real beat times (a long normal-sinus-rhythm recording), first five minutes.
TEST(HrvCrossCheck, RealRecordingAgainstReference) {
  std::ifstream in(std::string(RC_SHARED_DIR) + "/data/real/nsr2db_nsr001_beats.csv");
  if (!in) GTEST_SKIP() << "shared recordings not available";
  std::string line;
  std::getline(in, line);
  std::vector<float> ibi;
  double prev = -1, first = -1;
  while (std::getline(in, line) && (first < 0 || prev - first < 320.0)) {
    std::stringstream ss(line);
    std::string sample, time, symbol;
    std::getline(ss, sample, ',');
    std::getline(ss, time, ',');
    std::getline(ss, symbol, ',');
    if (symbol != "N") continue;
    const double t = std::stod(time);
    if (prev >= 0) ibi.push_back(static_cast<float>((t - prev) * 1000.0));
    if (first < 0) first = t;
    prev = t;
  }
  ASSERT_GT(ibi.size(), 200u);
  expectMatchesReference(ibi, 300);
}

}  // namespace
}  // namespace rc
