#include "app/container/main_screen_model.h"

#include <cmath>
#include <system_error>

#include "analysis/protocol/settings.h"
#include "analysis/protocol/settings_dialog.h"
#include "analysis/series/series_file.h"
#include "analysis/series/series_find.h"
#include "app/main_dialog.h"
#include "app/session_analysis.h"
#include "editors/periodic/periodic_editor.h"
#include "editors/periodic/segments.h"
#include "reports/definitions/definition_generate.h"
#include "reports/definitions/report_definition.h"
#include "reports/exports/export_command.h"
#include "reports/exports/export_header.h"
#include "store/ado_database.h"
#include "store/records.h"
#include "store/records_host.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

constexpr int kFixedSpans[] = {1, 5, 15, 30, 60, 180, 300, 900, 1800, 3600};
constexpr const char* kFixedTexts[] = {"1 sec.", "5 sec.", "15 sec.", "30 sec.", "60 sec.",
                                       "3 min.", "5 min.", "15 min.", "30 min.", "60 min."};
constexpr int kDetectingId = 5203;

// The progress of series generation: one dialog per channel that has to be
// detected (the detector reports samples done of the channel's samples).
class LoadProgress {
 public:
  explicit LoadProgress(UserInterface& ui) : ui_(ui) {}
  ~LoadProgress() {
    if (shown_) ui_.endProgress();
  }
  void operator()(std::size_t done, std::size_t total) {
    if (!shown_ || total != total_) {
      if (shown_) ui_.endProgress();
      ui_.beginProgress(str(kDetectingId), static_cast<std::int64_t>(total));
      shown_ = true;
      total_ = total;
    }
    ui_.reportProgress(static_cast<std::int64_t>(done));
  }

 private:
  UserInterface& ui_;
  bool shown_ = false;
  std::size_t total_ = 0;
};

}  // namespace

int wholeSecondsAtLeastOne(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 1) return 1;
  if (seconds >= 2e9) return 2000000000;
  return static_cast<int>(std::ceil(seconds));
}

std::vector<TimeFrameEntry> timeFrameEntries(double length, bool scripted, double stepLength) {
  std::vector<TimeFrameEntry> out;
  for (int i = 0; i < 10; ++i) {
    const bool present = i < 5 || length > kFixedSpans[i - 1];
    if (present) out.push_back({kFixedTexts[i], 32780 + i, kFixedSpans[i]});
  }
  if (scripted) out.push_back({str(215), kStepTimeFrameCommand, wholeSecondsAtLeastOne(stepLength)});
  out.push_back({str(216), kSessionTimeFrameCommand, wholeSecondsAtLeastOne(length)});
  return out;
}

std::size_t storedTimeFrameIndex(const std::vector<TimeFrameEntry>& entries, int stored) {
  if (stored != 5)
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].command < kStepTimeFrameCommand && entries[i].seconds == stored) return i;
  return entries.size() > 1 ? 1 : 0;
}

const std::vector<EpochLengthEntry>& epochLengthEntries() {
  static const std::vector<EpochLengthEntry> kEntries = {
      {"1 min.", 32800, 60}, {"3 min.", 32801, 180}, {"5 min.", 32802, 300}, {"10 min.", 32805, 600}};
  return kEntries;
}

std::optional<int> epochSecondsOfCommand(int command) {
  switch (command) {
    case 32800:
      return 60;
    case 32801:
      return 180;
    case 32802:
    case 32803:
    case 32804:
      return 300;
    case 32805:
      return 600;
    default:
      return std::nullopt;
  }
}

int epochLengthIndex(int seconds) {
  const auto& e = epochLengthEntries();
  for (std::size_t i = 0; i < e.size(); ++i)
    if (e[i].seconds == seconds) return static_cast<int>(i);
  return -1;
}

std::string sessionStatusText(const DbDateTime& when, double duration) {
  return substituteArgs(str(246), {FormatArg(when.text()), FormatArg(durationText(duration))});
}

