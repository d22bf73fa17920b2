#include "analysis/numeric/numeric_fft_plan.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "analysis/numeric/numeric_fft_stages.h"

namespace rc::fft_detail {
namespace {

// Space left between the arrays of one scratch block. Arrays of a
// power-of-two length placed back to back start a multiple of 4 KiB apart, so
// the loads of one array and the stores of the next fall on the same cache
// sets and the processor takes the stores for overlapping the loads (4K
// aliasing): the stages then run at a fraction of their speed. A cache line
// and a half between them keeps every array on its own sets.
constexpr std::size_t kScratchGap = 12;  // doubles

// Prime factors of n in the order the stages use them: the twos as eights
// (fewer passes over the data), with a single two first (it needs no twiddles
// and leaves the later stages wide) and the fours left over last (the last
// stage reads its values side by side, which suits a four), then the odd
// primes ascending.
std::vector<int> stageRadices(int n) {
  std::vector<int> twos, odd;
  int rest = n;
  int exponent = 0;
  while (rest % 2 == 0) {
    ++exponent;
    rest /= 2;
  }
  // 2^exponent as eights and what is left: nothing, a two (2^1), one four
  // (2^2) or two fours (2^4).
  int eights = 0;
  while (exponent >= 5 || exponent == 3) {
    ++eights;
    exponent -= 3;
  }
  if (exponent == 1) twos.push_back(2);
  twos.insert(twos.end(), static_cast<std::size_t>(eights), 8);
  twos.insert(twos.end(), static_cast<std::size_t>(exponent / 2), 4);
  for (int p = 3; static_cast<long long>(p) * p <= rest; p += 2) {
    while (rest % p == 0) {
      odd.push_back(p);
      rest /= p;
    }
  }
  if (rest > 1) odd.push_back(rest);
  twos.insert(twos.end(), odd.begin(), odd.end());
  return twos;
}

// Generic odd radix p: y[w] = sum_v exp(-2*pi*i*w*v/p) * a[v], using the pairs
// v, p - v. scratch holds 2 * (p - 1) doubles.
void runGenericStage(int p, const StageArgs& st, const double* rootCos, const double* rootSin,
                     const double* ar, const double* ai, double* br, double* bi, double* scratch) {
  const int half = (p - 1) / 2;
  const std::size_t r = static_cast<std::size_t>(st.r);
  const std::size_t lr = static_cast<std::size_t>(st.l) * r;
  double* tr = scratch;
  double* ti = tr + half;
  double* ur = ti + half;
  double* ui = ur + half;
  for (int k = 0; k < st.l; ++k) {
    const double* xr = ar + static_cast<std::size_t>(k) * p * r;
    const double* xi = ai + static_cast<std::size_t>(k) * p * r;
    double* yr = br + static_cast<std::size_t>(k) * r;
    double* yi = bi + static_cast<std::size_t>(k) * r;
    for (std::size_t s = 0; s < r; ++s) {
      const double a0r = xr[s], a0i = xi[s];
      double sumR = a0r, sumI = a0i;
      for (int v = 1; v <= half; ++v) {
        double pr = xr[v * r + s], pi = xi[v * r + s];
        double qr = xr[(p - v) * r + s], qi = xi[(p - v) * r + s];
        if (k != 0) {
          const std::size_t l = static_cast<std::size_t>(st.l), kk = static_cast<std::size_t>(k);
          mulTwiddle(pr, pi, st.twRe[(v - 1) * l + kk], st.twIm[(v - 1) * l + kk]);
          mulTwiddle(qr, qi, st.twRe[(p - v - 1) * l + kk], st.twIm[(p - v - 1) * l + kk]);
        }
        tr[v - 1] = pr + qr;
        ti[v - 1] = pi + qi;
        ur[v - 1] = pr - qr;
        ui[v - 1] = pi - qi;
        sumR += tr[v - 1];
        sumI += ti[v - 1];
      }
      yr[s] = sumR;
      yi[s] = sumI;
      for (int w = 1; w <= half; ++w) {
        double cr = a0r, ci = a0i, dr = 0.0, di = 0.0;
        int j = 0;
        for (int v = 0; v < half; ++v) {
          j += w;
          if (j >= p) j -= p;
          cr += rootCos[j] * tr[v];
          ci += rootCos[j] * ti[v];
          dr += rootSin[j] * ur[v];
          di += rootSin[j] * ui[v];
        }
        yr[w * lr + s] = cr + di;  // c - i*d
        yi[w * lr + s] = ci - dr;
        yr[(p - w) * lr + s] = cr - di;  // c + i*d
        yi[(p - w) * lr + s] = ci + dr;
      }
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
template <int kRadix>
__attribute__((target("avx2"))) void runFixedStageAvx2(const StageArgs& st, const double* ar,
                                                       const double* ai, double* br, double* bi) {
  runFixedStageWith<kRadix, WidePack>(st, ar, ai, br, bi);
}

__attribute__((target("avx2"))) void splitPairsAvx2(const double* x, double* zr, double* zi, std::size_t m) {
  splitPairsWith<WidePack>(x, zr, zi, m);
}

__attribute__((target("avx2"))) void joinHalvesAvx2(const double* sr, const double* si, const double* ur,
                                                    const double* ui, double* re, double* im, std::size_t m) {
  joinHalvesWith<WidePack>(sr, si, ur, ui, re, im, m);
}

std::atomic<bool> g_allowWide{true};

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have && g_allowWide.load(std::memory_order_relaxed);
}
#endif

}  // namespace

template <int kRadix>
void runFixedStage(const StageArgs& st, const double* ar, const double* ai, double* br, double* bi) {
#if defined(__x86_64__) || defined(__i386__)
  if (haveAvx2()) return runFixedStageAvx2<kRadix>(st, ar, ai, br, bi);
#endif
  runFixedStageWith<kRadix, Pack>(st, ar, ai, br, bi);
}

void allowWideVectors(bool allow) {
#if defined(__x86_64__) || defined(__i386__)
  g_allowWide.store(allow);
#else
  (void)allow;
#endif
}

void splitPairs(const double* x, double* zr, double* zi, std::size_t m) {
#if defined(__x86_64__) || defined(__i386__)
  if (haveAvx2()) return splitPairsAvx2(x, zr, zi, m);
#endif
  splitPairsWith<Pack>(x, zr, zi, m);
}

void joinHalves(const double* sr, const double* si, const double* ur, const double* ui, double* re,
                double* im, std::size_t m) {
#if defined(__x86_64__) || defined(__i386__)
  if (haveAvx2()) return joinHalvesAvx2(sr, si, ur, ui, re, im, m);
#endif
  joinHalvesWith<Pack>(sr, si, ur, ui, re, im, m);
}

void unitRoot(long long j, long long n, double* re, double* im) {
  constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
  j %= n;
  if (j < 0) j += n;
  // Reduce to the first half turn by symmetry; exact quarter turns are exact.
  if (2 * j == n) {
    *re = -1.0;
    *im = 0.0;
    return;
  }
  if (4 * j == n) {
    *re = 0.0;
    *im = -1.0;
    return;
  }
  if (4 * j == 3 * n) {
    *re = 0.0;
    *im = 1.0;
    return;
  }
  const long double angle = kTwoPi * static_cast<long double>(j) / static_cast<long double>(n);
  *re = static_cast<double>(std::cos(angle));
  *im = static_cast<double>(-std::sin(angle));
}

int smoothLengthAtLeast(int n) {
  long long best = std::numeric_limits<long long>::max();
  const long long target = n < 1 ? 1 : n;
  for (long long a = 1; a < 2 * target; a *= 2) {
    for (long long b = a; b < 2 * target; b *= 3) {
      long long c = b;
      while (c < target) c *= 5;
      if (c < best) best = c;
    }
  }
  if (best > std::numeric_limits<int>::max()) throw std::bad_alloc();
  return static_cast<int>(best);
}

bool hasOnlySmallPrimeFactors(int n) {
  for (int p : stageRadices(n))
    if (p >= kMaxDirectPrime) return false;
  return true;
}

ComplexPlan::ComplexPlan(int n) : n_(n) {
  if (n < 1) throw std::bad_alloc();
  if (hasOnlySmallPrimeFactors(n))
    buildStockham();
  else
    buildBluestein();
}

ComplexPlan::~ComplexPlan() = default;

void ComplexPlan::buildStockham() {
  int l = 1;
  std::size_t extra = 0;
  for (int p : stageRadices(n_)) {
    Stage st;
    st.radix = p;
    st.l = l;
    st.r = n_ / (l * p);
    const long long len = static_cast<long long>(l) * p;
    st.twRe.resize(static_cast<std::size_t>(l) * (p - 1));
    st.twIm.resize(st.twRe.size());
    for (int k = 0; k < l; ++k)
      for (int v = 1; v < p; ++v) {
        const std::size_t at = static_cast<std::size_t>(v - 1) * l + static_cast<std::size_t>(k);
        unitRoot(static_cast<long long>(k) * v, len, &st.twRe[at], &st.twIm[at]);
      }
    if (p % 2 == 1 && p > 5) {  // the generic odd-prime stage's roots
      st.rootCos.resize(p);
      st.rootSin.resize(p);
      for (int j = 0; j < p; ++j) {
        double im = 0.0;
        unitRoot(j, p, &st.rootCos[j], &im);
        st.rootSin[j] = -im;
      }
      extra = std::max(extra, static_cast<std::size_t>(2 * (p - 1)));
    }
    stages_.push_back(std::move(st));
    l *= p;
  }
  scratch_ = 2 * (static_cast<std::size_t>(n_) + kScratchGap) + extra;
}

void ComplexPlan::buildBluestein() {
  if (n_ > std::numeric_limits<int>::max() / 2) throw std::bad_alloc();
  m_ = smoothLengthAtLeast(2 * n_ - 1);
  inner_ = std::make_unique<ComplexPlan>(m_);
  const std::size_t n = static_cast<std::size_t>(n_);
  const std::size_t m = static_cast<std::size_t>(m_);
  chirpRe_.resize(n);
  chirpIm_.resize(n);
  const long long twoN = 2LL * n_;
  for (std::size_t k = 0; k < n; ++k) {
    const long long kk = static_cast<long long>(k);
    unitRoot((kk * kk) % twoN, twoN, &chirpRe_[k], &chirpIm_[k]);
  }
  kernelRe_.assign(m, 0.0);
  kernelIm_.assign(m, 0.0);
  kernelRe_[0] = 1.0;
  for (std::size_t k = 1; k < n; ++k) {
    kernelRe_[k] = kernelRe_[m - k] = chirpRe_[k];
    kernelIm_[k] = kernelIm_[m - k] = -chirpIm_[k];
  }
  std::vector<double> work(inner_->scratchDoubles());
  inner_->forward(kernelRe_.data(), kernelIm_.data(), work.data());
  const double scale = 1.0 / static_cast<double>(m_);
  for (std::size_t k = 0; k < m; ++k) {
    kernelRe_[k] *= scale;
    kernelIm_[k] *= scale;
  }
  scratch_ = 2 * (m + kScratchGap) + inner_->scratchDoubles();
}

void ComplexPlan::forward(double* re, double* im, double* scratch) const {
  const double* resultIm = nullptr;
  const double* resultRe = forwardAnywhere(re, im, scratch, &resultIm);
  if (resultRe != re) {
    std::memcpy(re, resultRe, static_cast<std::size_t>(n_) * sizeof(double));
    std::memcpy(im, resultIm, static_cast<std::size_t>(n_) * sizeof(double));
  }
}

const double* ComplexPlan::forwardAnywhere(double* re, double* im, double* scratch,
                                           const double** resultIm) const {
  if (inner_) {
    runBluestein(re, im, scratch);
    *resultIm = im;
    return re;
  }
  return runStockham(re, im, scratch, resultIm);
}

const double* ComplexPlan::runStockham(double* re, double* im, double* scratch,
                                       const double** resultIm) const {
  const std::size_t n = static_cast<std::size_t>(n_);
  double* srcR = re;
  double* srcI = im;
  double* dstR = scratch;
  double* dstI = scratch + n + kScratchGap;
  double* extra = scratch + 2 * (n + kScratchGap);
  for (const Stage& st : stages_) {
    const StageArgs args{st.l, st.r, st.twRe.data(), st.twIm.data()};
    switch (st.radix) {
      case 2:
        runFixedStage<2>(args, srcR, srcI, dstR, dstI);
        break;
      case 3:
        runFixedStage<3>(args, srcR, srcI, dstR, dstI);
        break;
      case 4:
        runFixedStage<4>(args, srcR, srcI, dstR, dstI);
        break;
      case 5:
        runFixedStage<5>(args, srcR, srcI, dstR, dstI);
        break;
      case 8:
        runFixedStage<8>(args, srcR, srcI, dstR, dstI);
        break;
      default:
        runGenericStage(st.radix, args, st.rootCos.data(), st.rootSin.data(), srcR, srcI, dstR, dstI, extra);
        break;
    }
    std::swap(srcR, dstR);
    std::swap(srcI, dstI);
  }
  *resultIm = srcI;
  return srcR;
}

void ComplexPlan::runBluestein(double* re, double* im, double* scratch) const {
  const std::size_t n = static_cast<std::size_t>(n_);
  const std::size_t m = static_cast<std::size_t>(m_);
  double* ar = scratch;
  double* ai = scratch + m + kScratchGap;
  double* innerScratch = scratch + 2 * (m + kScratchGap);
  for (std::size_t k = 0; k < n; ++k) {
    ar[k] = re[k] * chirpRe_[k] - im[k] * chirpIm_[k];
    ai[k] = re[k] * chirpIm_[k] + im[k] * chirpRe_[k];
  }
  std::memset(ar + n, 0, (m - n) * sizeof(double));
  std::memset(ai + n, 0, (m - n) * sizeof(double));
  inner_->forward(ar, ai, innerScratch);
  // Pointwise product with the kernel, conjugated so that a second forward
  // transform yields the conjugate of the inverse transform.
  for (std::size_t k = 0; k < m; ++k) {
    const double pr = ar[k] * kernelRe_[k] - ai[k] * kernelIm_[k];
    const double pi = ar[k] * kernelIm_[k] + ai[k] * kernelRe_[k];
    ar[k] = pr;
    ai[k] = -pi;
  }
  inner_->forward(ar, ai, innerScratch);
  for (std::size_t k = 0; k < n; ++k) {
    const double cr = ar[k], ci = -ai[k];
    re[k] = cr * chirpRe_[k] - ci * chirpIm_[k];
    im[k] = cr * chirpIm_[k] + ci * chirpRe_[k];
  }
}

RealPlan::RealPlan(int n) : n_(n), complex_(n % 2 == 0 ? n / 2 : n) {
  if (n % 2 == 0) {
    const int m = n / 2;
    unpackRe_.resize(m);
    unpackIm_.resize(m);
    for (int k = 0; k < m; ++k) unitRoot(k, n, &unpackRe_[k], &unpackIm_[k]);
    scratch_ = 2 * (static_cast<std::size_t>(m) + kScratchGap) + complex_.scratchDoubles();
  } else {
    scratch_ = complex_.scratchDoubles();
  }
}

void RealPlan::forward(double* re, double* im, double* scratch) const {
  const std::size_t n = static_cast<std::size_t>(n_);
  if (n % 2 != 0) {
    std::memset(im, 0, n * sizeof(double));
    complex_.forward(re, im, scratch);
    return;
  }
  // Even n: the samples, taken in pairs as complex values, transform at half
  // length; the two interleaved real transforms are then separated.
  const std::size_t m = n / 2;
  double* zr = scratch;
  double* zi = scratch + m + kScratchGap;
  splitPairs(re, zr, zi, m);
  const double* si = nullptr;
  const double* sr = complex_.forwardAnywhere(zr, zi, scratch + 2 * (m + kScratchGap), &si);
  joinHalves(sr, si, unpackRe_.data(), unpackIm_.data(), re, im, m);
}

}  // namespace rc::fft_detail
