#include "views/statistics/statistics_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/language.h"

namespace rc {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

StatisticsRow row(std::size_t record, double sdnn, const std::string& source = "EKG") {
  StatisticsRow r;
  r.cells.assign(kHrvColumnCount, "");
  r.numbers.assign(kHrvColumnCount, kNaN);
  r.cells[5] = source;
  r.numbers[6] = sdnn;
  r.numbers[4] = static_cast<double>(record + 1);
  r.record = record;
  return r;
}

std::vector<std::size_t> records(const std::vector<StatisticsRow>& rows) {
  std::vector<std::size_t> out;
  for (const auto& r : rows) out.push_back(r.record);
  return out;
}

class StatisticsHeaders : public ::testing::Test {
 protected:
  void SetUp() override {
    language().set(256, "NN%d");
    language().set(257, "pNN%d");
    language().set(259, "VLF");
    language().set(262, "LF");
    language().set(281, "HF");
    language().set(260, "LF (n.u.)");
    language().set(261, "HF (n.u.)");
    language().set(282, "(ms²)");
  }
};

TEST_F(StatisticsHeaders, NnColumnsFollowTheThreshold) {
  EXPECT_EQ(hrvHeaders(50, 0)[7], "NN50 ");
  EXPECT_EQ(hrvHeaders(20, 0)[8], "pNN20 ");
}

TEST_F(StatisticsHeaders, UnsafeTranslationShowsTheThresholdOnce) {
  language().set(256, "NN %s %d %n %");
  const std::string h = hrvHeaders(50, 0)[7];
  EXPECT_EQ(h.find("50"), h.rfind("50"));
}

TEST_F(StatisticsHeaders, BandUnitsChangeTheBandHeaders) {
  const auto abs = hrvHeaders(50, 0), nu = hrvHeaders(50, 1), pct = hrvHeaders(50, 2);
  EXPECT_EQ(abs[10], "VLF (ms²)");
  EXPECT_EQ(abs[11], "LF ");
  EXPECT_EQ(nu[11], "LF (n.u.) ");
  EXPECT_EQ(pct[10], "VLF (%)");
  EXPECT_EQ(pct[11], "LF (%)");
  EXPECT_EQ(pct[12], "HF (%)");
}

TEST(StatisticsLayout, OpenSessionHidesTheStepColumns) {
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(hrvColumnWidth(c, false), 0);
    EXPECT_EQ(signalColumnWidth(c, false), 0);
    EXPECT_GT(hrvColumnWidth(c, true), 0);
  }
  EXPECT_EQ(hrvColumnWidth(5, false), 200);
  EXPECT_EQ(signalColumnWidth(9, false), 101);
  EXPECT_EQ(signalColumnWidth(9, true), 100);
  const auto [a, b] = sessionColumnWidths(600, 15);
  EXPECT_EQ(a + b, 585);
  EXPECT_EQ(a, 585 * 470 / 585);
}

TEST(StatisticsLayout, ColumnTypes) {
  EXPECT_EQ(hrvColumnType(7), ColumnType::Integer);
  EXPECT_EQ(hrvColumnType(5), ColumnType::Text);
  EXPECT_EQ(hrvColumnType(13), ColumnType::Real);
  EXPECT_EQ(signalColumnType(4), ColumnType::Integer);
  EXPECT_EQ(signalColumnType(12), ColumnType::Real);
}

TEST(StatisticsSort, SecondClickReversesAnotherColumnStartsAscending) {
  StatisticsSorter s(true);
  s.click(6);
  EXPECT_TRUE(s.ascending());
  s.click(6);
  EXPECT_FALSE(s.ascending());
  s.click(5);
  EXPECT_EQ(s.column(), 5);
  EXPECT_TRUE(s.ascending());
}

TEST(StatisticsSort, NanEqualAndEmptyCellsGiveOneOrderInBothDirections) {
  std::vector<StatisticsRow> rows = {row(0, 50), row(1, kNaN), row(2, 20),
                                     row(3, 50), row(4, kNaN), row(5, 20)};
  StatisticsSorter s(true);
  s.click(6);
  s.sort(rows);
  EXPECT_EQ(records(rows), (std::vector<std::size_t>{2, 5, 0, 3, 1, 4}));
  s.click(6);
  s.sort(rows);
  EXPECT_EQ(records(rows), (std::vector<std::size_t>{0, 3, 2, 5, 1, 4}));
  // Sorting a shuffled copy gives the same order.
  std::vector<StatisticsRow> again = {rows[5], rows[2], rows[0], rows[4], rows[1], rows[3]};
  s.sort(again);
  EXPECT_EQ(records(again), records(rows));
}

TEST(StatisticsSort, TextComparesWithoutCase) {
  std::vector<StatisticsRow> rows = {row(0, 1, "bvp"), row(1, 1, "EKG"), row(2, 1, "BVP")};
  StatisticsSorter s(true);
  s.click(5);
  s.sort(rows);
  EXPECT_EQ(records(rows), (std::vector<std::size_t>{0, 2, 1}));
}

TEST(StatisticsSort, ColumnAfterRecompute) {
  EXPECT_EQ(columnAfterRecompute(true, 1), 0);
  EXPECT_EQ(columnAfterRecompute(false, 0), 4);
  EXPECT_EQ(columnAfterRecompute(false, 1), 5);
  EXPECT_EQ(columnAfterRecompute(false, 9), 5);
}

}  // namespace
}  // namespace rc
