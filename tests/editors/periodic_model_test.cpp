// The edit list: row texts, Add / Split / Average, Undo and Cancel, each
// applied, checked, undone and checked again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editors/periodic/edit_model.h"
#include "editors/periodic/input_string.h"
#include "editors/periodic/row_text.h"

namespace rc {
namespace {

using Sel = std::vector<std::size_t>;

std::vector<std::string> intervals(const PeriodicEditModel& m) {
  std::vector<std::string> out;
  for (const auto& r : m.rows()) out.push_back(r.interval);
  return out;
}
std::vector<std::string> times(const PeriodicEditModel& m) {
  std::vector<std::string> out;
  for (const auto& r : m.rows()) out.push_back(r.time);
  return out;
}

struct RowTimeCase {
  float seconds;
  char decimal;
  const char* text;
};
class RowTimeText : public ::testing::TestWithParam<RowTimeCase> {};

TEST_P(RowTimeText, FormatsAndReadsBack) {
  const auto& c = GetParam();
  EXPECT_EQ(formatRowTime(c.seconds, c.decimal), c.text);
  const auto back = parseRowTime(c.text, c.decimal);
  ASSERT_TRUE(back);
  EXPECT_NEAR(*back, c.seconds, 0.0006);
}

INSTANTIATE_TEST_SUITE_P(Rows, RowTimeText,
                         ::testing::Values(RowTimeCase{0.0f, '.', "00:00:00.000"},
                                           RowTimeCase{60.0f, '.', "00:01:00.000"},
                                           RowTimeCase{60.4f, ',', "00:01:00,400"},
                                           RowTimeCase{3725.25f, ',', "01:02:05,250"},
                                           RowTimeCase{86399.5f, '.', "23:59:59.500"},
                                           RowTimeCase{90061.0f, '.', "25:01:01.000"}));

TEST(RowTimeRead, RefusesMalformedTexts) {
  for (const char* bad : {"", "0:01:00.000", "00-01:00.000", "00:01:0a.000", "00:01:00x000", "00:01:00.0a0",
                          "00:01:00,500", "00:01:00.5 "}) {
    EXPECT_FALSE(parseRowTime(bad, '.')) << bad;
  }
  EXPECT_FLOAT_EQ(*parseRowTime("00:01:00", '.'), 60.0f);
  EXPECT_FLOAT_EQ(*parseRowTime("00:01:00,5", ','), 60.5f);
}

// A comma locale: the rows are written with "," and still read back, whatever
// the C library's numeric locale is.
TEST(RowTimeRead, CommaLocaleRowsReadBack) {
  PeriodicEditModel m(1, ',');
  const std::vector<float> v{812.5f, 790.0f, 805.25f};
  m.setRows(v, 61.25);
  EXPECT_EQ(m.rows()[0].time, "00:01:01,250");
  EXPECT_EQ(m.rows()[1].time, "00:01:02,062");
  for (std::size_t r = 0; r < m.rowCount(); ++r) EXPECT_TRUE(m.rowTime(r)) << r;
  ScriptedUi ui;
  const Sel sel{0, 1};
  ASSERT_TRUE(m.add(sel, ui));
  EXPECT_TRUE(ui.records().empty());
  EXPECT_EQ(m.rowCount(), 2u);
}

class EditModelTest : public ::testing::Test {
 protected:
  void load(std::vector<float> v, double start) {
    model.setRows(v, start);
    before = model.rows();
  }
  void expectRestored() {
    EXPECT_EQ(model.rows(), before);
    EXPECT_EQ(model.unsavedCount(), 0);
    EXPECT_TRUE(model.edits().empty());
  }
  PeriodicEditModel model{7, '.'};
  ScriptedUi ui;
  std::vector<PeriodicRow> before;
};

TEST_F(EditModelTest, AddMergesRowsAndUndoRestoresThem) {
  load({500.0f, 700.0f, 300.0f, 800.0f}, 59.5);
  const Sel sel{1, 2};
  const auto applied = model.add(sel, ui);
  ASSERT_TRUE(applied);
  EXPECT_EQ(times(model), (std::vector<std::string>{"00:00:59.500", "00:01:00.000", "00:01:01.000"}));
  EXPECT_EQ(intervals(model), (std::vector<std::string>{"500.000000", "1000.000000", "800.000000"}));
  EXPECT_EQ(applied->selection, Sel{1});
  EXPECT_EQ(applied->operation, kOpAdd);
  EXPECT_FLOAT_EQ(applied->start, 60.0f);
  EXPECT_FLOAT_EQ(applied->end, 61.0f);
  ASSERT_EQ(model.edits().size(), 1u);
  EXPECT_EQ(model.edits()[0].rowCount, 2);
  EXPECT_EQ(model.edits()[0].source, 7);
  EXPECT_EQ(model.edits()[0].periods.size(), 2u);
  EXPECT_EQ(model.unsavedCount(), 1);

  const auto undone = model.undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->selection, (Sel{1, 2}));
  expectRestored();
}

TEST_F(EditModelTest, SelectionChecks) {
  load({800.0f, 810.0f, 820.0f, 830.0f}, 0.0);
  const Sel one{1}, gap{0, 2}, two{0, 1};
  EXPECT_FALSE(model.add(one, ui));
  EXPECT_FALSE(model.average(gap, ui));
  EXPECT_FALSE(model.split(two, SplitOptions{}, ui));
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{kSelectTwoRowsId, kRowsNotConsecutiveId, kSelectOneRowId}));
  EXPECT_EQ(model.rows(), before);
  EXPECT_EQ(model.unsavedCount(), 0);
}

