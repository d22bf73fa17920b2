#pragma once
// The automatic correction of an IBI series: intervals too far from the mode
// of their window are merged with their neighbours or cut into equal parts,
// and every corrected range is offered to the periodic segment list.
//
// The pass works on copies: the caller's series and segment list change only
// when the caller takes the result (runAutoEdit does so after the user's
// choice), so every other ending leaves them as they were.
#include <cstdint>
#include <filesystem>
#include <limits>

#include "analysis/protocol/protocol.h"
#include "analysis/series/series.h"
#include "editors/periodic/segments.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kEmptySeriesId = 184;
inline constexpr int kChoiceLabelId = 442;
inline constexpr int kNewMarksId = 443;
inline constexpr int kAutoEditCaptionId = 444;
inline constexpr int kStoreIntervalsId = 445;
inline constexpr int kStoreIntervalsAndMarksId = 446;
inline constexpr int kAutoEditMaxBins = 85;    // bins of 100 ms in one window
inline constexpr int kMaxMarksPerRun = 199;

struct AutoEditInput {
  const IntervalSeries* series = nullptr;
  bool openSession = true;
  const ScriptProtocol* protocol = nullptr;  // a scripted session's windows
  double variation = 20.0;                   // % of the mode, 10 to 100
  std::int32_t sourceChannel = 0;
  double sessionDuration = std::numeric_limits<double>::infinity();  // s, bounds the marks
};

enum class AutoEditStatus {
  Empty,         // no interval (message 184)
  TooIrregular,  // a window spans more than 85 bins (message 135 / 134)
  TooManyMarks,  // more than 199 marks in the run (message 135 / 134)
  Unchanged,     // nothing to correct
  Corrected,
};

struct AutoEditResult {
  AutoEditStatus status = AutoEditStatus::Unchanged;
  IntervalSeries corrected;      // the series after the pass (records' counts in step)
  PeriodicSegmentList segments;  // the list after the offers
  int corrections = 0;           // marks offered and accepted (merged or inserted)
  int marksAdded = 0;            // new segments in the list
  int changedIntervals = 0;      // input intervals consumed by a correction
  bool listFull = false;         // an offer was refused because the list was full
};

// The pass over the series, offering marks to a copy of segments.
AutoEditResult autoEditSeries(const AutoEditInput& input, const PeriodicSegmentList& segments);

// n for a sum s and mode M: s / M truncated, or one more when that gives a
// part strictly closer to M; at least 1.
int equalParts(double s, double m);

// The interactive command over a session's signal.
struct AutoEditTarget {
  AutoEditInput input;
  IntervalSeries* series = nullptr;          // replaced on OK
  PeriodicSegmentList* segments = nullptr;   // replaced on OK with the second option
  std::filesystem::path seriesFile;          // written on OK
  std::filesystem::path segmentsFile;        // written with the second option
  int detectionType = 0;                     // 0 Basic, 1 Advanced
};

enum class AutoEditOutcome { NotRun, NothingToCorrect, Cancelled, StoredIntervals, StoredIntervalsAndMarks };

// Runs the pass and ends it with the user: message 184, 135 / 134, or 443
// with 0 when nothing was corrected; otherwise the choice dialog (443 with
// the number of new marks): Cancel leaves everything as it was, OK stores the
// corrected series (and, with the second option, the marks) in memory and in
// their files.
AutoEditOutcome runAutoEdit(const AutoEditTarget& target, UserInterface& ui);

}  // namespace rc
