#include "views/epochview/waterfall.h"

#include <algorithm>
#include <new>

#include "analysis/numeric/numeric.h"
#include "analysis/stats/hrv_stats.h"

namespace rc {
namespace {

// Allocates the grid of `rows` spectra and the axes; false when memory is short.
bool shape(Spectra3D& s, const SpectralGrid& grid, std::size_t rows) {
  try {
    s.m = spectraPoints(grid);
    s.df = grid.df();
    s.frequency.resize(static_cast<std::size_t>(s.m));
    for (std::int32_t j = 1; j <= s.m; ++j) s.frequency[static_cast<std::size_t>(j - 1)] = j * s.df;
    s.depth.reserve(rows);
    s.window.reserve(rows);
    s.power.reserve(rows * static_cast<std::size_t>(s.m));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Appends the spectrum of one window as a row; false when a routine fails.
bool addRow(Spectra3D& s, std::span<const double> window, const SpectralGrid& grid, std::vector<double>& work,
            int i, double depth) {
  double df = 0.0;
  if (AutoPowerSpectrum(window.data(), grid.n, grid.dt, work.data(), &df) != kNumericOk) return false;
  s.power.insert(s.power.end(), work.begin() + 1, work.begin() + 1 + s.m);
  s.depth.push_back(depth);
  s.window.push_back(i);
  return true;
}

}  // namespace

double Spectra3D::maxPower() const {
  return power.empty() ? 0.0 : *std::max_element(power.begin(), power.end());
}

std::int32_t spectraStride(std::int32_t epochSeconds, const SpectralGrid& grid) {
  return static_cast<std::int32_t>((epochSeconds / 60.0) / grid.dt);
}

std::int32_t spectraPoints(const SpectralGrid& grid) {
  const std::int32_t m = static_cast<std::int32_t>(0.4 / grid.df());
  return std::max(0, std::min(m, grid.n / 2 - 1));
}

std::optional<Spectra3D> openSpectra3D(std::span<const double> prepared, std::int64_t k,
                                       std::int32_t epochSeconds, const SpectralGrid& grid) {
  if (grid.n < 4 || k < 1) return std::nullopt;
  Spectra3D s;
  if (!shape(s, grid, kSpectra3D)) return std::nullopt;
  const std::size_t n = static_cast<std::size_t>(grid.n);
  const std::size_t stride = static_cast<std::size_t>(spectraStride(epochSeconds, grid));
  const std::size_t base = k >= 2 ? static_cast<std::size_t>(k - 2) * n : 0;
  s.depthStart = static_cast<double>(k - 1) * epochSeconds;
  s.depthEnd = static_cast<double>(k) * epochSeconds;
  std::vector<double> work;
  try {
    work.resize(n / 2);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (int i = 0; i < kSpectra3D; ++i) {
    const std::size_t first = base + static_cast<std::size_t>(i) * stride;
    if (first + n > prepared.size()) break;
    if (!addRow(s, prepared.subspan(first, n), grid, work, i, s.depthStart + i * (epochSeconds / 60.0)))
      return std::nullopt;
  }
  return s;
}

std::optional<Spectra3D> scriptedSpectra3D(std::span<const double> held, double start, std::int32_t epochSeconds,
                                           const SpectralGrid& grid) {
  if (grid.n < 4) return std::nullopt;
  Spectra3D s;
  if (!shape(s, grid, kSpectra3D)) return std::nullopt;
  const std::size_t n = static_cast<std::size_t>(grid.n);
  const std::size_t stride = static_cast<std::size_t>(spectraStride(epochSeconds, grid));
  s.depthStart = start;
  s.depthEnd = start + epochSeconds;
  std::vector<double> work, copy;
  try {
    work.resize(n / 2);
    copy.resize(n);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (int i = 0; i < kSpectra3D; ++i) {
    const std::size_t first = static_cast<std::size_t>(i) * stride;
    if (first + n > held.size()) break;
    std::copy_n(held.begin() + static_cast<std::ptrdiff_t>(first), n, copy.begin());
    if (prepareSpectrumWindow(copy) != kNumericOk) return std::nullopt;
    if (!addRow(s, copy, grid, work, i, start + i * (epochSeconds / 60.0))) return std::nullopt;
  }
  return s;
}

}  // namespace rc