// A selection holding a row whose time does not read back changes nothing.
TEST_F(EditModelTest, UnreadableRowTimeRefusesTheEdit) {
  load({800.0f, 810.0f, 820.0f}, 0.0);
  model.setRowText(1, "00:00:0x.800", "810.000000");
  before = model.rows();
  const Sel sel{0, 1, 2}, one{1};
  EXPECT_FALSE(model.add(sel, ui));
  EXPECT_FALSE(model.average(sel, ui));
  EXPECT_FALSE(model.split(one, SplitOptions{}, ui));
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{kRowTimeUnreadableId, kRowTimeUnreadableId, kRowTimeUnreadableId}));
  EXPECT_EQ(model.rows(), before);
  EXPECT_TRUE(model.edits().empty());
}

TEST_F(EditModelTest, SplitInHalfWithTheCursorOutside) {
  load({801.0f, 700.0f}, 0.0);
  ui.answer(true);
  SplitOptions o;
  o.cursorTime = 5.0;
  const Sel sel{0};
  const auto applied = model.split(sel, o, ui);
  ASSERT_TRUE(applied);
  EXPECT_EQ(ui.firstIds(), std::vector<int>{kSplitInHalfId});
  EXPECT_EQ(intervals(model), (std::vector<std::string>{"400.500000", "400.500000", "700.000000"}));
  EXPECT_EQ(model.rows()[1].time, "00:00:00.400");
  EXPECT_EQ(applied->selection, (Sel{0, 1}));
  ASSERT_TRUE(model.undo());
  expectRestored();
}

// The halves come from the 32-bit float difference between end and start.
TEST_F(EditModelTest, SplitInHalfLaterInTheSessionIsSlightlyBelowHalf) {
  load({801.0f}, 60.0);
  ui.answer(true);
  const Sel sel{0};
  ASSERT_TRUE(model.split(sel, SplitOptions{}, ui));
  const double half = *model.rowInterval(0);
  EXPECT_LT(half, 400.5);
  EXPECT_GT(half, 400.49);
  EXPECT_EQ(model.rows()[0].interval, model.rows()[1].interval);
}

TEST_F(EditModelTest, SplitCancelledQuestionChangesNothing) {
  load({801.0f}, 0.0);
  ui.answer(false);
  const Sel sel{0};
  EXPECT_FALSE(model.split(sel, SplitOptions{}, ui));
  EXPECT_EQ(model.rows(), before);
}

