#pragma once
// The inner loops of the per-window signal statistics, which run over every
// sample of a recording: vectorised where the processor allows, with results
// identical to the plain loops on every processor.
#include <cstddef>
#include <cstdint>

namespace rc::window_kernels {

// Eight lanes of running extremes and sums of a window; lane k takes the
// samples 8i + k.
inline constexpr std::size_t kLanes = 8;
struct Lanes {
  double lo[kLanes], hi[kLanes];  // minimum and maximum (v < lo replaces lo, v > hi replaces hi)
  double s1[kLanes], s2[kLanes];  // sums of d and d * d for d = v - shift
};

// Folds x[0 .. kLanes * blocks) into the lanes.
void foldMoments(const float* x, std::size_t blocks, double shift, Lanes& lanes);
void foldMoments(const double* x, std::size_t blocks, double shift, Lanes& lanes);

// Histogram bins: q = (v - base) * scale falls in bin floor(q) when
// 0 <= q < bins; a value equal to top falls in the last bin.
struct BinGrid {
  double base = 0.0;
  double scale = 1.0;
  double top = 0.0;
  std::int32_t bins = 1;
};

// slots[i] = 1 + the bin of x[i], or 0 when x[i] lies in no bin (NaN included).
void binSlots(const float* x, std::size_t n, const BinGrid& grid, std::int32_t* slots);
void binSlots(const double* x, std::size_t n, const BinGrid& grid, std::int32_t* slots);

namespace testing {
// Restricts the kernels to the plain loops (false) or lets them use the
// processor's vector units (true, the default), so the two can be compared.
void allowVectorUnits(bool allow);
}  // namespace testing

}  // namespace rc::window_kernels
