// Reading a session's script protocol from its database files.
#include <set>
#include <string>

#include "analysis/protocol/protocol.h"
#include "store/ado_database.h"
#include "store/ado_types.h"
#include "store/records_script.h"
#include "store/staging.h"
#include "support/format.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProtocolFileName = "Protocol.dat";

// A failed check: the string id to show, with the error icon.
struct CheckFailed {
  int id;
};

std::string normalisedName(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

// Opens a database that must exist; shows 1044 with the path when it does not.
bool openExisting(CADODatabase& db, const fs::path& path, UserInterface& ui) {
  auto found = findFileNoCase(path);
  if (!found || !db.open(*found, CADODatabase::Mode::ReadOnly)) {
    ui.showMessage(MessageBuilder().id(kFileNotFoundId).text(" ").text(path.string()), Icon::Warning);
    return false;
  }
  return true;
}

void readProtocolInfo(CADODatabase& script, const std::string& sessionFileName) {
  CRecProtocolInfo info(script);
  info.open(true);
  if (info.isEOF()) throw CheckFailed{kNoProtocolInfoId};
  if (!equalsNoCase(normalisedName(info.ProtocolFileName), normalisedName(sessionFileName)))
    throw CheckFailed{kProtocolMismatchId};
}

void countScriptItems(CADODatabase& db) {
  CRecPrompt prompts(db);
  prompts.openQuery(
      "SELECT * FROM Prompt WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber, PromptNumber ASC");
  CRecStep steps(db);
  steps.openQuery(
      "SELECT * FROM Step WHERE ActivityNumber > 0 AND ScreenType <> 1 ORDER BY ActivityNumber, StepNumber "
      "ASC");
  if (prompts.recordCount() + steps.recordCount() == 0) throw CheckFailed{kNoScriptItemsId};
}

void readPrompts(CADODatabase& db, std::int32_t activity, std::int32_t step, ScriptProtocol& out) {
  const std::string where =
      strprintf(" WHERE ActivityNumber = %d AND StepNumber = %d ORDER BY PromptNumber ASC", activity, step);
  CRecPrompt prompts(db);
  prompts.openQuery("SELECT * FROM Prompt" + where);
  CRecPromptDurations durations(db);
  durations.openQuery("SELECT * FROM PromptDurations" + where);
  if (prompts.isEOF() || durations.isEOF()) throw CheckFailed{kNoScriptItemsId};
  for (; !prompts.isEOF() || !durations.isEOF(); prompts.moveNext(), durations.moveNext()) {
    if (prompts.isEOF() || durations.isEOF() || prompts.PromptNumber != durations.PromptNumber)
      throw CheckFailed{kPromptsMismatchId};
    out.promptDurations.push_back({activity, step, durations.PromptNumber, durations.PromptDuration});
  }
}

void readSteps(CADODatabase& db, ScriptProtocol& out) {
  CRecStep steps(db);
  steps.openQuery("SELECT * FROM Step WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber ASC");
  CRecStepDurations durations(db);
  durations.openQuery(
      "SELECT * FROM StepDurations WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber ASC");
  if (steps.isEOF() || durations.isEOF()) throw CheckFailed{kStepWithoutDurationId};
  // Pair by pair; rows left over in either table end the walk as a mismatch.
  for (; !steps.isEOF() || !durations.isEOF(); steps.moveNext(), durations.moveNext()) {
    if (steps.isEOF() || durations.isEOF() || steps.ActivityNumber != durations.ActivityNumber ||
        steps.StepNumber != durations.StepNumber)
      throw CheckFailed{kStepsMismatchId};
    out.stepDurations.push_back({durations.ActivityNumber, durations.StepNumber, durations.StepType,
                                 static_cast<double>(durations.StepDuration), durations.StepDescription});
    if (steps.NumberOfPrompts > 0) readPrompts(db, steps.ActivityNumber, steps.StepNumber, out);
  }
}

void readActivities(CADODatabase& db, ScriptProtocol& out) {
  CRecActivity activities(db);
  activities.openQuery("SELECT * FROM Activity WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC");
  CRecActivityCycles cycles(db);
  cycles.openQuery("SELECT * FROM ActivityCycles WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC");
  if (activities.isEOF() || cycles.isEOF()) throw CheckFailed{kNoActivitiesId};
  std::set<std::int32_t> withDurations;
  for (const StepDurationRecord& s : out.stepDurations) withDurations.insert(s.activity);
  for (; !activities.isEOF() || !cycles.isEOF(); activities.moveNext(), cycles.moveNext()) {
    if (activities.isEOF() || cycles.isEOF() || activities.ActivityNumber != cycles.ActivityNumber)
      throw CheckFailed{kActivitiesMismatchId};
    ActivityRecord a;
    a.number = activities.ActivityNumber;
    a.name = activities.Description.empty() ? cycles.ActivityDescription : activities.Description;
    a.steps = std::max<std::int32_t>(0, activities.NumberOfSteps);
    a.cycles = cycles.NumberOfCycles;
    a.duration = cycles.ActivityDuration;
    if (!withDurations.contains(a.number)) throw CheckFailed{kStepWithoutDurationId};
    out.activities.push_back(std::move(a));
  }
}

void readTransitions(CADODatabase& db, ScriptProtocol& out) {
  CRecTransition transitions(db);
  transitions.open(true);
  for (; !transitions.isEOF(); transitions.moveNext())
    for (ActivityRecord& a : out.activities)
      if (a.number == transitions.Activity) a.jumpTarget = transitions.JumpedTo;
}

}  // namespace

