#include "analysis/numeric.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <new>

#include "analysis/fft.h"

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

std::int32_t HanningWindow(double* x, std::int32_t n) {
  if (n < 1) return kNumericCountBelowOne;
  x[0] = 0.0;
  const std::int32_t m = n % 2 == 0 ? n / 2 - 1 : (n - 1) / 2;
  const double step = M_PI / n;
  double angle = 0.0;
  for (std::int32_t k = 1; k <= m; ++k) {
    angle += step;
    const double s = std::sin(angle);
    const double w = s * s;
    x[k] *= w;
    x[n - k] *= w;
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

std::int32_t Histogram(const double* x, std::int32_t n, double base, double top, std::int32_t* counts,
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
  const double scale = 1.0 / width;
  const double binCount = static_cast<double>(intervals);
  for (std::int32_t j = 0; j < n; ++j) {
    const double v = x[j];
    // floor(q) lies in [0, intervals) exactly when q does; testing q in double
    // first keeps NaN, infinities and far-out values away from the conversion.
    const double q = (v - base) * scale;
    if (q >= 0.0 && q < binCount)
      ++counts[static_cast<std::int32_t>(q)];
    else if (v == top)
      ++counts[intervals - 1];
  }
  return kNumericOk;
}

std::int32_t Mode(const double* x, std::int32_t n, double base, double top, std::int32_t intervals,
                  double* mode) {
  std::int32_t status = checkHistogramArgs(n, base, top, intervals);
  if (status != kNumericOk) return status;
  if (intervals > kMaxHistogramBins) return kNumericOutOfMemory;
  const std::size_t bins = static_cast<std::size_t>(intervals);
  auto counts = allocateArray<std::int32_t>(bins);
  auto axis = counts ? allocateArray<double>(bins) : nullptr;
  if (!counts || !axis) return kNumericOutOfMemory;
  status = Histogram(x, n, base, top, counts.get(), axis.get(), intervals);
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

}  // namespace rc
