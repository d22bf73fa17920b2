#include "analysis/numeric/window_kernels.h"

#include <atomic>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace rc::window_kernels {
namespace {

std::atomic<bool> g_allowVector{true};

template <typename T>
void foldPlain(const T* x, std::size_t blocks, double shift, Lanes& l) {
  for (std::size_t i = 0; i < kLanes * blocks; i += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      const double v = x[i + k];
      l.lo[k] = v < l.lo[k] ? v : l.lo[k];
      l.hi[k] = v > l.hi[k] ? v : l.hi[k];
      const double d = v - shift;
      l.s1[k] += d;
      l.s2[k] += d * d;
    }
  }
}

// The slot of one value; the vector versions compute exactly this.
inline std::int32_t slotOf(double v, const BinGrid& g) {
  const double q = (v - g.base) * g.scale;
  if (q >= 0.0 && q < static_cast<double>(g.bins)) return static_cast<std::int32_t>(q) + 1;
  return v == g.top ? g.bins : 0;
}

template <typename T>
void slotsPlain(const T* x, std::size_t n, const BinGrid& g, std::int32_t* slots) {
  for (std::size_t i = 0; i < n; ++i) slots[i] = slotOf(static_cast<double>(x[i]), g);
}

#if defined(__x86_64__)

// SSE2 is part of every x86-64 processor; lanes 0-1 and 2-3 travel in two registers.
inline __m128d loadPair(const float* p) {
  return _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))));
}
inline __m128d loadPair(const double* p) { return _mm_loadu_pd(p); }

// Lanes 2j and 2j + 1 travel in register j.
template <typename T>
void foldSse2(const T* x, std::size_t blocks, double shift, Lanes& l) {
  const __m128d sh = _mm_set1_pd(shift);
  __m128d lo[4], hi[4], a[4], b[4];
  for (int j = 0; j < 4; ++j) {
    lo[j] = _mm_loadu_pd(l.lo + 2 * j);
    hi[j] = _mm_loadu_pd(l.hi + 2 * j);
    a[j] = _mm_loadu_pd(l.s1 + 2 * j);
    b[j] = _mm_loadu_pd(l.s2 + 2 * j);
  }
  for (std::size_t i = 0; i < kLanes * blocks; i += kLanes) {
    for (int j = 0; j < 4; ++j) {
      const __m128d v = loadPair(x + i + 2 * j);
      lo[j] = _mm_min_pd(v, lo[j]);
      hi[j] = _mm_max_pd(v, hi[j]);
      const __m128d d = _mm_sub_pd(v, sh);
      a[j] = _mm_add_pd(a[j], d);
      b[j] = _mm_add_pd(b[j], _mm_mul_pd(d, d));
    }
  }
  for (int j = 0; j < 4; ++j) {
    _mm_storeu_pd(l.lo + 2 * j, lo[j]);
    _mm_storeu_pd(l.hi + 2 * j, hi[j]);
    _mm_storeu_pd(l.s1 + 2 * j, a[j]);
    _mm_storeu_pd(l.s2 + 2 * j, b[j]);
  }
}

__attribute__((target("avx2"))) inline __m256d loadQuad(const float* p) {
  return _mm256_cvtps_pd(_mm_loadu_ps(p));
}
__attribute__((target("avx2"))) inline __m256d loadQuad(const double* p) { return _mm256_loadu_pd(p); }

// Lanes 0-3 and 4-7 travel in two registers.
template <typename T>
__attribute__((target("avx2"))) void foldAvx2(const T* x, std::size_t blocks, double shift, Lanes& l) {
  const __m256d sh = _mm256_set1_pd(shift);
  __m256d lo0 = _mm256_loadu_pd(l.lo), lo1 = _mm256_loadu_pd(l.lo + 4);
  __m256d hi0 = _mm256_loadu_pd(l.hi), hi1 = _mm256_loadu_pd(l.hi + 4);
  __m256d a0 = _mm256_loadu_pd(l.s1), a1 = _mm256_loadu_pd(l.s1 + 4);
  __m256d b0 = _mm256_loadu_pd(l.s2), b1 = _mm256_loadu_pd(l.s2 + 4);
  for (std::size_t i = 0; i < kLanes * blocks; i += kLanes) {
    const __m256d v0 = loadQuad(x + i), v1 = loadQuad(x + i + 4);
    lo0 = _mm256_min_pd(v0, lo0);
    lo1 = _mm256_min_pd(v1, lo1);
    hi0 = _mm256_max_pd(v0, hi0);
    hi1 = _mm256_max_pd(v1, hi1);
    const __m256d d0 = _mm256_sub_pd(v0, sh), d1 = _mm256_sub_pd(v1, sh);
    a0 = _mm256_add_pd(a0, d0);
    a1 = _mm256_add_pd(a1, d1);
    b0 = _mm256_add_pd(b0, _mm256_mul_pd(d0, d0));
    b1 = _mm256_add_pd(b1, _mm256_mul_pd(d1, d1));
  }
  _mm256_storeu_pd(l.lo, lo0);
  _mm256_storeu_pd(l.lo + 4, lo1);
  _mm256_storeu_pd(l.hi, hi0);
  _mm256_storeu_pd(l.hi + 4, hi1);
  _mm256_storeu_pd(l.s1, a0);
  _mm256_storeu_pd(l.s1 + 4, a1);
  _mm256_storeu_pd(l.s2, b0);
  _mm256_storeu_pd(l.s2 + 4, b1);
}