std::string containerCaption(bool openSession, const std::string& clientName,
                             const std::string& description) {
  return str(200) + ". " + str(openSession ? 321 : 322) + ". " + str(323) + ": " + clientName + ". " +
         description;
}

int initialHeartSlot(const AnalysisSession& s) {
  const bool ekg = s.slots[kSlotEkg].used() && (s.settings.ibiSource == 2 || s.settings.ibiSource == 3);
  return ekg ? kSlotEkg : kSlotBvp;
}

bool heartButtonEnabled(const AnalysisSession& s, int slot) {
  if (slot == kSlotEkg) return s.slots[kSlotEkg].used() && s.settings.ibiSource != kSourceBvp;
  if (slot == kSlotBvp) return s.slots[kSlotBvp].used() && s.settings.ibiSource != kSourceEkg;
  return s.slots[kSlotResp].used();
}

MainScreenModel::MainScreenModel(UserInterface& ui) : ui_(ui) {}

LoadResult MainScreenModel::load(const Request& rq) {
  request_ = rq;
  SessionLoadRequest lr{rq.dataRoot, rq.programFolder, rq.clientId, rq.sessionId, {}};
  {
    LoadProgress progress(ui_);
    lr.progress = [&progress](std::size_t done, std::size_t total) { progress(done, total); };
    session_ = loadSessionForAnalysis(lr, ui_);
  }
  if (!session_) return LoadResult::Failed;
  AnalysisSession& s = *session_;
  if (!s.configFromFile) {
    // A document that did not load must never be saved over the file.
    ui_.showMessage(MessageBuilder().id(1044).text(" ").text(s.configFile.string()), Icon::Warning);
    session_.reset();
    return LoadResult::Failed;
  }
  const bool ekgMissing = selectionUsesEkg(s.settings.ibiSource) && !s.ekg;
  const bool bvpMissing = selectionUsesBvp(s.settings.ibiSource) && !s.bvp;
  const bool ekgEmpty = !s.ekg || s.ekg->values.empty();
  const bool bvpEmpty = !s.bvp || s.bvp->values.empty();
  if (ekgEmpty && bvpEmpty) {
    session_.reset();
    return LoadResult::NoIntervals;
  }
  if (ekgMissing || bvpMissing) {
    // One of the selected sources has no series: name it rather than
    // letting the missing series look like a session under a minute.
    ui_.showMessage(MessageBuilder()
                        .id(kCannotAnalyseId)
                        .text(": ")
                        .id(ekgMissing ? kMissingEkgSeriesId : kMissingBvpSeriesId),
                    Icon::Warning);
    session_.reset();
    return LoadResult::Failed;
  }
  EpochInputs in = s.epochInputs();
  const EpochTimeStore store{&s.config, s.configFile};
  const SessionAnalysisOutcome outcome = analyseLoadedSession(in, store, results_, ui_);
  if (outcome != SessionAnalysisOutcome::Ready) {
    session_.reset();
    return outcome == SessionAnalysisOutcome::NoIntervals ? LoadResult::NoIntervals : LoadResult::Failed;
  }
  s.settings.epochTime = in.epochSeconds;

  std::string clientName, description;
  DbDateTime when;
  try {
    CADODatabase db;
    if (db.open(rq.dataRoot / kMainDatabaseName, CADODatabase::Mode::ReadOnly)) {
      CRecSessions row(db);
      row.openQuery(sessionQuery(rq.clientId, rq.sessionId));
      if (!row.isEOF()) {
        when = row.DateTime;
        description = row.Description;
      }
      CRecClients c(db);
      for (c.openQuery(clientListQuery()); !c.isEOF(); c.moveNext())
        if (c.ClientID == rq.clientId)
          clientName = clientDisplayName(c.LastName, c.FirstName, rq.confidential);
    }
  } catch (const CADOException&) {
    // The caption and status text stay short; the session is loaded.
  }
  status_ = sessionStatusText(when, s.duration);
  caption_ = containerCaption(s.openSession, clientName, description);
  if (s.protocol && !s.protocol->segmentDurations().empty())
    stepLength_ = s.protocol->segmentDurations().front();
  timeFrames_ = timeFrameEntries(s.duration, !s.openSession, stepLength_);
  timeFrameIndex_ = storedTimeFrameIndex(timeFrames_, s.settings.timeFrame);

  ctx_ = ReviewContext{};
  ctx_.session = &s;
  ctx_.results = &results_;
  ctx_.ui = &ui_;
  ctx_.heartSlot = initialHeartSlot(s);
  ctx_.timeFrameSeconds = timeFrames_[timeFrameIndex_].seconds;
  ctx_.recompute = [this] { return recompute(); };
  ctx_.barsOn2DGraph = rq.barsOn2DGraph;
  ctx_.undoAllSegments = [this](int slot) { return undoAllSegments(slot); };
  return LoadResult::Ready;
}

