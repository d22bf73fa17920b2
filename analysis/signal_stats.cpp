#include "analysis/signal_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/numeric.h"

namespace rc {
namespace {

bool usable(double v) { return std::isfinite(v) && v > 0.0; }

// The mode of values whose minimum and maximum differ; nullopt without a
// usable resolution or when the histogram cannot be built.
std::optional<double> modeOf(std::span<const double> values, double minimum, double maximum,
                             double resolution) {
  if (!std::isfinite(resolution) || resolution <= 0.0) return std::nullopt;
  if (values.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  const double q = (maximum - minimum) / resolution;
  if (!std::isfinite(q) || q > kMaxModeBins) return std::nullopt;
  double bins = std::trunc(q);
  if (bins != q) bins += 1.0;
  if (bins < 1.0) return std::nullopt;
  double mode = 0.0;
  if (Mode(values.data(), static_cast<std::int32_t>(values.size()), minimum, maximum,
           static_cast<std::int32_t>(bins), &mode) != kNumericOk)
    return std::nullopt;
  return mode;
}

// Rejected stretches of one channel with finite, ordered ends, sorted by start.
std::vector<TSessionSegment> stretchesOf(std::span<const TSessionSegment> rejected, std::int32_t channelId) {
  std::vector<TSessionSegment> out;
  for (const TSessionSegment& s : rejected) {
    if (s.channel != channelId || !std::isfinite(s.start) || !std::isfinite(s.end)) continue;
    out.push_back({std::min(s.start, s.end), std::max(s.start, s.end), s.channel});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const TSessionSegment& a, const TSessionSegment& b) { return a.start < b.start; });
  return out;
}

}  // namespace

double resolutionFor(std::int32_t signal, const SignalResolutions& res) {
  switch (signal) {
    case kSignalHeartRateEkg:
    case kSignalHeartRateBvp:
      return res.heartRate;
    case kSignalSwingEkg:
    case kSignalSwingBvp:
      return res.maxMin;
    case kSignalRespirationRate:
      return res.respRate;
    case kSignalSkinConductance1:
    case kSignalSkinConductance2:
      return res.sc;
    case kSignalTemperature1:
    case kSignalTemperature2:
      return res.temp;
    default:
      return signal >= kSignalFirstEmg ? res.emg : 0.0;
  }
}

SignalRow describeValues(std::int32_t signal, std::span<const double> values, double resolution,
                         double ratePerSecond) {
  SignalRow row;
  row.signal = signal;
  if (values.empty()) return row;
  const std::size_t n = values.size();
  double minimum = values[0], maximum = values[0];
  // The sums run over v - v[0]: the same SD formula, without the cancellation
  // of large offsets (a channel sitting at 1e6 varying by 0.001). Four
  // running sums in double keep long channels fast and exact enough.
  const double shift = values[0];
  double a1[4] = {0, 0, 0, 0}, a2[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (std::size_t k = 0; k < 4; ++k) {
      const double v = values[i + k];
      minimum = std::min(minimum, v);
      maximum = std::max(maximum, v);
      const double d = v - shift;
      a1[k] += d;
      a2[k] += d * d;
    }
  }
  for (; i < n; ++i) {
    const double v = values[i];
    minimum = std::min(minimum, v);
    maximum = std::max(maximum, v);
    const double d = v - shift;
    a1[0] += d;
    a2[0] += d * d;
  }
  const long double s1 = (static_cast<long double>(a1[0]) + a1[1]) + (static_cast<long double>(a1[2]) + a1[3]);
  const long double s2 = (static_cast<long double>(a2[0]) + a2[1]) + (static_cast<long double>(a2[2]) + a2[3]);
  const long double count = static_cast<long double>(n);
  const double mean = static_cast<double>(shift + s1 / count);
  row.minimum = minimum;
  row.maximum = maximum;
  row.mean = mean;
  if (std::fabs(mean - maximum) < 0.0001) {
    row.sd = 0.0;
    row.sdMean = 0.0;
  } else {
    const long double variance = std::max<long double>(0, (s2 - s1 * s1 / count) / (count - 1));
    const double sd = static_cast<double>(std::sqrt(variance));
    row.sd = sd;
    if (mean != 0.0) row.sdMean = sd / mean;
  }
  row.mode =
      minimum == maximum ? std::optional<double>(minimum) : modeOf(values, minimum, maximum, resolution);
  double area = 0.0;
  if (signal >= kSignalSkinConductance1 && ratePerSecond > 0.0 && std::isfinite(ratePerSecond)) {
    // Trapezoids: every inner sample counts whole, the two ends half.
    double inner[2] = {0, 0};
    std::size_t j = 1;
    for (; j + 2 < n; j += 2) {
      inner[0] += values[j];
      inner[1] += values[j + 1];
    }
    for (; j + 1 < n; ++j) inner[0] += values[j];
    const double sum = n > 1 ? inner[0] + inner[1] + (values[0] + values[n - 1]) / 2 : 0.0;
    area = sum / ratePerSecond;
  }
  row.area = area;
  return row;
}

std::vector<double> ratesPerMinute(std::span<const float> intervalsMs) {
  std::vector<double> out;
  out.reserve(intervalsMs.size());
  for (float x : intervalsMs)
    if (usable(x)) out.push_back(60000.0 / x);
  return out;
}

std::vector<double> swingPerBreath(std::span<const float> intervals, double intervalsStart,
                                   std::span<const float> periods, double periodsStart) {
  std::vector<double> out;
  std::size_t next = 0;
  double boundary = periodsStart;
  // Advances the boundary by the next usable period; false when none is left.
  auto advance = [&]() {
    while (next < periods.size()) {
      const double p = periods[next++];
      if (usable(p)) {
        boundary += p / 1000.0;
        return true;
      }
    }
    return false;
  };
  bool haveBoundary = advance();
  while (haveBoundary && boundary <= intervalsStart) haveBoundary = advance();

  double t = intervalsStart;
  bool tracking = false;
  double lo = 0.0, hi = 0.0;
  for (float x : intervals) {
    if (!usable(x)) continue;
    t += x / 1000.0;
    const double hr = 60000.0 / x;
    if (!tracking) {
      lo = hi = hr;
      tracking = true;
    } else {
      lo = std::min(lo, hr);
      hi = std::max(hi, hr);
    }
    if (haveBoundary && t > boundary) {
      out.push_back(hi - lo);
      haveBoundary = advance();
      lo = hi = hr;
    }
  }
  return out;
}

SampleWindow rawEpochWindow(std::int64_t epoch, double rate, std::int32_t epochSeconds) {
  const double perEpoch = rate * epochSeconds;
  const auto first = static_cast<std::int64_t>(static_cast<double>(epoch) * perEpoch);
  const auto end = static_cast<std::int64_t>(static_cast<double>(epoch + 1) * perEpoch);
  return {first, end - first};
}

SampleWindow rmsEpochWindow(std::int64_t epoch, double rmsRate, std::int32_t epochSeconds) {
  return {std::llround(static_cast<double>(epoch) * epochSeconds * rmsRate),
          std::llround(epochSeconds * rmsRate)};
}

namespace {
// Fills out with the window's usable values (see channelWindowValues); out is
// a buffer the caller reuses from window to window.
void fillWindowValues(std::span<const float> samples, SampleWindow window, double rate,
                      std::span<const TSessionSegment> rejected, std::int32_t channelId, std::vector<double>& out) {
  out.clear();
  const std::int64_t size = static_cast<std::int64_t>(samples.size());
  if (window.first < 0 || window.count <= 0 || window.first >= size || !(rate > 0.0)) return;
  const std::int64_t count = std::min(window.count, size - window.first);
  const std::vector<TSessionSegment> stretches = stretchesOf(rejected, channelId);
  const double windowStart = static_cast<double>(window.first) / rate;
  if (stretches.empty()) {
    // Nothing rejected on this channel: a branch-free copy that drops non-finite samples.
    if (out.size() < static_cast<std::size_t>(count)) out.resize(static_cast<std::size_t>(count));
    const float* src = samples.data() + window.first;
    std::size_t kept = 0;
    for (std::int64_t i = 0; i < count; ++i) {
      const double v = src[i];
      out[kept] = v;
      kept += std::isfinite(v) ? 1 : 0;
    }
    out.resize(kept);
    return;
  }
  out.reserve(static_cast<std::size_t>(count));
  std::size_t s = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const double v = samples[static_cast<std::size_t>(window.first + i)];
    if (!std::isfinite(v)) continue;
    if (s < stretches.size()) {
      const double t = windowStart + static_cast<double>(i) / rate;
      while (s < stretches.size() && stretches[s].end < t) ++s;
      if (s < stretches.size() && stretches[s].start <= t) continue;
    }
    out.push_back(v);
  }
}
}  // namespace

std::vector<double> channelWindowValues(std::span<const float> samples, SampleWindow window, double rate,
                                        std::span<const TSessionSegment> rejected, std::int32_t channelId) {
  std::vector<double> out;
  fillWindowValues(samples, window, rate, rejected, channelId, out);
  return out;
}

SignalRow rawChannelRow(std::int32_t signal, std::span<const float> samples, SampleWindow window, double rate,
                        double resolution, std::span<const TSessionSegment> rejected,
                        std::int32_t channelId) {
  thread_local std::vector<double> values;
  fillWindowValues(samples, window, rate, rejected, channelId, values);
  return describeValues(signal, values, resolution, rate);
}

Result<SignalRow> rmsChannelRow(std::int32_t signal, std::span<const float> rms, SampleWindow window,
                                double rmsRate, double resolution, std::span<const TSessionSegment> rejected,
                                std::int32_t channelId) {
  if (window.first < 0 || window.count < 0 ||
      window.first + window.count > static_cast<std::int64_t>(rms.size()))
    return Status::error("Error");
  thread_local std::vector<double> values;
  fillWindowValues(rms, window, rmsRate, rejected, channelId, values);
  return describeValues(signal, values, resolution, rmsRate);
}

}  // namespace rc
