#pragma once
// The report editor's rules (its dialog is a thin widget over them): the
// definition list in editing and selection mode, Add / Edit through the
// protocol choice, the settings dialog and the save dialog, Delete, and the
// printed summary of a definition.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "reports/definitions/report_definition.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kNoExportNameId = 414;
inline constexpr int kForbiddenCharId = 409;
inline constexpr int kNoWorkbookId = 415;
inline constexpr int kNnRangeId = 268;
inline constexpr int kNoDescriptionId = 407;
inline constexpr int kBadFileNameId = 408;
inline constexpr int kExtensionChangedId = 410;
inline constexpr int kReplaceFileId = 343;
inline constexpr int kCannotSaveDefinitionId = 404;
inline constexpr int kDeleteQuestionId = 418;
inline constexpr int kNothingSelectedId = 419;
inline constexpr int kDefinitionNoHeartChannelId = 483;
inline constexpr int kFileNotOpenedId = 189;

inline constexpr const char* kSummaryTemplateName = "HRVExcelReport.docx";

// The settings dialog's fields as the user left them.
struct DefinitionSettingsForm {
  std::string ibi, periodic, standard, session;  // export file names
  std::string workbook;                          // empty: none chosen
  int epochIndex = 2;                            // "1 min.", "3 min.", "5 min.", "10 min."
  std::string nnText = "50";
  int unitsChoice = 0;  // 0 ms²/Hz, 1 normalised units, 2 percentage of total power
  int statisticOptions = 0;
  bool header = true;
  bool timeColumn = false;
  bool integerIbi = false;
  bool filePerEpoch = false;
  int signalType = 0;
  int textFileType = 0;
};

DefinitionSettingsForm settingsFormOf(const ReportDefinition& d);
// OK of the settings dialog: the checks in order (414, 409, the names
// normalised into the form, 415, 268), each failure shown as a warning and
// false (the dialog stays open); then the values are stored into d.
bool acceptDefinitionSettings(DefinitionSettingsForm& form, ReportDefinition& d, UserInterface& ui);

struct SaveDefinitionForm {
  std::string description;
  std::string fileName;
};
// OK of the save dialog (407, 409, 408, ".xml" added or put in place of
// another extension with 410, 343 for a definition of the same name): the
// file name to save under, or nullopt while the dialog stays open.
std::optional<std::string> acceptSaveDefinition(SaveDefinitionForm& form, const std::filesystem::path& reportsFolder,
                                                UserInterface& ui);

// The channel set or script chosen for a definition.
struct ProtocolChoice {
  int sessionType = kOpenSessionType;
  std::string name;
  int protocolNumber = 0;
  int ekgChannels = 0;  // physical channels with SensorType 4
  int bvpChannels = 0;  // with SensorType 5
};

// The dialogs of the edit flow (widgets in the program, scripts in tests).
class DefinitionEditorDialogs {
 public:
  virtual ~DefinitionEditorDialogs() = default;
  // The session type and its channel set or script; nullopt: cancelled.
  virtual std::optional<ProtocolChoice> chooseProtocol(const ReportDefinition& current, int commProtocol) = 0;
  // The settings dialog, until acceptDefinitionSettings takes it or it is cancelled.
  virtual bool editSettings(ReportDefinition& d, const std::vector<std::string>& workbooks) = 0;
  // The save dialog, until acceptSaveDefinition takes it (the file name) or it is cancelled.
  virtual std::optional<std::string> saveAs(ReportDefinition& d, const std::filesystem::path& reportsFolder) = 0;
};

enum class EditorMode { Editing, Selection };

class ExcelReportEditorModel {
 public:
  ExcelReportEditorModel(std::filesystem::path programFolder, std::filesystem::path dataRoot, EditorMode mode,
                         std::optional<std::string> filter, UserInterface& ui, DefinitionEditorDialogs& dialogs);

  std::filesystem::path reportsFolder() const { return dataRoot_ / kReportsFolderName; }
  EditorMode mode() const { return mode_; }

  // Reads the application settings (editing mode; 189 when missing) and the folder.
  void refill();
  const std::vector<DefinitionRecord>& records() const { return scan_.definitions; }
  const std::vector<std::string>& workbooks() const { return scan_.workbooks; }
  static std::vector<std::string> columnHeaders();
  std::vector<std::string> rowTexts(std::size_t row) const;

  bool add();
  bool edit(std::size_t row);
  // Several rows at once; 419 with none, then 418 (No by default).
  bool remove(const std::vector<std::size_t>& rows);
  // The definition printed through the summary template and shown.
  Status showSummary(std::size_t row);
  // Selection mode's OK: the file the scan found for the row.
  std::optional<std::filesystem::path> chosenFile(std::size_t row) const;

  int commProtocol() const { return commProtocol_; }
  const std::string& lastCategory() const { return lastCategory_; }

 private:
  bool editFlow(const std::filesystem::path& source);

  std::filesystem::path programFolder_, dataRoot_;
  EditorMode mode_;
  std::optional<std::string> filter_;
  UserInterface& ui_;
  DefinitionEditorDialogs& dialogs_;
  ReportsFolderScan scan_;
  int commProtocol_ = 0;
  std::string lastCategory_;
};

// The lines of a definition's summary: three groups of "caption: value".
std::vector<std::string> definitionSummaryGroups(const ReportDefinition& d);

// Whether an office program holds the document open: its lock file
// (".~lock.NAME#" or "~$NAME") lies beside it.
bool documentInUse(const std::filesystem::path& file);

// The date of a save, in the user's date format.
std::string todayText();

}  // namespace rc
