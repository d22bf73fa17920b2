// The rejection list: the merge rule, deletion, the file at load and close,
// the drag ranges, the scale dialog's checks and the overview decimation.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "analysis/stats/signal_stats.h"
#include "editors/rejection/rejection_list.h"
#include "support/file_io.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

using List = std::vector<TSessionSegment>;
constexpr std::int32_t kSc = 11;
constexpr std::int32_t kTemp = 12;

struct MergeCase {
  const char* name;
  List before;
  double start, end;
  std::int32_t channel;
  MergeResult result;
  List after;
};

class MergeRule : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeRule, Applies) {
  const MergeCase& c = GetParam();
  List list = c.before;
  EXPECT_EQ(addRejection(list, c.start, c.end, c.channel), c.result);
  EXPECT_EQ(list, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rejection, MergeRule,
    ::testing::Values(
        MergeCase{"append_first", {}, 10, 20, kSc, MergeResult::Inserted, {{10, 20, kSc}}},
        MergeCase{"contained", {{10, 30, kSc}}, 12, 18, kSc, MergeResult::Unchanged, {{10, 30, kSc}}},
        MergeCase{"equal_is_contained", {{10, 30, kSc}}, 10, 30, kSc, MergeResult::Unchanged, {{10, 30, kSc}}},
        MergeCase{"extends_right", {{10, 20, kSc}}, 15, 30, kSc, MergeResult::Merged, {{10, 30, kSc}}},
        MergeCase{"extends_left", {{45, 60, kSc}}, 40, 50, kSc, MergeResult::Merged, {{40, 60, kSc}}},
        MergeCase{"touching_ends_merge", {{10, 20, kSc}}, 20, 25, kSc, MergeResult::Merged, {{10, 25, kSc}}},
        MergeCase{"insert_before",
                  {{40, 50, kSc}},
                  10,
                  20,
                  kSc,
                  MergeResult::Inserted,
                  {{10, 20, kSc}, {40, 50, kSc}}},
        MergeCase{"insert_after_last_of_channel",
                  {{10, 20, kSc}, {5, 6, kTemp}},
                  30,
                  40,
                  kSc,
                  MergeResult::Inserted,
                  {{10, 20, kSc}, {30, 40, kSc}, {5, 6, kTemp}}},
        MergeCase{"between",
                  {{10, 20, kSc}, {45, 60, kSc}, {70, 80, kSc}},
                  40,
                  50,
                  kSc,
                  MergeResult::Merged,
                  {{10, 20, kSc}, {40, 60, kSc}, {70, 80, kSc}}},
        MergeCase{"absorbs_following",
                  {{10, 20, kSc}, {25, 30, kSc}, {3, 4, kTemp}, {35, 50, kSc}, {90, 95, kSc}},
                  15,
                  40,
                  kSc,
                  MergeResult::Merged,
                  {{10, 50, kSc}, {3, 4, kTemp}, {90, 95, kSc}}},
        MergeCase{"covers_all",
                  {{10, 20, kSc}, {30, 40, kSc}},
                  5,
                  50,
                  kSc,
                  MergeResult::Merged,
                  {{5, 50, kSc}}},
        MergeCase{"channels_never_merge",
                  {{10, 20, kSc}},
                  15,
                  30,
                  kTemp,
                  MergeResult::Inserted,
                  {{10, 20, kSc}, {15, 30, kTemp}}},
        MergeCase{"reversed_ends", {}, 30, 10, kSc, MergeResult::Inserted, {{10, 30, kSc}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rejection, TheSpecSequence) {
  List list;
  addRejection(list, 10, 20, kSc);
  addRejection(list, 15, 30, kSc);
  EXPECT_EQ(list, (List{{10, 30, kSc}}));
  EXPECT_EQ(addRejection(list, 12, 18, kSc), MergeResult::Unchanged);
  // No limit on the number of stretches.
  for (int i = 0; i < 5000; ++i) addRejection(list, 100 + 2 * i, 100.5 + 2 * i, kSc);
  EXPECT_EQ(list.size(), 5001u);
  for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LT(list[i - 1].end, list[i].start);
}

TEST(Rejection, SelectionAndDelete) {
  List list{{10, 20, kSc}, {10, 20, kTemp}, {30, 40, kSc}};
  EXPECT_EQ(rejectionAt(list, kSc, 20.0), (TSessionSegment{10, 20, kSc}));
  EXPECT_EQ(rejectionAt(list, kTemp, 35.0), std::nullopt);
  EXPECT_TRUE(removeRejection(list, {10, 20, kTemp}));
  EXPECT_EQ(list, (List{{10, 20, kSc}, {30, 40, kSc}}));
  EXPECT_FALSE(removeRejection(list, {10, 21, kSc}));  // no longer matches: nothing removed
  EXPECT_EQ(list.size(), 2u);
}

TEST(Rejection, DeleteAllAsksAndNoKeepsTheList) {
  ASSERT_TRUE(loadLanguage(fs::path(RC_PROGRAM_DIR)));
  List list{{10, 20, kSc}, {10, 20, kTemp}, {30, 40, kSc}};
  ScriptedUi no;
  no.answer(false);
  EXPECT_FALSE(removeAllRejectionsAsking(list, kSc, no));
  EXPECT_EQ(list.size(), 3u);
  ASSERT_EQ(no.records().size(), 1u);
  EXPECT_EQ(no.records()[0].kind, ScriptedUi::Kind::YesNo);
  EXPECT_EQ(no.firstIds(), std::vector<int>{309});
  ScriptedUi yes;
  yes.answer(true);
  EXPECT_TRUE(removeAllRejectionsAsking(list, kSc, yes));
  EXPECT_EQ(list, (List{{10, 20, kTemp}}));
  removeChannelRejections(list, {kTemp});
  EXPECT_TRUE(list.empty());
}

TEST(Rejection, DragRangesAreOrderedAndClamped) {
  // A right-to-left Ctrl drag stores ordered ends.
  auto r = dragRange(30, 10, 0, 100, 300);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->start, 10);
  EXPECT_EQ(r->end, 30);
  r = dragRange(250, 400, 200, 500, 300);  // past the session's end
  ASSERT_TRUE(r);
  EXPECT_EQ(r->end, 300);
  r = dragRange(-5, 12, -10, 100, 300);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->start, 0);
  EXPECT_EQ(r->end, 12);
  EXPECT_FALSE(dragRange(40, 40, 0, 100, 300));
  EXPECT_FALSE(dragRange(310, 320, 0, 400, 300));
}

TEST(Rejection, ScaleChecks) {
  ASSERT_TRUE(loadLanguage(fs::path(RC_PROGRAM_DIR)));
  EXPECT_FALSE(checkScale(-5, 5, false));
  EXPECT_FALSE(checkScale(-10000, 10000, false));
  for (auto [lo, hi] : std::vector<std::pair<double, double>>{{5, 5}, {6, 5}, {-10001, 0}, {0, 10001}}) {
    auto m = checkScale(lo, hi, false);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->ids.front(), 377);
    EXPECT_NE(m->text.find("-10000"), std::string::npos);
  }
  EXPECT_FALSE(checkScale(99, 0, true));
  EXPECT_FALSE(checkScale(0, 10000, true));
  auto m = checkScale(0, -1, true);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->ids.front(), 378);
  EXPECT_TRUE(checkScale(0, 10000.5, true));
}

