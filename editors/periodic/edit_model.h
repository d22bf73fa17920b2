#pragma once
// The edit list of an interval series: its rows (start time, interval), the
// Add / Split / Average commands, the undoable edit records and their
// count. Works over any run of intervals with start times: a session's IBI
// series or a plain series from a file; it knows no recording, container or
// segment list.
//
// The rows are the editor's working copy: the caller's series changes only
// when it takes values() at Save. Times are seconds, intervals milliseconds;
// the edit arithmetic is 32-bit float, as the row and edit records hold it.
// Messages and questions go through the UserInterface passed to each command.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/ui.h"

namespace rc {

// Operations of edits and marked segments.
inline constexpr std::int32_t kOpAdd = 0;
inline constexpr std::int32_t kOpSplit = 1;
inline constexpr std::int32_t kOpAverage = 2;

inline constexpr int kSelectTwoRowsId = 233;
inline constexpr int kRowsNotConsecutiveId = 234;
inline constexpr int kSelectOneRowId = 235;
inline constexpr int kSplitInHalfId = 241;
inline constexpr int kRowTimeUnreadableId = 244;
inline constexpr int kCursorOutsideListId = 367;
inline constexpr int kCancelChangesId = 180;

struct PeriodicRow {
  std::string time;      // "hh:mm:ss.fff" with the model's decimal separator
  std::string interval;  // ms, "%.6f"
  bool operator==(const PeriodicRow&) const = default;
};

// One interval as it was before an edit.
struct TPeriod {
  float start = 0.0f;  // s
  float end = 0.0f;    // s, start + interval / 1000 in float
  double intervalMs = 0.0;  // the row's value as it was, so Undo restores it exactly
  bool operator==(const TPeriod&) const = default;
};

// One edit. The periods are the rows merged (Add) or evened out (Average),
// as they were; empty for Split.
struct TPeriodicEditing {
  std::int32_t source = 0;
  std::int32_t operation = 0;  // 0 Add, 1 Split, 2 Average
  float start = 0.0f;          // s, start of the first row concerned
  float end = 0.0f;            // s, end of the last row concerned
  std::int32_t rowCount = 0;
  std::vector<TPeriod> periods;
  double splitIntervalMs = 0.0;  // Split: the whole interval as it was
  bool operator==(const TPeriodicEditing&) const = default;
};

// An applied edit: the band to draw and the rows selected afterwards.
struct EditApplied {
  std::int32_t operation = 0;
  float start = 0.0f;
  float end = 0.0f;
  std::vector<std::size_t> selection;
};

// How Split asks for the first part.
struct SplitOptions {
  // The cursor time (s). With proposeFromCursor, a cursor strictly inside the
  // interval proposes the part up to it; outside, the user is asked whether
  // to split in half (message 241).
  double cursorTime = 0.0;
  bool proposeFromCursor = true;
  // The list holds one stretch of a scripted session: a cursor before the
  // first row or after the last row's end is refused (message 367).
  bool cursorMustLieInList = false;
};

class PeriodicEditModel {
 public:
  explicit PeriodicEditModel(std::int32_t sourceChannel = 0, char decimal = '.');

  std::int32_t source() const { return source_; }
  char decimal() const { return decimal_; }

  // Fills the rows: interval k starts at firstStart plus the sum of the
  // intervals before it (summed in double). Drops all edits.
  void setRows(std::span<const float> values, double firstStart);
  void setRows(std::vector<PeriodicRow> rows);
  const std::vector<PeriodicRow>& rows() const { return rows_; }
  std::size_t rowCount() const { return rows_.size(); }
  // Rows that start a new run of consecutive intervals (the first interval of
  // a session segment after the first). Add and Average refuse a selection
  // that crosses one (message 234): its intervals do not follow each other in
  // time. The model keeps them in step with inserted and deleted rows.
  void setRunStarts(std::vector<std::size_t> rows);
  const std::vector<std::size_t>& runStarts() const { return runStarts_; }
  // Replaces one row's texts as they stand (a row typed or damaged elsewhere).
  void setRowText(std::size_t row, std::string time, std::string interval);

  std::optional<float> rowTime(std::size_t row) const;
  std::optional<double> rowInterval(std::size_t row) const;  // ms
  // The column-1 values as float ms (an unreadable text gives 0).
  std::vector<float> values() const;
  // The row holding time t: the last row whose start is not later than t (0 when none).
  std::size_t rowAtTime(double t) const;

  // The commands. Each checks the selection (row indexes in ascending order)
  // and shows its message on refusal, returning nullopt with nothing changed.
  std::optional<EditApplied> add(std::span<const std::size_t> selection, UserInterface& ui);
  std::optional<EditApplied> split(std::span<const std::size_t> selection, const SplitOptions& options,
                                   UserInterface& ui);
  std::optional<EditApplied> average(std::span<const std::size_t> selection, UserInterface& ui);

  // Undoes the newest edit; nullopt when there is none. The result names the
  // undone edit's band and the restored rows.
  std::optional<EditApplied> undo();
  // Asks message 180 (Yes/No, No default); Yes undoes every edit. Returns
  // whether the edits were undone.
  bool cancelChanges(UserInterface& ui);
  void undoAll();

  const std::vector<TPeriodicEditing>& edits() const { return edits_; }
  int unsavedCount() const { return unsaved_; }
  bool dirty() const { return unsaved_ > 0; }
  // Save: hands over the edit records (oldest first) and sets the count to 0.
  std::vector<TPeriodicEditing> takeEdits();

 private:
  std::optional<std::vector<TPeriod>> collectPeriods(std::span<const std::size_t> selection, UserInterface& ui,
                                                     float* sum) const;
  bool checkRun(std::span<const std::size_t> selection, UserInterface& ui) const;
  PeriodicRow makeRow(float time, double intervalMs) const;
  void push(TPeriodicEditing edit);

  std::int32_t source_;
  char decimal_;
  void shiftRunStarts(std::size_t after, std::ptrdiff_t by);

  std::vector<PeriodicRow> rows_;
  std::vector<std::size_t> runStarts_;
  std::vector<TPeriodicEditing> edits_;
  int unsaved_ = 0;
};

}  // namespace rc
