// The segment list's merge rule and the "HRV_PSegments.dat" file.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/series_test_folder.h"
#include "editors/periodic/segments.h"
#include "support/binary.h"
#include "support/file_io.h"

namespace rc {
namespace {

using testing::fileBytes;
using testing::putBytes;
using testing::SeriesTempFolder;

constexpr double kDuration = 600.0;

TEST(SegmentMerge, WithinTheJoinGapMergesAndContainedIsANoOp) {
  PeriodicSegmentList list;
  EXPECT_EQ(list.offer(1, kOpSplit, 12.0005, 15.0, kDuration), OfferResult::Inserted);
  EXPECT_EQ(list.offer(1, kOpAdd, 10.0, 12.0, kDuration), OfferResult::Merged);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_FLOAT_EQ(list.segments()[0].start, 10.0f);
  EXPECT_FLOAT_EQ(list.segments()[0].end, 15.0f);
  EXPECT_EQ(list.segments()[0].operation, kOpSplit);  // keeps its own operation
  const auto kept = list;
  EXPECT_EQ(list.offer(1, kOpAverage, 11.0, 11.5, kDuration), OfferResult::Contained);
  EXPECT_EQ(list, kept);
}

TEST(SegmentMerge, InsertsInOrderPerSourceAndAbsorbsFollowers) {
  PeriodicSegmentList list;
  EXPECT_EQ(list.offer(1, kOpAdd, 50.0, 60.0, kDuration), OfferResult::Inserted);
  EXPECT_EQ(list.offer(2, kOpAdd, 5.0, 6.0, kDuration), OfferResult::Inserted);
  EXPECT_EQ(list.offer(1, kOpAdd, 10.0, 20.0, kDuration), OfferResult::Inserted);
  EXPECT_EQ(list.offer(1, kOpAdd, 30.0, 40.0, kDuration), OfferResult::Inserted);
  EXPECT_EQ(list.offer(1, kOpAdd, 70.0, 80.0, kDuration), OfferResult::Inserted);
  std::vector<TPeriodicSegment> want{{1, 0, 10, 20}, {1, 0, 30, 40}, {1, 0, 50, 60}, {1, 0, 70, 80}, {2, 0, 5, 6}};
  EXPECT_EQ(list.segments(), want);
  // [15, 55] joins the first three of source 1; source 2 is untouched.
  EXPECT_EQ(list.offer(1, kOpAverage, 15.0, 55.0, kDuration), OfferResult::Merged);
  want = {{1, 0, 10, 60}, {1, 0, 70, 80}, {2, 0, 5, 6}};
  EXPECT_EQ(list.segments(), want);
  EXPECT_EQ(list.countFor(1), 2u);
  EXPECT_EQ(list.findAt(1, 75.0), 1);
  EXPECT_EQ(list.findAt(2, 75.0), -1);
}

TEST(SegmentMerge, RangesOutsideTheSession) {
  PeriodicSegmentList list;
  EXPECT_EQ(list.offer(1, kOpAdd, kDuration + 1.0, kDuration + 2.0, kDuration), OfferResult::Dropped);
  EXPECT_EQ(list.offer(1, kOpAdd, -3.0, -1.0, kDuration), OfferResult::Dropped);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.offer(1, kOpAdd, kDuration - 1.0, kDuration + 5.0, kDuration), OfferResult::Inserted);
  EXPECT_FLOAT_EQ(list.segments()[0].end, static_cast<float>(kDuration));
}

TEST(SegmentMerge, TheListHoldsAtMost200) {
  PeriodicSegmentList list;
  for (int i = 0; i < 200; ++i) ASSERT_EQ(list.offer(1, kOpAdd, i * 2.0, i * 2.0 + 1.0, 1000.0), OfferResult::Inserted);
  EXPECT_TRUE(list.full());
  EXPECT_EQ(list.offer(1, kOpAdd, 500.0, 501.0, 1000.0), OfferResult::Full);
  EXPECT_EQ(list.size(), 200u);
  EXPECT_EQ(marksFullMessage(0).ids, (std::vector<int>{kMarksFullId, kIrregularBasicId}));
  EXPECT_EQ(marksFullMessage(1).ids, (std::vector<int>{kMarksFullId, kIrregularAdvancedId}));
}

TEST(SegmentFile, RoundTripsAndMatchesTheLayout) {
  SeriesTempFolder dir;
  PeriodicSegmentList list;
  list.offer(3, kOpSplit, 1.5, 2.25, kDuration);
  list.offer(4, kOpAverage, 10.0, 12.0, kDuration);
  const auto file = periodicSegmentsPath(dir.path());
  ASSERT_TRUE(writePeriodicSegments(file, list));
  const auto bytes = fileBytes(file);
  ASSERT_EQ(bytes.size(), 4u + 2 * 16);
  ByteReader r(bytes);
  EXPECT_EQ(*r.i32(0), 2);
  EXPECT_EQ(*r.i32(4), 3);
  EXPECT_EQ(*r.i32(8), kOpSplit);
  EXPECT_FLOAT_EQ(*r.f32(12), 1.5f);
  EXPECT_FLOAT_EQ(*r.f32(16), 2.25f);
  EXPECT_EQ(*r.i32(20), 4);
  PeriodicSegmentList back;
  ASSERT_TRUE(readPeriodicSegments(file, back));
  EXPECT_EQ(back, list);
  // Reading again replaces the list instead of appending to it.
  ASSERT_TRUE(readPeriodicSegments(file, back));
  EXPECT_EQ(back, list);
}

struct BadFileCase {
  const char* name;
  std::int32_t n;
  int records;
  std::size_t expected;
};
class SegmentFileDamaged : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(SegmentFileDamaged, ReadsAtMost200SaneRecords) {
  const auto& c = GetParam();
  ByteWriter w;
  w.i32(c.n);
  for (int k = 0; k < c.records; ++k) {
    w.i32(1);
    w.i32(0);
    w.f32(static_cast<float>(k));
    w.f32(static_cast<float>(k) + 0.5f);
  }
  const auto segs = parsePeriodicSegments(w.buffer());
  EXPECT_EQ(segs.size(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Files, SegmentFileDamaged,
                         ::testing::Values(BadFileCase{"negative", -1, 3, 0}, BadFileCase{"huge", 1000, 300, 200},
                                           BadFileCase{"short", 10, 4, 4}, BadFileCase{"exact", 3, 3, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentFile, DropsNonFiniteAndReversedRecords) {
  ByteWriter w;
  w.i32(3);
  for (auto [a, b] : {std::pair{1.0f, 2.0f}, std::pair{5.0f, 4.0f}, std::pair{std::nanf(""), 3.0f}}) {
    w.i32(1);
    w.i32(0);
    w.f32(a);
    w.f32(b);
  }
  EXPECT_EQ(parsePeriodicSegments(w.buffer()).size(), 1u);
  const std::vector<std::uint8_t> tiny{1, 0};
  EXPECT_TRUE(parsePeriodicSegments(tiny).empty());
}

TEST(SegmentFile, AFailedWriteKeepsTheOldFileAndShows189) {
  SeriesTempFolder dir;
  const auto file = periodicSegmentsPath(dir.path());
  PeriodicSegmentList list;
  list.offer(1, kOpAdd, 1.0, 2.0, kDuration);
  ASSERT_TRUE(writePeriodicSegments(file, list));
  const auto old = fileBytes(file);
  list.offer(1, kOpAdd, 5.0, 6.0, kDuration);
  ScriptedUi ui;
  rc::testing::failNextAtomicCommit();
  EXPECT_FALSE(savePeriodicSegments(file, list, ui));
  EXPECT_EQ(fileBytes(file), old);
  EXPECT_EQ(ui.firstIds(), std::vector<int>{189});
}

TEST(SegmentFile, MissingFileLeavesAnEmptyList) {
  SeriesTempFolder dir;
  PeriodicSegmentList list;
  list.offer(1, kOpAdd, 1.0, 2.0, kDuration);
  EXPECT_FALSE(readPeriodicSegments(dir.path() / "none.dat", list));
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace rc
