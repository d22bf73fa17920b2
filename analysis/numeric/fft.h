#pragma once
// The exact-length forward Fourier transform of a real signal.
//
// Any n >= 1 is transformed as it is, without padding: a radix-2/4/8 transform
// for powers of two, a mixed-radix transform when every prime factor of n is
// below 999, and Bluestein's chirp-z convolution otherwise. Plans (twiddle
// tables) are built once per length and cached; work buffers come from a
// small pool. Cache and pool are guarded by one mutex, so RealFFT may be
// called from several threads at once; each thread also keeps the plan and
// buffer of the length it transformed last, used without the lock.
#include <cstdint>

#include "analysis/numeric/numeric.h"

namespace rc {

// Unscaled forward transform X[k] = sum_j x[j] * exp(-2*pi*i*j*k/n).
// On entry re[0..n-1] holds the samples; on return re[k] and im[k] hold the
// real and imaginary parts of X[k] for every k < n (im[0] = 0, and
// X[n-k] = conj(X[k])). Status: 0, -20003 when n < 1 (nothing touched),
// -20001 when a plan or work buffer cannot be allocated (re and im then hold
// nothing meaningful).
std::int32_t RealFFT(double* re, double* im, std::int32_t n);

}  // namespace rc
