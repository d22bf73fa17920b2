// The rows, the time range and the two exports of the third-party editor.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "analysis/protocol/settings.h"
#include "analysis/series/series.h"
#include "editors/thirdparty/thirdparty_export.h"
#include "editors/thirdparty/thirdparty_rows.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

class ThirdPartyExport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(loadLanguage(RC_PROGRAM_DIR).isOk()); }
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rc_tpexp_XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    setLocaleSeparators({});
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path dir_;
};

std::vector<float> series(std::size_t n, float base = 800.0f) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = base + static_cast<float>((i * 37) % 61) - 30.0f;
  return v;
}

TEST(ThirdPartyRows, TimesAndRanges) {
  const std::vector<float> v = {812.0f, 790.0f, 805.0f};
  EXPECT_EQ(thirdPartyStartTimes(v), (std::vector<double>{0.0, 0.812, 1.602}));
  EXPECT_EQ(thirdPartyWholeSeconds(v), 3);
  EXPECT_EQ(thirdPartyYRange(v), (std::pair<double, double>{790.0, 812.0}));
  EXPECT_EQ(thirdPartyYRange(std::vector<float>{800.0f, 800.0f}), (std::pair<double, double>{799.5, 800.5}));
  EXPECT_EQ(thirdPartyYRange({}), (std::pair<double, double>{0.0, 1.0}));
}

TEST(ThirdPartyRows, TimeRangeIsAtLeastOneSecondAndKeepsTheStartInRange) {
  TimeRange r;
  r.start = 500;
  r = applyTimeRange(r, 60.4, 1000);
  EXPECT_EQ(r.width, 60);
  EXPECT_TRUE(r.scrollable);
  EXPECT_EQ(r.scrollMax, 940);
  EXPECT_EQ(r.start, 500);
  r = applyTimeRange(r, 900, 1000);  // the start moves back to T - W
  EXPECT_EQ(r.start, 100);
  for (double bad : {0.0, 0.4, -5.0, -1e300}) EXPECT_EQ(applyTimeRange(r, bad, 1000).width, 1) << bad;
  r = applyTimeRange(r, 2000, 1000);
  EXPECT_FALSE(r.scrollable);
  EXPECT_EQ(r.start, 0);
  EXPECT_EQ(applyTimeRange(r, std::nan(""), 1000).width, 2000);  // not a number: unchanged
}

TEST(ThirdPartyExportText, IntegerIbiRoundsHalfUp) {
  EXPECT_EQ(integerIbi(812.5), 813);
  EXPECT_EQ(integerIbi(812.49), 812);
  EXPECT_EQ(integerIbi(static_cast<double>(812.49f)), 812);
  EXPECT_EQ(integerIbi(812.0), 812);
}

TEST(ThirdPartyExportText, EpochChoicesFollowTheDuration) {
  EXPECT_EQ(thirdPartyEpochChoices(250), (std::vector<int>{60, 180}));
  EXPECT_EQ(thirdPartyEpochChoices(180), (std::vector<int>{60}));
  EXPECT_EQ(thirdPartyEpochChoices(601), (std::vector<int>{60, 180, 300, 600}));
  EXPECT_EQ(thirdPartyEpochChoices(10), (std::vector<int>{60}));
}

TEST_F(ThirdPartyExport, IbiExportLines) {
  const std::vector<float> v = {812.5f, 812.49f, 800.0f};
  ThirdPartyIbiExport o;
  o.header = false;
  o.integerIbi = true;
  EXPECT_EQ(thirdPartyIbiExportText(v, o, ';', ','), "813\r\n812\r\n800\r\n");
  o.integerIbi = false;
  o.timeColumn = true;
  EXPECT_EQ(thirdPartyIbiExportText(v, o, ';', ','),
            "0,000000;812,500\r\n0,812500;812,490\r\n1,624990;800,000\r\n");
  o.header = true;
  const std::string t = thirdPartyIbiExportText(v, o, ',', '.');
  EXPECT_EQ(t.rfind(str(252) + "\r\n" + str(156) + "," + str(187) + "\r\n", 0), 0u) << t;
}

