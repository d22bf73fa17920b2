#pragma once
// Round values for the labels of a chart axis.

namespace rc {

// The divisions of a chart axis: steps of 1, 2, 2.5 or 5 times a
// power of ten, about `ticks` of them. With `extend` the range grows to whole
// steps (the largest value sits under a labelled line); without it the range
// is kept (a stretch of time) and the step is the nicest that divides it, at
// worst the range over `ticks`.
struct AxisDivision {
  double lo = 0.0, hi = 1.0;
  int segments = 1;
  bool operator==(const AxisDivision&) const = default;
};
AxisDivision axisDivision(double lo, double hi, int ticks, bool extend);
// The decimals that show every label of the division exactly (0.25 steps: 2).
int axisDecimals(const AxisDivision& d);

}  // namespace rc
