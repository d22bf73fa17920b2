#include "analysis/stats/signal_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/numeric/numeric.h"
#include "analysis/numeric/window_kernels.h"

namespace rc {
namespace {

bool usable(double v) { return std::isfinite(v) && v > 0.0; }

// The mode of values whose minimum and maximum differ; nullopt without a
// usable resolution or when the histogram cannot be built.
template <typename T>
std::optional<double> modeOf(std::span<const T> values, double minimum, double maximum, double resolution) {
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

namespace {

// One pass over a window: minimum, maximum and the sums of d and d^2 for
// d = v - v[0] (the same SD formula without the cancellation of large
// offsets, e.g. a channel sitting at 1e6 and varying by 0.001). Eight lanes
// of each keep the dependency chains short; the lane sums are added in long
// double. The sums come out non-finite exactly when some value is.
struct Moments {
  double minimum = 0.0, maximum = 0.0, shift = 0.0;
  long double s1 = 0.0, s2 = 0.0;
  bool finite() const {
    return std::isfinite(static_cast<double>(s1)) && std::isfinite(static_cast<double>(s2));
  }
};

template <typename T>
Moments momentsOf(std::span<const T> values) {
  const std::size_t n = values.size();
  Moments m;
  const double shift = values[0];
  window_kernels::Lanes l;
  for (std::size_t k = 0; k < window_kernels::kLanes; ++k) {
    l.lo[k] = l.hi[k] = shift;
    l.s1[k] = l.s2[k] = 0.0;
  }
  window_kernels::foldMoments(values.data(), n / window_kernels::kLanes, shift, l);
  for (std::size_t i = n - n % window_kernels::kLanes; i < n; ++i) {
    const double v = values[i];
    l.lo[0] = v < l.lo[0] ? v : l.lo[0];
    l.hi[0] = v > l.hi[0] ? v : l.hi[0];
    const double d = v - shift;
    l.s1[0] += d;
    l.s2[0] += d * d;
  }
  m.minimum = *std::min_element(l.lo, l.lo + window_kernels::kLanes);
  m.maximum = *std::max_element(l.hi, l.hi + window_kernels::kLanes);
  if (m.minimum == 0.0 || m.maximum == 0.0) {
    // Which zero (+0 or -0) is the extreme depends on the order it was met in.
    m.minimum = m.maximum = shift;
    for (std::size_t j = 1; j < n; ++j) {
      const double v = values[j];
      m.minimum = std::min(m.minimum, v);
      m.maximum = std::max(m.maximum, v);
    }
  }
  // Lane sums added pairwise in long double.
  long double t1[window_kernels::kLanes], t2[window_kernels::kLanes];
  for (std::size_t k = 0; k < window_kernels::kLanes; ++k) {
    t1[k] = l.s1[k];
    t2[k] = l.s2[k];
  }
  for (std::size_t w = 1; w < window_kernels::kLanes; w *= 2)
    for (std::size_t k = 0; k + w < window_kernels::kLanes; k += 2 * w) {
      t1[k] += t1[k + w];
      t2[k] += t2[k + w];
    }
  m.s1 = t1[0];
  m.s2 = t2[0];
  m.shift = shift;
  return m;
}

template <typename T>
SignalRow describe(std::int32_t signal, std::span<const T> values, const Moments& m, double resolution,
                   double ratePerSecond) {
  SignalRow row;
  row.signal = signal;
  const std::size_t n = values.size();
  const long double count = static_cast<long double>(n);
  const double mean = static_cast<double>(m.shift + m.s1 / count);
  row.minimum = m.minimum;
  row.maximum = m.maximum;
  row.mean = mean;
  if (std::fabs(mean - m.maximum) < 0.0001) {
    row.sd = 0.0;
    row.sdMean = 0.0;
  } else {
    const long double variance = std::max<long double>(0, (m.s2 - m.s1 * m.s1 / count) / (count - 1));
    const double sd = static_cast<double>(std::sqrt(variance));
    row.sd = sd;
    if (mean != 0.0) row.sdMean = sd / mean;
  }
  row.mode = m.minimum == m.maximum ? std::optional<double>(m.minimum)
                                    : modeOf(values, m.minimum, m.maximum, resolution);
  double area = 0.0;
  if (signal >= kSignalSkinConductance1 && ratePerSecond > 0.0 && std::isfinite(ratePerSecond) && n > 1) {
    // Trapezoids: every value counts whole except the two ends, which count half.
    const long double whole = count * m.shift + m.s1;
    const long double ends =
        (static_cast<long double>(values[0]) + static_cast<long double>(values[n - 1])) / 2;
    area = static_cast<double>(whole - ends) / ratePerSecond;
  }
  row.area = area;
  return row;
}

}  // namespace

SignalRow describeValues(std::int32_t signal, std::span<const double> values, double resolution,
                         double ratePerSecond) {
  if (values.empty()) {
    SignalRow row;
    row.signal = signal;
    return row;
  }
  return describe(signal, values, momentsOf(values), resolution, ratePerSecond);
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
                      std::span<const TSessionSegment> rejected, std::int32_t channelId,
                      std::vector<double>& out) {
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

bool rejectsOn(std::span<const TSessionSegment> rejected, std::int32_t channelId) {
  for (const TSessionSegment& r : rejected)
    if (r.channel == channelId) return true;
  return false;
}

// The row of a channel window. A window of finite samples with nothing
// rejected on its channel is described straight from the samples; any
// other is gathered into a buffer first.
SignalRow windowRow(std::int32_t signal, std::span<const float> samples, SampleWindow window, double rate,
                    double resolution, std::span<const TSessionSegment> rejected, std::int32_t channelId) {
  const std::int64_t size = static_cast<std::int64_t>(samples.size());
  if (window.first >= 0 && window.count > 0 && window.first < size && rate > 0.0 &&
      !rejectsOn(rejected, channelId)) {
    const std::span<const float> w =
        samples.subspan(static_cast<std::size_t>(window.first),
                        static_cast<std::size_t>(std::min(window.count, size - window.first)));
    const Moments m = momentsOf(w);
    if (m.finite()) return describe(signal, w, m, resolution, rate);
  }
  thread_local std::vector<double> values;
  fillWindowValues(samples, window, rate, rejected, channelId, values);
  return describeValues(signal, values, resolution, rate);
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
  return windowRow(signal, samples, window, rate, resolution, rejected, channelId);
}

Result<SignalRow> rmsChannelRow(std::int32_t signal, std::span<const float> rms, SampleWindow window,
                                double rmsRate, double resolution, std::span<const TSessionSegment> rejected,
                                std::int32_t channelId) {
  if (window.first < 0 || window.count < 0 ||
      window.first + window.count > static_cast<std::int64_t>(rms.size()))
    return Status::error("Error");
  return windowRow(signal, rms, window, rmsRate, resolution, rejected, channelId);
}

}  // namespace rc