int MainScreenModel::recompute() {
  if (!session_) return kRecomputeNoSeries;
  const int r = recomputeEpochs(session_->epochInputs(), results_, ui_);
  if (r == kRecomputeOk) ctx_.statisticsOutOfDate = false;
  return r;
}

bool MainScreenModel::epochLength(int command, bool force) {
  const auto seconds = epochSecondsOfCommand(command);
  if (!session_ || !seconds) return false;
  AnalysisSettings& st = session_->settings;
  if (*seconds == st.epochTime && !force) return false;
  const EpochChangeOutcome o = changeEpochLength(
      *seconds, st.epochTime, [this] { return recompute() == kRecomputeOk; }, session_->config,
      session_->configFile);
  if (o.written && !o.saved) ui_.showMessage(fileNotCreatedMessage(session_->configFile), Icon::Warning);
  return o.applied;
}

void MainScreenModel::timeFrame(std::size_t entry, bool selectOnly) {
  if (!session_ || entry >= timeFrames_.size()) return;
  TimeFrameEntry& e = timeFrames_[entry];
  if (e.command == kStepTimeFrameCommand) e.seconds = wholeSecondsAtLeastOne(stepLength_);
  timeFrameIndex_ = entry;
  ctx_.timeFrameSeconds = e.seconds;
  if (selectOnly || e.command >= kStepTimeFrameCommand) return;
  session_->settings.timeFrame = e.seconds;
  if (writeSettingInt(session_->config, "TimeFrame", e.seconds)) saveConfig();
}

bool MainScreenModel::saveConfig() {
  if (!session_) return false;
  if (session_->config.Save(session_->configFile)) return true;
  ui_.showMessage(fileNotCreatedMessage(session_->configFile), Icon::Warning);
  return false;
}

std::string MainScreenModel::reportCategory() const {
  if (!session_) return {};
  if (!session_->openSession) return sessionScriptName(request_.dataRoot, request_.clientId, request_.sessionId);
  const auto set = sessionChannelSetFile(request_.dataRoot, request_.clientId, request_.sessionId);
  return set ? set->stem().string() : std::string();
}

Status MainScreenModel::generateExcelReport(const DefinitionChooser& choose) {
  if (!session_) return Status::error("no session");
  const auto definition = choose(reportCategory());
  if (!definition) return Status::error("cancelled");
  GenerationHooks hooks;
  hooks.setEpochLength = [this](int seconds) {
    for (const EpochLengthEntry& e : epochLengthEntries())
      if (e.seconds == seconds) {
        epochLength(e.command);
        return session_->settings.epochTime == seconds;
      }
    return false;
  };
  hooks.recompute = [this] { recompute(); };
  hooks.rebuildStepStatistics = [this] { recompute(); };
  hooks.writeExport = [this](const ExportRequest& r) {
    const ExportSources src{session_.get(), &results_, exportSessionInfo(*session_)};
    return writeRequestedExport(src, r, ui_);
  };
  ExportPreferences prefs = currentExportPreferences();
  int codePage = prefs.codePage;
  const Status st = rc::generateExcelReport(*definition, request_.dataRoot / kReportsFolderName,
                                            {&session_->settings, &codePage}, hooks, ui_);
  if (codePage != prefs.codePage) {
    prefs.codePage = codePage;
    applyExportPreferences(prefs);
  }
  return st;
}

