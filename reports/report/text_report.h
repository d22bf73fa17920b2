#pragma once
// The text report of a loaded session: what goes into the document (header
// texts, the session table, one statistics block and three charts per epoch
// or script step), built from the rows of the last recomputation, and the
// word-processor document filled from the report template.
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis_load.h"
#include "reports/report/report_charts.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kReportNoSeriesId = 303;
inline constexpr int kReportHeaderOnlyId = 308;
inline constexpr int kReportTypeId = 347;
inline constexpr int kNoWordProcessorId = 348;
inline constexpr int kStepNotInFramingId = 366;
inline constexpr int kWorkingCopyInUseId = 421;
inline constexpr int kTemplateInUseId = 422;
inline constexpr int kCannotCreateFileId = 129;

inline constexpr const char* kReportTemplateName = "HRVReportTemplate.docx";
inline constexpr const char* kPrintTemplatesFolder = "PrintTemplates";
inline constexpr const char* kTempFolder = "Temp";

// The report options (the options dialog's model).
struct ReportOptions {
  int signal = 0;  // kSlotEkg or kSlotBvp
  bool graphs = true;
  bool statistics = true;
  bool operator==(const ReportOptions&) const = default;
};

// The heart series a report can use: EKG when its series is loaded and the
// IBI source ("Setting1") is EKG or both; BVP when its series is loaded and
// the source is not EKG only.
struct ReportSeries {
  bool ekg = false;
  bool bvp = false;
  bool any() const { return ekg || bvp; }
  bool both() const { return ekg && bvp; }
};
ReportSeries availableReportSeries(const AnalysisSession& s);

// The options dialog's OK: with both graphs and statistics off the user is
// asked (308, No by default); false keeps the dialog open.
bool acceptReportOptions(const ReportOptions& o, UserInterface& ui);

// The identification of the report: texts read from the host's databases.
struct ReportHeaderTexts {
  std::string date;            // today, in the user's date format
  std::string clinicCaption;   // the host's clinic label
  std::string clientCaption;   // "Client: ..." (empty when unreadable)
  std::string sessionCaption;  // "Date: ...\t\tTime: ..." (empty when unreadable)
};
// Reads them from the main database of the data root; missing pieces stay empty.
ReportHeaderTexts readReportHeaderTexts(const std::filesystem::path& dataRoot, int clientId, int sessionId);

struct ReportBlock {
  std::string heading;     // "Epoch 3"
  std::string statistics;  // fixed-width text; empty without statistics
  std::vector<ChartSpec> charts;  // three, or none without graphs
};

struct TextReport {
  std::string reportType;
  std::string date;
  std::string clinicCaption;
  std::string client;  // lines separated by "\n"
  std::string sessionTableCaption;
  std::vector<std::vector<std::string>> sessionTable;  // header row first; empty without statistics
  std::string chartsHeading;
  std::vector<ReportBlock> blocks;
  bool statistics = true;
  bool graphs = true;
};

// Builds the report from the rows; a step of the rows that is not in the
// epoch framing shows 366 (warning) and gives an error.
Result<TextReport> buildTextReport(const AnalysisSession& s, const EpochResults& r, const ReportOptions& o,
                                   const ReportHeaderTexts& header, UserInterface& ui);

// Chart picture sizes in pixels (96 per inch): the tachogram spans the text
// width, the Poincare map and the spectrum share a row.
inline constexpr int kTachogramWidth = 620, kTachogramHeight = 220;
inline constexpr int kSmallChartWidth = 305, kSmallChartHeight = 250;

// Fills the template's bookmarks and writes the document (atomically).
Status writeTextReportDocx(const TextReport& report, const std::filesystem::path& templateFile,
                           const std::filesystem::path& out, const ChartRenderer& render);

}  // namespace rc
