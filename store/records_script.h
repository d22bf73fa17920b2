#pragma once
// Record classes of script files and of a scripted session's "Protocol.dat":
// the protocol, its information record, activities, cycles, steps, prompts,
// their durations and the activity transitions. Columns in binding order.
#include <cstdint>
#include <string>

#include "store/ado_types.h"
#include "store/records_base.h"

namespace rc {

// One row of [Protocol].
struct ProtocolRow {
  static constexpr const char* kTable = "[Protocol]";
  std::int32_t ProtocolID = 0;
  std::string Description;
  float Duration = 0.0f;
  std::int16_t NumberOfActivities = 0;
  std::string ChannelSet;
  bool TestActivity = false;
  DbDateTime DateModified;
  std::string Category;
  std::string ExcelFileName;
  std::string ExportFileName;
  bool AutoExcelLaunch = false;
  std::int16_t ExportType = 0;
  std::int16_t ExportHeader = 0;
  std::string MainBitmap;
  bool KeepRatio = false;
  std::string SuiteName;
  bool NimbrelAutoLaunch = false;
  std::string NimbrelExportFileName;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ProtocolID]", ProtocolID);
    v.field("[Description]", Description);
    v.field("[Duration]", Duration);
    v.field("[NumberOfActivities]", NumberOfActivities);
    v.field("[ChannelSet]", ChannelSet);
    v.field("[TestActivity]", TestActivity);
    v.field("[DateModified]", DateModified);
    v.field("[Category]", Category);
    v.field("[ExcelFileName]", ExcelFileName);
    v.field("[ExportFileName]", ExportFileName);
    v.field("[AutoExcelLaunch]", AutoExcelLaunch);
    v.field("[ExportType]", ExportType);
    v.field("[ExportHeader]", ExportHeader);
    v.field("[MainBitmap]", MainBitmap);
    v.field("[KeepRatio]", KeepRatio);
    v.field("[SuiteName]", SuiteName);
    v.field("[NimbrelAutoLaunch]", NimbrelAutoLaunch);
    v.field("[NimbrelExportFileName]", NimbrelExportFileName);
  }
  bool operator==(const ProtocolRow&) const = default;
};
class CRecProtocol final : public CRecTable<ProtocolRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [ProtocolInfo].
struct ProtocolInfoRow {
  static constexpr const char* kTable = "[ProtocolInfo]";
  std::int32_t ClientID = 0;
  std::int32_t SessionID = 0;
  std::string ProtocolFileName;
  float Duration = 0.0f;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ClientID]", ClientID);
    v.field("[SessionID]", SessionID);
    v.field("[ProtocolFileName]", ProtocolFileName);
    v.field("[Duration]", Duration);
  }
  bool operator==(const ProtocolInfoRow&) const = default;
};
class CRecProtocolInfo final : public CRecTable<ProtocolInfoRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Activity].
struct ActivityRow {
  static constexpr const char* kTable = "[Activity]";
  std::int32_t ActivityID = 0;
  std::int16_t ActivityNumber = 0;
  std::string Description;
  float Duration = 0.0f;
  std::int16_t NumberOfCycles = 0;
  float CycleDuration = 0.0f;
  std::int16_t NumberOfSteps = 0;
  std::int16_t ActivityType = 0;
  bool ShowContinueRepeat = false;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.key("[ActivityID]", ActivityID);
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[Description]", Description);
    v.field("[Duration]", Duration);
    v.field("[NumberOfCycles]", NumberOfCycles);
    v.field("[CycleDuration]", CycleDuration);
    v.field("[NumberOfSteps]", NumberOfSteps);
    v.field("[ActivityType]", ActivityType);
    v.field("[ShowContinueRepeat]", ShowContinueRepeat);
  }
  bool operator==(const ActivityRow&) const = default;
};
class CRecActivity final : public CRecTable<ActivityRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [ActivityCycles].
struct ActivityCyclesRow {
  static constexpr const char* kTable = "[ActivityCycles]";
  std::int16_t ActivityNumber = 0;
  std::string ActivityDescription;
  std::int16_t NumberOfCycles = 0;
  float ActivityDuration = 0.0f;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[ActivityDescription]", ActivityDescription);
    v.field("[NumberOfCycles]", NumberOfCycles);
    v.field("[ActivityDuration]", ActivityDuration);
  }
  bool operator==(const ActivityCyclesRow&) const = default;
};
class CRecActivityCycles final : public CRecTable<ActivityCyclesRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Step].
struct StepRow {
  static constexpr const char* kTable = "[Step]";
  std::int32_t StepID = 0;
  std::int16_t ActivityNumber = 0;
  std::int16_t StepNumber = 0;
  std::string Description;
  float Duration = 0.0f;
  std::string Voice;
  std::uint8_t ScreenType = 0;
  std::string TextPrompt;
  std::string InstrumentScreen;
  std::int16_t NumberOfPrompts = 0;
  bool ConditionalStep = false;
  std::int16_t BooleanOperator1 = 0;
  std::int16_t Condition1Channel = 0;
  std::int16_t Condition1 = 0;
  float Threshold1 = 0.0f;
  std::int16_t BooleanOperator2 = 0;
  std::int16_t Condition2Channel = 0;
  std::int16_t Condition2 = 0;
  float Threshold2 = 0.0f;
  std::int16_t BooleanOperator3 = 0;
  std::int16_t Condition3Channel = 0;
  std::int16_t Condition3 = 0;
  float Threshold3 = 0.0f;
  std::int16_t JumpToActivity = 0;
  std::int16_t StepType = 0;
  bool CheckBloodPressure = false;
  bool EarlyEndingStep = false;
  std::int16_t BooleanChannel = 0;
  std::int16_t StepEndEventType = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.key("[StepID]", StepID);
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[StepNumber]", StepNumber);
    v.field("[Description]", Description);
    v.field("[Duration]", Duration);
    v.field("[Voice]", Voice);
    v.field("[ScreenType]", ScreenType);
    v.field("[TextPrompt]", TextPrompt);
    v.field("[InstrumentScreen]", InstrumentScreen);
    v.field("[NumberOfPrompts]", NumberOfPrompts);
    v.field("[ConditionalStep]", ConditionalStep);
    v.field("[BooleanOperator1]", BooleanOperator1);
    v.field("[Condition1Channel]", Condition1Channel);
    v.field("[Condition1]", Condition1);
    v.field("[Threshold1]", Threshold1);
    v.field("[BooleanOperator2]", BooleanOperator2);
    v.field("[Condition2Channel]", Condition2Channel);
    v.field("[Condition2]", Condition2);
    v.field("[Threshold2]", Threshold2);
    v.field("[BooleanOperator3]", BooleanOperator3);
    v.field("[Condition3Channel]", Condition3Channel);
    v.field("[Condition3]", Condition3);
    v.field("[Threshold3]", Threshold3);
    v.field("[JumpToActivity]", JumpToActivity);
    v.field("[StepType]", StepType);
    v.field("[CheckBloodPressure]", CheckBloodPressure);
    v.field("[EarlyEndingStep]", EarlyEndingStep);
    v.field("[BooleanChannel]", BooleanChannel);
    v.field("[StepEndEventType]", StepEndEventType);
  }
  bool operator==(const StepRow&) const = default;
};
class CRecStep final : public CRecTable<StepRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [StepDurations].
struct StepDurationsRow {
  static constexpr const char* kTable = "[StepDurations]";
  std::int16_t ActivityNumber = 0;
  std::int16_t StepNumber = 0;
  float StepDuration = 0.0f;
  std::string StepDescription;
  std::uint8_t StepType = 0;
  std::string ScreenName;
  bool ConditionalStep = false;
  float Threshold1 = 0.0f;
  float Threshold2 = 0.0f;
  float Threshold3 = 0.0f;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[StepNumber]", StepNumber);
    v.field("[StepDuration]", StepDuration);
    v.field("[StepDescription]", StepDescription);
    v.field("[StepType]", StepType);
    v.field("[ScreenName]", ScreenName);
    v.field("[ConditionalStep]", ConditionalStep);
    v.field("[Threshold1]", Threshold1);
    v.field("[Threshold2]", Threshold2);
    v.field("[Threshold3]", Threshold3);
  }
  bool operator==(const StepDurationsRow&) const = default;
};
class CRecStepDurations final : public CRecTable<StepDurationsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Prompt].
struct PromptRow {
  static constexpr const char* kTable = "[Prompt]";
  std::int32_t PromptID = 0;
  std::int16_t ActivityNumber = 0;
  std::int16_t StepNumber = 0;
  std::int16_t PromptNumber = 0;
  float Duration = 0.0f;
  std::string Voice;
  std::string TextPrompt;
  std::string InstrumentScreen;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.key("[PromptID]", PromptID);
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[StepNumber]", StepNumber);
    v.field("[PromptNumber]", PromptNumber);
    v.field("[Duration]", Duration);
    v.field("[Voice]", Voice);
    v.field("[TextPrompt]", TextPrompt);
    v.field("[InstrumentScreen]", InstrumentScreen);
  }
  bool operator==(const PromptRow&) const = default;
};
class CRecPrompt final : public CRecTable<PromptRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [PromptDurations].
struct PromptDurationsRow {
  static constexpr const char* kTable = "[PromptDurations]";
  std::int16_t ActivityNumber = 0;
  std::int16_t StepNumber = 0;
  std::int16_t PromptNumber = 0;
  float PromptDuration = 0.0f;
  std::string TextPrompt;
  std::string ScreenName;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ActivityNumber]", ActivityNumber);
    v.field("[StepNumber]", StepNumber);
    v.field("[PromptNumber]", PromptNumber);
    v.field("[PromptDuration]", PromptDuration);
    v.field("[TextPrompt]", TextPrompt);
    v.field("[ScreenName]", ScreenName);
  }
  bool operator==(const PromptDurationsRow&) const = default;
};
class CRecPromptDurations final : public CRecTable<PromptDurationsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Transition].
struct TransitionRow {
  static constexpr const char* kTable = "[Transition]";
  std::int16_t Activity = 0;
  std::int16_t JumpedTo = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[Activity]", Activity);
    v.field("[JumpedTo]", JumpedTo);
  }
  bool operator==(const TransitionRow&) const = default;
};
class CRecTransition final : public CRecTable<TransitionRow> {
 public:
  using CRecTable::CRecTable;
};

}  // namespace rc