TEST_F(ThirdPartyExport, StatisticsRowsMatchTheEpochEngine) {
  const std::vector<float> v = series(400);  // about 320 s: five 60 s epochs
  ThirdPartyStatsExport o;
  o.header = false;
  auto text = thirdPartyStatsExportText(v, o, ',', '.');
  ASSERT_TRUE(text);
  std::istringstream in(*text);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    std::vector<std::string> f;
    std::istringstream l(line);
    for (std::string c; std::getline(l, c, ',');) f.push_back(c);
    EXPECT_EQ(f.size(), 10u) << line;
    rows.push_back(f);
  }
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(openEpochCount(v, 60)));
  // The same statistics as an open session's epoch rows.
  IntervalSeries s = emptyOpenSeries();
  s.values = v;
  EpochInputs in2;
  in2.openSession = true;
  in2.epochSeconds = 60;
  in2.ekg = &s;
  in2.ibiSource = kSourceEkg;
  EpochResults results;
  SilentUi ui;
  ASSERT_EQ(recomputeEpochs(in2, results, ui), kRecomputeOk);
  ASSERT_EQ(results.hrvRows.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const HrvRow& r = results.hrvRows[k].row;
    EXPECT_EQ(rows[k][0], std::to_string(k + 1));
    EXPECT_EQ(rows[k][1], strprintf("%.3f", *r.sdnn));
    EXPECT_EQ(rows[k][2], std::to_string(*r.nnCount));
    EXPECT_EQ(rows[k][4], strprintf("%.3f", *r.rmssd));
    EXPECT_EQ(rows[k][9], strprintf("%.3f", *r.total));
  }
  o.averageRow = true;
  o.header = true;
  text = thirdPartyStatsExportText(v, o, ';', ',');
  ASSERT_TRUE(text);
  const auto lines = std::count(text->begin(), text->end(), '\n');
  EXPECT_EQ(lines, 3);  // title, captions, the average row
}

TEST_F(ThirdPartyExport, ASeriesShorterThanAnEpochWritesNothing) {
  const std::vector<float> v = series(60);  // about 48 s
  ThirdPartyStatsExport o;
  o.averageRow = true;
  EXPECT_FALSE(thirdPartyStatsExportText(v, o, ',', '.'));
  ScriptedUi ui;
  EXPECT_FALSE(writeThirdPartyStatsExport(dir_ / "s.txt", v, o, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{283});
  EXPECT_FALSE(fs::exists(dir_ / "s.txt"));
  EXPECT_FALSE(thirdPartyStatsExportText({}, o, ',', '.'));
}

TEST_F(ThirdPartyExport, ExportsUseTheUserSeparatorsAndReportFailures) {
  setLocaleSeparators({',', '.', ';'});
  ScriptedUi ui;
  ThirdPartyIbiExport o;
  o.header = false;
  o.timeColumn = true;
  ASSERT_TRUE(writeThirdPartyIbiExport(dir_ / "i.txt", std::vector<float>{812.25f}, o, ui));
  EXPECT_EQ(read(dir_ / "i.txt"), "0,000000;812,250\r\n");
  EXPECT_FALSE(writeThirdPartyIbiExport(dir_ / "no" / "i.txt", std::vector<float>{812.25f}, o, ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{189});
}

TEST_F(ThirdPartyExport, SaveDialogAddsTxtAndAsksBeforeReplacing) {
  std::ofstream(dir_ / "old.txt") << "x";
  ScriptedUi ui;
  ui.answerFile(dir_ / "old.csv").answer(false).answerFile(dir_ / "new").answerFile(dir_ / "old");
  EXPECT_EQ(chooseThirdPartyExportFile(ui, dir_, "a.txt"), dir_ / "new.txt");
  const std::vector<int> ids = ui.firstIds();
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 343), 1);
  EXPECT_EQ(ui.fileRequests().size(), 2u);
  ui.answer(true);
  EXPECT_EQ(chooseThirdPartyExportFile(ui, dir_, "a.txt"), dir_ / "old.txt");
  EXPECT_FALSE(chooseThirdPartyExportFile(ui, dir_, "a.txt"));  // cancelled
}

}  // namespace
}  // namespace rc
