#pragma once
// Butterfly stages of the Stockham transform (internal to the transform).
//
// One stage of radix p combines p interleaved sub-transforms of length l into
// transforms of length l*p. With R = n / (l*p), input element (k*p + v)*R + s
// (k < l, v < p, s < R) is the s-th sub-transform's value k of decimation
// class v; output element (k + l*w)*R + s receives value k + l*w of the
// combined transform s. Twiddle exp(-2*pi*i*k*v/(l*p)) sits at (v-1)*l + k.
//
// Stages with R >= 2 are vectorised over s (contiguous loads and stores);
// the last stage (R = 1) is vectorised over k (strided loads, contiguous
// stores and twiddles). The pack type P sets the vector width; every kernel
// is forced inline so that a caller compiled for a wider instruction set
// (see runFixedStage) compiles the whole stage for it.
#include <cstddef>
#include <cstring>

#define RC_FFT_INLINE inline __attribute__((always_inline))

namespace rc::fft_detail {

typedef double Pack __attribute__((vector_size(16)));
typedef double WidePack __attribute__((vector_size(32)));

template <typename T>
inline constexpr std::size_t kWidth = sizeof(T) / sizeof(double);

struct StageArgs {
  int l = 0;
  int r = 0;
  const double* twRe = nullptr;  // (radix - 1) * l values, v-major
  const double* twIm = nullptr;
};

// Vector values go through references, never by value: 32-byte vectors
// passed by value would change the calling convention between the plain and
// the wide instruction-set builds.
template <typename T>
RC_FFT_INLINE void loadInto(T& v, const double* p) {
  if constexpr (sizeof(T) == sizeof(double)) {
    v = *p;
  } else {
    std::memcpy(&v, p, sizeof(T));
  }
}

template <typename T>
RC_FFT_INLINE void storeAt(double* p, const T& v) {
  if constexpr (sizeof(T) == sizeof(double)) {
    *p = v;
  } else {
    std::memcpy(p, &v, sizeof(T));
  }
}

// kWidth<T> values spaced `stride` apart.
template <typename T>
RC_FFT_INLINE void gatherInto(T& v, const double* p, std::size_t stride) {
  if constexpr (kWidth<T> == 1) {
    v = *p;
  } else if constexpr (kWidth<T> == 2) {
    v = T{p[0], p[stride]};
  } else {
    v = T{p[0], p[stride], p[2 * stride], p[3 * stride]};
  }
}

template <typename T, typename W>
RC_FFT_INLINE void mulTwiddle(T& xr, T& xi, const W& wr, const W& wi) {
  const T t = xr * wr - xi * wi;
  xi = xr * wi + xi * wr;
  xr = t;
}

// In-register butterflies: a[v] in, y[w] = sum_v exp(-2*pi*i*w*v/p) a[v] out (in place).
template <int kRadix>
struct Butterfly;

template <>
struct Butterfly<2> {
  template <typename T>
  static RC_FFT_INLINE void run(T* re, T* im) {
    const T r0 = re[0], i0 = im[0];
    re[0] = r0 + re[1];
    im[0] = i0 + im[1];
    re[1] = r0 - re[1];
    im[1] = i0 - im[1];
  }
};

template <>
struct Butterfly<3> {
  template <typename T>
  static RC_FFT_INLINE void run(T* re, T* im) {
    constexpr double kHalfSqrt3 = 0.86602540378443864676;
    const T t1r = re[1] + re[2], t1i = im[1] + im[2];
    const T t2r = (re[1] - re[2]) * kHalfSqrt3, t2i = (im[1] - im[2]) * kHalfSqrt3;
    const T mr = re[0] - t1r * 0.5, mi = im[0] - t1i * 0.5;
    re[0] += t1r;
    im[0] += t1i;
    re[1] = mr + t2i;
    im[1] = mi - t2r;
    re[2] = mr - t2i;
    im[2] = mi + t2r;
  }
};

template <>
struct Butterfly<4> {
  template <typename T>
  static RC_FFT_INLINE void run(T* re, T* im) {
    const T t0r = re[0] + re[2], t0i = im[0] + im[2];
    const T t1r = re[0] - re[2], t1i = im[0] - im[2];
    const T t2r = re[1] + re[3], t2i = im[1] + im[3];
    const T t3r = re[1] - re[3], t3i = im[1] - im[3];
    re[0] = t0r + t2r;
    im[0] = t0i + t2i;
    re[1] = t1r + t3i;
    im[1] = t1i - t3r;
    re[2] = t0r - t2r;
    im[2] = t0i - t2i;
    re[3] = t1r - t3i;
    im[3] = t1i + t3r;
  }
};

// Radix 8 as two radix-4 butterflies of the even and the odd values joined
// by the eighth roots of unity.
template <>
struct Butterfly<8> {
  template <typename T>
  static RC_FFT_INLINE void run(T* re, T* im) {
    constexpr double c = 0.70710678118654752440;  // sqrt(2) / 2
    T er[4] = {re[0], re[2], re[4], re[6]}, ei[4] = {im[0], im[2], im[4], im[6]};
    T odr[4] = {re[1], re[3], re[5], re[7]}, odi[4] = {im[1], im[3], im[5], im[7]};
    Butterfly<4>::run(er, ei);
    Butterfly<4>::run(odr, odi);
    // The odd half times exp(-2*pi*i*w/8), w = 1, 2, 3.
    const T t1r = (odr[1] + odi[1]) * c, t1i = (odi[1] - odr[1]) * c;
    const T t2r = odi[2], t2i = -odr[2];
    const T t3r = (odi[3] - odr[3]) * c, t3i = -(odr[3] + odi[3]) * c;
    re[0] = er[0] + odr[0];
    im[0] = ei[0] + odi[0];
    re[4] = er[0] - odr[0];
    im[4] = ei[0] - odi[0];
    re[1] = er[1] + t1r;
    im[1] = ei[1] + t1i;
    re[5] = er[1] - t1r;
    im[5] = ei[1] - t1i;
    re[2] = er[2] + t2r;
    im[2] = ei[2] + t2i;
    re[6] = er[2] - t2r;
    im[6] = ei[2] - t2i;
    re[3] = er[3] + t3r;
    im[3] = ei[3] + t3i;
    re[7] = er[3] - t3r;
    im[7] = ei[3] - t3i;
  }
};

template <>
struct Butterfly<5> {
  template <typename T>
  static RC_FFT_INLINE void run(T* re, T* im) {
    constexpr double c1 = 0.30901699437494742410;   // cos(2*pi/5)
    constexpr double c2 = -0.80901699437494742410;  // cos(4*pi/5)
    constexpr double s1 = 0.95105651629515357212;   // sin(2*pi/5)
    constexpr double s2 = 0.58778525229247312917;   // sin(4*pi/5)
    const T a0r = re[0], a0i = im[0];
    const T t1r = re[1] + re[4], t1i = im[1] + im[4], t3r = re[1] - re[4], t3i = im[1] - im[4];
    const T t2r = re[2] + re[3], t2i = im[2] + im[3], t4r = re[2] - re[3], t4i = im[2] - im[3];
    const T b1r = a0r + t1r * c1 + t2r * c2, b1i = a0i + t1i * c1 + t2i * c2;
    const T b2r = a0r + t1r * c2 + t2r * c1, b2i = a0i + t1i * c2 + t2i * c1;
    const T d1r = t3r * s1 + t4r * s2, d1i = t3i * s1 + t4i * s2;
    const T d2r = t3r * s2 - t4r * s1, d2i = t3i * s2 - t4i * s1;
    re[0] = a0r + t1r + t2r;
    im[0] = a0i + t1i + t2i;
    re[1] = b1r + d1i;  // b1 - i*d1
    im[1] = b1i - d1r;
    re[4] = b1r - d1i;  // b1 + i*d1
    im[4] = b1i + d1r;
    re[2] = b2r + d2i;
    im[2] = b2i - d2r;
    re[3] = b2r - d2i;
    im[3] = b2i + d2r;
  }
};

// Arguments of the group kernels, passed by value so that the memcpy-based
// stores cannot be taken to modify them.
struct StageView {
  const double* ar;
  const double* ai;
  double* br;
  double* bi;
  const double* twRe;
  const double* twIm;
  std::size_t l;
  std::size_t r;
};

// One butterfly group at (k, s), vectorised over s when T is a Pack.
template <int kRadix, typename T, bool kTwiddle>
RC_FFT_INLINE void groupOverS(const StageView v, std::size_t k, std::size_t s) {
  const std::size_t in = k * kRadix * v.r + s;
  const std::size_t out = k * v.r + s;
  T re[kRadix], im[kRadix];
#pragma GCC unroll 8
  for (int j = 0; j < kRadix; ++j) {
    loadInto(re[j], v.ar + in + j * v.r);
    loadInto(im[j], v.ai + in + j * v.r);
    if constexpr (kTwiddle)
      if (j > 0) mulTwiddle(re[j], im[j], v.twRe[(j - 1) * v.l + k], v.twIm[(j - 1) * v.l + k]);
  }
  Butterfly<kRadix>::run(re, im);
#pragma GCC unroll 8
  for (int w = 0; w < kRadix; ++w) {
    storeAt(v.br + out + w * v.l * v.r, re[w]);
    storeAt(v.bi + out + w * v.l * v.r, im[w]);
  }
}

// Packs x[i] holding the radix-4 values (v = 0..3) of k + i, turned into
// packs x[v] holding value v of each k (a transpose in registers, for the
// last stage, whose values of one k lie side by side).
template <typename T>
RC_FFT_INLINE void transposeFour(T (&x)[4]) {
  if constexpr (kWidth<T> == 4) {
    const T t0 = __builtin_shufflevector(x[0], x[1], 0, 4, 2, 6);
    const T t1 = __builtin_shufflevector(x[0], x[1], 1, 5, 3, 7);
    const T t2 = __builtin_shufflevector(x[2], x[3], 0, 4, 2, 6);
    const T t3 = __builtin_shufflevector(x[2], x[3], 1, 5, 3, 7);
    x[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    x[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    x[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    x[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
  }
}

// Loads the radix-4 values of kWidth<T> consecutive k of the last stage:
// contiguous loads and a transpose rather than strided gathers.
template <typename T>
RC_FFT_INLINE void loadLastFour(T (&x)[4], const double* p) {
  if constexpr (kWidth<T> == 4) {
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) loadInto(x[i], p + 4 * i);
    transposeFour(x);
  } else if constexpr (kWidth<T> == 2) {
    T a, b, c, d;  // (k, v0 v1), (k, v2 v3), (k+1, v0 v1), (k+1, v2 v3)
    loadInto(a, p);
    loadInto(b, p + 2);
    loadInto(c, p + 4);
    loadInto(d, p + 6);
    x[0] = __builtin_shufflevector(a, c, 0, 2);
    x[1] = __builtin_shufflevector(a, c, 1, 3);
    x[2] = __builtin_shufflevector(b, d, 0, 2);
    x[3] = __builtin_shufflevector(b, d, 1, 3);
  } else {
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) x[i] = p[i];
  }
}

// One butterfly group of the last stage (R = 1) at k, vectorised over k.
template <int kRadix, typename T>
RC_FFT_INLINE void groupOverK(const StageView v, std::size_t k) {
  T re[kRadix], im[kRadix];
  if constexpr (kRadix == 4) {
    loadLastFour(re, v.ar + k * 4);
    loadLastFour(im, v.ai + k * 4);
  }
#pragma GCC unroll 8
  for (int j = 0; j < kRadix; ++j) {
    if constexpr (kRadix != 4) {
      gatherInto(re[j], v.ar + k * kRadix + j, kRadix);
      gatherInto(im[j], v.ai + k * kRadix + j, kRadix);
    }
    if (j > 0) {
      T wr, wi;
      loadInto(wr, v.twRe + (j - 1) * v.l + k);
      loadInto(wi, v.twIm + (j - 1) * v.l + k);
      mulTwiddle(re[j], im[j], wr, wi);
    }
  }
  Butterfly<kRadix>::run(re, im);
#pragma GCC unroll 8
  for (int w = 0; w < kRadix; ++w) {
    storeAt(v.br + k + w * v.l, re[w]);
    storeAt(v.bi + k + w * v.l, im[w]);
  }
}

template <int kRadix, typename P>
RC_FFT_INLINE void runFixedStageWith(const StageArgs& st, const double* ar, const double* ai, double* br,
                                     double* bi) {
  constexpr std::size_t kPackWidth = kWidth<P>;
  const StageView v{
      ar, ai, br, bi, st.twRe, st.twIm, static_cast<std::size_t>(st.l), static_cast<std::size_t>(st.r)};
  const std::size_t l = v.l, r = v.r;
  if constexpr (kPackWidth > 2) {
    if (r > 1 && r < kPackWidth) return runFixedStageWith<kRadix, Pack>(st, ar, ai, br, bi);
  }
  if (r == 1) {
    std::size_t k = 0;
    for (; k + kPackWidth <= l; k += kPackWidth) groupOverK<kRadix, P>(v, k);
    for (; k < l; ++k) groupOverK<kRadix, double>(v, k);
    return;
  }
  for (std::size_t k = 0; k < l; ++k) {
    std::size_t s = 0;
    if (k == 0) {
      for (; s + kPackWidth <= r; s += kPackWidth) groupOverS<kRadix, P, false>(v, k, s);
      for (; s < r; ++s) groupOverS<kRadix, double, false>(v, k, s);
    } else {
      for (; s + kPackWidth <= r; s += kPackWidth) groupOverS<kRadix, P, true>(v, k, s);
      for (; s < r; ++s) groupOverS<kRadix, double, true>(v, k, s);
    }
  }
}

template <typename P>
RC_FFT_INLINE void reverseInto(P& out, const P& x) {
  if constexpr (kWidth<P> == 2)
    out = __builtin_shufflevector(x, x, 1, 0);
  else
    out = __builtin_shufflevector(x, x, 3, 2, 1, 0);
}

// z[j] = x[2j] + i*x[2j+1], j < m.
template <typename P>
RC_FFT_INLINE void splitPairsWith(const double* x, double* zr, double* zi, std::size_t m) {
  constexpr std::size_t w = kWidth<P>;
  std::size_t j = 0;
  for (; j + w <= m; j += w) {
    P a, b, even, odd;
    loadInto(a, x + 2 * j);
    loadInto(b, x + 2 * j + w);
    if constexpr (w == 2) {
      even = __builtin_shufflevector(a, b, 0, 2);
      odd = __builtin_shufflevector(a, b, 1, 3);
    } else {
      even = __builtin_shufflevector(a, b, 0, 2, 4, 6);
      odd = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }
    storeAt(zr + j, even);
    storeAt(zi + j, odd);
  }
  for (; j < m; ++j) {
    zr[j] = x[2 * j];
    zi[j] = x[2 * j + 1];
  }
}

// From Z, the half-length transform of the pairs, all n = 2m values of the
// real transform: X[k] = E[k] + u[k] O[k] with u[k] = exp(-2*pi*i*k/n),
// E[k] = (Z[k] + conj Z[m-k]) / 2, O[k] = (Z[k] - conj Z[m-k]) / 2i, and
// X[n-k] = conj X[k].
template <typename P>
RC_FFT_INLINE void joinHalvesWith(const double* sr, const double* si, const double* ur, const double* ui,
                                  double* re, double* im, std::size_t m) {
  constexpr std::size_t w = kWidth<P>;
  const std::size_t n = 2 * m;
  const double z0r = sr[0], z0i = si[0];
  std::size_t k = 1;
  for (; k + w <= m; k += w) {
    P ar, ai, rr, ri, wr, wi;
    loadInto(ar, sr + k);
    loadInto(ai, si + k);
    loadInto(rr, sr + m - k - (w - 1));
    loadInto(ri, si + m - k - (w - 1));
    loadInto(wr, ur + k);
    loadInto(wi, ui + k);
    P br, bi;
    reverseInto(br, rr);
    reverseInto(bi, ri);
    const P er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
    const P odR = 0.5 * (ai + bi), odI = 0.5 * (br - ar);
    const P xr = er + wr * odR - wi * odI;
    const P xi = ei + wr * odI + wi * odR;
    storeAt(re + k, xr);
    storeAt(im + k, xi);
    P mirrorR, mirrorI;
    reverseInto(mirrorR, xr);
    reverseInto(mirrorI, xi);
    mirrorI = -mirrorI;
    storeAt(re + n - k - (w - 1), mirrorR);
    storeAt(im + n - k - (w - 1), mirrorI);
  }
  for (; k < m; ++k) {
    const double ar = sr[k], ai = si[k], br = sr[m - k], bi = si[m - k];
    const double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
    const double odR = 0.5 * (ai + bi), odI = 0.5 * (br - ar);
    re[k] = er + ur[k] * odR - ui[k] * odI;
    im[k] = ei + ur[k] * odI + ui[k] * odR;
    re[n - k] = re[k];
    im[n - k] = -im[k];
  }
  re[0] = z0r + z0i;
  im[0] = 0.0;
  re[m] = z0r - z0i;
  im[m] = 0.0;
}

// The same on the widest vectors the processor offers.
void splitPairs(const double* x, double* zr, double* zi, std::size_t m);
void joinHalves(const double* sr, const double* si, const double* ur, const double* ui, double* re,
                double* im, std::size_t m);

// One fixed-radix stage, on the widest vectors the processor offers.
template <int kRadix>
void runFixedStage(const StageArgs& st, const double* ar, const double* ai, double* br, double* bi);

}  // namespace rc::fft_detail