std::optional<ScriptProtocol> loadScriptProtocol(const ProtocolSource& source, UserInterface& ui) {
  CADODatabase script;
  CADODatabase protocolDb;
  auto scriptPath = hostFilePath(source.dataRoot, source.sessionFileName);
  try {
    if (!scriptPath) {
      ui.showMessage(MessageBuilder().id(kFileNotFoundId).text(" ").text(source.sessionFileName),
                     Icon::Warning);
      return std::nullopt;
    }
    if (!openExisting(script, *scriptPath, ui)) return std::nullopt;
    if (!openExisting(protocolDb, source.sessionFolder / kProtocolFileName, ui)) return std::nullopt;

    ScriptProtocol protocol;
    readProtocolInfo(script, source.sessionFileName);
    countScriptItems(protocolDb);
    readSteps(protocolDb, protocol);
    readActivities(protocolDb, protocol);
    readTransitions(protocolDb, protocol);
    assignActivityStartTimes(protocol.activities);
    if (!buildStepTimeline(protocol)) throw CheckFailed{kStepWithoutDurationId};
    return protocol;
  } catch (const CheckFailed& f) {
    ui.showMessage(messageOf(f.id), Icon::Error);
  } catch (const CADOException& e) {
    reportDatabaseError(ui, e);
  }
  return std::nullopt;
}

bool addProtocolEvents(const ScriptProtocol& protocol, const fs::path& sessionFolder, EventList& events,
                       UserInterface& ui) {
  CADODatabase db;
  std::vector<ProtocolEventActivity> details;
  try {
    if (!openExisting(db, sessionFolder / kProtocolFileName, ui)) return false;
    CRecActivityCycles all(db);
    all.openQuery("SELECT * FROM ActivityCycles WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC ");
    CRecTransition transitions(db);
    transitions.openQuery("SELECT * FROM Transition ORDER BY Activity ASC");
    for (; !all.isEOF(); all.moveNext()) {
      const std::int32_t n = all.ActivityNumber;
      ProtocolEventActivity d;
      CRecActivityCycles cycles(db);
      cycles.openQuery(strprintf(
          "SELECT * FROM ActivityCycles WHERE ActivityNumber >= %d ORDER BY ActivityNumber ASC ", n));
      d.number = n;
      d.name = cycles.ActivityDescription;
      d.cycles = cycles.NumberOfCycles;
      CRecStepDurations steps(db);
      steps.openQuery(
          strprintf("SELECT * FROM StepDurations WHERE ActivityNumber = %d ORDER BY StepNumber ASC ", n));
      for (; !steps.isEOF(); steps.moveNext()) {
        d.steps.push_back({n, steps.StepNumber, steps.StepType, static_cast<double>(steps.StepDuration),
                           steps.StepDescription});
        CRecPromptDurations prompts(db);
        prompts.openQuery(
            strprintf("SELECT * FROM PromptDurations WHERE ActivityNumber = %d AND StepNumber = %d ORDER BY "
                      "PromptNumber ASC ",
                      n, static_cast<int>(steps.StepNumber)));
        for (; !prompts.isEOF(); prompts.moveNext())
          d.prompts.push_back(
              {n, prompts.StepNumber, prompts.PromptNumber, static_cast<double>(prompts.PromptDuration)});
      }
      details.push_back(std::move(d));
    }
  } catch (const CADOException& e) {
    reportDatabaseError(ui, e);
    return false;
  }
  // Names as the loaded model knows them (the script's own activity names).
  for (ProtocolEventActivity& d : details)
    for (const ActivityRecord& a : protocol.activities)
      if (a.number == d.number && !a.name.empty()) d.name = a.name;
  for (const TSessionEvent& e : protocolEvents(protocol, details)) events.add(e.kind, e.time, e.name);
  return true;
}

}  // namespace rc
