#pragma once
// The three tables of the statistics page as the page shows them (the
// texts of views/statistics): column
// headers and cell texts (numbers with the user's decimal separator, empty
// values as "     -"), rows in the order the page has after a recompute
// (sorted ascending by column 0 in a scripted session, by column
// "StatisticOption" + 4 in an open session). The exports dump these texts.
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis_load.h"

namespace rc {

struct TextTable {
  std::vector<std::string> headers;
  std::vector<std::vector<std::string>> rows;
};

// The HRV table (15 columns) and the signal table (13 columns).
TextTable hrvTextTable(const AnalysisSession& session, const EpochResults& results, char decimal);
TextTable signalTextTable(const AnalysisSession& session, const EpochResults& results, char decimal);

// The session table: one row per analysed IBI source (caption 213 for the
// EKG, 287 for the BVP), its mean SDNN with "%.2f".
TextTable sessionTextTable(const AnalysisSession& session, const EpochResults& results, char decimal);

}  // namespace rc