TEST(Rejection, LabelsAndColours) {
  ASSERT_TRUE(loadLanguage(fs::path(RC_PROGRAM_DIR)));
  EXPECT_EQ(nonPeriodicLabel(3), str(448) + str(217) + " 1");
  EXPECT_EQ(nonPeriodicLabel(6), str(448) + str(449) + " 2");
  EXPECT_EQ(nonPeriodicLabel(7), str(448) + str(326) + " 1");
  EXPECT_EQ(nonPeriodicColour(3), 0xFF9966u);
  EXPECT_EQ(nonPeriodicColour(8), 0x5300A6u);
}

TEST(Rejection, DecimationKeepsExtremes) {
  std::vector<float> s(100000);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = std::sin(static_cast<float>(i) * 0.01f);
  s[54321] = 9.0f;
  s[12345] = -9.0f;
  s[777] = NAN;
  const auto cols = decimateMinMax(s.data(), static_cast<std::int64_t>(s.size()), 100.0, 0.0, 1000.0, 700);
  ASSERT_EQ(cols.size(), 700u);
  float hi = -100, lo = 100;
  for (const auto& c : cols) {
    hi = std::max(hi, c.maximum);
    lo = std::min(lo, c.minimum);
    EXPECT_TRUE(std::isfinite(c.minimum));
  }
  EXPECT_EQ(hi, 9.0f);
  EXPECT_EQ(lo, -9.0f);
  // Fewer samples than columns: one point per sample, at its own time.
  const auto few = decimateMinMax(s.data(), 5, 2.0, 0.0, 2.5, 100);
  ASSERT_EQ(few.size(), 5u);
  EXPECT_DOUBLE_EQ(few[3].time, 1.5);
  EXPECT_TRUE(decimateMinMax(s.data(), 5, 0.0, 0.0, 2.5, 100).empty());
}

class RejectionFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_rej_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(RejectionFile, RoundTripOf24ByteRecords) {
  const List list{{10.25, 20.5, kSc}, {1e-300, 3.5e10, -7}};
  const auto bytes = serialiseStretches(list);
  ASSERT_EQ(bytes.size(), 48u);
  EXPECT_EQ(bytes[16], kSc);
  EXPECT_EQ(bytes[20] | bytes[21] | bytes[22] | bytes[23], 0);
  EXPECT_EQ(parseStretches(bytes), list);
  ScriptedUi ui;
  saveRejectionsAtClose(dir_, list, true, ui);
  EXPECT_EQ(StretchFile().read(dir_), (List{{1e-300, 3.5e10, -7}, {10.25, 20.5, kSc}}));
  // Unchanged: the file stays; an empty changed list deletes it.
  saveRejectionsAtClose(dir_, {}, false, ui);
  EXPECT_TRUE(fs::exists(dir_ / "ChannelSegments.dat"));
  saveRejectionsAtClose(dir_, {}, true, ui);
  EXPECT_FALSE(fs::exists(dir_ / "ChannelSegments.dat"));
  EXPECT_TRUE(ui.records().empty());
}

// A file holding [50, 60] and then [10, 20] on one channel (another tool, an
// older version): both stretches are skipped by the statistics and a new
// [15, 55] merges them into one.
TEST_F(RejectionFile, UnsortedFilesAreNormalisedAtLoad) {
  ASSERT_TRUE(writeFileAtomic(dir_ / "ChannelSegments.dat",
                              serialiseStretches({{50, 60, kSc}, {10, 20, kSc}, {55, 58, kSc}, {30, 5, kTemp}})));
  List list = StretchFile().read(dir_);
  EXPECT_EQ(list, (List{{5, 30, kTemp}, {10, 20, kSc}, {50, 60, kSc}}));
  std::vector<float> samples(100, 1.0f);
  const std::vector<double> kept = channelWindowValues(samples, {0, 100}, 1.0, list, kSc);
  EXPECT_EQ(kept.size(), 100u - 11u - 11u);
  EXPECT_EQ(addRejection(list, 15, 55, kSc), MergeResult::Merged);
  EXPECT_EQ(rejectionsOf(list, kSc), (List{{10, 60, kSc}}));
}

}  // namespace
}  // namespace rc
