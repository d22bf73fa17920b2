#include <gtest/gtest.h>

#include <tuple>

#include "analysis/epochs/epochs.h"
#include "support/language.h"

namespace rc {
namespace {

struct StepSpec {
  double duration;
  std::uint8_t kind = 0;
};
struct ActivitySpec {
  std::string name;
  std::int32_t cycles;
  std::vector<StepSpec> steps;
  std::int32_t jump = 0;
};

ScriptProtocol makeProtocol(const std::vector<ActivitySpec>& specs) {
  ScriptProtocol p;
  std::int32_t n = 0;
  for (const ActivitySpec& s : specs) {
    ActivityRecord a;
    a.number = ++n;
    a.name = s.name;
    a.cycles = s.cycles;
    a.steps = static_cast<std::int32_t>(s.steps.size());
    a.jumpTarget = s.jump;
    double cycle = 0.0;
    for (std::size_t k = 0; k < s.steps.size(); ++k) {
      p.stepDurations.push_back(
          {a.number, static_cast<std::int32_t>(k + 1), s.steps[k].kind, s.steps[k].duration, ""});
      if (s.steps[k].kind != kStepKindNotAnalysed) cycle += s.steps[k].duration;
    }
    a.duration = cycle * std::max(1, s.cycles);
    p.activities.push_back(a);
  }
  assignActivityStartTimes(p.activities);
  EXPECT_TRUE(buildStepTimeline(p));
  return p;
}

// One segment per activity, placed at the activity's start.
IntervalSeries scriptedSeries(const ScriptProtocol& p, const std::vector<std::vector<float>>& segments,
                              float firstBeatOffset = 0.0f) {
  IntervalSeries s;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    s.segments.push_back({static_cast<std::int32_t>(i + 1), i == 0 ? firstBeatOffset : 0.0f,
                          static_cast<float>(i < p.activities.size() ? p.activities[i].start : 0.0),
                          static_cast<std::int32_t>(segments[i].size())});
    s.values.insert(s.values.end(), segments[i].begin(), segments[i].end());
  }
  s.firstEventTime = firstBeatOffset;
  return s;
}

// `epochs` windows of 60 one-second intervals; window k holds nn[k] shortenings
// of 200 ms (pairs 1100, 900 that keep the time grid).
std::vector<float> withShortenings(const std::vector<int>& nn) {
  std::vector<float> x;
  for (int count : nn) {
    std::vector<float> w(60, 1000.0f);
    for (int p = 0; p < count; ++p) {
      w[5 + 6 * p] = 1100.0f;
      w[6 + 6 * p] = 900.0f;
    }
    x.insert(x.end(), w.begin(), w.end());
  }
  return x;
}

class RecomputeScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override { language().set(kNoEpochId, "No complete epoch."); }

  int run(const ScriptProtocol& p, const IntervalSeries& ekg, EpochResults& out, int epoch = 60) {
    EpochInputs in;
    in.openSession = false;
    in.ibiSource = 2;
    in.epochSeconds = epoch;
    in.ekg = &ekg;
    in.protocol = &p;
    in.hrv.nnThresholdMs = 50.0;
    return recomputeEpochs(in, out, ui_);
  }

  ScriptedUi ui_;
};

TEST_F(RecomputeScriptedTest, RowsAverageTheCyclesOfTheirActivity) {
  const ScriptProtocol p = makeProtocol({{"Rest", 3, {{60.0}}}});
  const IntervalSeries ekg = scriptedSeries(p, {withShortenings({2, 3, 5})});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  EXPECT_EQ(out.epochCount, 3);
  ASSERT_EQ(out.entries.size(), 3u);
  EXPECT_EQ(out.entries[2].cycle, 3);
  EXPECT_DOUBLE_EQ(out.entries[2].cycleStart, 120.0);
  ASSERT_EQ(out.hrvRows.size(), 1u);
  const HrvTableRow& r = out.hrvRows[0];
  EXPECT_EQ(r.id, (RowId{1, 1, 1, "Rest", "S1"}));
  EXPECT_EQ(r.row.nnCount, 10 / 3);
  EXPECT_NEAR(*r.row.pnn, (2.0 + 3.0 + 5.0) / 60.0 / 3.0, 1e-12);
  // The heart-rate row is the mean of the three cycles as well.
  ASSERT_FALSE(out.signalRows.empty());
  EXPECT_EQ(out.signalRows[0].row.signal, kSignalHeartRateEkg);
  ASSERT_EQ(out.hrvStepRows.size(), 1u);
  EXPECT_EQ(out.hrvStepRows[0].row, r.row);
}

