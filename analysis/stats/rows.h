#pragma once
// Row records of the statistics: one HRV row per window and IBI source, one
// signal row per window and analysed signal. Plain values, rebuilt whole on
// every recomputation by their owner (the review container).
//
// A statistic that is undefined for its window (SDNN or RMSSD of fewer than
// two intervals, a ratio whose denominator is 0, a mode without a usable
// resolution) is std::nullopt: it is shown and exported as the empty-cell
// text and left out of every average. A window without data has every
// statistic nullopt (hasData() is false); its numeric value is 0.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rc {

// The IBI source of an HRV row.
enum class IbiSource : std::int32_t { Ekg = 0, Bvp = 1 };

// Signal indices of the signal table.
inline constexpr std::int32_t kSignalHeartRateEkg = 0;
inline constexpr std::int32_t kSignalSwingEkg = 1;
inline constexpr std::int32_t kSignalHeartRateBvp = 2;
inline constexpr std::int32_t kSignalSwingBvp = 3;
inline constexpr std::int32_t kSignalRespirationRate = 4;
inline constexpr std::int32_t kSignalSkinConductance1 = 5;
inline constexpr std::int32_t kSignalSkinConductance2 = 6;
inline constexpr std::int32_t kSignalTemperature1 = 7;
inline constexpr std::int32_t kSignalTemperature2 = 8;
inline constexpr std::int32_t kSignalFirstEmg = 9;  // and above

// The text of a cell without a value: five blanks and a hyphen.
inline constexpr const char* kEmptyCellText = "     -";

struct HrvRow {
  IbiSource source = IbiSource::Ekg;
  std::optional<std::int32_t> nnCount;  // shortenings d = x[i] - x[i+1] > threshold
  std::optional<double> sdnn;           // ms
  std::optional<double> pnn;            // proportion 0..1: nnCount / number of intervals
  std::optional<double> rmssd;          // ms
  std::optional<double> vlf;            // in the band units of the computation
  std::optional<double> lf;
  std::optional<double> hf;
  std::optional<double> lfHf;   // always from the absolute powers
  std::optional<double> total;  // ms^2, always absolute

  bool hasData() const { return nnCount.has_value(); }
  bool operator==(const HrvRow&) const = default;
};

struct SignalRow {
  std::int32_t signal = 0;  // index of the signal table
  std::optional<double> minimum;
  std::optional<double> maximum;
  std::optional<double> mean;
  std::optional<double> sd;
  std::optional<double> sdMean;
  std::optional<double> mode;
  std::optional<double> area;  // value unit x seconds; 0 for signals 0 to 4

  bool hasData() const { return mean.has_value(); }
  bool operator==(const SignalRow&) const = default;
};

// "%.3f" with the user's decimal separator, or the empty-cell text (also for
// a value that is not a finite number).
std::string cellText(const std::optional<double>& value);
// The same with the given decimal separator (text that must read back anywhere).
std::string cellText(const std::optional<double>& value, char decimal);
// "%d", or the empty-cell text.
std::string cellText(const std::optional<std::int32_t>& value);

// The statistic cells of the HRV table (columns 6 to 14): SDNN, NN count,
// pNN, RMSSD, VLF, LF, HF, LF/HF, total power.
std::vector<std::string> hrvCells(const HrvRow& row);
std::vector<std::string> hrvCells(const HrvRow& row, char decimal);

// The statistic cells of the signal table (columns 6 to 12): minimum,
// maximum, mean, SD, SD/mean, mode, area.
std::vector<std::string> signalCells(const SignalRow& row);
std::vector<std::string> signalCells(const SignalRow& row, char decimal);

}  // namespace rc
