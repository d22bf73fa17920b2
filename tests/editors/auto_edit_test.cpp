// The automatic correction: the rules at V = 20 and M = 800, the end of the
// series, the limits, scripted sessions and the ways a run ends.
#include <gtest/gtest.h>

#include <vector>

#include "analysis/series/series_file.h"
#include "analysis/series_test_folder.h"
#include "editors/autoedit/auto_edit.h"

namespace rc {
namespace {

using testing::SeriesTempFolder;
using V = std::vector<float>;

IntervalSeries openSeries(V v) {
  IntervalSeries s;
  s.values = std::move(v);
  s.segments = {{0, 0.0f, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  return s;
}

// The case first, then 20 intervals of 800 and the tail 1650, 350, which
// holds the histogram to 13 bins of exactly 100 ms from 350, so the mode is
// the centre 800 of the bin [750, 850). (A normal 800 just before a short
// pair would itself be redistributed with the first short interval, as the
// rule for intervals within the limits says, so the cases stand first.)
V framed(const V& middle) {
  V v = middle;
  v.insert(v.end(), 20, 800.0f);
  v.push_back(1650.0f);
  v.push_back(350.0f);
  return v;
}
// The tail's correction: 2000 ms in three parts (mark 2).
V tailOut(V head) {
  head.insert(head.end(), 20, 800.0f);
  head.insert(head.end(), 3, static_cast<float>(2000.0 / 3));
  return head;
}

AutoEditResult run(const IntervalSeries& s, double variation = 20.0) {
  AutoEditInput in;
  in.series = &s;
  in.variation = variation;
  in.sourceChannel = 1;
  return autoEditSeries(in, PeriodicSegmentList{});
}

struct RuleCase {
  const char* name;
  V middle;
  V expected;
  int marks;
  std::int32_t op;     // of the mark over the middle, when marks > 0
  double markSeconds;  // its length
};
class AutoEditRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AutoEditRules, CorrectsTheCaseAsTheRulesSay) {
  const auto& c = GetParam();
  const auto r = run(openSeries(framed(c.middle)));
  ASSERT_EQ(r.status, AutoEditStatus::Corrected);
  const V want = tailOut(c.expected);
  EXPECT_EQ(r.corrected.values, want);
  EXPECT_EQ(r.corrected.segments[0].intervalCount, static_cast<std::int32_t>(want.size()));
  ASSERT_EQ(r.segments.size(), static_cast<std::size_t>(1 + c.marks));
  if (c.marks > 0) {
    const auto& m = r.segments.segments()[0];
    EXPECT_EQ(m.operation, c.op);
    EXPECT_NEAR(m.start, 0.0, 1e-6);
    EXPECT_NEAR(m.end, c.markSeconds, 1e-4);
  }
  EXPECT_EQ(r.segments.segments().back().operation, kOpAverage);
}

INSTANTIATE_TEST_SUITE_P(
    ModeOf800, AutoEditRules,
    ::testing::Values(RuleCase{"ShortPairMerged", {400, 400}, {800}, 1, kOpAdd, 0.8},
                      RuleCase{"LongThenNormalSplit", {1600, 800}, {800, 800, 800}, 1, kOpAverage, 1.6},
                      RuleCase{"LongThenShortRedistributed", {1200, 400}, {800, 800}, 1, kOpAverage, 1.6},
                      RuleCase{"NeighbourWithinLimitsKept", {700, 900}, {700, 900}, 0, 0, 0},
                      RuleCase{"CloseNeighboursKept", {900, 960}, {900, 960}, 0, 0, 0},
                      RuleCase{"ShortPairOverHighKeptWhenClose", {600, 560, 1000}, {600, 560, 1000}, 0, 0, 0},
                      // 800 + 400 and then 400 + 800 are each redistributed; the two marks join.
                      RuleCase{"NormalBeforeShortPairRedistributed", {800, 400, 400, 800},
                               {600, 600, 600, 600}, 1, kOpAverage, 2.4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutoEdit, LimitsFollowTheVariation) {
  // With V = 50 (L = 400, H = 1200) the pair 700, 1100 is within the limits.
  const auto r = run(openSeries(framed({700, 1100})), 50.0);
  EXPECT_EQ(std::vector<float>(r.corrected.values.begin(), r.corrected.values.begin() + 2), (V{700.0f, 1100.0f}));
  EXPECT_EQ(equalParts(1600, 800), 2);
  EXPECT_EQ(equalParts(1000, 800), 1);
  EXPECT_EQ(equalParts(1250, 800), 2);  // 625 lies closer to 800 than 1250
  EXPECT_EQ(equalParts(500, 0), 1);
}

// The series' end: nothing is read past it.
TEST(AutoEdit, EndOfTheSeries) {
  V base(30, 800.0f);
  V shortEnd = base;
  shortEnd.insert(shortEnd.end(), {1650.0f, 800.0f, 350.0f});
  auto r = run(openSeries(shortEnd));
  EXPECT_EQ(r.corrected.values.back(), 350.0f);
  V longEnd = base;
  longEnd.insert(longEnd.end(), {350.0f, 800.0f, 1650.0f});
  r = run(openSeries(longEnd));
  EXPECT_EQ(r.corrected.values.back(), 825.0f);
  EXPECT_EQ(r.corrected.values.size(), 34u);
  V noZ = base;
  noZ.insert(noZ.end(), {1650.0f, 350.0f, 800.0f, 700.0f});
  r = run(openSeries(noZ));
  EXPECT_EQ(r.corrected.values.back(), 700.0f);
}

// Long gaps split into many parts: the output outgrows the input.
TEST(AutoEdit, SplitPartsGrowTheSeries) {
  V v;
  for (int i = 0; i < 10; ++i) {
    v.insert(v.end(), 10, 800.0f);
    v.push_back(8000.0f);
  }
  const auto r = run(openSeries(v));
  ASSERT_EQ(r.status, AutoEditStatus::Corrected);
  // The mode is 850 (the bin [800, 900)): each 8000 becomes 9 parts.
  EXPECT_EQ(r.corrected.count(), 190u);
  EXPECT_EQ(r.marksAdded, 10);
}

TEST(AutoEdit, TooWideASpreadStopsTheRun) {
  V v(20, 800.0f);
  v.push_back(9400.0f);  // 86 bins
  EXPECT_EQ(run(openSeries(v)).status, AutoEditStatus::TooIrregular);
  v.back() = 9300.0f;  // 85 bins
  EXPECT_EQ(run(openSeries(v)).status, AutoEditStatus::Corrected);
}

TEST(AutoEdit, MoreThan199MarksStopsTheRun) {
  V v{1650.0f};
  for (int i = 0; i < 250; ++i) v.insert(v.end(), {800.0f, 800.0f, 400.0f, 400.0f});
  v.push_back(350.0f);
  const auto r = run(openSeries(v));
  EXPECT_EQ(r.status, AutoEditStatus::TooManyMarks);
  EXPECT_TRUE(r.segments.empty());
}

TEST(AutoEdit, ZerosAndEqualValuesAreLeftAlone) {
  EXPECT_EQ(run(openSeries(V(50, 0.0f))).status, AutoEditStatus::Unchanged);
  EXPECT_EQ(run(openSeries(V(50, 800.0f))).status, AutoEditStatus::Unchanged);
  EXPECT_EQ(run(openSeries(V{})).status, AutoEditStatus::Empty);
}

// Three activities of 100 s; corrections in the first leave the others
// (whose values are all equal) as they were.
TEST(AutoEditScripted, CorrectionsStayInTheirSegment) {
  IntervalSeries s;
  ScriptProtocol p;
  for (int a = 0; a < 3; ++a) {
    V v(110, 800.0f);
    if (a == 0) {
      v = framed({400, 400});
      v.insert(v.begin() + 10, 1600.0f);
    }
    s.values.insert(s.values.end(), v.begin(), v.end());
    s.segments.push_back({a + 1, 0.5f, static_cast<float>(a * 100), static_cast<std::int32_t>(v.size())});
    ActivityRecord r;
    r.number = a + 1;
    r.steps = 2;
    r.cycles = 1;
    r.start = a * 100.0;
    r.duration = 100.0;
    p.activities.push_back(r);
    p.stepDurations.push_back({a + 1, 1, 0, 50.0, ""});
    p.stepDurations.push_back({a + 1, 2, 0, 50.0, ""});
  }
  s.firstEventTime = 0.5f;
  AutoEditInput in;
  in.series = &s;
  in.openSession = false;
  in.protocol = &p;
  in.sourceChannel = 1;
  in.sessionDuration = 300.0;
  const auto r = autoEditSeries(in, PeriodicSegmentList{});
  ASSERT_EQ(r.status, AutoEditStatus::Corrected);
  std::int64_t sum = 0;
  for (const auto& rec : r.corrected.segments) sum += rec.intervalCount;
  EXPECT_EQ(sum, static_cast<std::int64_t>(r.corrected.count()));
  EXPECT_EQ(r.corrected.segments[1].intervalCount, 110);
  EXPECT_EQ(r.corrected.segments[2].intervalCount, 110);
  const V tail(r.corrected.values.end() - 220, r.corrected.values.end());
  EXPECT_EQ(tail, V(220, 800.0f));
  // 400 + 400 became 800 and 1600 two of 800.
  EXPECT_FLOAT_EQ(r.corrected.values[0], 800.0f);
  EXPECT_FLOAT_EQ(r.corrected.values[9], 800.0f);
  EXPECT_FLOAT_EQ(r.corrected.values[10], 800.0f);
  EXPECT_EQ(r.corrected.segments[0].intervalCount, 26);  // 25 in: -1 for the pair, +1 for 1600, +1 for the tail
  EXPECT_GE(r.marksAdded, 2);
  SeriesTempFolder dir;
  IntervalSeries copy = r.corrected;
  ASSERT_TRUE(writeIntervalSeries(dir.path() / "IBIFromEKG_1A.dat", copy, false));
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(dir.path() / "IBIFromEKG_1A.dat", false, back));
  EXPECT_EQ(back.values, r.corrected.values);
  EXPECT_EQ(back.segments, r.corrected.segments);
}

class RunAutoEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    series = openSeries(framed({400, 400}));
    target.input.sourceChannel = 1;
    target.input.sessionDuration = 1000.0;
    target.series = &series;
    target.segments = &segments;
    target.seriesFile = dir.path() / "IBIFromEKG_1A.dat";
    target.segmentsFile = periodicSegmentsPath(dir.path());
    IntervalSeries onDisk = series;
    ASSERT_TRUE(writeIntervalSeries(target.seriesFile, onDisk, true));
  }
  SeriesTempFolder dir;
  IntervalSeries series;
  PeriodicSegmentList segments;
  AutoEditTarget target;
  ScriptedUi ui;
};

TEST_F(RunAutoEditTest, CancelLeavesSeriesAndSegmentsEvenWithoutTheFile) {
  std::filesystem::remove(target.seriesFile);
  segments.offer(1, kOpAdd, 500.0, 501.0, 1000.0);
  const auto seriesBefore = series;
  const auto segmentsBefore = segments;
  ui.answerChoice(std::nullopt);
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::Cancelled);
  EXPECT_EQ(series, seriesBefore);
  EXPECT_EQ(segments, segmentsBefore);
  ASSERT_EQ(ui.choiceRequests().size(), 1u);
  EXPECT_EQ(ui.choiceRequests()[0].text.ids, std::vector<int>{kNewMarksId});
  EXPECT_FALSE(std::filesystem::exists(target.seriesFile));
}

TEST_F(RunAutoEditTest, OkStoresIntervalsAndWithTheSecondOptionTheMarks) {
  ui.answerChoice(0);
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::StoredIntervals);
  EXPECT_EQ(series.values, tailOut({800}));
  EXPECT_TRUE(segments.empty());
  EXPECT_FALSE(std::filesystem::exists(target.segmentsFile));
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(target.seriesFile, true, back));
  EXPECT_EQ(back.values, series.values);

  series = openSeries(framed({400, 400}));
  ui.answerChoice(1);
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::StoredIntervalsAndMarks);
  EXPECT_EQ(segments.size(), 2u);
  PeriodicSegmentList file;
  ASSERT_TRUE(readPeriodicSegments(target.segmentsFile, file));
  EXPECT_EQ(file, segments);
}

