#pragma once
// The script protocol of a scripted session: its activities (which are also
// the segments of the session's interval series), the step durations, the
// timeline of step starts and the events that mark activities, steps and
// prompts. Read from the session folder's "Protocol.dat" through the database
// layer; every failed check is shown to the user and nothing is kept.
//
// Times are seconds on the recording's time axis.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/events.h"
#include "store/session_files.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kNoProtocolInfoId = 353;       // the script file holds no protocol information
inline constexpr int kProtocolMismatchId = 354;     // script file name differs from the session's
inline constexpr int kNoActivitiesId = 355;         // no activity or activity-cycle row
inline constexpr int kStepWithoutDurationId = 356;  // a step has no duration record
inline constexpr int kNoScriptItemsId = 357;        // no steps or prompts
inline constexpr int kStepsMismatchId = 358;        // steps and step durations do not pair
inline constexpr int kPromptsMismatchId = 359;      // prompts and prompt durations do not pair
inline constexpr int kActivitiesMismatchId = 360;   // activities and cycle rows do not pair
inline constexpr int kActivityLabelSuffixId = 374;  // parts the activity from the step in event labels
inline constexpr int kFileNotFoundId = 1044;        // followed by the path

// A step whose duration record has this kind takes no part in the analysis.
inline constexpr std::uint8_t kStepKindNotAnalysed = 2;
// A jump target of 100 stands for the number of activities.
inline constexpr int kJumpToLastActivity = 100;

// Event kinds the protocol adds (not written back to Events.dat).
inline constexpr std::uint32_t kActivityEventKind = 2;
inline constexpr std::uint32_t kStepEventKind = 3;
inline constexpr std::uint32_t kPromptEventKind = 2;

struct ActivityRecord {
  std::int32_t number = 0;
  std::string name;
  std::int32_t steps = 0;       // never negative
  std::int32_t cycles = 0;      // below 1: the activity is excluded
  double start = 0.0;           // s
  double duration = 0.0;        // s, all cycles
  std::int32_t jumpTarget = 0;  // 0 = none
  bool excluded = false;
  // Duration of one cycle; 0 for an activity without cycles.
  double cycleLength() const { return cycles > 0 ? duration / cycles : 0.0; }
  bool operator==(const ActivityRecord&) const = default;
};

struct StepDurationRecord {
  std::int32_t activity = 0;
  std::int32_t step = 0;
  std::uint8_t kind = 0;
  double duration = 0.0;  // s
  std::string label;
  bool analysed() const { return kind != kStepKindNotAnalysed; }
  bool operator==(const StepDurationRecord&) const = default;
};

struct PromptDurationRecord {
  std::int32_t activity = 0;
  std::int32_t step = 0;
  std::int32_t prompt = 0;
  double duration = 0.0;  // s
  bool operator==(const PromptDurationRecord&) const = default;
};

struct StepTimelineEntry {
  std::int32_t activity = 0;
  std::string activityName;
  std::int32_t step = 0;
  std::string stepLabel;
  std::int32_t cycle = 0;  // 1-based
  double start = 0.0;      // s
  double duration = 0.0;   // s
  bool operator==(const StepTimelineEntry&) const = default;
};

// The in-memory protocol model. An open session has none (one segment, no steps).
struct ScriptProtocol {
  std::vector<ActivityRecord> activities;  // ActivityNumber order; index = segment index
  std::vector<StepDurationRecord> stepDurations;
  std::vector<PromptDurationRecord> promptDurations;  // of the steps marked as having prompts
  std::vector<StepTimelineEntry> timeline;

  const StepDurationRecord* findStep(std::int32_t activity, std::int32_t step) const;
  // Sum over activities not excluded of cycles x steps that are analysed.
  std::int64_t analysedStepCount() const;
  // Segment durations for series generation: one per activity, in order.
  std::vector<double> segmentDurations() const;
};

// Activity start times and exclusion from the jump targets (ActivityNumber
// order, running time from 0). Activities with fewer than one cycle are
// excluded as well but keep their place on the time axis.
void assignActivityStartTimes(std::vector<ActivityRecord>& activities);

// Most step timeline entries a protocol may have.
inline constexpr std::int64_t kMaxTimelineEntries = 1000000;

// The step timeline (activity by activity, cycle by cycle, analysed step by
// step). Returns false when a step of an analysed activity has no duration
// record, or the timeline would exceed kMaxTimelineEntries (the caller shows
// message 356).
bool buildStepTimeline(ScriptProtocol& protocol);

// Row labels, also the two parts of the event label of a cycle's first step
// (joined there by text 374): the activity's name, or "A%d"; the step's
// label, or "S%d".
std::string activityLabel(const ActivityRecord& activity);
std::string stepLabel(std::int32_t stepNumber, const std::string& label);

// Where the protocol of a session comes from.
struct ProtocolSource {
  std::filesystem::path dataRoot;
  std::string sessionFileName;          // the session's FileName: the script file, relative to the data root
  std::filesystem::path sessionFolder;  // holds "Protocol.dat"
};

// The file a host-stored name refers to: "\" becomes "/", the name is taken
// relative to root; names with ".." components or a drive letter give nullopt.
std::optional<std::filesystem::path> hostFilePath(const std::filesystem::path& root, const std::string& name);

// Loads the protocol with its checks; each failure is shown (error icon, or
// warning for a missing file) and gives nullopt.
std::optional<ScriptProtocol> loadScriptProtocol(const ProtocolSource& source, UserInterface& ui);

// What the event queries read from "Protocol.dat", per activity.
struct ProtocolEventActivity {
  std::int32_t number = 0;
  std::string name;
  std::int32_t cycles = 0;
  std::vector<StepDurationRecord> steps;      // StepNumber order
  std::vector<PromptDurationRecord> prompts;  // of all its steps, StepNumber, PromptNumber order
};

// Most events a protocol adds to the session's list.
inline constexpr std::size_t kMaxProtocolEvents = 1000000;

// The events of the protocol, at the step starts of the model's timeline (at
// most kMaxProtocolEvents, in timeline order).
std::vector<TSessionEvent> protocolEvents(const ScriptProtocol& protocol,
                                          const std::vector<ProtocolEventActivity>& details);

// Reads the session's "Protocol.dat" again and adds the protocol's events to
// the list. Returns false (after showing the failure) when the file cannot be read.
bool addProtocolEvents(const ScriptProtocol& protocol, const std::filesystem::path& sessionFolder,
                       EventList& events, UserInterface& ui);

}  // namespace rc
