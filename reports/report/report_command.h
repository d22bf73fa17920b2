#pragma once
// "Generate Text Report": the checks before the options dialog (the working
// copy and the template not held open by another program, the template
// copied, a series to report on) and, after it, the report written into the
// working copy and shown by the desktop, with a PDF beside it on request.
#include <filesystem>
#include <functional>
#include <optional>

#include "reports/report/text_report.h"

namespace rc {

struct TextReportPaths {
  std::filesystem::path programFolder;
  std::filesystem::path dataRoot;
  std::filesystem::path templateFile() const { return programFolder / kPrintTemplatesFolder / kReportTemplateName; }
  std::filesystem::path workingCopy() const { return dataRoot / kTempFolder / kReportTemplateName; }
};

// Steps before the options dialog: 421 / 422 (error) when the working copy
// or the template is held open, 129 (warning, with the system's error code)
// when the template cannot be copied over the working copy, 303 (warning)
// without a series. The series the dialog offers, or nullopt.
std::optional<ReportSeries> prepareTextReport(const AnalysisSession& s, const TextReportPaths& paths,
                                              UserInterface& ui);

using PdfReportWriter = std::function<Status(const TextReport&, const std::filesystem::path&)>;

// The report: built from the rows, filled into the working copy and opened
// (348 when no application opens it). With pdfFile, the PDF is written too.
Status runTextReport(const AnalysisSession& s, const EpochResults& r, const ReportOptions& o,
                     const TextReportPaths& paths, const ChartRenderer& render, const PdfReportWriter& writePdf,
                     const std::optional<std::filesystem::path>& pdfFile, UserInterface& ui);

}  // namespace rc
