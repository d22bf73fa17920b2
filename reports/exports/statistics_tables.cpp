#include "reports/exports/statistics_tables.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "analysis/series/series_find.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

// A header: the caption, one blank and the suffix, passed through the format
// once (a stored "%%" becomes "%").
std::string header(int id, const std::string& suffix = {}) { return collapsePercents(str(id) + " " + suffix); }

std::vector<std::string> idHeaders() {
  return {header(139), header(361), header(140), header(362), header(253), header(254)};
}

std::vector<std::string> hrvHeaders(const AnalysisSettings& s) {
  std::vector<std::string> h = idHeaders();
  h.push_back(header(255));
  h.push_back(substituteArg(str(256) + " ", static_cast<long long>(s.nnInterval)));
  h.push_back(substituteArg(str(257) + " ", static_cast<long long>(s.nnInterval)));
  h.push_back(header(258));
  switch (s.bandUnits) {
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

std::vector<std::string> idCells(const RowId& id, bool scripted, const std::string& name) {
  if (!scripted) return {"0", "0", "0", "0", strprintf("%d", id.epoch), name};
  return {strprintf("%d", id.activity), id.activityLabel, strprintf("%d", id.step),
          id.stepLabel,                 strprintf("%d", id.epoch), name};
}

// The page's sort after a recompute, on the row records: integers for
// columns 0 and 4, text without regard to case for column 5.
template <typename Row>
std::vector<const Row*> sortedRows(const std::vector<Row>& rows, bool scripted, int option,
                                   const std::vector<std::string>& names) {
  std::vector<std::size_t> order(rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const int column = scripted ? 0 : option + 4;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    switch (column) {
      case 0:
        return rows[a].id.activity < rows[b].id.activity;
      case 4:
        return rows[a].id.epoch < rows[b].id.epoch;
      case 5:
        return strcasecmp(names[a].c_str(), names[b].c_str()) < 0;
      default:
        return false;
    }
  });
  std::vector<const Row*> out;
  for (std::size_t i : order) out.push_back(&rows[i]);
  return out;
}

}  // namespace

TextTable hrvTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  const bool scripted = !session.openSession;
  const int option = session.settings.statisticOption;
  const auto& rows = results.hrvTable(scripted, option);
  std::vector<std::string> names;
  for (const HrvTableRow& r : rows) names.push_back(session.sourceName(r.row.source));
  TextTable t;
  t.headers = hrvHeaders(session.settings);
  for (const HrvTableRow* r : sortedRows(rows, scripted, option, names)) {
    std::vector<std::string> cells =
        idCells(r->id, scripted, names[static_cast<std::size_t>(r - rows.data())]);
    for (std::string& c : hrvCells(r->row, decimal)) cells.push_back(std::move(c));
    t.rows.push_back(std::move(cells));
  }
  return t;
}

TextTable signalTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  const bool scripted = !session.openSession;
  const int option = session.settings.statisticOption;
  const auto& rows = results.signalTable(scripted, option);
  std::vector<std::string> names;
  for (const SignalTableRow& r : rows) names.push_back(session.signalName(r.row.signal));
  TextTable t;
  t.headers = idHeaders();
  for (int id : {271, 272, 273, 274, 275, 324, 276}) t.headers.push_back(header(id));
  for (const SignalTableRow* r : sortedRows(rows, scripted, option, names)) {
    std::vector<std::string> cells =
        idCells(r->id, scripted, names[static_cast<std::size_t>(r - rows.data())]);
    for (std::string& c : signalCells(r->row, decimal)) cells.push_back(std::move(c));
    t.rows.push_back(std::move(cells));
  }
  return t;
}

TextTable sessionTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  TextTable t;
  t.headers = {header(114), header(138)};
  auto value = [&](IbiSource s) -> std::string {
    const std::optional<double>& v = results.meanSdnn[static_cast<int>(s)];
    if (!v || !std::isfinite(*v)) return kEmptyCellText;
    return localiseDecimal(strprintf("%.2f", *v), decimal);
  };
  const int source = session.settings.ibiSource;
  if (session.ekg && selectionUsesEkg(source)) t.rows.push_back({str(213), value(IbiSource::Ekg)});
  if (session.bvp && source != kSourceEkg) t.rows.push_back({str(287), value(IbiSource::Bvp)});
  return t;
}

}  // namespace rc