TEST_F(EditModelTest, SplitAtTheCursorTakesTheEntry) {
  load({800.0f, 900.0f}, 10.0);
  SplitOptions o;
  o.cursorTime = 10.3;
  ui.answerText(std::string());  // keeps the proposal: 300 ms
  const Sel sel{0};
  ASSERT_TRUE(model.split(sel, o, ui));
  EXPECT_NEAR(*model.rowInterval(0), 300.0, 0.01);
  EXPECT_NEAR(*model.rowInterval(1), 500.0, 0.01);
  EXPECT_EQ(model.rows()[1].time, "00:00:10.300");
  ASSERT_TRUE(model.undo());
  expectRestored();

  ui.answerText(std::string("250"));
  ASSERT_TRUE(model.split(sel, o, ui));
  EXPECT_NEAR(*model.rowInterval(0), 250.0, 0.01);
  EXPECT_NEAR(*model.rowInterval(1), 550.0, 0.01);
}

// Refused entries keep the dialog open; the valid entry after them is taken.
TEST_F(EditModelTest, SplitRefusesBadEntriesAndAsksAgain) {
  load({800.0f}, 0.0);
  SplitOptions o;
  o.cursorTime = 0.4;
  for (const char* bad : {"800", "0", "-5", "abc", "nan", "1e9"}) ui.answerText(std::string(bad));
  ui.answerText(std::string("400"));
  const Sel sel{0};
  ASSERT_TRUE(model.split(sel, o, ui));
  int refused = 0, asked = 0;
  for (const auto& r : ui.records()) {
    if (r.kind == ScriptedUi::Kind::EnterString) ++asked;
    if (r.kind == ScriptedUi::Kind::Message && r.message.ids.front() == kSplitEntryRefusedId) ++refused;
  }
  EXPECT_EQ(refused, 6);
  EXPECT_EQ(asked, 7);
  EXPECT_EQ(intervals(model), (std::vector<std::string>{"400.000000", "400.000000"}));
}

TEST_F(EditModelTest, SplitCursorOutsideTheListedStretch) {
  load({800.0f, 800.0f}, 100.0);
  SplitOptions o;
  o.cursorTime = 99.0;
  o.cursorMustLieInList = true;
  const Sel sel{0};
  EXPECT_FALSE(model.split(sel, o, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{kCursorOutsideListId});
  EXPECT_EQ(model.rows(), before);
}

TEST_F(EditModelTest, SplitSecondModeProposesHalf) {
  load({900.0f}, 0.0);
  SplitOptions o;
  o.proposeFromCursor = false;
  ui.answerText(std::string(""));
  const Sel sel{0};
  ASSERT_TRUE(model.split(sel, o, ui));
  EXPECT_EQ(intervals(model), (std::vector<std::string>{"450.000000", "450.000000"}));
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{kSplitHalfPromptId});
}

TEST_F(EditModelTest, AverageEvensOutAndStepsTimes) {
  load({500.0f, 750.0f, 1000.0f, 600.0f}, 20.0);
  const Sel sel{0, 1, 2};
  ASSERT_TRUE(model.average(sel, ui));
  EXPECT_EQ(intervals(model),
            (std::vector<std::string>{"750.000000", "750.000000", "750.000000", "600.000000"}));
  EXPECT_EQ(times(model), (std::vector<std::string>{"00:00:20.000", "00:00:20.750", "00:00:21.500",
                                                    "00:00:22.250"}));
  ASSERT_TRUE(model.undo());
  expectRestored();
}

