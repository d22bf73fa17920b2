#pragma once
// Epochs of a loaded session and the statistics rows computed over them.
//
// An open session is cut into consecutive epochs of E seconds on the axis
// that starts at the first beat; a scripted session is cut within the steps
// of its protocol, and its rows are averaged over the cycles of an activity
// and gathered into one record per step. Recompute rebuilds every row.
//
// Times are seconds; interval values milliseconds. Running times are summed
// in double.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/stats/hrv_stats.h"
#include "analysis/protocol/protocol.h"
#include "analysis/stats/rows.h"
#include "analysis/series/series.h"
#include "analysis/stats/signal_stats.h"
#include "store/session_files.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kNoEpochId = 283;  // warning: no complete epoch fits

// Recompute results.
inline constexpr int kRecomputeOk = 0;
inline constexpr int kRecomputeNoEpoch = 1;
inline constexpr int kRecomputeNoSeries = 2;  // also: a protocol step without its duration

// Bounds on what a damaged series or protocol can ask for: epochs of one
// series or step (about 69 days of 60-second epochs), and epoch entries of a
// scripted session.
inline constexpr std::int64_t kMaxEpochs = 100000;
inline constexpr std::size_t kMaxEpochEntries = 1000000;

// A run of consecutive intervals of a series.
struct IntervalSpan {
  std::size_t first = 0;
  std::size_t count = 0;
  double firstStart = 0.0;  // s, the start of the first interval on the series' own axis
  bool operator==(const IntervalSpan&) const = default;
};

// Open session: complete epochs of a series, floor(sum of intervals in ms /
// (E x 1000)), summed in double; at most kMaxEpochs.
std::int64_t openEpochCount(std::span<const float> intervals, std::int32_t epochSeconds);

// Open session: the intervals of epochs 0 .. epochs-1. Epoch k closes at the
// first interval whose running end reaches or passes (k + 1) x E seconds
// (or at the last interval). An interval ending exactly on the boundary is
// the last of its epoch; one that passes it is also the first of the next.
std::vector<IntervalSpan> openEpochSpans(std::span<const float> intervals, std::int64_t epochs,
                                         std::int32_t epochSeconds);

// The values of each segment of a series: segment s covers values
// [first[s], first[s] + count[s]), clipped to the values held; segments
// beyond the table are empty.
struct SegmentIndex {
  std::vector<std::size_t> first;
  std::vector<std::size_t> count;
  std::size_t size() const { return first.size(); }
  IntervalSpan span(std::size_t s) const;
};
SegmentIndex segmentIndex(const IntervalSeries& series, std::size_t segments);

// Scripted session: one entry per analysed step of an analysed activity.
struct StepEntry {
  std::int32_t activity = 0;
  std::int32_t step = 0;
  std::size_t segment = 0;  // index of the activity in the protocol
  double start = 0.0;       // s, start of the step in the first cycle
  std::int64_t epochs = 0;  // complete epochs
  bool operator==(const StepEntry&) const = default;
};

// The complete epochs of each analysed step, determined over the first cycle
// of its activity from the intervals of the activity's segment. A step's
// count is the smaller of the given series' counts.
std::vector<StepEntry> stepEpochs(const ScriptProtocol& protocol,
                                  std::span<const IntervalSeries* const> series, std::int32_t epochSeconds);

// Scripted session: one entry per activity, cycle, step and epoch.
struct EpochEntry {
  std::int32_t activity = 0;
  std::int32_t step = 0;
  std::int32_t cycle = 0;  // 1-based
  std::int32_t epoch = 0;  // 1-based within the step
  std::size_t segment = 0;
  double cycleStart = 0.0;  // s, the step's start in this cycle
  std::string activityLabel;
  std::string stepLabel;
  bool operator==(const EpochEntry&) const = default;
};
std::vector<EpochEntry> scriptedEpochEntries(const ScriptProtocol& protocol,
                                             const std::vector<StepEntry>& steps);

// The start of an epoch: cycleStart + (epoch - 1) x E, but when that lies
// before the segment's first beat, the first beat + (epoch - 1) x E.
double scriptedEpochStart(double cycleStart, std::int32_t epoch, std::int32_t epochSeconds, double firstBeat);

