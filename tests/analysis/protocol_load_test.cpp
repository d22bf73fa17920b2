#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/protocol/protocol.h"
#include "store/host_builder.h"
#include "store/records_script.h"
#include "support/language.h"
#include "support/utf.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

const fs::path kSchema = fs::path(RC_SOURCE_DIR) / "resources" / "schema";

// A script of three activities: 1 "Rest" (3 cycles of steps 1, 2 at 60 s),
// 2 unnamed (1 cycle: step 1 of 30 s with three prompts of 10 s, step 2 of
// kind 2, step 3 of 20 s), 3 "Task" (2 cycles, one 45 s step).
struct ScriptSpec {
  std::vector<ActivityRow> activities;
  std::vector<ActivityCyclesRow> cycles;
  std::vector<StepRow> steps;
  std::vector<StepDurationsRow> durations;
  std::vector<PromptRow> prompts;
  std::vector<PromptDurationsRow> promptDurations;
  std::vector<TransitionRow> transitions;
  std::vector<ProtocolInfoRow> info{{7, 3, "Scripts\\Demo.prt", 500.0f}};

  void activity(std::int16_t n, const std::string& name, std::int16_t steps, std::int16_t cycles,
                float duration) {
    ActivityRow a;
    a.ActivityNumber = n;
    a.Description = name;
    a.NumberOfSteps = steps;
    a.NumberOfCycles = cycles;
    a.Duration = duration;
    activities.push_back(a);
    cycles_(n, name, cycles, duration);
  }
  void cycles_(std::int16_t n, const std::string& name, std::int16_t c, float duration) {
    ActivityCyclesRow r;
    r.ActivityNumber = n;
    r.ActivityDescription = name;
    r.NumberOfCycles = c;
    r.ActivityDuration = duration;
    cycles.push_back(r);
  }
  void step(std::int16_t a, std::int16_t s, float duration, std::uint8_t kind = 0,
            const std::string& label = "", std::int16_t prompts = 0) {
    StepRow r;
    r.ActivityNumber = a;
    r.StepNumber = s;
    r.Duration = duration;
    r.NumberOfPrompts = prompts;
    steps.push_back(r);
    StepDurationsRow d;
    d.ActivityNumber = a;
    d.StepNumber = s;
    d.StepDuration = duration;
    d.StepType = kind;
    d.StepDescription = label;
    durations.push_back(d);
  }
  void prompt(std::int16_t a, std::int16_t s, std::int16_t p, float duration) {
    PromptRow r;
    r.ActivityNumber = a;
    r.StepNumber = s;
    r.PromptNumber = p;
    r.Duration = duration;
    prompts.push_back(r);
    promptDurations.push_back({a, s, p, duration, "", ""});
  }
};

ScriptSpec demoScript() {
  ScriptSpec s;
  s.activity(1, "Rest", 2, 3, 360.0f);
  s.activity(2, "", 3, 1, 50.0f);
  s.activity(3, "Task", 1, 2, 90.0f);
  s.step(1, 1, 60.0f, 0, "Eyes open");
  s.step(1, 2, 60.0f);
  s.step(2, 1, 30.0f, 0, "", 3);
  s.prompt(2, 1, 1, 10.0f);
  s.prompt(2, 1, 2, 10.0f);
  s.prompt(2, 1, 3, 10.0f);
  s.step(2, 2, 15.0f, kStepKindNotAnalysed);
  s.step(2, 3, 20.0f);
  s.step(3, 1, 45.0f);
  return s;
}

class ProtocolLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh folder of its own (the names of parameterised tests hold a "/",
    // so they cannot name the folder).
    std::string pattern = (fs::temp_directory_path() / "rc_proto_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "Scripts");
    fs::create_directories(folder());
    for (int id : {kActivityLabelSuffixId, kFileNotFoundId}) saved_.emplace_back(id, str(id));
    language().set(kActivityLabelSuffixId, ", ");
  }
  void TearDown() override {
    for (const auto& [id, text] : saved_) language().set(id, text);
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  fs::path folder() const { return root_ / "Clients" / "7" / "Sess0003"; }

  void write(const ScriptSpec& s, bool withProtocol = true) {
    auto script = HostDbBuilder::create(HostDbKind::Script, kSchema);
    ASSERT_TRUE(script.isOk()) << script.status().message();
    for (const auto& r : s.info) script->add(r);
    ASSERT_TRUE(script->write(root_ / "Scripts" / "demo.PRT").isOk());
    if (!withProtocol) return;
    auto p = HostDbBuilder::create(HostDbKind::SessionProtocol, kSchema);
    ASSERT_TRUE(p.isOk());
    for (const auto& r : s.activities) p->add(r);
    for (const auto& r : s.cycles) p->add(r);
    for (const auto& r : s.steps) p->add(r);
    for (const auto& r : s.durations) p->add(r);
    for (const auto& r : s.prompts) p->add(r);
    for (const auto& r : s.promptDurations) p->add(r);
    for (const auto& r : s.transitions) p->add(r);
    ASSERT_TRUE(p->write(folder() / "Protocol.dat").isOk());
  }

  std::optional<ScriptProtocol> load() {
    return loadScriptProtocol({root_, "Scripts\\Demo.prt", folder()}, ui_);
  }

  fs::path root_;
  ScriptedUi ui_;
  std::vector<std::pair<int, std::string>> saved_;  // language texts a test changes
};

TEST_F(ProtocolLoadTest, LoadsActivitiesStepsAndTimeline) {
  write(demoScript());
  auto p = load();
  ASSERT_TRUE(p) << (ui_.records().empty() ? "" : ui_.records()[0].message.text);
  EXPECT_TRUE(ui_.records().empty());
  ASSERT_EQ(p->activities.size(), 3u);
  EXPECT_EQ(p->activities[0].start, 0.0);
  EXPECT_EQ(p->activities[1].start, 360.0);
  EXPECT_EQ(p->activities[2].start, 410.0);
  EXPECT_EQ(p->activities[0].cycleLength(), 120.0);
  // 3 x 2 + 1 x 2 (kind 2 left out) + 2 x 1.
  EXPECT_EQ(p->analysedStepCount(), 10);
  ASSERT_EQ(p->timeline.size(), 10u);
  const double starts[] = {0, 60, 120, 180, 240, 300};
  const int cyclesOf[] = {1, 1, 2, 2, 3, 3};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(p->timeline[i].start, starts[i]);
    EXPECT_EQ(p->timeline[i].cycle, cyclesOf[i]);
    EXPECT_EQ(p->timeline[i].step, i % 2 + 1);
  }
  // The kind-2 step gets no entry; step 3 starts where step 1 ended.
  EXPECT_EQ(p->timeline[6].step, 1);
  EXPECT_EQ(p->timeline[7].step, 3);
  EXPECT_EQ(p->timeline[7].start, 390.0);
  EXPECT_EQ(p->timeline[9].start, 455.0);
  EXPECT_EQ(p->promptDurations.size(), 3u);
  EXPECT_EQ(p->segmentDurations(), (std::vector<double>{360.0, 50.0, 90.0}));
}

TEST_F(ProtocolLoadTest, JumpExcludesSkippedActivities) {
  ScriptSpec s = demoScript();
  s.activity(4, "After", 1, 1, 30.0f);
  s.step(4, 1, 30.0f);
  s.transitions.push_back({1, 3});
  write(s);
  auto p = load();
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->activities[0].excluded);
  EXPECT_TRUE(p->activities[1].excluded);
  EXPECT_FALSE(p->activities[2].excluded);
  EXPECT_EQ(p->activities[2].start, 0.0);
  EXPECT_EQ(p->activities[3].start, 90.0);
  ASSERT_EQ(p->timeline.size(), 3u);
  EXPECT_EQ(p->timeline[0].activity, 3);
}

TEST_F(ProtocolLoadTest, JumpTargetHundredMeansLastActivity) {
  ScriptSpec s = demoScript();
  s.transitions.push_back({1, kJumpToLastActivity});
  write(s);
  auto p = load();
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->activities[1].excluded);
  EXPECT_FALSE(p->activities[2].excluded);
}

TEST_F(ProtocolLoadTest, ActivitiesWithoutCyclesTakeNoPart) {
  ScriptSpec s = demoScript();
  s.cycles[0].NumberOfCycles = 0;
  s.cycles[2].NumberOfCycles = -1;
  s.activities[1].NumberOfSteps = -4;
  write(s);
  auto p = load();
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->activities[0].excluded);
  EXPECT_TRUE(p->activities[2].excluded);
  EXPECT_EQ(p->activities[1].steps, 0);
  // The empty first activity still occupies its time.
  EXPECT_EQ(p->activities[1].start, 360.0);
  EXPECT_TRUE(p->timeline.empty());
  EXPECT_EQ(p->analysedStepCount(), 0);
  EXPECT_EQ(p->activities[0].cycleLength(), 0.0);
}

