#pragma once
// Spreadsheet report definitions: a workbook of the reports folder tied to
// the export files it reads and to the analysis options they are computed
// with. Definitions are XML files of the reports folder; this file holds the
// record, its reading and writing, the folder scan and the file-name rules.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/xml_markup.h"

namespace rc {

inline constexpr const char* kReportsFolderName = "HRVReports";
inline constexpr const char* kDefinitionTemplateName = "HRVExcelReport.xml";
inline constexpr const char* kDefinitionWorkingName = "HRVExcelReportTemp.xml";
inline constexpr const char* kAppSettingsName = "Rhythmcraft.xml";

inline constexpr int kOpenSessionType = 1;

struct ReportDefinition {
  std::string description;
  std::string category;  // channel set (open sessions) or script (script sessions)
  int sessionType = kOpenSessionType;
  std::string fileName;  // the "FileName" key: shown only, never used as a path
  std::string ibiFileName;
  std::string periodicStatFileName;
  std::string standStatFileName;
  std::string sessionStatFileName;
  std::string excelFileName;
  int epochTime = 0;
  int nnInterval = 0;
  int units = 0;
  int statisticOptions = 0;
  std::string dateModified;
  int signalType = 0;
  int header = 0;
  int textFileType = 0;
  int timeColumn = 0;
  int integerIbi = 0;
  int filePerEpoch = 0;
  bool operator==(const ReportDefinition&) const = default;
};

// The keys, in the order of the template.
const std::vector<std::string>& definitionKeys();

// Reads the keys of a document (tolerant: a missing key or a number that does
// not read leaves the value empty or 0).
ReportDefinition readDefinition(CXMLMarkup& doc);
// Reads a file; an unreadable or ill-formed file reads as far as it can.
ReportDefinition loadDefinition(const std::filesystem::path& file);
// Writes every key into the document's root (a missing key is added).
bool writeDefinition(CXMLMarkup& doc, const ReportDefinition& d);

// One definition found in the reports folder: file is the name the scan
// found, and the only name load, edit, delete and selection use.
struct DefinitionRecord {
  std::filesystem::path file;
  ReportDefinition definition;
};

struct ReportsFolderScan {
  std::vector<DefinitionRecord> definitions;  // by file name
  std::vector<std::string> workbooks;         // "*.xls*" and "*.ods" files, by name
};

// Reads the folder; a missing folder gives an empty scan. With a filter,
// only the definitions whose category equals it are kept.
ReportsFolderScan scanReportsFolder(const std::filesystem::path& folder,
                                    const std::optional<std::string>& categoryFilter = std::nullopt);

// A name holds one of \ / : * ? " < > % | (or a control character).
bool hasForbiddenNameChar(const std::string& name);
// The dialog's normalisation of an export file name: without "." it gets
// ".txt"; an extension is replaced by "txt"; the IBI name with one file per
// epoch loses its extension instead.
std::string normaliseExportName(const std::string& name, bool perEpochIbi);
// The same for a name read from a definition file at generation: nullopt for
// a name that is empty, "." or "..", starts with ".", or holds a forbidden
// character (it could reach outside the reports folder).
std::optional<std::string> safeExportName(const std::string& name, bool perEpochIbi);
// A workbook name fit to open: the name rules, a spreadsheet extension
// (".xls*" or ".ods") and an existing regular file of the folder (matched
// without regard to case). The actual path, or nullopt.
std::optional<std::filesystem::path> workbookToOpen(const std::filesystem::path& folder, const std::string& name);
// A spreadsheet workbook's extension: ".xls*" or ".ods", without regard to case.
bool isWorkbookName(const std::string& name);

// The file of the folder whose name equals name without regard to case.
std::optional<std::filesystem::path> findNoCase(const std::filesystem::path& folder, const std::string& name);

// Epoch length of a definition at generation: 60, 180, 600, or 300 for any
// other value.
int definitionEpochSeconds(int epochTime);

}  // namespace rc
