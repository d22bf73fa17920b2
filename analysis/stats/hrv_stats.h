#pragma once
// HRV statistics of one analysis window: time-domain statistics over the
// window's intervals and band powers over its resampled series.
//
// Pure functions of their arguments; the epoch code decides which windows
// exist, which intervals and samples belong to each and how rows are averaged.
#include <cstdint>
#include <optional>
#include <span>

#include "analysis/epochs/resample.h"
#include "analysis/stats/rows.h"

namespace rc {

// "BandUnits": how VLF, LF and HF are expressed (total power stays absolute).
enum class BandUnits : std::int32_t { Absolute = 0, Normalised = 1, PercentOfTotal = 2 };

// Settings read by the HRV statistics.
struct HrvSettings {
  double nnThresholdMs = 50.0;  // "NNInterval", ms
  BandUnits units = BandUnits::Absolute;
  bool operator==(const HrvSettings&) const = default;
};

struct TimeDomainStats {
  std::int32_t nnCount = 0;     // differences d = x[i] - x[i+1] with d > threshold
  double pnn = 0.0;             // nnCount / n, a proportion
  std::optional<double> sdnn;   // ms; undefined for n < 2
  std::optional<double> rmssd;  // ms; undefined for n < 2
  bool operator==(const TimeDomainStats&) const = default;
};

// Over the window's intervals x[0..n-1] (ms), with sums in long double:
// SDNN = sqrt((S2 - S1^2/n) / (n-1)) (the variance clamped at 0),
// RMSSD = sqrt(sum of d^2 / (n-1)). nullopt when intervals is empty.
std::optional<TimeDomainStats> timeDomainStats(std::span<const float> intervals, double nnThresholdMs);

// Band power sums in ms^2 (power per bin, bin 0 excluded, an edge bin in the
// lower band): VLF = P[1..kVlf], LF = P[kVlf+1..kLf], HF = P[kLf+1..kHf],
// total = P[1..kHf].
struct BandPowers {
  double vlf = 0.0;
  double lf = 0.0;
  double hf = 0.0;
  double total = 0.0;
  bool operator==(const BandPowers&) const = default;
};

// Removes the mean of the samples and applies the Hann window, in place.
// Returns the numeric status (-20003 for an empty span).
std::int32_t prepareSpectrumWindow(std::span<double> samples);

// The band powers of samples already prepared by prepareSpectrumWindow; the
// first grid.n samples are used. nullopt when there are fewer, when a numeric
// routine fails (out of memory) or the result is not finite.
std::optional<BandPowers> bandPowersOfPrepared(std::span<const double> prepared, const SpectralGrid& grid);

// The same from raw resampled samples, which are left unchanged.
std::optional<BandPowers> bandPowers(std::span<const double> resampled, const SpectralGrid& grid);

// Spectral columns of a row in the chosen units. LF/HF = LF / HF from the
// absolute powers. Normalised: LF and HF times 100 / (total - VLF).
// Percent: VLF, LF and HF times 100 / total. A ratio whose denominator is 0
// is undefined (nullopt); the absolute powers stay as they are.
struct SpectralColumns {
  std::optional<double> vlf, lf, hf, lfHf, total;
  bool operator==(const SpectralColumns&) const = default;
};
SpectralColumns applyBandUnits(const BandPowers& absolute, BandUnits units);

// The HRV row of one window: time-domain statistics of `intervals`, spectral
// columns of `resampled` (grid.n samples of the window's resampled series,
// not modified). An empty interval span gives a row without data. When the
// spectrum cannot be computed the spectral columns are undefined.
HrvRow computeHrvRow(IbiSource source, std::span<const float> intervals, std::span<const double> resampled,
                     const SpectralGrid& grid, const HrvSettings& settings);

}  // namespace rc
