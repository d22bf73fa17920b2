#pragma once
// Generating a spreadsheet report: the chosen definition's options taken
// into the session's analysis settings, its export files written into the
// reports folder, and its workbook opened by the desktop.
#include <filesystem>
#include <functional>

#include "analysis/protocol/settings.h"
#include "reports/exports/export_command.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kStepOptionDiffersId = 143;
inline constexpr int kNoSpreadsheetApplicationId = 455;

// How one export file is written (the options of the Export command).
struct ExportRequest {
  ExportKind kind = ExportKind::Ibi;
  std::filesystem::path file;  // with one file per epoch: the base path of the numbered files
  bool header = true;
  int signalType = 0;  // 0 EKG, 1 BVP
  bool integerIbi = false;
  bool timeColumn = false;
  bool filePerEpoch = false;
  int statisticOption = 0;
  int codePage = 0;
  int titleId = 252;  // the export header's title
  bool operator==(const ExportRequest&) const = default;
};

// What the review container does for a generation.
struct GenerationHooks {
  // The container's epoch-length command: recomputes, stores "EpochTime";
  // false (after its own messages) ends the generation.
  std::function<bool(int seconds)> setEpochLength;
  // The statistics page refreshed and the statistics recomputed.
  std::function<void()> recompute;
  // The step statistics rebuilt.
  std::function<void()> rebuildStepStatistics;
  // Writes one export as the Export command does; a failure names the file.
  std::function<Status(const ExportRequest&)> writeExport;
};

// The session state a generation changes: the analysis settings and the
// export code page stay changed for the rest of the session.
struct GenerationTarget {
  AnalysisSettings* settings = nullptr;
  int* exportCodePage = nullptr;
};

// The container's export writer for a generation: the request written as
// the Export command writes that kind (the IBI request's base path for
// numbered files, else the ".txt" file itself). Failures are not shown here:
// the generation names the file.
Status writeRequestedExport(const ExportSources& src, const ExportRequest& request, UserInterface& ui);

// Generates from the definition file (found by the folder scan). Names and
// values from the file are checked again: a name that could leave the folder
// is skipped with 409, a value out of range keeps the session's value, and
// only a workbook of the folder with a spreadsheet extension is opened
// (409 otherwise; 455 when no application opens it).
Status generateExcelReport(const std::filesystem::path& definitionFile, const std::filesystem::path& reportsFolder,
                           GenerationTarget target, const GenerationHooks& hooks, UserInterface& ui);

}  // namespace rc
