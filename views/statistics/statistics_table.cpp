#include "views/statistics/statistics_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/series/series_find.h"
#include "app/session_analysis_load.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Header: the string, one blank and the suffix, passed through the format
// once so that a stored "%%" shows as "%".
std::string header(int id, const std::string& suffix = {}) { return collapsePercents(str(id) + " " + suffix); }

double num(const std::optional<double>& v) { return v && std::isfinite(*v) ? *v : kNone; }
double num(const std::optional<std::int32_t>& v) { return v ? static_cast<double>(*v) : kNone; }

void addIdCells(StatisticsRow& r, const RowId& id, bool scripted, const std::string& name) {
  if (scripted) {
    r.cells = {strprintf("%d", id.activity), id.activityLabel, strprintf("%d", id.step), id.stepLabel,
               strprintf("%d", id.epoch), name};
    r.numbers = {double(id.activity), kNone, double(id.step), kNone, double(id.epoch), kNone};
  } else {
    r.cells = {"0", "0", "0", "0", strprintf("%d", id.epoch), name};
    r.numbers = {0, kNone, 0, kNone, double(id.epoch), kNone};
  }
}

int compareText(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i]));
    const int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

ColumnType hrvColumnType(int c) {
  if (c == 0 || c == 2 || c == 4 || c == 7) return ColumnType::Integer;
  if (c == 1 || c == 3 || c == 5) return ColumnType::Text;
  return ColumnType::Real;
}

ColumnType signalColumnType(int c) {
  if (c == 0 || c == 2 || c == 4) return ColumnType::Integer;
  if (c == 1 || c == 3 || c == 5) return ColumnType::Text;
  return ColumnType::Real;
}

int hrvColumnWidth(int c, bool scripted) {
  static const int kScripted[kHrvColumnCount] = {35, 55, 35, 40, 50, 55, 95, 65, 65, 95, 90, 65, 65, 65, 95};
  static const int kOpen[kHrvColumnCount] = {0, 0, 0, 0, 65, 200, 95, 65, 65, 95, 95, 65, 65, 65, 95};
  if (c < 0 || c >= kHrvColumnCount) return 0;
  return scripted ? kScripted[c] : kOpen[c];
}

int signalColumnWidth(int c, bool scripted) {
  if (c < 0 || c >= kSignalColumnCount) return 0;
  if (c < 6) return hrvColumnWidth(c, scripted);
  return !scripted && c >= 8 && c <= 11 ? 101 : 100;
}

std::pair<int, int> sessionColumnWidths(int clientWidth, int scrollBarWidth) {
  const int avail = std::max(0, clientWidth - scrollBarWidth);
  const int caption = static_cast<int>(static_cast<long long>(avail) * 470 / (470 + 115));
  return {caption, avail - caption};
}

std::vector<std::string> hrvHeaders(int nn, int bandUnits) {
  std::vector<std::string> h = {header(139), header(361), header(140), header(362),
                                header(253), header(254), header(255)};
  h.push_back(substituteArg(str(256) + " ", static_cast<long long>(nn)));
  h.push_back(substituteArg(str(257) + " ", static_cast<long long>(nn)));
  h.push_back(header(258));
  switch (bandUnits) {
    case 1:
      h.insert(h.end(), {header(259, str(282)), header(260), header(261)});
      break;
    case 2:
      h.insert(h.end(), {header(259, "(%%)"), header(262, "(%%)"), header(281, "(%%)")});
      break;
    default:
      h.insert(h.end(), {header(259, str(282)), header(262), header(281)});
      break;
  }
  h.push_back(header(262, " / " + str(281)));
  h.push_back(header(263, str(282)));
  return h;
}

std::vector<std::string> signalHeaders() {
  std::vector<std::string> h;
  for (int id : {139, 361, 140, 362, 253, 254, 271, 272, 273, 274, 275, 324, 276}) h.push_back(header(id));
  return h;
}

std::vector<std::string> sessionHeaders() { return {header(114), header(138)}; }

std::vector<StatisticsRow> hrvTableRows(const AnalysisSession& s, const EpochResults& r, char decimal) {
  const bool scripted = !s.openSession;
  const auto& table = r.hrvTable(scripted, s.settings.statisticOption);
  std::vector<StatisticsRow> out;
  out.reserve(table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const HrvTableRow& t = table[i];
    StatisticsRow row;
    addIdCells(row, t.id, scripted, s.sourceName(t.row.source));
    for (std::string& c : hrvCells(t.row, decimal)) row.cells.push_back(std::move(c));
    const HrvRow& h = t.row;
    for (double v : {num(h.sdnn), num(h.nnCount), num(h.pnn), num(h.rmssd), num(h.vlf), num(h.lf), num(h.hf),
                     num(h.lfHf), num(h.total)})
      row.numbers.push_back(v);
    row.record = i;
    out.push_back(std::move(row));
  }
  return out;
}