struct FailureCase {
  const char* name;
  std::function<void(ScriptSpec&)> damage;
  int id;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ProtocolFailureTest : public ProtocolLoadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ProtocolFailureTest, StopsWithItsMessage) {
  ScriptSpec s = demoScript();
  GetParam().damage(s);
  write(s);
  EXPECT_FALSE(load());
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{GetParam().id});
  EXPECT_EQ(ui_.records()[0].icon, Icon::Error);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, ProtocolFailureTest,
    ::testing::Values(
        FailureCase{"NoInfo", [](ScriptSpec& s) { s.info.clear(); }, kNoProtocolInfoId},
        FailureCase{"OtherScript", [](ScriptSpec& s) { s.info[0].ProtocolFileName = "Scripts\\Other.prt"; },
                    kProtocolMismatchId},
        FailureCase{"NoItems",
                    [](ScriptSpec& s) {
                      for (auto& st : s.steps) st.ScreenType = 1;
                      s.prompts.clear();
                    },
                    kNoScriptItemsId},
        FailureCase{"NoDurations", [](ScriptSpec& s) { s.durations.clear(); }, kStepWithoutDurationId},
        FailureCase{"StepPairs", [](ScriptSpec& s) { s.durations[1].StepNumber = 5; }, kStepsMismatchId},
        FailureCase{"StepCount", [](ScriptSpec& s) { s.durations.pop_back(); }, kStepsMismatchId},
        FailureCase{"PromptPairs", [](ScriptSpec& s) { s.promptDurations[2].PromptNumber = 9; },
                    kPromptsMismatchId},
        FailureCase{"NoPrompts",
                    [](ScriptSpec& s) {
                      s.prompts.clear();
                      s.promptDurations.clear();
                    },
                    kNoScriptItemsId},
        FailureCase{"ActivityPairs", [](ScriptSpec& s) { s.cycles[2].ActivityNumber = 4; },
                    kActivitiesMismatchId},
        FailureCase{"NoActivities", [](ScriptSpec& s) { s.cycles.clear(); }, kNoActivitiesId},
        FailureCase{"ActivityWithoutSteps", [](ScriptSpec& s) { s.activities[2].NumberOfSteps = 2; },
                    kStepWithoutDurationId},
        // An activity of no steps still needs its step durations.
        FailureCase{"ActivityWithoutDurations",
                    [](ScriptSpec& s) {
                      s.activities[2].NumberOfSteps = 0;
                      s.steps.pop_back();
                      s.durations.pop_back();
                    },
                    kStepWithoutDurationId},
        // The tables are walked pair by pair: a fault met on the way is
        // reported before the surplus rows at the end.
        FailureCase{"PromptsBeforeStepSurplus",
                    [](ScriptSpec& s) {
                      s.promptDurations[2].PromptNumber = 9;
                      s.durations.pop_back();
                    },
                    kPromptsMismatchId},
        FailureCase{"StepSurplusAtTheEnd",
                    [](ScriptSpec& s) {
                      s.step(4, 1, 10.0f);
                      s.durations.pop_back();
                    },
                    kStepsMismatchId},
        FailureCase{"ActivityBeforeCycleSurplus",
                    [](ScriptSpec& s) {
                      s.steps.pop_back();
                      s.durations.pop_back();
                      s.cycles_(4, "Extra", 1, 10.0f);
                    },
                    kStepWithoutDurationId},
        FailureCase{"CycleSurplusAtTheEnd", [](ScriptSpec& s) { s.cycles_(4, "Extra", 1, 10.0f); },
                    kActivitiesMismatchId}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolLoadTest, MissingFilesAreNamed) {
  write(demoScript(), false);
  EXPECT_FALSE(load());
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{kFileNotFoundId});
  EXPECT_EQ(ui_.records()[0].icon, Icon::Warning);
  EXPECT_NE(ui_.records()[0].message.text.find("Protocol.dat"), std::string::npos);

  ui_.clear();
  language().set(kFileNotFoundId, "Missing:");
  EXPECT_FALSE(loadScriptProtocol({root_, "..\\..\\etc\\passwd", folder()}, ui_));
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{kFileNotFoundId});
  EXPECT_EQ(ui_.records()[0].message.text, "Missing: ..\\..\\etc\\passwd");
  EXPECT_EQ(ui_.records()[0].icon, Icon::Warning);
}