bool MainScreenModel::undoAllSegments(int slot) {
  if (!session_ || (slot != kSlotEkg && slot != kSlotBvp)) return false;
  AnalysisSession& s = *session_;
  const SignalSlot& sl = s.slots[static_cast<std::size_t>(slot)];
  if (!sl.used()) return false;
  const std::string name = sl.description.empty() ? sl.label : sl.description;
  if (!ui_.askYesNo(MessageBuilder().idArg(kUndoAllSegmentsQuestionId, name).build(), false, Icon::Question))
    return false;
  if (dropPendingEdits) dropPendingEdits();
  const fs::path file = periodicSegmentsPath(s.folder);
  PeriodicSegmentList list;
  if (readPeriodicSegments(file, list)) {
    list.removeSource(sl.input);
    if (list.empty())
      deletePeriodicSegments(file, ui_);
    else
      savePeriodicSegments(file, list, ui_);
  }
  {
    LoadProgress progress(ui_);
    regenerateHeartSeries(s, slot, ui_, [&progress](std::size_t d, std::size_t t) { progress(d, t); });
  }
  recompute();
  return true;
}

bool MainScreenModel::restoreAll() {
  if (!session_) return false;
  if (!ui_.askYesNo(messageOf(kRestoreAllQuestionId), false, Icon::Question)) return false;
  AnalysisSession& s = *session_;
  std::error_code ec;
  auto remove = [&](SeriesKind kind, int slot) {
    if (s.slots[slot].used()) fs::remove(seriesFilePath(s.folder, kind, s.slots[slot].label), ec);
  };
  if (s.settings.ibiSource == 2 || s.settings.ibiSource == 3) remove(SeriesKind::IbiFromEkg, kSlotEkg);
  if (s.settings.ibiSource != 2) remove(SeriesKind::IbiFromBvp, kSlotBvp);
  remove(SeriesKind::RespPeriod, kSlotResp);
  for (int k = 7; k <= 8; ++k)
    if (s.slots[k].rawEmg) remove(SeriesKind::Rms, k);
  if (dropPendingEdits) dropPendingEdits();
  s.rejected.clear();
  fs::remove(s.folder / "HRV_PSegments.dat", ec);
  fs::remove(s.folder / "ChannelSegments.dat", ec);
  {
    LoadProgress progress(ui_);
    findOrCreateSessionSeries(s, ui_, [&progress](std::size_t d, std::size_t t) { progress(d, t); });
  }
  recompute();
  return true;
}

void MainScreenModel::close() {
  if (!session_) return;
  AnalysisSession& s = *session_;
  const AnalysisSettings& st = s.settings;
  bool ok = writeSettingInt(s.config, "HorizOffset", st.horizOffset);
  ok = writeSettingInt(s.config, "VertOffset", st.vertOffset) && ok;
  ok = writeSettingInt(s.config, "Zoom", st.zoom) && ok;
  ok = writeSettingInt(s.config, "Elevation", st.elevation) && ok;
  ok = writeSettingInt(s.config, "Rotation", st.rotation) && ok;
  if (ok) s.config.Save(s.configFile);  // a document without a root is never saved
  if (resolvePendingEdits) resolvePendingEdits();
  request_.barsOn2DGraph = ctx_.barsOn2DGraph;
  ctx_ = ReviewContext{};
  results_ = EpochResults{};
  session_.reset();
}

}  // namespace rc
