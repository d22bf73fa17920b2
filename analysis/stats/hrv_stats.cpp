#include "analysis/stats/hrv_stats.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "analysis/numeric/numeric.h"

namespace rc {
namespace {

std::optional<double> finiteOrNone(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

// value * factor, undefined when the factor's denominator is 0.
std::optional<double> scaled(double value, double denominator) {
  if (denominator == 0.0) return std::nullopt;
  return finiteOrNone(value * (100.0 / denominator));
}

}  // namespace

std::optional<TimeDomainStats> timeDomainStats(std::span<const float> intervals, double nnThresholdMs) {
  const std::size_t n = intervals.size();
  if (n == 0) return std::nullopt;
  long double s1 = 0, s2 = 0, d2 = 0;
  std::int32_t nn = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const long double x = intervals[i];
    s1 += x;
    s2 += x * x;
    if (i + 1 < n) {
      const long double d = x - static_cast<long double>(intervals[i + 1]);
      d2 += d * d;
      if (d > nnThresholdMs) ++nn;
    }
  }
  TimeDomainStats st;
  st.nnCount = nn;
  st.pnn = static_cast<double>(nn) / static_cast<double>(n);
  if (n >= 2) {
    const long double count = static_cast<long double>(n);
    const long double variance = std::max<long double>(0, (s2 - s1 * s1 / count) / (count - 1));
    st.sdnn = finiteOrNone(static_cast<double>(std::sqrt(variance)));
    st.rmssd = finiteOrNone(static_cast<double>(std::sqrt(d2 / (count - 1))));
  }
  return st;
}

std::int32_t prepareSpectrumWindow(std::span<double> samples) {
  if (samples.empty() || samples.size() > static_cast<std::size_t>(INT32_MAX)) return kNumericCountBelowOne;
  const std::int32_t n = static_cast<std::int32_t>(samples.size());
  double mean = 0.0;
  std::int32_t status = Mean(samples.data(), n, &mean);
  if (status != kNumericOk) return status;
  for (double& v : samples) v -= mean;
  return HanningWindow(samples.data(), n);
}

std::optional<BandPowers> bandPowersOfPrepared(std::span<const double> prepared, const SpectralGrid& grid) {
  if (grid.n < 1 || prepared.size() < static_cast<std::size_t>(grid.n)) return std::nullopt;
  const std::int32_t half = grid.n / 2;
  std::unique_ptr<double[]> power(new (std::nothrow) double[std::max(half, 1)]);
  if (!power) return std::nullopt;
  double df = 0.0;
  if (AutoPowerSpectrum(prepared.data(), grid.n, grid.dt, power.get(), &df) != kNumericOk)
    return std::nullopt;
  const std::int32_t top = std::min(grid.kHf, half - 1);
  BandPowers b;
  for (std::int32_t k = 1; k <= top; ++k) {
    const double p = power[k];
    if (k <= grid.kVlf)
      b.vlf += p;
    else if (k <= grid.kLf)
      b.lf += p;
    else
      b.hf += p;
    b.total += p;
  }
  if (!std::isfinite(b.vlf) || !std::isfinite(b.lf) || !std::isfinite(b.hf) || !std::isfinite(b.total))
    return std::nullopt;
  return b;
}

std::optional<BandPowers> bandPowers(std::span<const double> resampled, const SpectralGrid& grid) {
  if (grid.n < 1 || resampled.size() < static_cast<std::size_t>(grid.n)) return std::nullopt;
  std::unique_ptr<double[]> work(new (std::nothrow) double[static_cast<std::size_t>(grid.n)]);
  if (!work) return std::nullopt;
  std::copy_n(resampled.begin(), grid.n, work.get());
  const std::span<double> window(work.get(), static_cast<std::size_t>(grid.n));
  if (prepareSpectrumWindow(window) != kNumericOk) return std::nullopt;
  return bandPowersOfPrepared(window, grid);
}

SpectralColumns applyBandUnits(const BandPowers& a, BandUnits units) {
  SpectralColumns c;
  c.total = a.total;
  c.lfHf = a.hf == 0.0 ? std::nullopt : finiteOrNone(a.lf / a.hf);
  switch (units) {
    case BandUnits::Normalised:
      c.vlf = a.vlf;
      c.lf = scaled(a.lf, a.total - a.vlf);
      c.hf = scaled(a.hf, a.total - a.vlf);
      break;
    case BandUnits::PercentOfTotal:
      c.vlf = scaled(a.vlf, a.total);
      c.lf = scaled(a.lf, a.total);
      c.hf = scaled(a.hf, a.total);
      break;
    case BandUnits::Absolute:
    default:
      c.vlf = a.vlf;
      c.lf = a.lf;
      c.hf = a.hf;
      break;
  }
  return c;
}

HrvRow computeHrvRow(IbiSource source, std::span<const float> intervals, std::span<const double> resampled,
                     const SpectralGrid& grid, const HrvSettings& settings) {
  HrvRow row;
  row.source = source;
  const std::optional<TimeDomainStats> td = timeDomainStats(intervals, settings.nnThresholdMs);
  if (!td) return row;
  row.nnCount = td->nnCount;
  row.pnn = td->pnn;
  row.sdnn = td->sdnn;
  row.rmssd = td->rmssd;
  if (const std::optional<BandPowers> b = bandPowers(resampled, grid)) {
    const SpectralColumns c = applyBandUnits(*b, settings.units);
    row.vlf = c.vlf;
    row.lf = c.lf;
    row.hf = c.hf;
    row.lfHf = c.lfHf;
    row.total = c.total;
  }
  return row;
}

}  // namespace rc