TEST_F(RecomputeScriptedTest, StepRecordAveragesItsEpochs) {
  const ScriptProtocol p = makeProtocol({{"", 1, {{180.0}, {60.0}}}});
  const IntervalSeries ekg = scriptedSeries(p, {withShortenings({4, 5, 5, 1})});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.steps.size(), 2u);
  EXPECT_EQ(out.steps[0].epochs, 3);
  EXPECT_EQ(out.steps[1].epochs, 1);
  ASSERT_EQ(out.hrvRows.size(), 4u);
  EXPECT_EQ(out.hrvRows[0].row.nnCount, 4);
  EXPECT_EQ(out.hrvRows[2].row.nnCount, 5);
  EXPECT_EQ(out.hrvRows[0].id.activityLabel, "A1");
  ASSERT_EQ(out.hrvStepRows.size(), 2u);
  EXPECT_EQ(out.hrvStepRows[0].row.nnCount, 14 / 3);
  EXPECT_EQ(out.hrvStepRows[0].id.epoch, 3);
  EXPECT_EQ(out.hrvStepRows[1].row, out.hrvRows[3].row);  // one epoch: unchanged
  // The statistic option only chooses the stored rows.
  EXPECT_EQ(&out.hrvTable(true, 1), &out.hrvStepRows);
  EXPECT_EQ(&out.hrvTable(true, 0), &out.hrvRows);
  EXPECT_EQ(&out.hrvTable(false, 1), &out.hrvRows);
}

TEST_F(RecomputeScriptedTest, KindTwoStepsAndShortStepsHoldNoEpoch) {
  const ScriptProtocol p = makeProtocol({{"A", 1, {{60.0}, {30.0, kStepKindNotAnalysed}, {59.9}, {60.0}}}});
  std::vector<float> x(180, 1000.0f);
  x[118] = 900.0f;  // step 3 (from the interval where step 1 stopped) covers 59.9 s
  const IntervalSeries ekg = scriptedSeries(p, {x});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.steps.size(), 3u);
  EXPECT_EQ(out.steps[1].step, 3);
  EXPECT_EQ(out.steps[1].epochs, 0);
  EXPECT_DOUBLE_EQ(out.steps[1].start, 60.0);
  ASSERT_EQ(out.hrvRows.size(), 2u);
  EXPECT_EQ(out.hrvRows[0].id.step, 1);
  EXPECT_EQ(out.hrvRows[1].id.step, 4);
}

TEST_F(RecomputeScriptedTest, NoStepHoldingAnEpochIsReported) {
  const ScriptProtocol p = makeProtocol({{"A", 2, {{59.0}, {30.0, kStepKindNotAnalysed}}}});
  const IntervalSeries ekg = scriptedSeries(p, {std::vector<float>(118, 1000.0f)});
  EpochResults out;
  EXPECT_EQ(run(p, ekg, out), kRecomputeNoEpoch);
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{kNoEpochId});
}

TEST_F(RecomputeScriptedTest, AStepWithoutItsDurationRecordStopsTheComputation) {
  ScriptProtocol p = makeProtocol({{"A", 1, {{60.0}, {60.0}}}});
  const IntervalSeries ekg = scriptedSeries(p, {std::vector<float>(120, 1000.0f)});
  p.stepDurations.pop_back();  // step 2 of an analysed activity
  EpochResults out;
  EXPECT_EQ(run(p, ekg, out), kRecomputeNoSeries);
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{kStepWithoutDurationId});
  EXPECT_EQ(ui_.records()[0].icon, Icon::Error);
  EXPECT_TRUE(out.hrvRows.empty());
  EXPECT_TRUE(out.entries.empty());

  // A step of an excluded activity needs none.
  ui_.clear();
  p = makeProtocol({{"J", 1, {{60.0}}, 3}, {"Skipped", 1, {{60.0}}}, {"B", 1, {{60.0}}}});
  p.stepDurations.erase(p.stepDurations.begin() + 1);
  const std::vector<float> minute(60, 1000.0f);
  const IntervalSeries three = scriptedSeries(p, {minute, minute, minute});
  EXPECT_EQ(run(p, three, out), kRecomputeOk);
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(RecomputeScriptedTest, ExcludedAndEmptyActivitiesGiveNoRows) {
  // Activity 1 jumped to 3, skipping 2; activity 4 has an empty segment, 5 has none at all.
  const ScriptProtocol p = makeProtocol({{"J", 1, {{60.0}}, 3},
                                         {"Skipped", 1, {{60.0}}},
                                         {"B", 1, {{60.0}}},
                                         {"Empty", 1, {{60.0}}},
                                         {"C", 1, {{60.0}}},
                                         {"Beyond", 1, {{60.0}}}});
  const std::vector<float> minute(60, 1000.0f);
  const IntervalSeries ekg = scriptedSeries(p, {minute, minute, minute, {}, minute});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  std::vector<std::int32_t> activities;
  for (const HrvTableRow& r : out.hrvRows) activities.push_back(r.id.activity);
  EXPECT_EQ(activities, (std::vector<std::int32_t>{3, 5}));
}

TEST_F(RecomputeScriptedTest, EpochsBeyondTheDataAreEmptyAndLeftOutOfAverages) {
  const ScriptProtocol p = makeProtocol({{"R", 3, {{60.0}}}});
  // Cycle 1 and 2 recorded; the recording ends before cycle 3.
  const IntervalSeries ekg = scriptedSeries(p, {withShortenings({2, 4})});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.hrvRows.size(), 1u);
  EXPECT_EQ(out.hrvRows[0].row.nnCount, 3);
  EXPECT_EQ(out.emptyWindows, 1);
}

