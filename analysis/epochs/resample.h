#pragma once
// Even resampling of interval series for the spectra, and the spectral grid
// of each epoch length.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rc {

// The grid one epoch of E seconds is resampled on: n samples every dt
// seconds (n * dt = E), and the band edges as bin indices of the n-point
// spectrum, each the double quotient edge / df truncated toward zero, with
// df = 1 / (n * dt): VLF/LF at 0.04 Hz, LF/HF at 0.15 Hz, HF top at 0.4 Hz.
struct SpectralGrid {
  std::int32_t n = 0;
  double dt = 0.0;  // s
  std::int32_t kVlf = 0;
  std::int32_t kLf = 0;
  std::int32_t kHf = 0;

  double df() const { return 1.0 / (n * dt); }  // Hz
  bool operator==(const SpectralGrid&) const = default;
};

// E = 60: 256 samples at 0.234375 s; 180: 1024 at 0.17578125 s; 300: 1024 at
// 0.29296875 s; any other length (600): 2048 at 0.29296875 s.
SpectralGrid spectralGrid(std::int32_t epochSeconds);

// Sample-and-hold resampling of a run of consecutive intervals onto the times
// t0 + k*dt (seconds), k = 0 .. out.size()-1.
//
// intervals are in ms, in time order; intervals[0] starts at firstStart
// (seconds; the end of the interval before it) and interval i ends at
// firstStart + (intervals[0] + ... + intervals[i]) / 1000, summed in double.
// A sample at t takes intervals[i] when end(i-1) < t <= end(i): a sample on
// a boundary belongs to the earlier interval. Samples at or before firstStart
// take `before` (the interval preceding the run), or intervals[0] when there
// is none; samples after the last end take the last interval. Non-finite
// intervals do not advance the time.
// Returns false, leaving out untouched, when intervals is empty (a window
// without data).
bool resampleWindow(std::span<const float> intervals, double firstStart, std::optional<float> before,
                    double t0, double dt, std::span<double> out);

// The whole series of an open session, whose time axis starts at the first
// beat (time 0), resampled into epochs * grid.n samples: epoch k occupies
// samples k*n .. k*n + n - 1. Empty when intervals is empty or epochs < 1.
std::vector<double> resampleOpenSession(std::span<const float> intervals, std::int32_t epochs,
                                        const SpectralGrid& grid);

// The same samples one epoch after the other, without holding the whole
// session: each next() fills the grid.n samples of the following epoch.
class OpenSessionResampler {
 public:
  OpenSessionResampler(std::span<const float> intervals, const SpectralGrid& grid);
  // False (out untouched) when there are no intervals or out is not grid.n long.
  bool next(std::span<double> out);

 private:
  std::span<const float> intervals_;
  double dt_;
  std::size_t n_;
  std::size_t produced_ = 0;  // samples filled so far
  std::size_t i_ = 0;         // interval in progress
  double sumMs_ = 0.0;        // end of interval i_, ms from the first beat
};

}  // namespace rc