TEST(HostFilePath, ConvertsSeparatorsAndRefusesEscapes) {
  EXPECT_EQ(hostFilePath("/r", "Scripts\\A.prt"), fs::path("/r/Scripts/A.prt"));
  EXPECT_EQ(hostFilePath("/r", "\\Scripts\\.\\A.prt"), fs::path("/r/Scripts/A.prt"));
  EXPECT_FALSE(hostFilePath("/r", "Scripts\\..\\..\\A.prt"));
  EXPECT_FALSE(hostFilePath("/r", "C:\\Scripts\\A.prt"));
  EXPECT_FALSE(hostFilePath("/r", ""));
}

TEST_F(ProtocolLoadTest, EventsMarkCyclesStepsAndLaterPrompts) {
  write(demoScript());
  auto p = load();
  ASSERT_TRUE(p);
  EventList events;
  ASSERT_TRUE(addProtocolEvents(*p, folder(), events, ui_));
  std::vector<std::pair<double, std::string>> got;
  for (const TSessionEvent& e : events.events()) got.emplace_back(e.time, toUtf8(e.name));
  const std::vector<std::pair<double, std::string>> want = {
      {0, "Rest, Eyes open"},   {60, "S2"},  {120, "Rest, Eyes open"}, {180, "S2"},
      {240, "Rest, Eyes open"}, {300, "S2"}, {360, "A2, S1"},          {370, "A2, S1, P2"},
      {380, "A2, S1, P3"},      {390, "S3"}, {410, "Task, S1"},        {455, "Task, S1"}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(events.events()[0].kind, kActivityEventKind);
  EXPECT_EQ(events.events()[1].kind, kStepEventKind);
  // Protocol events are never written back.
  EXPECT_TRUE(events.serialise().empty());
}

// Counts as large as the file's 16-bit fields allow, with every step left out
// of the analysis: no entries, and the build does not walk cycles x steps.
TEST(StepTimeline, LargestCountsWithoutAnalysedSteps) {
  ScriptProtocol p;
  p.activities.push_back({1, "", 32767, 32767, 0.0, 1.0, 0, false});
  for (std::int32_t s = 1; s <= 32767; ++s) p.stepDurations.push_back({1, s, kStepKindNotAnalysed, 1.0, ""});
  EXPECT_TRUE(buildStepTimeline(p));
  EXPECT_TRUE(p.timeline.empty());
  p.stepDurations[100].kind = 0;
  p.stepDurations[200].kind = 0;
  ASSERT_TRUE(buildStepTimeline(p));
  ASSERT_EQ(p.timeline.size(), 2u * 32767u);
  EXPECT_EQ(p.timeline[1].step, 201);
  EXPECT_EQ(p.timeline[2].cycle, 2);
  EXPECT_EQ(p.timeline[2].start, 2.0);
  // Beyond the bound, or with a step record missing, nothing is built.
  p.stepDurations[300].kind = 0;
  p.stepDurations.resize(32000);
  EXPECT_FALSE(buildStepTimeline(p));
  EXPECT_TRUE(p.timeline.empty());
  p.activities[0].steps = 32000;
  p.activities[0].cycles = 400;
  EXPECT_TRUE(buildStepTimeline(p));
  p.activities[0].cycles = 1000000 / 3 + 1;
  EXPECT_FALSE(buildStepTimeline(p));
  EXPECT_TRUE(p.timeline.empty());
}

// The row labels are the activity and step parts of the event label: the
// unnamed activity's number with its suffix text, else the name.
TEST_F(ProtocolLoadTest, RowLabelsMatchTheEventParts) {
  ActivityRecord a;
  a.number = 2;
  EXPECT_EQ(activityLabel(a), "A2");
  a.name = "Rest";
  EXPECT_EQ(activityLabel(a), "Rest");
  EXPECT_EQ(stepLabel(3, ""), "S3");
  EXPECT_EQ(stepLabel(3, "Eyes open"), "Eyes open");
}

}  // namespace
}  // namespace rc
