#pragma once
// Plans of the exact-length discrete Fourier transform behind RealFFT.
//
// A plan is built once per length, holds only precomputed constants and is
// immutable afterwards, so one plan may run on several threads at once; every
// run brings its own scratch memory (scratchDoubles() doubles).
//
// Forward transform, unscaled: X[k] = sum_j x[j] * exp(-2*pi*i*j*k/n).
// Complex data is held split: one array of real parts, one of imaginary parts.
//
// Algorithms: a self-sorting (Stockham) mixed-radix transform with radix-8, 4,
// 2, 3 and 5 butterflies and a generic odd-prime butterfly, used when every
// prime factor of n is below kMaxDirectPrime; otherwise Bluestein's chirp-z
// convolution on a 5-smooth length of at least 2n - 1. Real input of even
// length runs as a complex transform of half the length.
//
// Constructors allocate with std::vector and so may throw std::bad_alloc.
#include <cstddef>
#include <memory>
#include <vector>

namespace rc::fft_detail {

inline constexpr int kMaxDirectPrime = 999;

class ComplexPlan {
 public:
  explicit ComplexPlan(int n);
  ~ComplexPlan();
  ComplexPlan(const ComplexPlan&) = delete;
  ComplexPlan& operator=(const ComplexPlan&) = delete;

  int size() const { return n_; }
  bool usesBluestein() const { return inner_ != nullptr; }
  std::size_t scratchDoubles() const { return scratch_; }

  // Transforms re[0..n-1], im[0..n-1] in place. scratch holds at least
  // scratchDoubles() doubles and must not overlap re or im.
  void forward(double* re, double* im, double* scratch) const;

  // The same, but the result may be left in scratch (real parts, then
  // imaginary parts, a little apart) instead of being copied back; returns
  // the real-part array holding it (re or scratch) and sets *resultIm.
  const double* forwardAnywhere(double* re, double* im, double* scratch, const double** resultIm) const;

 private:
  struct Stage {
    int radix = 0;
    int l = 0;                             // length of the sub-transforms this stage combines
    int r = 0;                             // number of interleaved sub-transforms: n / (l * radix)
    std::vector<double> twRe, twIm;        // exp(-2*pi*i*k*v/(l*radix)) at (v-1)*l + k
    std::vector<double> rootCos, rootSin;  // generic radix only: cos, sin of 2*pi*j/radix
  };

  void buildStockham();
  void buildBluestein();
  const double* runStockham(double* re, double* im, double* scratch, const double** resultIm) const;
  void runBluestein(double* re, double* im, double* scratch) const;

  int n_ = 0;
  std::size_t scratch_ = 0;
  std::vector<Stage> stages_;
  // Bluestein: inner plan of length m_, chirp w[k] = exp(-i*pi*k^2/n), and the
  // transformed conjugate chirp divided by m_.
  std::unique_ptr<ComplexPlan> inner_;
  int m_ = 0;
  std::vector<double> chirpRe_, chirpIm_, kernelRe_, kernelIm_;
};

class RealPlan {
 public:
  explicit RealPlan(int n);

  int size() const { return n_; }
  std::size_t scratchDoubles() const { return scratch_; }

  // On entry re[0..n-1] holds the real samples; on return re and im hold the
  // real and imaginary parts of all n transform values.
  void forward(double* re, double* im, double* scratch) const;

 private:
  int n_ = 0;
  std::size_t scratch_ = 0;
  ComplexPlan complex_;                      // length n / 2 for even n, n for odd n
  std::vector<double> unpackRe_, unpackIm_;  // exp(-2*pi*i*k/n), k in [0, n/2)
};

// exp(-2*pi*i*j/n) for 0 <= j < n, to within one rounding of double.
void unitRoot(long long j, long long n, double* re, double* im);

// The smallest 5-smooth number (2^a 3^b 5^c) that is at least n.
int smoothLengthAtLeast(int n);

// Lets tests run the kernels on the narrow (16-byte) vectors even where the
// processor offers wider ones; both give bit-identical results.
void allowWideVectors(bool allow);

// True when every prime factor of n is below kMaxDirectPrime.
bool hasOnlySmallPrimeFactors(int n);

}  // namespace rc::fft_detail
