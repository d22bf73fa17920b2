#include "analysis/numeric/numeric.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "analysis/numeric/fft.h"
#include "analysis/numeric/window_kernels.h"

namespace rc {
namespace {

std::atomic<bool> g_failNextAllocation{false};

template <typename T>
std::unique_ptr<T[]> allocateArray(std::size_t count) {
  if (numeric_detail::takeInjectedAllocationFailure()) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]);
}

// The histogram's argument checks, in their order.
std::int32_t checkHistogramArgs(std::int32_t n, double base, double top, std::int32_t intervals) {
  if (!std::isfinite(base) || !std::isfinite(top) || !(base < top)) return kNumericEmptyRange;
  if (n < 1 || intervals < 1) return kNumericCountBelowOne;
  return kNumericOk;
}

}  // namespace

namespace testing {
void failNextNumericAllocation() { g_failNextAllocation.store(true); }
}  // namespace testing

namespace numeric_detail {
bool takeInjectedAllocationFailure() {
  return g_failNextAllocation.load(std::memory_order_relaxed) && g_failNextAllocation.exchange(false);
}
}  // namespace numeric_detail

std::int32_t Mean(const double* x, std::int32_t n, double* mean) {
  if (n < 1) return kNumericCountBelowOne;
  double sum = 0.0;
  for (std::int32_t i = 0; i < n; ++i) sum += x[i];
  *mean = sum / n;
  return kNumericOk;
}

namespace {

// The Hann factors sin^2(k*pi/n), k = 1 .. m, built exactly as the window
// defines them; the last length's factors are kept per thread, since the
// spectra of a session all use one length.
const std::vector<double>& hannFactors(std::int32_t n, std::int32_t m) {
  thread_local std::int32_t cachedN = -1;
  thread_local std::vector<double> factors;
  if (cachedN != n) {
    factors.assign(static_cast<std::size_t>(m) + 1, 0.0);
    const double step = M_PI / n;
    double angle = 0.0;
    for (std::int32_t k = 1; k <= m; ++k) {
      angle += step;
      const double s = std::sin(angle);
      factors[static_cast<std::size_t>(k)] = s * s;
    }
    cachedN = n;
  }
  return factors;
}

}  // namespace

std::int32_t HanningWindow(double* x, std::int32_t n) {
  if (n < 1) return kNumericCountBelowOne;
  x[0] = 0.0;
  const std::int32_t m = n % 2 == 0 ? n / 2 - 1 : (n - 1) / 2;
  const std::vector<double>& w = hannFactors(n, m);
  for (std::int32_t k = 1; k <= m; ++k) {
    x[k] *= w[static_cast<std::size_t>(k)];
    x[n - k] *= w[static_cast<std::size_t>(k)];
  }
  return kNumericOk;
}

std::int32_t AutoPowerSpectrum(const double* x, std::int32_t n, double dt, double* spectrum, double* df) {
  if (n < 1) return kNumericCountBelowOne;
  const std::size_t count = static_cast<std::size_t>(n);
  auto re = allocateArray<double>(count);
  auto im = re ? allocateArray<double>(count) : nullptr;
  if (!re || !im) return kNumericOutOfMemory;
  for (std::size_t i = 0; i < count; ++i) re[i] = x[i];
  const std::int32_t status = RealFFT(re.get(), im.get(), n);
  if (status != kNumericOk) return status;

  const std::int32_t half = n / 2;
  if (n == 1) {
    re[0] = re[0] * re[0];
  } else {
    // Two-sided power; n^2 in double, since n*n overflows 32 bits from 46341.
    const double n2 = static_cast<double>(n) * static_cast<double>(n);
    re[0] = re[0] * re[0] / n2;
    for (std::int32_t k = 1; k <= half; ++k) re[k] = (re[k] * re[k] + im[k] * im[k]) / n2;
  }
  for (std::int32_t k = 0; k < half; ++k) spectrum[k] = re[k];
  if (n >= 4)
    for (std::int32_t k = 1; k < half; ++k) spectrum[k] *= 2.0;
  *df = 1.0 / (n * dt);
  return kNumericOk;
}

