#pragma once
// The statistics page's tables as text: the HRV table (one row per epoch row
// and IBI source), the signal table (one row per epoch row and signal) and
// the two-column session table (mean SDNN per IBI source). The page, the
// text exports and the reports read the same headers and cell texts from
// here, so the numbers are formatted in one place.
//
// Columns 0 to 5 of both tables identify the row (activity number and label,
// step number and label, epoch number, source or signal name); in an open
// session columns 0 to 3 hold "0" and have width 0 (hidden).
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "analysis/protocol/settings.h"

namespace rc {

struct AnalysisSession;

inline constexpr int kHrvColumnCount = 15;
inline constexpr int kSignalColumnCount = 13;

enum class ColumnType { Integer, Text, Real };

ColumnType hrvColumnType(int column);
ColumnType signalColumnType(int column);

// Widths in pixels for a scripted or an open session; 0 hides the column.
int hrvColumnWidth(int column, bool scripted);
int signalColumnWidth(int column, bool scripted);
// The session table's two widths (caption, value) scaled to fill the
// client width less a vertical scroll bar.
std::pair<int, int> sessionColumnWidths(int clientWidth, int scrollBarWidth);

// Header texts: each string, one blank, then its suffix; the NN columns take
// the threshold in ms and the band columns follow "BandUnits".
std::vector<std::string> hrvHeaders(int nnThresholdMs, int bandUnits);
std::vector<std::string> signalHeaders();
std::vector<std::string> sessionHeaders();

// One row: its cell texts and, per column, the number it sorts by (NaN for
// an empty cell or a text column). `record` is the row's position in the
// results it was built from; it stays with the row through every sort.
struct StatisticsRow {
  std::vector<std::string> cells;
  std::vector<double> numbers;
  std::size_t record = 0;
  bool operator==(const StatisticsRow&) const = default;
};

// The rows of the results for the session's "StatisticOption", in record
// order; numbers use the given decimal separator.
std::vector<StatisticsRow> hrvTableRows(const AnalysisSession& session, const EpochResults& results,
                                        char decimal);
std::vector<StatisticsRow> signalTableRows(const AnalysisSession& session, const EpochResults& results,
                                           char decimal);

// The session table: the EKG row (when the EKG series is analysed) and the
// BVP row (when the BVP series is analysed and the source selection is not
// EKG only), each with its mean SDNN ("%.2f").
struct SessionTableRow {
  std::string caption;
  std::string value;
  int source = 0;  // 0 EKG, 1 BVP
  bool operator==(const SessionTableRow&) const = default;
};
std::vector<SessionTableRow> sessionTableRows(const AnalysisSession& session, const EpochResults& results,
                                              char decimal);

// Sorting by column: a click on another column sorts ascending by it, a
// second click on the current column reverses. Integer and real columns
// compare by number, with empty cells after every number in both directions;
// text columns compare without regard to case. Ties keep record order, so
// every sort is a strict total order.
class StatisticsSorter {
 public:
  explicit StatisticsSorter(bool hrvTable) : hrv_(hrvTable) {}
  int column() const { return column_; }
  bool ascending() const { return ascending_; }
  // The column click; returns the new order of rows (indexes into rows).
  void click(int column);
  void set(int column, bool ascending) {
    column_ = column;
    ascending_ = ascending;
  }
  // Orders rows in place by the current column (nothing when none).
  void sort(std::vector<StatisticsRow>& rows) const;
  bool less(const StatisticsRow& a, const StatisticsRow& b) const;

 private:
  bool hrv_;
  int column_ = -1;
  bool ascending_ = true;
};

// The column both tables are sorted by after each recompute: 0 for a
// scripted session, "StatisticOption" + 4 for an open one.
int columnAfterRecompute(bool scripted, int statisticOption);

}  // namespace rc