std::vector<StatisticsRow> signalTableRows(const AnalysisSession& s, const EpochResults& r, char decimal) {
  const bool scripted = !s.openSession;
  const auto& table = r.signalTable(scripted, s.settings.statisticOption);
  std::vector<StatisticsRow> out;
  out.reserve(table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const SignalTableRow& t = table[i];
    StatisticsRow row;
    addIdCells(row, t.id, scripted, s.signalName(t.row.signal));
    for (std::string& c : signalCells(t.row, decimal)) row.cells.push_back(std::move(c));
    const SignalRow& g = t.row;
    for (double v : {num(g.minimum), num(g.maximum), num(g.mean), num(g.sd), num(g.sdMean), num(g.mode),
                     num(g.area)})
      row.numbers.push_back(v);
    row.record = i;
    out.push_back(std::move(row));
  }
  return out;
}

std::vector<SessionTableRow> sessionTableRows(const AnalysisSession& s, const EpochResults& r, char decimal) {
  std::vector<SessionTableRow> out;
  auto value = [&](int source) {
    const auto& m = r.meanSdnn[source];
    if (!m || !std::isfinite(*m)) return std::string(kEmptyCellText);
    std::string t = strprintf("%.2f", *m);
    std::replace(t.begin(), t.end(), '.', decimal);
    return t;
  };
  if (selectionUsesEkg(s.settings.ibiSource) && s.ekg) out.push_back({str(213), value(0), 0});
  if (selectionUsesBvp(s.settings.ibiSource) && s.settings.ibiSource != kSourceEkg && s.bvp)
    out.push_back({str(287), value(1), 1});
  return out;
}

void StatisticsSorter::click(int column) {
  if (column == column_) {
    ascending_ = !ascending_;
  } else {
    column_ = column;
    ascending_ = true;
  }
}

bool StatisticsSorter::less(const StatisticsRow& a, const StatisticsRow& b) const {
  const std::size_t c = static_cast<std::size_t>(column_);
  const ColumnType type = hrv_ ? hrvColumnType(column_) : signalColumnType(column_);
  int cmp = 0;
  if (type == ColumnType::Text) {
    if (c < a.cells.size() && c < b.cells.size()) cmp = compareText(a.cells[c], b.cells[c]);
    if (!ascending_) cmp = -cmp;
  } else if (c < a.numbers.size() && c < b.numbers.size()) {
    const double x = a.numbers[c], y = b.numbers[c];
    const bool nx = std::isnan(x), ny = std::isnan(y);
    if (nx || ny) {
      cmp = nx == ny ? 0 : nx ? 1 : -1;  // empty cells last in both directions
    } else {
      cmp = x < y ? -1 : x > y ? 1 : 0;
      if (!ascending_) cmp = -cmp;
    }
  }
  if (cmp != 0) return cmp < 0;
  return a.record < b.record;
}

void StatisticsSorter::sort(std::vector<StatisticsRow>& rows) const {
  if (column_ < 0) return;
  // Sort positions by the column's key, then move each row once.
  std::vector<std::size_t> order(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const std::size_t c = static_cast<std::size_t>(column_);
  const ColumnType type = hrv_ ? hrvColumnType(column_) : signalColumnType(column_);
  if (type == ColumnType::Text) {
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return less(rows[a], rows[b]); });
  } else {
    struct Key {
      double value;
      std::size_t record;
      std::size_t at;
    };
    std::vector<Key> keys(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      keys[i] = {c < rows[i].numbers.size() ? rows[i].numbers[c] : std::numeric_limits<double>::quiet_NaN(),
                 rows[i].record, i};
    const bool asc = ascending_;
    std::sort(keys.begin(), keys.end(), [asc](const Key& a, const Key& b) {
      const bool na = std::isnan(a.value), nb = std::isnan(b.value);
      if (na != nb) return nb;  // empty cells last in both directions
      if (!na && a.value != b.value) return asc ? a.value < b.value : a.value > b.value;
      return a.record < b.record;
    });
    for (std::size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].at;
  }
  std::vector<StatisticsRow> sorted;
  sorted.reserve(rows.size());
  for (std::size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

int columnAfterRecompute(bool scripted, int statisticOption) {
  if (scripted) return 0;
  return std::clamp(statisticOption, 0, 1) + 4;
}

}  // namespace rc