namespace {

// Adds the samples of x to counts (bins of `width` from base; top itself
// falls in the last bin). A run of samples in one bin makes every increment
// wait for the one before, so long inputs over few bins are counted in four
// interleaved tallies that are added up at the end.
// Interleaved tallies pay off for a few bins hit again and again; beyond
// this many bins they would only cost memory.
constexpr std::size_t kMaxTallyBins = 4096;

template <typename T>
void tally(const T* x, std::int32_t n, double base, double top, double width, std::int32_t* counts,
           std::int32_t intervals) {
  const window_kernels::BinGrid grid{base, 1.0 / width, top, intervals};
  const auto bins = static_cast<std::size_t>(intervals);
  const auto count = static_cast<std::size_t>(n);
  constexpr std::size_t kChunk = 512;
  std::int32_t slots[kChunk];
  if (count < 64 || bins * 4 > count || bins > kMaxTallyBins) {
    for (std::size_t at = 0; at < count; at += kChunk) {
      const std::size_t m = std::min(kChunk, count - at);
      window_kernels::binSlots(x + at, m, grid, slots);
      for (std::size_t j = 0; j < m; ++j)
        if (slots[j] > 0) ++counts[slots[j] - 1];
    }
    return;
  }
  // Slot 0 of each tally takes the samples outside the range, so the loop
  // needs no test.
  thread_local std::vector<std::int32_t> tallies;
  const std::size_t stride = bins + 1;
  tallies.assign(4 * stride, 0);
  std::int32_t* t[4] = {tallies.data(), tallies.data() + stride, tallies.data() + 2 * stride,
                        tallies.data() + 3 * stride};
  for (std::size_t at = 0; at < count; at += kChunk) {
    const std::size_t m = std::min(kChunk, count - at);
    window_kernels::binSlots(x + at, m, grid, slots);
    std::size_t j = 0;
    for (; j + 4 <= m; j += 4)
      for (std::size_t k = 0; k < 4; ++k) ++t[k][slots[j + k]];
    for (; j < m; ++j) ++t[0][slots[j]];
  }
  for (std::size_t b = 0; b < bins; ++b) counts[b] += t[0][b + 1] + t[1][b + 1] + t[2][b + 1] + t[3][b + 1];
}

template <typename T>
std::int32_t histogramOf(const T* x, std::int32_t n, double base, double top, std::int32_t* counts,
                         double* axis, std::int32_t intervals) {
  const std::int32_t status = checkHistogramArgs(n, base, top, intervals);
  if (status != kNumericOk) return status;
  const double width = (top - base) / intervals;
  double centre = base + width * 0.5;
  for (std::int32_t i = 0; i < intervals; ++i) {
    axis[i] = centre;
    centre += width;
    counts[i] = 0;
  }
  tally(x, n, base, top, width, counts, intervals);
  return kNumericOk;
}

template <typename T>
std::int32_t modeOf(const T* x, std::int32_t n, double base, double top, std::int32_t intervals,
                    double* mode) {
  std::int32_t status = checkHistogramArgs(n, base, top, intervals);
  if (status != kNumericOk) return status;
  if (intervals > kMaxHistogramBins) return kNumericOutOfMemory;
  const std::size_t bins = static_cast<std::size_t>(intervals);
  auto counts = allocateArray<std::int32_t>(bins);
  auto axis = counts ? allocateArray<double>(bins) : nullptr;
  if (!counts || !axis) return kNumericOutOfMemory;
  status = histogramOf(x, n, base, top, counts.get(), axis.get(), intervals);
  if (status != kNumericOk) return status;
  double result = axis[0];
  std::int32_t best = 0;
  for (std::size_t i = 0; i < bins; ++i) {
    if (counts[i] > best) {
      best = counts[i];
      result = axis[i];
    }
  }
  *mode = result;
  return kNumericOk;
}

}  // namespace

std::int32_t Histogram(const double* x, std::int32_t n, double base, double top, std::int32_t* counts,
                       double* axis, std::int32_t intervals) {
  return histogramOf(x, n, base, top, counts, axis, intervals);
}

std::int32_t Mode(const double* x, std::int32_t n, double base, double top, std::int32_t intervals,
                  double* mode) {
  return modeOf(x, n, base, top, intervals, mode);
}

std::int32_t Mode(const float* x, std::int32_t n, double base, double top, std::int32_t intervals,
                  double* mode) {
  return modeOf(x, n, base, top, intervals, mode);
}

}  // namespace rc
