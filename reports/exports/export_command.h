#pragma once
// The "Export" command of the review container: which IBI series may be
// exported, the options of one export (the model under the options dialog
// and the encoding choice), the save dialog's rules, and the run that writes
// the chosen kind. Everything the user sees goes through UserInterface; the
// two dialogs are passed in as functions, so the run is driven by tests.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis_load.h"
#include "reports/exports/export_header.h"
#include "support/ui.h"

namespace rc {

class CXMLMarkup;

inline constexpr int kExportCommandId = 32844;
inline constexpr int kNoSeriesId = 303;

// In the order of the options dialog's list.
enum class ExportKind : int { Ibi = 0, Periodic = 1, Standard = 2, Session = 3 };

int exportKindListText(ExportKind kind);    // 252, 332, 333, 349
int exportKindTitle(ExportKind kind);       // 252, 332, 333, 333
const char* exportKindName(ExportKind kind);  // "ibi", "periodic", "standard", "session"

struct ExportOptions {
  ExportKind kind = ExportKind::Ibi;
  bool header = false;
  int signal = 0;  // 0 EKG, 1 BVP
  bool integerIbi = false;
  bool timeColumn = false;
  bool filePerEpoch = false;
  int titleId = 0;  // the header's title; 0: the kind's own (exportKindTitle)
  bool operator==(const ExportOptions&) const = default;
};

// Which IBI series may be exported, from "Setting1" (1 BVP, 2 EKG, 3 both)
// and whether the EKG and BVP slots are configured.
enum class ExportableSeries { None, Ekg, Bvp, Both };
ExportableSeries exportableSeries(int setting1, bool ekgConfigured, bool bvpConfigured);
ExportableSeries exportableSeries(const AnalysisSession& session);

// The state of the options dialog (CExportType): the kind list, the header
// box, the signal pair (only with both series and the IBI kind), the three
// IBI-only boxes, the text type pair and the code page it stands for.
class ExportTypeModel {
 public:
  ExportTypeModel(ExportableSeries series, bool scripted, std::int32_t codePage, bool header);

  ExportKind kind() const { return kind_; }
  void setKind(ExportKind k) { kind_ = k; }
  bool header() const { return header_; }
  void setHeader(bool h) { header_ = h; }
  int signal() const { return signal_; }
  void setSignal(int s) { signal_ = s == 1 ? 1 : 0; }
  bool integerIbi() const { return integerIbi_; }
  void setIntegerIbi(bool v) { integerIbi_ = v; }
  bool timeColumn() const { return timeColumn_; }
  void setTimeColumn(bool v) { timeColumn_ = v; }
  bool filePerEpoch() const { return filePerEpoch_; }
  void setFilePerEpoch(bool v) { filePerEpoch_ = v; }

  bool signalChoiceShown() const { return series_ == ExportableSeries::Both; }
  bool signalChoiceEnabled() const { return signalChoiceShown() && kind_ == ExportKind::Ibi; }
  bool ibiOptionsEnabled() const { return kind_ == ExportKind::Ibi; }
  // The note under the options: 339 for a scripted session, 338 for an open one.
  int noteId() const { return scripted_ ? 339 : 338; }

  // Text type: ASCII sets the code page to 0; UNICODE sets 65001 when it was 0.
  bool unicode() const { return codePage_ != 0; }
  void chooseAscii() { codePage_ = 0; }
  void chooseUnicode() {
    if (codePage_ == 0) codePage_ = 65001;
  }
  std::int32_t codePage() const { return codePage_; }
  void setCodePage(std::int32_t cp) { codePage_ = cp; }

  // OK: the options of the export; the IBI options only for the IBI kind.
  ExportOptions accept() const;

 private:
  ExportableSeries series_;
  bool scripted_;
  std::int32_t codePage_;
  bool header_;
  ExportKind kind_ = ExportKind::Ibi;
  int signal_ = 0;
  bool integerIbi_ = false, timeColumn_ = false, filePerEpoch_ = false;
};

// The encoding choice (CPreferences): UTF-8, UTF-16LE, UTF-16BE. It opens on
// the current code page, UTF-8 when it is none of the three; no selection
// stores 0.
inline constexpr std::array<std::int32_t, 3> kPreferenceCodePages = {65001, 1200, 1201};
std::int32_t preferencesInitialCodePage(std::int32_t codePage);
std::int32_t preferencesStoredCodePage(std::optional<std::int32_t> selected);

// The export settings kept in the application settings file: the code page
// ("TextFormat") and the header flag ("Header"), children of the root.
struct ExportPreferences {
  std::int32_t codePage = 0;
  bool header = false;
  bool operator==(const ExportPreferences&) const = default;
};
// Missing or unreadable values read as 0; an unsupported code page as 0.
ExportPreferences readExportPreferences(CXMLMarkup& settings);
// Sets (or adds) both children of the root element.
void writeExportPreferences(CXMLMarkup& settings, const ExportPreferences& prefs);
// The process-wide values the exports use.
ExportPreferences currentExportPreferences();
void applyExportPreferences(const ExportPreferences& prefs);

// The folders the save dialog remembers for the run (0: exports, 1: files
// from other software).
struct RememberedFolders {
  std::array<std::filesystem::path, 2> folders;
};
RememberedFolders& rememberedExportFolders();

// The save dialog for an export: title 342, filters 340 (*.*) and 341
// (*.txt) with the second shown first, extension "txt". The chosen name
// loses its extension; when name + ".txt" exists (or, for numbered files,
// any name*.txt) the user is asked (343 or 344, No by default) and No shows
// the dialog again. Returns the base path, or nullopt when cancelled.
std::optional<std::filesystem::path> chooseExportBase(UserInterface& ui, RememberedFolders& folders,
                                                      int which, bool numbered);

// What the run needs of the loaded session.
struct ExportSources {
  const AnalysisSession* session = nullptr;
  const EpochResults* results = nullptr;
  ExportSessionInfo info;
};
ExportSessionInfo exportSessionInfo(const AnalysisSession& session);

// Writes one export with the given options to base (+ ".txt", or numbered
// files). Returns true when every file was written; failures have been shown.
bool writeExport(const ExportSources& src, const ExportOptions& options, const std::filesystem::path& base,
                 UserInterface& ui, std::int32_t codePage = -1);

// The whole command: no series -> message 303; the options dialog (nullopt
// = Cancel); the save dialog; the writers. Returns true when files were written.
using ExportOptionsDialog = std::function<std::optional<ExportOptions>(ExportTypeModel&)>;
bool runExportCommand(const ExportSources& src, UserInterface& ui, const ExportOptionsDialog& dialog);

}  // namespace rc
