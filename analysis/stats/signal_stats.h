#pragma once
// Descriptive statistics of the other signals of a window: heart rate, heart
// rate swing per breath, respiration rate (derived from interval series), and
// the raw slow channels (skin conductance, temperature) and EMG (raw samples
// or its RMS series).
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/stats/rows.h"
#include "store/session_files.h"
#include "support/status.h"

namespace rc {

// The histogram bin widths of the mode, per kind of signal (the six
// "...Resolution" settings). A width that is not positive gives no mode.
struct SignalResolutions {
  double heartRate = 0.0;  // beats per minute
  double maxMin = 0.0;     // swing per breath, beats per minute
  double respRate = 0.0;   // breaths per minute
  double sc = 0.0;
  double temp = 0.0;
  double emg = 0.0;
  bool operator==(const SignalResolutions&) const = default;
};

// The resolution that applies to a signal index.
double resolutionFor(std::int32_t signal, const SignalResolutions& res);

// Histograms of more bins than this are not built; the mode is then undefined.
inline constexpr double kMaxModeBins = 1.0e6;

// The signal row of a window's values. n = values.size(); no values give a
// row without data. Sums in long double (of v - v[0]): mean = sum / n,
// SD = sqrt((sum v^2 - (sum v)^2 / n) / (n - 1)) clamped at 0, SD/mean
// undefined when the mean is 0; when |mean - maximum| < 0.0001 SD and SD/mean
// are 0. Mode: the common value when all values are equal, else Mode() over
// [minimum, maximum] with ceil(range / resolution) bins (undefined when the
// resolution is not positive or gives more than kMaxModeBins bins). Area, for
// signals 5 and above when ratePerSecond > 0: sum over successive values of
// (v[i-1] + v[i]) / 2 / ratePerSecond; 0 otherwise.
SignalRow describeValues(std::int32_t signal, std::span<const double> values, double resolution,
                         double ratePerSecond);

// 60000 / x for each interval or period x (ms) that is positive and finite:
// heart rate from IBIs, respiration rate from breath periods (per minute).
std::vector<double> ratesPerMinute(std::span<const float> intervalsMs);

// Heart-rate swing per breath. The window's intervals start at
// intervalsStart (s); the respiration periods (ms) start at periodsStart (s)
// on the same axis and mark the breath boundaries. Walking the intervals with
// a running time, the minimum and maximum heart rate since the last boundary
// are tracked; when the running time passes the next boundary, maximum -
// minimum is taken, the boundary advances by the next period and the
// tracking restarts from the current heart rate. Breaths ending at or before
// intervalsStart are passed over first; non-positive or non-finite intervals
// and periods are skipped; when the periods run out no further values come.
std::vector<double> swingPerBreath(std::span<const float> intervals, double intervalsStart,
                                   std::span<const float> periods, double periodsStart);

// A window of a sampled channel: first sample index and number of samples.
struct SampleWindow {
  std::int64_t first = 0;
  std::int64_t count = 0;
  bool operator==(const SampleWindow&) const = default;
};

// Raw channel at `rate` samples per second: epoch k covers samples
// k*rate*E .. (k+1)*rate*E - 1 (64-bit).
SampleWindow rawEpochWindow(std::int64_t epoch, double rate, std::int32_t epochSeconds);

// RMS series at `rmsRate` values per second (channel rate / averaging
// factor): epoch k starts at round(k*E*rmsRate) and holds round(E*rmsRate).
SampleWindow rmsEpochWindow(std::int64_t epoch, double rmsRate, std::int32_t epochSeconds);

// The values of `window` in a channel buffer of `samples` (the buffer's fill
// count): the window is clipped to the buffer; non-finite samples and samples
// whose time (window start + i / rate, window start = first / rate) lies in
// a rejected stretch [start, end] of channelId are skipped. The stretches may
// stand in any order and overlap.
std::vector<double> channelWindowValues(std::span<const float> samples, SampleWindow window, double rate,
                                        std::span<const TSessionSegment> rejected, std::int32_t channelId);

// The row of a raw channel window (signals 5 to 8, and EMG without RMS series).
SignalRow rawChannelRow(std::int32_t signal, std::span<const float> samples, SampleWindow window, double rate,
                        double resolution, std::span<const TSessionSegment> rejected, std::int32_t channelId);

// The row of an EMG window taken from its RMS series. Fails with the message
// "Error" when the window needs more values than the series holds.
Result<SignalRow> rmsChannelRow(std::int32_t signal, std::span<const float> rms, SampleWindow window,
                                double rmsRate, double resolution, std::span<const TSessionSegment> rejected,
                                std::int32_t channelId);

}  // namespace rc
