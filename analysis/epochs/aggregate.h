#pragma once
// Averages of statistics rows: over the cycles of an activity (one epoch row)
// and over the epochs of a step (one step record). Every statistic is
// averaged over the windows in which it is defined; a window without data or
// an undefined value (a ratio with a zero denominator, SDNN of one interval)
// takes no part, and a statistic defined in no window stays undefined. The
// NN count is averaged by integer division.
#include <array>
#include <cstdint>
#include <optional>

#include "analysis/stats/rows.h"

namespace rc {

// Sum and number of the defined values of one statistic.
class MeanAccumulator {
 public:
  void add(const std::optional<double>& v) {
    if (!v) return;
    sum_ += *v;
    ++count_;
  }
  std::optional<double> mean() const {
    if (count_ == 0) return std::nullopt;
    return static_cast<double>(sum_ / count_);
  }
  int count() const { return count_; }

 private:
  long double sum_ = 0.0L;
  int count_ = 0;
};

class HrvAverage {
 public:
  explicit HrvAverage(IbiSource source) : source_(source) {}
  void add(const HrvRow& row);
  // The average row; a row without data when no window held data.
  HrvRow result() const;
  int windows() const { return windows_; }
  IbiSource source() const { return source_; }

 private:
  IbiSource source_;
  std::int64_t nnSum_ = 0;
  int nnWindows_ = 0;
  std::array<MeanAccumulator, 8> values_;  // sdnn, pnn, rmssd, vlf, lf, hf, lfHf, total
  int windows_ = 0;
};

class SignalAverage {
 public:
  explicit SignalAverage(std::int32_t signal) : signal_(signal) {}
  void add(const SignalRow& row);
  SignalRow result() const;
  int windows() const { return windows_; }
  std::int32_t signal() const { return signal_; }

 private:
  std::int32_t signal_;
  std::array<MeanAccumulator, 7> values_;  // minimum, maximum, mean, sd, sdMean, mode, area
  int windows_ = 0;
};

}  // namespace rc
