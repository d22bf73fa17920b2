// The periodic editor of a session's signal: Save's write-back into the
// series and its file, the segment file, navigation and the marks limit.
#include <gtest/gtest.h>

#include <vector>

#include "analysis/series/series_file.h"
#include "analysis/series_test_folder.h"
#include "editors/periodic/periodic_editor.h"

namespace rc {
namespace {

using Sel = std::vector<std::size_t>;
using testing::SeriesTempFolder;

IntervalSeries openSeries(std::vector<float> v) {
  IntervalSeries s;
  s.values = std::move(v);
  s.segments = {{0, 1.0f, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  s.firstEventTime = 1.0f;
  return s;
}

// Three activities of 100 s; each segment's intervals start 0.5 s into it.
IntervalSeries scriptedSeries() {
  IntervalSeries s;
  for (int seg = 0; seg < 3; ++seg) {
    for (int k = 0; k < 100; ++k) s.values.push_back(800.0f + static_cast<float>(seg * 50 + (k % 7) * 10));
    s.segments.push_back({seg + 1, 0.5f, static_cast<float>(seg * 100), 100});
  }
  s.firstEventTime = 0.5f;
  return s;
}

ScriptProtocol threeActivities() {
  ScriptProtocol p;
  for (int a = 0; a < 3; ++a) {
    ActivityRecord r;
    r.number = a + 1;
    r.name = "A" + std::to_string(a + 1);
    r.steps = 1;
    r.cycles = 1;
    r.start = a * 100.0;
    r.duration = 100.0;
    p.activities.push_back(r);
  }
  return p;
}

class PeriodicEditorTest : public ::testing::Test {
 protected:
  void open(IntervalSeries s) {
    series = std::move(s);
    src.series = &series;
    src.openSession = true;
    src.sourceChannel = 3;
    src.seriesFile = dir.path() / "IBIFromEKG_1A.dat";
    src.sessionFolder = dir.path();
    src.sessionDuration = 1000.0;
    editor.load(src, ui);
  }
  void scripted() {
    series = scriptedSeries();
    protocol = threeActivities();
    src.series = &series;
    src.openSession = false;
    src.sourceChannel = 3;
    src.seriesFile = dir.path() / "IBIFromEKG_1A.dat";
    src.sessionFolder = dir.path();
    src.sessionDuration = 300.0;
    src.protocol = &protocol;
    editor.load(src, ui);
  }
  IntervalSeries readBack(bool openSession) {
    IntervalSeries back;
    EXPECT_TRUE(readIntervalSeries(src.seriesFile, openSession, back));
    return back;
  }

  SeriesTempFolder dir;
  IntervalSeries series;
  ScriptProtocol protocol;
  PeriodicSource src;
  PeriodicEditor editor;
  ScriptedUi ui;
};

TEST_F(PeriodicEditorTest, SaveWritesTheSeriesAndTheSegments) {
  open(openSeries({800.0f, 400.0f, 400.0f, 800.0f, 1600.0f, 800.0f}));
  EXPECT_EQ(editor.model().rowCount(), 6u);
  const Sel merge{1, 2};
  ASSERT_TRUE(editor.add(merge, ui));
  EXPECT_EQ(series.count(), 6u);  // the series changes only at Save
  ASSERT_TRUE(editor.save(true, ui));
  EXPECT_EQ(series.values, (std::vector<float>{800.0f, 800.0f, 800.0f, 1600.0f, 800.0f}));
  EXPECT_EQ(series.segments[0].intervalCount, 5);
  EXPECT_EQ(readBack(true).values, series.values);
  PeriodicSegmentList back;
  ASSERT_TRUE(readPeriodicSegments(editor.segmentsFile(), back));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back.segments()[0].source, 3);
  EXPECT_EQ(back.segments()[0].operation, kOpAdd);
  EXPECT_FLOAT_EQ(back.segments()[0].start, 1.8f);
  EXPECT_FLOAT_EQ(back.segments()[0].end, 2.6f);
  EXPECT_EQ(editor.pendingEdits(), 0);
  // Undo after Save has nothing to undo.
  EXPECT_FALSE(editor.undo());
  EXPECT_EQ(editor.model().rowCount(), 5u);
}

TEST_F(PeriodicEditorTest, SaveWithNothingLeftDeletesTheSegmentFile) {
  open(openSeries({800.0f, 800.0f}));
  PeriodicSegmentList stale;
  stale.offer(9, kOpAdd, 1.0, 2.0, 10.0);
  ASSERT_TRUE(writePeriodicSegments(editor.segmentsFile(), stale));
  editor.load(src, ui);
  EXPECT_EQ(editor.segments().size(), 1u);
  editor.segments().clear();
  ASSERT_TRUE(editor.save(true, ui));
  EXPECT_FALSE(std::filesystem::exists(editor.segmentsFile()));
}

TEST_F(PeriodicEditorTest, LoadingTwiceDoesNotDuplicateSegments) {
  open(openSeries({800.0f, 800.0f, 800.0f}));
  const Sel sel{0, 1};
  ASSERT_TRUE(editor.average(sel, ui));
  ASSERT_TRUE(editor.save(true, ui));
  editor.load(src, ui);
  editor.load(src, ui);
  EXPECT_EQ(editor.segments().size(), 1u);
}

// 600 Splits then Save: the series grows by 600 with the right values.
TEST_F(PeriodicEditorTest, ManySplitsThenSave) {
  open(openSeries(std::vector<float>(700, 1000.0f)));
  src.sessionDuration = 10000.0;
  editor.load(src, ui);
  for (std::size_t r = 0; r < 600; ++r) {
    ui.answer(true);
    const Sel sel{2 * r};
    ASSERT_TRUE(editor.split(sel, ui)) << r;
    if (editor.marksFull()) break;
  }
  // The marks limit stops edits at 200 pending; save and go on.
  EXPECT_TRUE(editor.marksFull());
  EXPECT_EQ(editor.pendingEdits(), 200);
  ASSERT_TRUE(editor.save(true, ui));
  EXPECT_EQ(series.count(), 900u);
  EXPECT_EQ(readBack(true).count(), 900u);
  EXPECT_FLOAT_EQ(series.values[0], 500.0f);
  EXPECT_FLOAT_EQ(series.values[1], 500.0f);
  EXPECT_FLOAT_EQ(series.values[899], 1000.0f);
}

TEST_F(PeriodicEditorTest, MarksLimitShowsTheMessageAndDisablesEdits) {
  open(openSeries(std::vector<float>(10, 800.0f)));
  for (int i = 0; i < 199; ++i) editor.segments().offer(3, kOpAdd, 100.0 + i * 2, 101.0 + i * 2, 1000.0);
  const Sel sel{0, 1};
  ASSERT_TRUE(editor.add(sel, ui));
  EXPECT_TRUE(editor.marksFull());
  ASSERT_FALSE(ui.records().empty());
  EXPECT_EQ(ui.records().back().message.ids, (std::vector<int>{kMarksFullId, kIrregularBasicId}));
  const Sel next{2, 3};
  EXPECT_FALSE(editor.add(next, ui));
}

TEST_F(PeriodicEditorTest, ScriptedActivityFrameSavesOnlyItsSegment) {
  scripted();
  editor.setTimeFrame(TimeFrame::Activity, ui);
  ASSERT_TRUE(editor.spin(1, ui));
  EXPECT_EQ(editor.listedSegment(), 1);
  EXPECT_EQ(editor.model().rowCount(), 100u);
  EXPECT_EQ(editor.model().rows()[0].time, "00:01:40.500");
  const auto before = series;
  const Sel mid{40, 41, 42};
  ASSERT_TRUE(editor.add(mid, ui));
  ASSERT_TRUE(editor.save(true, ui));
  ASSERT_EQ(series.count(), 298u);
  EXPECT_EQ(series.segments[0].intervalCount, 100);
  EXPECT_EQ(series.segments[1].intervalCount, 98);
  EXPECT_EQ(series.segments[2].intervalCount, 100);
  for (std::size_t k = 0; k < 140; ++k) ASSERT_EQ(series.values[k], before.values[k]) << k;
  EXPECT_NEAR(series.values[140], before.values[140] + before.values[141] + before.values[142], 0.01);
  for (std::size_t k = 141; k < 298; ++k) ASSERT_EQ(series.values[k], before.values[k + 2]) << k;
  const auto back = readBack(false);
  EXPECT_EQ(back.values, series.values);
  EXPECT_EQ(back.segments, series.segments);
}

TEST_F(PeriodicEditorTest, ScriptedSessionFrameKeepsSegmentCountsAndRefusesCrossingEdits) {
  scripted();
  editor.setTimeFrame(TimeFrame::Session, ui);
  EXPECT_EQ(editor.model().rowCount(), 300u);
  const Sel across{99, 100};
  EXPECT_FALSE(editor.add(across, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{kRowsNotConsecutiveId});
  ui.answer(true);
  const Sel one{150};
  ASSERT_TRUE(editor.split(one, ui));
  const Sel pair{10, 11};
  ASSERT_TRUE(editor.average(pair, ui));
  ASSERT_TRUE(editor.save(true, ui));
  EXPECT_EQ(series.count(), 301u);
  EXPECT_EQ(series.segments[0].intervalCount, 100);
  EXPECT_EQ(series.segments[1].intervalCount, 101);
  EXPECT_EQ(series.segments[2].intervalCount, 100);
  EXPECT_EQ(readBack(false).values, series.values);
}

TEST_F(PeriodicEditorTest, SplitCursorMustLieInTheListedSegment) {
  scripted();
  editor.setTimeFrame(TimeFrame::Activity, ui);
  editor.setCursorTime(150.0);
  const Sel sel{0};
  EXPECT_FALSE(editor.split(sel, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{kCursorOutsideListId});
}

// Leaving the stretch with edits asks 249: Yes saves; No then No saves too;
// No then Yes cancels.
TEST_F(PeriodicEditorTest, NavigationResolvesPendingEdits) {
  scripted();
  editor.setTimeFrame(TimeFrame::Activity, ui);
  const Sel sel{0, 1};
  ASSERT_TRUE(editor.add(sel, ui));
  ui.answer(false).answer(true);  // 249 No, 180 Yes: cancelled
  ASSERT_TRUE(editor.spin(1, ui));
  EXPECT_EQ(series.count(), 300u);
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{kResolvePendingId, kCancelChangesId}));
  ui.clear();
  ASSERT_TRUE(editor.add(sel, ui));
  ui.answer(false).answer(false);  // 249 No, 180 No: saved after all
  ASSERT_TRUE(editor.spin(1, ui));
  EXPECT_EQ(series.count(), 299u);
  EXPECT_EQ(series.segments[1].intervalCount, 99);
  EXPECT_EQ(editor.listedSegment(), 2);
  EXPECT_EQ(editor.window().description, "A3");
  EXPECT_FALSE(editor.spin(1, ui));  // clamped at the last activity
}

TEST_F(PeriodicEditorTest, OpenSessionSpinsThroughEpochs) {
  open(openSeries(std::vector<float>(200, 1000.0f)));
  src.epochSeconds = 60;
  editor.load(src, ui);
  EXPECT_EQ(editor.indexCount(), 3);
  ASSERT_TRUE(editor.spin(2, ui));
  EXPECT_DOUBLE_EQ(editor.window().start, 121.0);
  EXPECT_EQ(editor.window().epochText, "3");
  editor.setTimeFrame(TimeFrame::Session, ui);
  EXPECT_EQ(editor.indexCount(), 1);
  EXPECT_EQ(editor.index(), 0);
}

// ---- the segment commands ----

TEST(ReplaceIntervals, TheDetectedIntervalsOfTheRangeTakeTheEditedOnesPlace) {
  // Open session from 1 s: an Add merged 400 + 400 into 800 at 1.8 .. 2.6 s.
  IntervalSeries edited = openSeries({800.0f, 800.0f, 800.0f, 1600.0f});
  const IntervalSeries fresh = openSeries({800.0f, 400.0f, 400.0f, 800.0f, 1600.0f});
  // The row that starts at the segment's end lies within the tolerance too.
  EXPECT_EQ(replaceIntervals(edited, fresh, 1.7, 2.7), 2u);
  EXPECT_EQ(edited.values, fresh.values);
  EXPECT_EQ(edited.segments[0].intervalCount, 5);
  // Nothing inside the range: nothing changes.
  IntervalSeries same = fresh;
  EXPECT_EQ(replaceIntervals(same, openSeries({700.0f}), 50.0, 60.0), 0u);
  EXPECT_EQ(same, fresh);
}

TEST(ReplaceIntervals, EachSessionSegmentKeepsItsOwnCount) {
  IntervalSeries edited = scriptedSeries();
  IntervalSeries fresh = scriptedSeries();
  // In segment 2 (from 100.5 s) the 3rd and 4th intervals were merged.
  edited.values[100 + 2] += edited.values[100 + 3];
  edited.values.erase(edited.values.begin() + 103);
  edited.segments[1].intervalCount = 99;
  // The segment of the merged interval, 0.1 s either side.
  const double from = 100.5 + (fresh.values[100] + fresh.values[101]) / 1000.0 - 0.1;
  const double to = from + 0.1 + edited.values[102] / 1000.0 + 0.1;
  EXPECT_EQ(replaceIntervals(edited, fresh, from, to), 2u);
  EXPECT_EQ(edited, fresh);
}

TEST_F(PeriodicEditorTest, UndoSegmentPutsTheDetectedIntervalsBackAndDropsTheSegment) {
  const std::vector<float> detected{800.0f, 400.0f, 400.0f, 800.0f, 1600.0f, 800.0f};
  open(openSeries(detected));
  const Sel merge{1, 2};
  ASSERT_TRUE(editor.add(merge, ui));
  ASSERT_TRUE(editor.save(true, ui));
  ASSERT_EQ(editor.segments().size(), 1u);
  const int seg = editor.segmentAt(2.0);
  ASSERT_EQ(seg, 0);
  EXPECT_EQ(editor.segmentAt(5.0), -1);
  int detections = 0;
  auto detect = [&]() -> std::optional<IntervalSeries> {
    ++detections;
    return openSeries(detected);
  };
  // No keeps everything and detects nothing.
  ui.answer(false);
  EXPECT_FALSE(editor.undoSegment(0, detect, ui));
  EXPECT_EQ(detections, 0);
  EXPECT_EQ(editor.segments().size(), 1u);
  ui.answer(true);
  ASSERT_TRUE(editor.undoSegment(0, detect, ui));
  EXPECT_EQ(series.values, detected);
  EXPECT_EQ(readBack(true).values, detected);
  EXPECT_EQ(editor.model().rowCount(), detected.size());
  EXPECT_TRUE(editor.segments().empty());
  EXPECT_FALSE(std::filesystem::exists(editor.segmentsFile()));
  EXPECT_EQ(ui.firstIds().back(), kUndoSegmentQuestionId);
}

TEST_F(PeriodicEditorTest, UndoSegmentOfAScriptedSessionListsTheWholeSeries) {
  scripted();
  editor.setTimeFrame(TimeFrame::Activity, ui);
  ASSERT_TRUE(editor.spin(1, ui));  // the second activity
  const Sel merge{2, 3};
  ASSERT_TRUE(editor.add(merge, ui));
  ASSERT_TRUE(editor.save(true, ui));
  ASSERT_EQ(series.segments[1].intervalCount, 99);
  ui.answer(true);
  ASSERT_TRUE(editor.undoSegment(0, [] { return std::optional<IntervalSeries>(scriptedSeries()); }, ui));
  EXPECT_EQ(editor.timeFrame(), TimeFrame::Session);
  EXPECT_EQ(series, scriptedSeries());
  EXPECT_EQ(editor.model().rowCount(), 300u);
}

TEST_F(PeriodicEditorTest, JumpListsTheStretchThatHoldsTheTime) {
  std::vector<float> v(200, 1000.0f);
  open(openSeries(v));
  src.epochSeconds = 60;
  editor.load(src, ui);
  editor.jumpTo(130.0, ui);
  EXPECT_EQ(editor.index(), 2);  // 121 .. 181 s
  EXPECT_DOUBLE_EQ(editor.cursorTime(), 130.0);
}

}  // namespace
}  // namespace rc