TEST_F(RecomputeScriptedTest, EntriesGoCycleByCycleAndStepByStep) {
  const ScriptProtocol p = makeProtocol({{"R", 2, {{120.0}, {60.0}}}});
  const IntervalSeries ekg = scriptedSeries(p, {std::vector<float>(360, 1000.0f)});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  std::vector<std::tuple<int, int, int, double>> got;  // cycle, step, epoch, cycle start
  for (const EpochEntry& e : out.entries) got.emplace_back(e.cycle, e.step, e.epoch, e.cycleStart);
  EXPECT_EQ(
      got, (std::vector<std::tuple<int, int, int, double>>{{1, 1, 1, 0.0},
                                                           {1, 1, 2, 0.0},
                                                           {1, 2, 1, 120.0},
                                                           {2, 1, 1, 180.0},
                                                           {2, 1, 2, 180.0},
                                                           {2, 2, 1, 300.0}}));
  std::vector<std::pair<int, int>> rows;
  for (const HrvTableRow& r : out.hrvRows) rows.emplace_back(r.id.step, r.id.epoch);
  EXPECT_EQ(rows, (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {2, 1}}));
}

TEST_F(RecomputeScriptedTest, AnEpochStartsWithTheIntervalInProgress) {
  const ScriptProtocol p = makeProtocol({{"R", 1, {{60.0}, {60.0}}}});
  // Index 59 runs from 59 s to 60.5 s, so it is in progress when step 2 starts;
  // the shortening from it to index 60 belongs to step 2 only (with the one
  // from index 60 to 61).
  std::vector<float> x(59, 1000.0f);
  x.push_back(1500.0f);
  x.push_back(1300.0f);
  x.insert(x.end(), 60, 1000.0f);
  const IntervalSeries ekg = scriptedSeries(p, {x});
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.hrvRows.size(), 2u);
  EXPECT_EQ(out.hrvRows[0].row.nnCount, 0);
  EXPECT_EQ(out.hrvRows[1].row.nnCount, 2);
  // Indices 59 .. 118: the last one ends at 119.8 s, past the last sample at 119.77 s.
  EXPECT_NEAR(*out.hrvRows[1].row.pnn, 2.0 / 60.0, 1e-12);
}

TEST(ScriptedEpochStart, NeverBeforeTheFirstBeat) {
  EXPECT_DOUBLE_EQ(scriptedEpochStart(0.0, 1, 60, 0.8), 0.8);
  EXPECT_DOUBLE_EQ(scriptedEpochStart(100.0, 2, 60, 0.8), 160.0);
  EXPECT_DOUBLE_EQ(scriptedEpochStart(100.0, 1, 60, 100.5), 100.5);
  // A cycle starting before the first beat moves every epoch of the step with it.
  for (std::int32_t e = 1; e <= 3; ++e) EXPECT_DOUBLE_EQ(scriptedEpochStart(0.0, e, 60, 7.5), 7.5 + 60.0 * (e - 1));
  EXPECT_DOUBLE_EQ(scriptedEpochStart(100.0, 2, 60, 107.5), 167.5);
}

TEST_F(RecomputeScriptedTest, EpochsOfAStepClampedToTheFirstBeatShareNoInterval) {
  // First beat 7.5 s into the activity, then 1 s intervals with one
  // shortening pair ending at 62.6 and 63.5 s, late in the first epoch
  // (7.5 .. 67.5 s). An epoch 2 at the unclamped 60 s would hold it too.
  const ScriptProtocol p = makeProtocol({{"R", 1, {{200.0}}}});
  std::vector<float> x(190, 1000.0f);
  x[54] = 1100.0f;
  x[55] = 900.0f;
  const IntervalSeries ekg = scriptedSeries(p, {x}, 7.5f);
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.hrvRows.size(), 3u);
  // Epochs at 7.5, 67.5 and 127.5 s: only the first holds the pair.
  EXPECT_GT(out.hrvRows[0].row.nnCount, 0);
  EXPECT_EQ(out.hrvRows[1].row.nnCount, 0);
  EXPECT_EQ(out.hrvRows[2].row.nnCount, 0);
}

TEST_F(RecomputeScriptedTest, FirstActivityCountsFromItsFirstBeat) {
  const ScriptProtocol p = makeProtocol({{"R", 1, {{120.0}}}});
  // 119.5 s of intervals after a first beat at 0.5 s: the step's running time reaches 120 s.
  const IntervalSeries ekg = scriptedSeries(p, {std::vector<float>(239, 500.0f)}, 0.5f);
  EpochResults out;
  ASSERT_EQ(run(p, ekg, out), kRecomputeOk);
  ASSERT_EQ(out.steps.size(), 1u);
  EXPECT_EQ(out.steps[0].epochs, 2);
  EXPECT_TRUE(out.hrvRows[0].row.hasData());
  EXPECT_TRUE(out.hrvRows[1].row.hasData());
}

}  // namespace
}  // namespace rc
