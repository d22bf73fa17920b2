#pragma once
// The review-and-edit container without its window: the load sequence over
// the session load and analysis, the time frame and epoch length lists, the
// status texts and caption, the commands that change the session (epoch
// length, time frame, Restore All) and the closing sequence. The window
// (app/ui/main_screen.h) shows what this holds and forwards its commands.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/review_context.h"
#include "app/session_analysis_load.h"
#include "store/ado_types.h"
#include "support/status.h"

namespace rc {

inline constexpr int kRestoreAllQuestionId = 316;
inline constexpr int kPendingEditsQuestionId = 249;
inline constexpr int kCouldNotSaveId = 189;
inline constexpr int kMissingEkgSeriesId = 5201;
inline constexpr int kMissingBvpSeriesId = 5202;

// One entry of the time frame list.
struct TimeFrameEntry {
  std::string text;
  int command = 0;
  int seconds = 0;
  bool operator==(const TimeFrameEntry&) const = default;
};
inline constexpr int kStepTimeFrameCommand = 32790;
inline constexpr int kSessionTimeFrameCommand = 32791;

// Whole seconds rounded up, never below 1 (a 0-second step or session still
// gives a usable span).
int wholeSecondsAtLeastOne(double seconds);

// The list for a session: the fixed spans its length allows, the current
// step (scripted sessions) and the whole session.
std::vector<TimeFrameEntry> timeFrameEntries(double sessionLength, bool scripted, double stepLength);
// The entry a stored "TimeFrame" selects: the one of that value among 1, 15,
// 30, 60, 180, 300, 900, 1800 and 3600, else "5 sec." (the second entry).
std::size_t storedTimeFrameIndex(const std::vector<TimeFrameEntry>& entries, int stored);

struct EpochLengthEntry {
  std::string text;
  int command = 0;
  int seconds = 0;
};
const std::vector<EpochLengthEntry>& epochLengthEntries();
// 32800 .. 32805 (32803 and 32804 also mean 300 s).
std::optional<int> epochSecondsOfCommand(int command);
int epochLengthIndex(int seconds);  // -1 when not in the list

// Status pane 0: string 246 with the session's date and time and duration.
std::string sessionStatusText(const DbDateTime& when, double duration);
// Caption: 200. 321|322. 323: <client name>. <description>
std::string containerCaption(bool openSession, const std::string& clientName, const std::string& description);

// The heart signal shown first: EKG when an EKG channel is configured and the
// source selection is 2 or 3, else BVP.
int initialHeartSlot(const AnalysisSession& s);
// Whether a heart signal button is usable (not greyed): EKG needs its channel
// and a selection other than 1, BVP its channel and a selection other than 2.
bool heartButtonEnabled(const AnalysisSession& s, int slot);

enum class LoadResult : int { Failed = 0, Ready = 1, NoIntervals = 2 };

class MainScreenModel {
 public:
  explicit MainScreenModel(UserInterface& ui);

  struct Request {
    std::filesystem::path dataRoot;
    std::filesystem::path programFolder;
    int clientId = 0;
    int sessionId = 0;
    bool confidential = false;  // the client's name is masked in the caption
    bool barsOn2DGraph = false;  // the application setting, copied into the context
  };
  // The load sequence; every failure has been shown when it returns Failed.
  // Series generation reports through the interface's progress calls.
  LoadResult load(const Request& request);

  bool loaded() const { return session_ != nullptr; }
  AnalysisSession& session() { return *session_; }
  const AnalysisSession& session() const { return *session_; }
  EpochResults& results() { return results_; }
  ReviewContext& context() { return ctx_; }
  UserInterface& ui() { return ui_; }

  const std::string& caption() const { return caption_; }
  const std::string& statusText() const { return status_; }
  const std::vector<TimeFrameEntry>& timeFrames() const { return timeFrames_; }
  std::size_t timeFrameIndex() const { return timeFrameIndex_; }
  // The length of the script step shown by the editors (scripted sessions).
  void setCurrentStepLength(double seconds) { stepLength_ = seconds; }

  // Recomputes with the current settings: 0, or a positive value on failure.
  int recompute();

  // The hooks the window fills: pending edits of the periodic editor are
  // resolved (asked with 249) or dropped.
  std::function<void()> resolvePendingEdits;
  std::function<void()> dropPendingEdits;

  // The epoch length list: nothing when the length is unchanged and force is
  // not set; a failing recomputation puts the previous length back. True
  // when the statistics were recomputed.
  bool epochLength(int command, bool force = false);
  // The time frame list; a fixed span chosen by the user is stored.
  void timeFrame(std::size_t entry, bool selectOnly);
  // Restore All: asks (316, No by default), then deletes the series files
  // and the edit files, generates the series again and recomputes. True when
  // done.
  bool restoreAll();
  // Undo all segments of a heart slot: message 305 with the signal's name
  // (Yes/No, No default); Yes removes the slot's segments from the segment
  // file, detects its series file again and recomputes. Pending edits are
  // dropped. True when done (the caller refreshes its pages).
  bool undoAllSegments(int slot);
  // Saves the configuration document; a failure shows 189 with the path.
  bool saveConfig();
  // The report editor's filter for this session: its script's name
  // (scripted) or its channel set's (open); empty when it cannot be read.
  std::string reportCategory() const;
  // "Generate Excel Report" (pending edits resolved by the caller): the
  // definition chosen for reportCategory() (nullopt: cancelled), then the
  // generation with this container's epoch length, recomputation and export
  // writer. The analysis settings and the export code page it sets stay for
  // the rest of the session. The caller refreshes its pages afterwards.
  using DefinitionChooser = std::function<std::optional<std::filesystem::path>(const std::string& category)>;
  Status generateExcelReport(const DefinitionChooser& choose);
  // Closing: the 3D view parameters are written and saved, pending edits
  // resolved; the session is released.
  void close();
  // The application setting "BarsOn2DGraph" as the pages left it (kept after
  // close, for the program to write back).
  bool barsOn2DGraph() const { return session_ ? ctx_.barsOn2DGraph : request_.barsOn2DGraph; }

 private:
  UserInterface& ui_;
  Request request_;
  std::unique_ptr<AnalysisSession> session_;
  EpochResults results_;
  ReviewContext ctx_;
  std::string caption_;
  std::string status_;
  std::vector<TimeFrameEntry> timeFrames_;
  std::size_t timeFrameIndex_ = 1;
  double stepLength_ = 0;
};

}  // namespace rc
