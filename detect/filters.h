#pragma once
// Small streaming filters shared by the detectors. State is kept in double so
// that cut-offs far below the sample rate (0.015 Hz at 8 kHz) stay stable.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace rc::detect {

// Second-order section, transposed direct form II.
class Biquad {
 public:
  // Butterworth (Q = 1/sqrt 2) low-pass and high-pass sections; cutOff in Hz,
  // clamped below 0.45 * rate.
  static Biquad lowPass(double cutOff, double rate) { return design(cutOff, rate, false); }
  static Biquad highPass(double cutOff, double rate) { return design(cutOff, rate, true); }
  // Notch at `centre` Hz (below half the rate) whose stop band is centre / q
  // wide at -3 dB; everything else passes unchanged in level.
  static Biquad notch(double centre, double q, double rate) {
    const double w0 = 2.0 * std::numbers::pi * centre / rate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    Biquad n;
    n.b0_ = 1.0 / a0;
    n.b1_ = -2.0 * std::cos(w0) / a0;
    n.b2_ = n.b0_;
    n.a1_ = n.b1_;
    n.a2_ = (1.0 - alpha) / a0;
    return n;
  }

  double step(double x) {
    const double y = b0_ * x + s1_;
    s1_ = b1_ * x - a1_ * y + s2_;
    s2_ = b2_ * x - a2_ * y;
    return y;
  }
  // Group delay at the lowest frequencies, in samples.
  double lowFrequencyDelay() const {
    return (b1_ + 2.0 * b2_) / (b0_ + b1_ + b2_) - (a1_ + 2.0 * a2_) / (1.0 + a1_ + a2_);
  }
  // Starts the section in its steady state for a constant input x.
  void settle(double x) {
    const double gain = (b0_ + b1_ + b2_) / (1.0 + a1_ + a2_);
    const double y = gain * x;
    s2_ = b2_ * x - a2_ * y;
    s1_ = b1_ * x - a1_ * y + s2_;
  }

 private:
  static Biquad design(double cutOff, double rate, bool high) {
    const double fc = std::fmin(cutOff, 0.45 * rate);
    const double w0 = 2.0 * std::numbers::pi * fc / rate;
    const double sinW = std::sin(w0);
    // 1 - cos w0 and 1 + cos w0 without cancellation at small w0.
    const double oneMinusCos = 2.0 * std::sin(w0 / 2) * std::sin(w0 / 2);
    const double onePlusCos = 2.0 - oneMinusCos;
    const double alpha = sinW / std::numbers::sqrt2;
    const double a0 = 1.0 + alpha;
    Biquad q;
    if (high) {
      q.b0_ = onePlusCos / 2 / a0;
      q.b1_ = -onePlusCos / a0;
    } else {
      q.b0_ = oneMinusCos / 2 / a0;
      q.b1_ = oneMinusCos / a0;
    }
    q.b2_ = q.b0_;
    q.a1_ = -2.0 * (1.0 - oneMinusCos) / a0;
    q.a2_ = (1.0 - alpha) / a0;
    return q;
  }

  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double s1_ = 0, s2_ = 0;
};

// First-order low-pass (exponential smoothing) with time constant tau seconds.
class OnePole {
 public:
  OnePole() = default;
  OnePole(double tau, double rate) : k_(1.0 - std::exp(-1.0 / (tau * rate))) {}
  double step(double x) { return y_ += k_ * (x - y_); }
  void set(double y) { y_ = y; }
  double value() const { return y_; }

 private:
  double k_ = 1.0;
  double y_ = 0.0;
};

// History of the last size() values, indexed by absolute sample number.
// size() is a power of two of at least the requested length.
template <typename T>
class History {
 public:
  History() = default;
  explicit History(std::size_t minLength) {
    std::size_t n = 1;
    while (n < minLength) n <<= 1;
    data_.assign(n, T{});
    mask_ = n - 1;
  }
  void put(std::int64_t index, T v) { data_[static_cast<std::size_t>(index) & mask_] = v; }
  T at(std::int64_t index) const { return data_[static_cast<std::size_t>(index) & mask_]; }
  std::int64_t size() const { return static_cast<std::int64_t>(data_.size()); }

 private:
  std::vector<T> data_;
  std::size_t mask_ = 0;
};

// Running sum over the last `length` values, recomputed exactly once per lap
// so that rounding (or one enormous input) cannot linger in the sum.
class MovingSum {
 public:
  MovingSum() = default;
  explicit MovingSum(std::size_t length) : ring_(length < 1 ? 1 : length, 0.0) {}
  double step(double v) {
    sum_ += v - ring_[pos_];
    ring_[pos_] = v;
    if (++pos_ == ring_.size()) {
      pos_ = 0;
      double exact = 0.0;
      for (double r : ring_) exact += r;
      sum_ = exact;
    }
    return sum_;
  }
  std::size_t length() const { return ring_.size(); }

 private:
  std::vector<double> ring_;
  std::size_t pos_ = 0;
  double sum_ = 0.0;
};

}  // namespace rc::detect