// A second run over corrected stretches: nothing left, message 443 with 0, no file written.
TEST_F(RunAutoEditTest, NothingToCorrectShows443WithZero) {
  series = openSeries(V(40, 800.0f));
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::NothingToCorrect);
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{kNewMarksId});
  EXPECT_TRUE(ui.choiceRequests().empty());
}

TEST_F(RunAutoEditTest, ReRunOverMarkedStretchStillAsks) {
  ui.answerChoice(1);
  ASSERT_EQ(runAutoEdit(target, ui), AutoEditOutcome::StoredIntervalsAndMarks);
  // Put the artefact back: its mark already covers it, so the list does not grow.
  series = openSeries(framed({400, 400}));
  const auto before = series;
  ui.answerChoice(std::nullopt);
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::Cancelled);
  EXPECT_EQ(series, before);
  EXPECT_EQ(ui.choiceRequests().size(), 2u);
}

TEST_F(RunAutoEditTest, EmptyAndIrregularSeriesShowTheirMessages) {
  series = openSeries({});
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::NotRun);
  V wide(20, 800.0f);
  wide.push_back(9400.0f);
  series = openSeries(wide);
  target.detectionType = 1;
  EXPECT_EQ(runAutoEdit(target, ui), AutoEditOutcome::NotRun);
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{kEmptySeriesId, kIrregularAdvancedId}));
}

}  // namespace
}  // namespace rc