// The intervals a scripted epoch starting at t0 takes from a segment: the
// interval in progress at t0 and those that follow, up to the one that covers
// the last sample t0 + (n - 1) dt, never past the segment's last. ends are the
// end times of every interval of the series (intervalEndTimes). Empty when
// the segment holds no interval or none is in progress at or after t0.
struct EpochIntervals {
  std::span<const float> intervals;
  std::size_t first = 0;    // index of the first interval in the series
  double firstStart = 0.0;  // s, start of the first interval
  std::optional<float> before;  // the interval before it within the segment
};
EpochIntervals scriptedEpochIntervals(const IntervalSeries& series, std::span<const double> ends,
                                      const SegmentIndex& idx, std::size_t segment, double t0,
                                      const SpectralGrid& grid);

// The first beat of a segment that holds intervals (0 otherwise), the lower
// bound of its epochs' starts.
double scriptedFirstBeat(const IntervalSeries& series, const SegmentIndex& idx, std::size_t segment);

// A raw channel or EMG signal of the signal table.
struct ChannelSignalInput {
  std::int32_t signal = 0;         // 5, 6 SC; 7, 8 temperature; 9 and above EMG
  std::int32_t channelId = 0;      // host channel number, for the rejected stretches
  std::span<const float> samples;  // the buffer's filled samples
  double rate = 0.0;               // samples per second
  const RmsSeries* rms = nullptr;  // EMG analysed through its RMS series
  double rmsRate = 0.0;            // RMS values per second
};

struct EpochInputs {
  bool openSession = true;
  std::int32_t epochSeconds = 60;
  int ibiSource = 3;                    // "Setting1": 1 BVP, 2 EKG, 3 both
  const IntervalSeries* ekg = nullptr;  // nullptr: not available
  const IntervalSeries* bvp = nullptr;
  const IntervalSeries* resp = nullptr;
  std::vector<ChannelSignalInput> channels;
  std::span<const TSessionSegment> rejected;  // empty when rejections are not used
  HrvSettings hrv;
  SignalResolutions resolutions;
  const ScriptProtocol* protocol = nullptr;  // required for a scripted session
};

// The identification columns of a table row.
struct RowId {
  std::int32_t activity = 0;  // 0 in an open session
  std::int32_t step = 0;
  // Epoch number: within the step, or from 1 in an open session; for a step
  // record the number of epochs it averages.
  std::int32_t epoch = 0;
  std::string activityLabel;
  std::string stepLabel;
  bool operator==(const RowId&) const = default;
};

struct HrvTableRow {
  RowId id;
  HrvRow row;
  bool operator==(const HrvTableRow&) const = default;
};

struct SignalTableRow {
  RowId id;
  SignalRow row;
  bool operator==(const SignalTableRow&) const = default;
};

struct EpochResults {
  std::int64_t epochCount = 0;       // open: K; scripted: epoch entries of all cycles
  std::vector<StepEntry> steps;      // scripted
  std::vector<EpochEntry> entries;   // scripted
  std::vector<HrvTableRow> hrvRows;  // epoch rows (scripted: averaged over cycles)
  std::vector<SignalTableRow> signalRows;
  std::vector<HrvTableRow> hrvStepRows;  // scripted: one per step and source
  std::vector<SignalTableRow> signalStepRows;
  std::int64_t emptyWindows = 0;      // windows without data
  std::optional<double> meanSdnn[2];  // per IbiSource, over the epoch rows that have one

  // The rows the tables show for a "StatisticOption" (1 = step records of a
  // scripted session); switching needs no recomputation.
  const std::vector<HrvTableRow>& hrvTable(bool scripted, int statisticOption) const {
    return scripted && statisticOption == 1 ? hrvStepRows : hrvRows;
  }
  const std::vector<SignalTableRow>& signalTable(bool scripted, int statisticOption) const {
    return scripted && statisticOption == 1 ? signalStepRows : signalRows;
  }
};

// The number of epochs the session holds at inputs.epochSeconds, without
// computing statistics; -1 when a selected IBI series is missing.
std::int64_t countEpochs(const EpochInputs& inputs);

// Rebuilds `out` whole. Returns kRecomputeOk; kRecomputeNoEpoch after the
// warning of string 283 when no epoch exists (out then holds no rows); or
// kRecomputeNoSeries when a selected IBI series is missing, or after the
// error message 356 when a step of an analysed activity of the protocol has
// no duration record (out then holds no rows). An EMG window that
// needs more RMS values than the series holds shows "Error" once and gives no
// row.
int recomputeEpochs(const EpochInputs& inputs, EpochResults& out, UserInterface& ui);

}  // namespace rc
