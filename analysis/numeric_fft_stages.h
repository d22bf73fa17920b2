#pragma once
// Butterfly stages of the Stockham transform (internal to the transform).
//
// One stage of radix p combines p interleaved sub-transforms of length l into
// transforms of length l*p. With R = n / (l*p), input element (k*p + v)*R + s
// (k < l, v < p, s < R) is the s-th sub-transform's value k of decimation
// class v; output element (k + l*w)*R + s receives value k + l*w of the
// combined transform s. Reads and writes run contiguously over s, so the
// inner loop is vectorised over s when R allows it.
#include <cstddef>
#include <cstring>

namespace rc::fft_detail {

typedef double Pack __attribute__((vector_size(16)));
inline constexpr std::size_t kPackWidth = sizeof(Pack) / sizeof(double);

struct StageArgs {
  int l = 0;
  int r = 0;
  const double* twRe = nullptr;  // (radix - 1) per k
  const double* twIm = nullptr;
};

template <typename T>
inline T loadAt(const double* p) {
  if constexpr (sizeof(T) == sizeof(double)) {
    return *p;
  } else {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
  }
}

template <typename T>
inline void storeAt(double* p, T v) {
  if constexpr (sizeof(T) == sizeof(double)) {
    *p = v;
  } else {
    std::memcpy(p, &v, sizeof(T));
  }
}

template <typename T>
inline void mulTwiddle(T& xr, T& xi, double wr, double wi) {
  const T t = xr * wr - xi * wi;
  xi = xr * wi + xi * wr;
  xr = t;
}

template <typename T, bool kTwiddle>
inline void radix2At(const double* __restrict xr, const double* __restrict xi, double* __restrict yr,
                     double* __restrict yi, std::size_t r, std::size_t lr, const double* wr,
                     const double* wi) {
  const T a0r = loadAt<T>(xr), a0i = loadAt<T>(xi);
  T a1r = loadAt<T>(xr + r), a1i = loadAt<T>(xi + r);
  if constexpr (kTwiddle) mulTwiddle(a1r, a1i, wr[0], wi[0]);
  storeAt(yr, a0r + a1r);
  storeAt(yi, a0i + a1i);
  storeAt(yr + lr, a0r - a1r);
  storeAt(yi + lr, a0i - a1i);
}

template <typename T, bool kTwiddle>
inline void radix4At(const double* __restrict xr, const double* __restrict xi, double* __restrict yr,
                     double* __restrict yi, std::size_t r, std::size_t lr, const double* wr,
                     const double* wi) {
  const T a0r = loadAt<T>(xr), a0i = loadAt<T>(xi);
  T a1r = loadAt<T>(xr + r), a1i = loadAt<T>(xi + r);
  T a2r = loadAt<T>(xr + 2 * r), a2i = loadAt<T>(xi + 2 * r);
  T a3r = loadAt<T>(xr + 3 * r), a3i = loadAt<T>(xi + 3 * r);
  if constexpr (kTwiddle) {
    mulTwiddle(a1r, a1i, wr[0], wi[0]);
    mulTwiddle(a2r, a2i, wr[1], wi[1]);
    mulTwiddle(a3r, a3i, wr[2], wi[2]);
  }
  const T t0r = a0r + a2r, t0i = a0i + a2i;
  const T t1r = a0r - a2r, t1i = a0i - a2i;
  const T t2r = a1r + a3r, t2i = a1i + a3i;
  const T t3r = a1r - a3r, t3i = a1i - a3i;
  storeAt(yr, t0r + t2r);
  storeAt(yi, t0i + t2i);
  storeAt(yr + lr, t1r + t3i);
  storeAt(yi + lr, t1i - t3r);
  storeAt(yr + 2 * lr, t0r - t2r);
  storeAt(yi + 2 * lr, t0i - t2i);
  storeAt(yr + 3 * lr, t1r - t3i);
  storeAt(yi + 3 * lr, t1i + t3r);
}

template <typename T, bool kTwiddle>
inline void radix3At(const double* __restrict xr, const double* __restrict xi, double* __restrict yr,
                     double* __restrict yi, std::size_t r, std::size_t lr, const double* wr,
                     const double* wi) {
  constexpr double kHalfSqrt3 = 0.86602540378443864676;
  const T a0r = loadAt<T>(xr), a0i = loadAt<T>(xi);
  T a1r = loadAt<T>(xr + r), a1i = loadAt<T>(xi + r);
  T a2r = loadAt<T>(xr + 2 * r), a2i = loadAt<T>(xi + 2 * r);
  if constexpr (kTwiddle) {
    mulTwiddle(a1r, a1i, wr[0], wi[0]);
    mulTwiddle(a2r, a2i, wr[1], wi[1]);
  }
  const T t1r = a1r + a2r, t1i = a1i + a2i;
  const T t2r = (a1r - a2r) * kHalfSqrt3, t2i = (a1i - a2i) * kHalfSqrt3;
  const T mr = a0r - t1r * 0.5, mi = a0i - t1i * 0.5;
  storeAt(yr, a0r + t1r);
  storeAt(yi, a0i + t1i);
  storeAt(yr + lr, mr + t2i);
  storeAt(yi + lr, mi - t2r);
  storeAt(yr + 2 * lr, mr - t2i);
  storeAt(yi + 2 * lr, mi + t2r);
}

template <typename T, bool kTwiddle>
inline void radix5At(const double* __restrict xr, const double* __restrict xi, double* __restrict yr,
                     double* __restrict yi, std::size_t r, std::size_t lr, const double* wr,
                     const double* wi) {
  constexpr double c1 = 0.30901699437494742410;   // cos(2*pi/5)
  constexpr double c2 = -0.80901699437494742410;  // cos(4*pi/5)
  constexpr double s1 = 0.95105651629515357212;   // sin(2*pi/5)
  constexpr double s2 = 0.58778525229247312917;   // sin(4*pi/5)
  const T a0r = loadAt<T>(xr), a0i = loadAt<T>(xi);
  T a1r = loadAt<T>(xr + r), a1i = loadAt<T>(xi + r);
  T a2r = loadAt<T>(xr + 2 * r), a2i = loadAt<T>(xi + 2 * r);
  T a3r = loadAt<T>(xr + 3 * r), a3i = loadAt<T>(xi + 3 * r);
  T a4r = loadAt<T>(xr + 4 * r), a4i = loadAt<T>(xi + 4 * r);
  if constexpr (kTwiddle) {
    mulTwiddle(a1r, a1i, wr[0], wi[0]);
    mulTwiddle(a2r, a2i, wr[1], wi[1]);
    mulTwiddle(a3r, a3i, wr[2], wi[2]);
    mulTwiddle(a4r, a4i, wr[3], wi[3]);
  }
  const T t1r = a1r + a4r, t1i = a1i + a4i, t3r = a1r - a4r, t3i = a1i - a4i;
  const T t2r = a2r + a3r, t2i = a2i + a3i, t4r = a2r - a3r, t4i = a2i - a3i;
  const T b1r = a0r + t1r * c1 + t2r * c2, b1i = a0i + t1i * c1 + t2i * c2;
  const T b2r = a0r + t1r * c2 + t2r * c1, b2i = a0i + t1i * c2 + t2i * c1;
  const T d1r = t3r * s1 + t4r * s2, d1i = t3i * s1 + t4i * s2;
  const T d2r = t3r * s2 - t4r * s1, d2i = t3i * s2 - t4i * s1;
  storeAt(yr, a0r + t1r + t2r);
  storeAt(yi, a0i + t1i + t2i);
  storeAt(yr + lr, b1r + d1i);  // b1 - i*d1
  storeAt(yi + lr, b1i - d1r);
  storeAt(yr + 4 * lr, b1r - d1i);  // b1 + i*d1
  storeAt(yi + 4 * lr, b1i + d1r);
  storeAt(yr + 2 * lr, b2r + d2i);
  storeAt(yi + 2 * lr, b2i - d2r);
  storeAt(yr + 3 * lr, b2r - d2i);
  storeAt(yi + 3 * lr, b2i + d2r);
}

// Runs one fixed-radix stage: Body<T, twiddle> is one of the butterflies above.
template <int kRadix, template <typename, bool> class Body>
void runFixedStage(const StageArgs& st, const double* ar, const double* ai, double* br, double* bi) {
  const std::size_t r = static_cast<std::size_t>(st.r);
  const std::size_t lr = static_cast<std::size_t>(st.l) * r;
  for (int k = 0; k < st.l; ++k) {
    const std::size_t in = static_cast<std::size_t>(k) * kRadix * r;
    const std::size_t out = static_cast<std::size_t>(k) * r;
    const double* wr = st.twRe + static_cast<std::size_t>(k) * (kRadix - 1);
    const double* wi = st.twIm + static_cast<std::size_t>(k) * (kRadix - 1);
    std::size_t s = 0;
    if (k == 0) {
      for (; s + kPackWidth <= r; s += kPackWidth)
        Body<Pack, false>::run(ar + in + s, ai + in + s, br + out + s, bi + out + s, r, lr, wr, wi);
      for (; s < r; ++s)
        Body<double, false>::run(ar + in + s, ai + in + s, br + out + s, bi + out + s, r, lr, wr, wi);
    } else {
      for (; s + kPackWidth <= r; s += kPackWidth)
        Body<Pack, true>::run(ar + in + s, ai + in + s, br + out + s, bi + out + s, r, lr, wr, wi);
      for (; s < r; ++s)
        Body<double, true>::run(ar + in + s, ai + in + s, br + out + s, bi + out + s, r, lr, wr, wi);
    }
  }
}

template <typename T, bool kTw>
struct Radix2Body {
  static void run(const double* xr, const double* xi, double* yr, double* yi, std::size_t r, std::size_t lr,
                  const double* wr, const double* wi) {
    radix2At<T, kTw>(xr, xi, yr, yi, r, lr, wr, wi);
  }
};
template <typename T, bool kTw>
struct Radix3Body {
  static void run(const double* xr, const double* xi, double* yr, double* yi, std::size_t r, std::size_t lr,
                  const double* wr, const double* wi) {
    radix3At<T, kTw>(xr, xi, yr, yi, r, lr, wr, wi);
  }
};
template <typename T, bool kTw>
struct Radix4Body {
  static void run(const double* xr, const double* xi, double* yr, double* yi, std::size_t r, std::size_t lr,
                  const double* wr, const double* wi) {
    radix4At<T, kTw>(xr, xi, yr, yi, r, lr, wr, wi);
  }
};
template <typename T, bool kTw>
struct Radix5Body {
  static void run(const double* xr, const double* xi, double* yr, double* yi, std::size_t r, std::size_t lr,
                  const double* wr, const double* wi) {
    radix5At<T, kTw>(xr, xi, yr, yi, r, lr, wr, wi);
  }
};

}  // namespace rc::fft_detail
