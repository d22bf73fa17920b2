#pragma once
// The 61 spectra of the 3D spectrum viewer: windows of one epoch length
// sliding across an epoch in steps of E/60 seconds, each giving the powers of
// bins 1 .. m, m = trunc(0.4 / df).
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/epochs/resample.h"

namespace rc {

inline constexpr int kSpectra3D = 61;

struct Spectra3D {
  std::int32_t m = 0;              // frequency points per spectrum
  double df = 0.0;                 // Hz
  std::vector<double> frequency;   // m values: j df, j = 1 .. m
  std::vector<double> depth;       // s, one per window drawn
  std::vector<double> power;       // depth.size() rows of m powers (ms^2)
  std::vector<int> window;         // the window number (0 .. 60) of each row
  double depthStart = 0.0;         // s, the depth axis
  double depthEnd = 0.0;
  std::size_t rows() const { return depth.size(); }
  double maxPower() const;         // 0 when there is no row
};

// The window stride in samples: trunc((E / 60) / dt).
std::int32_t spectraStride(std::int32_t epochSeconds, const SpectralGrid& grid);
// Frequency points per spectrum: trunc(0.4 / df), kept below n / 2.
std::int32_t spectraPoints(const SpectralGrid& grid);

// Open session, epoch k (>= 2 is meant; any k >= 1 is taken): window i starts
// at sample max(0, (k - 2) n) + i s of the resampled series as the statistics
// left it (each epoch mean-removed and windowed in place), with no further
// preparation, and lies at depth (k - 1) E + i E / 60; the depth axis runs
// from (k - 1) E to k E. Windows that would run past the series are left out.
// nullopt when a numeric routine fails (out of memory).
std::optional<Spectra3D> openSpectra3D(std::span<const double> prepared, std::int64_t k,
                                       std::int32_t epochSeconds, const SpectralGrid& grid);

// Scripted session: the windows slide over `held` (2 n samples from one
// epoch before the step epoch's start), each mean-removed and windowed on a
// copy; window i lies at depth start + i E / 60, the axis from start to
// start + E. Windows that would run past `held` are left out.
std::optional<Spectra3D> scriptedSpectra3D(std::span<const double> held, double start, std::int32_t epochSeconds,
                                           const SpectralGrid& grid);

}  // namespace rc
