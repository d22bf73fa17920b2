#pragma once
// Internal pieces of the epoch computation shared by the open and the
// scripted session paths (not part of the public interface).
#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <vector>

#include "analysis/epochs/epochs.h"

namespace rc::epochs_detail {

// One analysed IBI source with its time axis (recording seconds).
struct Source {
  IbiSource id;
  const IntervalSeries* series;
  std::vector<double> ends;
};

// Breath periods with their end times, for the respiration rate and the swing.
struct Breaths {
  const IntervalSeries* series = nullptr;
  std::vector<double> ends;

  // Periods ending in (t0, t1].
  std::span<const float> ending(double t0, double t1) const {
    if (!series) return {};
    auto b = std::upper_bound(ends.begin(), ends.end(), t0) - ends.begin();
    auto e = std::upper_bound(ends.begin(), ends.end(), t1) - ends.begin();
    if (e <= b) return {};
    return std::span<const float>(series->values)
        .subspan(static_cast<std::size_t>(b), static_cast<std::size_t>(e - b));
  }
  // The breaths from the first one ending after t, with the start of that breath.
  std::pair<std::span<const float>, double> from(double t) const {
    if (!series) return {{}, 0.0};
    auto b = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), t) - ends.begin());
    if (b >= ends.size()) return {{}, 0.0};
    const float v = series->values[b];
    const double start = ends[b] - (std::isfinite(v) ? v / 1000.0 : 0.0);
    return {std::span<const float>(series->values).subspan(b), start};
  }
};

inline std::int32_t heartRateSignal(IbiSource s) {
  return s == IbiSource::Ekg ? kSignalHeartRateEkg : kSignalHeartRateBvp;
}
inline std::int32_t swingSignal(IbiSource s) {
  return s == IbiSource::Ekg ? kSignalSwingEkg : kSignalSwingBvp;
}

// The statistics of one window, before any averaging.
struct WindowRows {
  std::vector<HrvRow> hrv;
  std::vector<SignalRow> signals;
};

class Calculator {
 public:
  Calculator(const EpochInputs& in, std::vector<Source>& sources, UserInterface& ui)
      : in_(in), sources_(sources), ui_(ui), grid_(spectralGrid(in.epochSeconds)) {
    // Open sessions walk their intervals epoch by epoch and need no end times.
    if (!in.openSession)
      for (Source& s : sources_) s.ends = intervalEndTimes(*s.series);
    if (in.resp) {
      breaths_.series = in.resp;
      breaths_.ends = intervalEndTimes(*in.resp);
    }
  }

  const SpectralGrid& grid() const { return grid_; }
  std::int64_t emptyWindows() const { return empty_; }
  std::int64_t missingRows() const { return missingRows_; }

  // Signal rows of a window: heart rate and swing per source (from its
  // intervals starting at intervalStarts[j]), respiration over
  // [t0, t0 + E), the channels over their sample windows.
  void addSignals(WindowRows& rows, const std::vector<std::span<const float>>& intervals,
                  const std::vector<double>& intervalStarts, double t0,
                  const std::function<SampleWindow(const ChannelSignalInput&, bool rms)>& window) {
    const SignalResolutions& res = in_.resolutions;
    for (std::size_t j = 0; j < sources_.size(); ++j) {
      const std::vector<double> hr = ratesPerMinute(intervals[j]);
      rows.signals.push_back(describeValues(heartRateSignal(sources_[j].id), hr, res.heartRate, 0.0));
      if (breaths_.series) {
        auto [periods, periodsStart] = breaths_.from(intervalStarts[j]);
        const std::vector<double> swing =
            swingPerBreath(intervals[j], intervalStarts[j], periods, periodsStart);
        rows.signals.push_back(describeValues(swingSignal(sources_[j].id), swing, res.maxMin, 0.0));
      }
    }
    if (breaths_.series) {
      const std::vector<double> rr = ratesPerMinute(breaths_.ending(t0, t0 + in_.epochSeconds));
      rows.signals.push_back(describeValues(kSignalRespirationRate, rr, res.respRate, 0.0));
    }
    for (const ChannelSignalInput& c : in_.channels) {
      const double resolution = resolutionFor(c.signal, res);
      if (c.rms) {
        auto row = rmsChannelRow(c.signal, c.rms->values, window(c, true), c.rmsRate, resolution,
                                 in_.rejected, c.channelId);
        if (row.isOk()) {
          rows.signals.push_back(*row);
        } else {
          ++missingRows_;
          if (!rmsErrorShown_) {
            rmsErrorShown_ = true;
            ui_.showMessage(MessageBuilder().text(row.status().message()), Icon::Warning);
          }
        }
      } else {
        rows.signals.push_back(rawChannelRow(c.signal, c.samples, window(c, false), c.rate, resolution,
                                             in_.rejected, c.channelId));
      }
    }
  }

  HrvRow hrvRow(IbiSource id, std::span<const float> intervals, std::span<const double> resampled) {
    HrvRow row = computeHrvRow(id, intervals, resampled, grid_, in_.hrv);
    if (!row.hasData()) ++empty_;
    return row;
  }

 private:
  const EpochInputs& in_;
  std::vector<Source>& sources_;
  UserInterface& ui_;
  SpectralGrid grid_;
  Breaths breaths_;
  std::int64_t empty_ = 0;
  bool rmsErrorShown_ = false;
  std::int64_t missingRows_ = 0;
};

void computeMeanSdnn(EpochResults& out);
void noEpoch(EpochResults& out, UserInterface& ui);
std::vector<Source> analysedSources(const EpochInputs& in, bool& missing);
int recomputeScripted(const EpochInputs& in, std::vector<Source>& sources, EpochResults& out,
                      UserInterface& ui);

}  // namespace rc::epochs_detail
