#pragma once
// The data of the epoch viewer after a statistics run: for each heart signal
// its interval series and, in an open session, its evenly resampled series
// with every epoch mean-removed and windowed in place (as the statistics take
// it); for a scripted session the list of step epochs and those the 3D
// viewer may show. From it come the charts of any epoch and the 61 spectra
// of the 3D viewer.
//
// The series and the protocol belong to the loaded session; the data keeps
// pointers to them and must be filled again (or cleared) before they change.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "analysis/epochs/resample.h"
#include "views/epochview/epoch_plots.h"
#include "views/epochview/waterfall.h"

namespace rc {

struct AnalysisSession;

inline constexpr int kStepNotFoundId = 366;  // the epoch's step is not in the script

// One epoch of one step and cycle of a scripted session.
struct StepEpoch {
  std::int32_t activity = 0;
  std::int32_t step = 0;
  std::int32_t cycle = 0;         // 1-based
  std::int32_t epoch = 0;         // 1-based within the step
  std::int64_t epochsInStep = 0;  // complete epochs of the step
  std::size_t segment = 0;        // the activity's segment of the series
  std::string activityLabel;
  std::string stepLabel;
  double cycleStart = 0.0;  // s, the step's start in this cycle
  bool operator==(const StepEpoch&) const = default;
};

// What the three charts show for one epoch.
struct EpochCharts {
  TachogramPlot tachogram;
  PoincarePlot poincare;
  std::optional<PoincareSd> sd;
  std::optional<EpochSpectrum> spectrum;  // nullopt: not drawn
  double epochStart = 0.0;                // s, the left edge of the time window
};

class EpochViewData {
 public:
  // Takes what the viewer needs from the session and the statistics of the
  // last run (epochSeconds is the length they were computed with).
  void fill(const AnalysisSession& session, const EpochResults& results, std::int32_t epochSeconds);
  // The same from the parts (tests, the 3D benchmark); a series may be null.
  void fill(const IntervalSeries* ekg, const IntervalSeries* bvp, const ScriptProtocol* protocol,
            const EpochResults& results, std::int32_t epochSeconds);
  void clear();

  bool scripted() const { return protocol_ != nullptr; }
  std::int32_t epochSeconds() const { return epochSeconds_; }
  const SpectralGrid& grid() const { return grid_; }
  bool hasSignal(int signal) const { return signal >= 0 && signal < 2 && signals_[signal].series; }
  // Open session: 1 .. epochCount(); scripted: indexes into stepEpochs().
  std::int64_t epochCount() const { return scripted() ? static_cast<std::int64_t>(steps_.size()) : epochs_; }
  const std::vector<StepEpoch>& stepEpochs() const { return steps_; }
  // The step epochs with at least one epoch length of data before them
  // (indexes into stepEpochs()): epoch or cycle above 1, or the step starting
  // more than E seconds after its segment's first beat.
  const std::vector<std::size_t>& stepEpochs3D() const { return steps3D_; }

  // Scripted: the start of a step epoch, or nullopt when its step is not in
  // the script or starts before 0 (the caller shows string 366).
  // The start is the statistics' own: the cycle's step start + (epoch - 1) E,
  // kept from the signal's first beat in its segment.
  std::optional<double> stepEpochStart(int signal, std::size_t index) const;

  // The charts of an epoch (open: number from 1; scripted: step-epoch
  // index); nullopt for a scripted epoch whose step is not found. A signal
  // that was not recorded gives empty charts.
  std::optional<EpochCharts> charts(int signal, std::int64_t position) const;

  // The 61 spectra of the 3D viewer for an epoch: open sessions from epoch 2
  // (position 2 .. max(2, epochCount())), scripted sessions over the
  // qualifying step epochs (position 1 .. stepEpochs3D().size()). nullopt
  // when the signal was not recorded, the step is not found or a buffer
  // could not be had (the drawing is skipped).
  std::optional<Spectra3D> spectra3D(int signal, std::int64_t position) const;

  // Scripted: the 2n samples of a step epoch held by sample and hold from
  // one epoch before its start, within its segment.
  std::vector<double> heldSamples(int signal, std::size_t index) const;

 private:
  struct Signal {
    const IntervalSeries* series = nullptr;
    std::vector<double> prepared;  // open
    std::int64_t epochs = 0;       // open: epochs held by prepared
    std::vector<double> ends;      // scripted
    SegmentIndex index;            // scripted
  };
  std::span<const float> segmentValues(const Signal& s, std::size_t segment) const;

  static inline const ScriptProtocol kNoProtocol_{};  // a scripted session without its script
  const ScriptProtocol* protocol_ = nullptr;
  std::int32_t epochSeconds_ = 60;
  SpectralGrid grid_ = spectralGrid(60);
  std::int64_t epochs_ = 0;
  std::array<Signal, 2> signals_;
  std::vector<StepEpoch> steps_;
  std::vector<std::size_t> steps3D_;
};

}  // namespace rc
