#pragma once
// Array routines on double-precision samples: mean, the periodic Hann (sin^2)
// window, the one-sided auto power spectrum, a histogram over a fixed range
// and the mode of a sample.
//
// Every routine returns a status code and never throws. Counts are signed
// 32-bit; every array, outputs included, is owned and sized by the caller.
// Arguments are checked before any output is touched. Apart from the work
// buffer pool of the transform (analysis/fft.h) no routine keeps memory
// between calls. Safe to call from any thread.
#include <cstdint>

namespace rc {

inline constexpr std::int32_t kNumericOk = 0;
inline constexpr std::int32_t kNumericOutOfMemory = -20001;    // a work buffer could not be allocated
inline constexpr std::int32_t kNumericCountBelowOne = -20003;  // a sample count or number of intervals < 1
inline constexpr std::int32_t kNumericEmptyRange = -20101;     // histogram base not below top

// Mode refuses histograms of more bins than this (as an allocation failure).
inline constexpr std::int32_t kMaxHistogramBins = 1 << 24;

// mean = (x[0] + ... + x[n-1]) / n, summed in index order.
std::int32_t Mean(const double* x, std::int32_t n, double* mean);

// Multiplies x[i] by sin^2(pi*i/n), i = 0 .. n-1, in place (periodic Hann
// window: x[0] becomes 0; for even n the middle element keeps its value).
// The angle k*pi/n is built by adding pi/n once per step, and the factor of
// step k is applied to x[k] and x[n-k].
std::int32_t HanningWindow(double* x, std::int32_t n);

// One-sided power spectrum of the real signal x[0..n-1] (x is not changed),
// sampled every dt seconds. spectrum receives n/2 values: element 0 is the
// squared mean, element k (1 <= k < n/2) the power at k*df, doubled when
// n >= 4 to fold in the negative frequency; the Nyquist term is left out.
// Power is in the square of the input's unit per bin (not per hertz):
// P[k] = |X[k]|^2 / n^2 with X the unscaled transform. *df = 1 / (n*dt).
std::int32_t AutoPowerSpectrum(const double* x, std::int32_t n, double dt, double* spectrum, double* df);

// Counts x[0..n-1] into `intervals` equal bins over [base, top]: bin i holds
// the samples v with floor((v - base) / width) == i, width = (top - base) /
// intervals; a sample equal to top goes to the last bin; other samples
// outside the range, NaN and infinities are not counted. axis[i] receives the
// bin centre, accumulated from base + width/2 in steps of width.
// Status -20101 when base is not below top or either is not finite (checked
// first), then -20003 when n < 1 or intervals < 1.
std::int32_t Histogram(const double* x, std::int32_t n, double base, double top, std::int32_t* counts,
                       double* axis, std::int32_t intervals);

// The centre of the fullest bin of Histogram(x, n, base, top, intervals);
// ties go to the lowest bin, and with no sample in range the result is the
// centre of bin 0. The histogram's failure status is returned unchanged;
// -20001 when the work arrays cannot be had (or intervals > kMaxHistogramBins).
std::int32_t Mode(const double* x, std::int32_t n, double base, double top, std::int32_t intervals,
                  double* mode);
// The same over float samples (each taken as the double it converts to).
std::int32_t Mode(const float* x, std::int32_t n, double base, double top, std::int32_t intervals, double* mode);

namespace testing {
// Makes the next work-buffer allocation of these routines (or of RealFFT)
// fail, so that callers' handling of -20001 can be tested.
void failNextNumericAllocation();
}  // namespace testing

namespace numeric_detail {
// True, once, after failNextNumericAllocation().
bool takeInjectedAllocationFailure();
}  // namespace numeric_detail

}  // namespace rc
