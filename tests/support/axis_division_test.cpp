#include "support/axis_division.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rc {
namespace {

TEST(AxisDivisionTest, LabelsFallOnRoundValues) {
  // Frequency 0 .. 0.4 Hz in tenths; a 60-second stretch of time in 20 s.
  EXPECT_EQ(axisDivision(0.0, 0.4, 4, false), (AxisDivision{0.0, 0.4, 4}));
  EXPECT_EQ(axisDivision(120.0, 180.0, 4, false), (AxisDivision{120.0, 180.0, 3}));
  EXPECT_EQ(axisDivision(0.0, 300.0, 4, false).segments, 3);  // 100 s
  // Power grows to the next labelled line.
  EXPECT_EQ(axisDivision(0.0, 217.3, 4, true), (AxisDivision{0.0, 250.0, 5}));
  EXPECT_EQ(axisDivision(0.0, 0.0031, 4, true), (AxisDivision{0.0, 0.004, 4}));
  // A span no nice step divides keeps its range in `ticks` parts; nothing
  // degenerate reaches the axis.
  EXPECT_EQ(axisDivision(0.0, 7.3, 4, false), (AxisDivision{0.0, 7.3, 4}));
  EXPECT_EQ(axisDivision(5.0, 5.0, 4, true).segments, 1);
  EXPECT_GT(axisDivision(5.0, 5.0, 4, true).hi, 5.0);
  EXPECT_EQ(axisDivision(0.0, std::nan(""), 4, true).segments, 1);
}

TEST(AxisDivisionTest, DecimalsShowEveryLabel) {
  EXPECT_EQ(axisDecimals({0.0, 250.0, 5}), 0);
  EXPECT_EQ(axisDecimals({3.6, 4.6, 5}), 1);
  EXPECT_EQ(axisDecimals({0.0, 1.0, 4}), 2);  // 0.25
  EXPECT_EQ(axisDecimals({0.0, 0.004, 4}), 3);
  EXPECT_EQ(axisDecimals({1.0, 1.0, 0}), 0);
}

}  // namespace
}  // namespace rc
