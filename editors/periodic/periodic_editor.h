#pragma once
// The periodic editor of one IBI signal of a loaded session, without a
// window: the listed stretch of the series (the whole series, or one session
// segment of a scripted session), the time frame and its navigation, the
// edit list over the rows, Save with its write-back into the series and the
// series file, the segment list and its file, and the cursor time.
//
// The editor keeps pointers to what the caller owns (the series, protocol and
// epoch entries); they must outlive it or be given again by load().
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "analysis/protocol/protocol.h"
#include "analysis/series/series.h"
#include "editors/periodic/edit_model.h"
#include "editors/periodic/segments.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kResolvePendingId = 249;
inline constexpr int kUndoSegmentQuestionId = 306;
inline constexpr int kUndoAllSegmentsQuestionId = 305;
inline constexpr int kEpochWithoutStepId = 366;

enum class TimeFrame : int { Epoch = 0, Step = 1, Activity = 2, Session = 3 };

struct PeriodicSource {
  IntervalSeries* series = nullptr;
  bool openSession = true;
  SeriesKind kind = SeriesKind::IbiFromEkg;
  std::int32_t sourceChannel = 0;      // host channel number of the signal
  std::filesystem::path seriesFile;    // the series' file, written at Save
  std::filesystem::path sessionFolder; // holds "HRV_PSegments.dat"
  double sessionDuration = 0.0;        // s
  int detectionType = 0;               // 0 Basic, 1 Advanced (the limit messages)
  std::int32_t epochSeconds = 60;
  const ScriptProtocol* protocol = nullptr;  // scripted session
  const EpochResults* epochs = nullptr;      // scripted: the epoch entries
  char decimal = '.';                        // the row times' separator
};

// The chart window of the current stretch and the labels of the navigation fields.
struct PeriodicWindow {
  double start = 0.0;  // s
  double end = 0.0;
  std::string description;  // scripted: the window's labels
  std::string cycleText;    // "%d", Epoch and Step frames
  std::string epochText;    // Epoch frame (open session: the epoch number)
};

class PeriodicEditor {
 public:
  // Takes the series, reads the segment file (replacing the list) and shows
  // the first stretch of the current time frame.
  void load(const PeriodicSource& source, UserInterface& ui);
  bool loaded() const { return src_.series != nullptr; }
  const PeriodicSource& source() const { return src_; }

  PeriodicEditModel& model() { return model_; }
  const PeriodicEditModel& model() const { return model_; }
  PeriodicSegmentList& segments() { return segments_; }
  const PeriodicSegmentList& segments() const { return segments_; }
  std::filesystem::path segmentsFile() const { return periodicSegmentsPath(src_.sessionFolder); }

  // The commands (the selection in ascending row order). Split uses the
  // cursor time; in a scripted session outside the Session frame the cursor
  // must lie in the listed stretch. Refused while the marks are full.
  std::optional<EditApplied> add(std::span<const std::size_t> selection, UserInterface& ui);
  std::optional<EditApplied> split(std::span<const std::size_t> selection, UserInterface& ui);
  std::optional<EditApplied> average(std::span<const std::size_t> selection, UserInterface& ui);
  std::optional<EditApplied> undo() { return model_.undo(); }
  bool cancelChanges(UserInterface& ui) { return model_.cancelChanges(ui); }

  // Save: with writeBack the rows go back into the series and its file; then
  // the edits, newest first, are offered to the segment list and the segment
  // file is written (deleted when there are no segments and no edits).
  // False when the rows could not be placed in the series (message 189; the
  // edits stay pending).
  bool save(bool writeBack, UserInterface& ui);
  // Drops the pending edits without asking (the container asked already).
  void dropPendingEdits() { model_.undoAll(); }
  int pendingEdits() const { return model_.unsavedCount(); }

  // Before leaving the stretch: message 249 (Yes saves; No cancels after
  // message 180, whose No saves after all). Nothing to do without edits.
  void resolvePending(UserInterface& ui);

  // Navigation. Both resolve pending edits first. setTimeFrame resets the index.
  void setTimeFrame(TimeFrame frame, UserInterface& ui);
  bool spin(int delta, UserInterface& ui);
  TimeFrame timeFrame() const { return frame_; }
  int index() const { return index_; }
  int indexCount() const;  // the spin's range (1 at least)
  PeriodicWindow window() const;

  // The listed stretch: the segment listed (-1 for the whole series), and the
  // series index of its first row as loaded.
  int listedSegment() const { return listed_; }

  double cursorTime() const { return cursor_; }
  void setCursorTime(double t) { cursor_ = t; }

  // Marks full: Add, Split and Average are disabled.
  bool marksFull() const { return marksFull_; }
  // The check after a band is drawn: pending edits plus segments at 200 or more
  // shows the limit message and sets the marks-full state.
  void checkMarksLimit(UserInterface& ui);

  // The intervals' start times of the listed rows, for the chart (s).
  std::vector<double> rowStartTimes() const;

  // The segment commands of the chart.
  // The index in segments() of this signal's segment at time t, or -1.
  int segmentAt(double t) const { return segments_.findAt(src_.sourceChannel, t); }
  // Jump: the cursor goes to t and the stretch that holds it is listed
  // (pending edits resolved first when the stretch changes).
  void jumpTo(double t, UserInterface& ui);
  // Undo segment (no pending edits): message 306 (Yes/No, No default). Yes:
  // a scripted session switches to the Session frame; the series is detected
  // again from the raw signal (`detect`, in memory only) and its intervals
  // that start within the segment (0.1 s either side) replace the series'
  // intervals there; the series file is written, the segment removed and
  // the segment file written again. True when carried out.
  using Redetect = std::function<std::optional<IntervalSeries>()>;
  bool undoSegment(std::size_t index, const Redetect& detect, UserInterface& ui);

 private:
  bool scriptedStretch() const { return !src_.openSession && frame_ != TimeFrame::Session; }
  int segmentOfIndex(int index) const;
  void fill(UserInterface& ui);
  bool writeBackRows(UserInterface& ui);
  std::optional<EditApplied> afterEdit(std::optional<EditApplied> applied, UserInterface& ui);

  PeriodicSource src_;
  PeriodicEditModel model_;
  PeriodicSegmentList segments_;
  TimeFrame frame_ = TimeFrame::Epoch;
  int index_ = 0;
  int listed_ = -1;
  std::size_t loadedRows_ = 0;
  std::vector<int> runSegments_;  // Session frame of a scripted session: the segment of each run of rows
  double cursor_ = 0.0;
  bool marksFull_ = false;
};

// In every session segment, the intervals of `series` that start within
// [from, to] are replaced by those of `fresh` (the same session detected
// again) that start within it; the segment records' counts follow. Returns
// the number of intervals taken out.
std::size_t replaceIntervals(IntervalSeries& series, const IntervalSeries& fresh, double from, double to);

}  // namespace rc
