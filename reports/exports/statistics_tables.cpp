#include "reports/exports/statistics_tables.h"

#include "views/statistics/statistics_table.h"

namespace rc {
namespace {

// The rows as the page holds them after a recompute: sorted ascending by
// column 0 (scripted) or "StatisticOption" + 4 (open).
TextTable textTable(std::vector<std::string> headers, std::vector<StatisticsRow> rows, bool hrv,
                    const AnalysisSession& session) {
  StatisticsSorter sorter(hrv);
  sorter.set(columnAfterRecompute(!session.openSession, session.settings.statisticOption), true);
  sorter.sort(rows);
  TextTable t;
  t.headers = std::move(headers);
  t.rows.reserve(rows.size());
  for (StatisticsRow& r : rows) t.rows.push_back(std::move(r.cells));
  return t;
}

}  // namespace

TextTable hrvTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  return textTable(hrvHeaders(session.settings.nnInterval, session.settings.bandUnits),
                   hrvTableRows(session, results, decimal), true, session);
}

TextTable signalTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  return textTable(signalHeaders(), signalTableRows(session, results, decimal), false, session);
}

TextTable sessionTextTable(const AnalysisSession& session, const EpochResults& results, char decimal) {
  TextTable t;
  t.headers = sessionHeaders();
  for (const SessionTableRow& r : sessionTableRows(session, results, decimal)) t.rows.push_back({r.caption, r.value});
  return t;
}

}  // namespace rc