inline __m128d select(__m128d mask, __m128d yes, __m128d no) {
  return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}

template <typename T>
void slotsSse2(const T* x, std::size_t n, const BinGrid& g, std::int32_t* slots) {
  const __m128d base = _mm_set1_pd(g.base), scale = _mm_set1_pd(g.scale), zero = _mm_setzero_pd();
  const __m128d count = _mm_set1_pd(static_cast<double>(g.bins)), top = _mm_set1_pd(g.top);
  const __m128d lastBin = _mm_set1_pd(static_cast<double>(g.bins - 1)), outside = _mm_set1_pd(-1.0);
  const __m128i one = _mm_set1_epi32(1);
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const __m128d v = loadPair(x + i);
    const __m128d q = _mm_mul_pd(_mm_sub_pd(v, base), scale);
    const __m128d in = _mm_and_pd(_mm_cmpge_pd(q, zero), _mm_cmplt_pd(q, count));
    const __m128d other = select(_mm_cmpeq_pd(v, top), lastBin, outside);
    const __m128i s = _mm_add_epi32(_mm_cvttpd_epi32(select(in, q, other)), one);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(slots + i), s);
  }
  slotsPlain(x + i, n - i, g, slots + i);
}

template <typename T>
__attribute__((target("avx2"))) void slotsAvx2(const T* x, std::size_t n, const BinGrid& g,
                                               std::int32_t* slots) {
  const __m256d base = _mm256_set1_pd(g.base), scale = _mm256_set1_pd(g.scale), zero = _mm256_setzero_pd();
  const __m256d count = _mm256_set1_pd(static_cast<double>(g.bins)), top = _mm256_set1_pd(g.top);
  const __m256d lastBin = _mm256_set1_pd(static_cast<double>(g.bins - 1)), outside = _mm256_set1_pd(-1.0);
  const __m128i one = _mm_set1_epi32(1);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d v = loadQuad(x + i);
    const __m256d q = _mm256_mul_pd(_mm256_sub_pd(v, base), scale);
    const __m256d in = _mm256_and_pd(_mm256_cmp_pd(q, zero, _CMP_GE_OQ), _mm256_cmp_pd(q, count, _CMP_LT_OQ));
    const __m256d other = _mm256_blendv_pd(outside, lastBin, _mm256_cmp_pd(v, top, _CMP_EQ_OQ));
    const __m128i s = _mm_add_epi32(_mm256_cvttpd_epi32(_mm256_blendv_pd(other, q, in)), one);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(slots + i), s);
  }
  slotsPlain(x + i, n - i, g, slots + i);
}

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

#endif

template <typename T>
void fold(const T* x, std::size_t blocks, double shift, Lanes& lanes) {
#if defined(__x86_64__)
  if (g_allowVector.load(std::memory_order_relaxed)) {
    if (haveAvx2()) return foldAvx2(x, blocks, shift, lanes);
    return foldSse2(x, blocks, shift, lanes);
  }
#endif
  foldPlain(x, blocks, shift, lanes);
}

template <typename T>
void slots(const T* x, std::size_t n, const BinGrid& g, std::int32_t* out) {
#if defined(__x86_64__)
  if (g_allowVector.load(std::memory_order_relaxed)) {
    if (haveAvx2()) return slotsAvx2(x, n, g, out);
    return slotsSse2(x, n, g, out);
  }
#endif
  slotsPlain(x, n, g, out);
}

}  // namespace

void foldMoments(const float* x, std::size_t blocks, double shift, Lanes& lanes) {
  fold(x, blocks, shift, lanes);
}
void foldMoments(const double* x, std::size_t blocks, double shift, Lanes& lanes) {
  fold(x, blocks, shift, lanes);
}

void binSlots(const float* x, std::size_t n, const BinGrid& grid, std::int32_t* out) {
  slots(x, n, grid, out);
}
void binSlots(const double* x, std::size_t n, const BinGrid& grid, std::int32_t* out) {
  slots(x, n, grid, out);
}

namespace testing {
void allowVectorUnits(bool allow) { g_allowVector.store(allow); }
}  // namespace testing

}  // namespace rc::window_kernels