// Several edits undo newest first back to the loaded rows.
TEST_F(EditModelTest, StackedEditsUndoInReverse) {
  std::vector<float> v;
  for (int i = 0; i < 40; ++i) v.push_back(700.0f + static_cast<float>((i * 37) % 200));
  load(v, 3.0);
  ui.answer(true).answer(true);
  const Sel a{3, 4, 5}, s{10}, av{20, 21, 22, 23}, a2{0, 1}, s2{30};
  ASSERT_TRUE(model.add(a, ui));
  ASSERT_TRUE(model.split(s, SplitOptions{}, ui));
  ASSERT_TRUE(model.average(av, ui));
  ASSERT_TRUE(model.add(a2, ui));
  ASSERT_TRUE(model.split(s2, SplitOptions{}, ui));
  EXPECT_EQ(model.unsavedCount(), 5);
  while (model.undo()) {
  }
  expectRestored();
  EXPECT_FALSE(model.undo());
}

TEST_F(EditModelTest, CancelChangesAsksFirst) {
  load({800.0f, 800.0f, 800.0f}, 0.0);
  const Sel sel{0, 1};
  ASSERT_TRUE(model.add(sel, ui));
  const auto edited = model.rows();
  ui.answer(false);
  EXPECT_FALSE(model.cancelChanges(ui));
  EXPECT_EQ(model.rows(), edited);
  EXPECT_EQ(model.unsavedCount(), 1);
  ui.answer(true);
  EXPECT_TRUE(model.cancelChanges(ui));
  expectRestored();
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{kCancelChangesId, kCancelChangesId}));
}

// Rows of two session segments: a run across the boundary is refused, and
// edits before the boundary keep it on the right row.
TEST_F(EditModelTest, RunStartsFollowEditsAndBlockCrossingRuns) {
  load({800.0f, 800.0f, 800.0f, 900.0f, 900.0f}, 0.0);
  model.setRunStarts({3});
  const Sel across{2, 3};
  EXPECT_FALSE(model.add(across, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{kRowsNotConsecutiveId});
  const Sel first{0, 1};
  ASSERT_TRUE(model.add(first, ui));
  EXPECT_EQ(model.runStarts(), std::vector<std::size_t>{2});
  ui.answer(true);
  const Sel one{0};
  ASSERT_TRUE(model.split(one, SplitOptions{}, ui));
  EXPECT_EQ(model.runStarts(), std::vector<std::size_t>{3});
  const Sel after{3, 4};
  ASSERT_TRUE(model.average(after, ui));
  model.undoAll();
  EXPECT_EQ(model.runStarts(), std::vector<std::size_t>{3});
  expectRestored();
}

TEST_F(EditModelTest, TakeEditsClearsTheCountAndUndoAfterSaveDoesNothing) {
  load({800.0f, 800.0f, 800.0f}, 0.0);
  const Sel sel{0, 1};
  ASSERT_TRUE(model.add(sel, ui));
  const auto saved = model.rows();
  EXPECT_EQ(model.takeEdits().size(), 1u);
  EXPECT_EQ(model.unsavedCount(), 0);
  EXPECT_FALSE(model.undo());
  EXPECT_EQ(model.rows(), saved);
}

TEST_F(EditModelTest, RowAtTimeFindsTheRowHoldingATime) {
  load({1000.0f, 1000.0f, 1000.0f}, 10.0);
  EXPECT_EQ(model.rowAtTime(5.0), 0u);
  EXPECT_EQ(model.rowAtTime(10.0), 0u);
  EXPECT_EQ(model.rowAtTime(11.5), 1u);
  EXPECT_EQ(model.rowAtTime(99.0), 2u);
}

TEST(InputStringTest, AcceptsOnlyPartsInsideTheInterval) {
  const CInputString in(CInputString::Mode::ProposeCursorPart, 300.0, 800.0);
  EXPECT_EQ(in.accept(""), 300.0);
  EXPECT_EQ(in.accept("400"), 400.0);
  EXPECT_EQ(in.accept("400,5"), 400.5);
  for (const char* bad : {"0", "-5", "abc", "nan", "inf", "800", "800.1"}) EXPECT_FALSE(in.accept(bad)) << bad;
  EXPECT_EQ(in.prompt().ids, std::vector<int>{kSplitPromptId});
}

}  // namespace
}  // namespace rc
