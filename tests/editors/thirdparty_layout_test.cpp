// The settings file of IBI text files from other software, the layout
// dialog's model, and the "Detect" proposal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editors/thirdparty/file_layout.h"
#include "editors/thirdparty/ibi_text_detect.h"
#include "editors/thirdparty/thirdparty_settings.h"
#include "support/language.h"
#include "support/paths.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rc_tpset_XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    dir_ = pattern;
    file_ = thirdPartySettingsPath(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void put(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  std::string text() const {
    std::ifstream in(file_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path dir_, file_;
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndIsNeverCreatedByLoading) {
  LoadedThirdPartySettings l = loadThirdPartySettings(file_);
  EXPECT_FALSE(l.existed);
  EXPECT_EQ(l.settings, ThirdPartySettings{});
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_EQ(file_.filename(), "ExternalIBIFileSettings.xml");
}

TEST_F(SettingsFile, ReadsEveryKeyAndRoundTrips) {
  ThirdPartySettings s;
  s.headerLines = 7;
  s.columns = 1;
  s.position = 1;
  s.separator = '\t';
  s.timeColumn = 1;
  s.integerIbi = 1;
  s.header = 0;
  s.epochTime = 300;
  s.nnInterval = 20;
  s.bandUnits = 2;
  s.statOptions = 1;
  ASSERT_TRUE(saveThirdPartySettings(file_, s));
  LoadedThirdPartySettings l = loadThirdPartySettings(file_);
  EXPECT_TRUE(l.existed);
  EXPECT_EQ(l.settings, s);
  // Comma is stored as the text ","; anything else reads as tab.
  s.separator = ',';
  ASSERT_TRUE(saveThirdPartySettings(file_, s));
  EXPECT_NE(text().find("<ColumnSeparator>,</ColumnSeparator>"), std::string::npos) << text();
  EXPECT_EQ(loadThirdPartySettings(file_).settings.separator, ',');
}

TEST_F(SettingsFile, BadValuesOpenClamped) {
  put("<ExternalIBIFileSettings><HeaderLines>-5</HeaderLines><Columns>2</Columns><Position>2</Position>"
      "<ColumnSeparator>;</ColumnSeparator><EpochTime>45</EpochTime><BandUnits>9</BandUnits>"
      "<StatOptions>3</StatOptions><NNInterval>-1</NNInterval><Header>x</Header></ExternalIBIFileSettings>");
  ThirdPartySettings s = loadThirdPartySettings(file_).settings;
  EXPECT_EQ(s.headerLines, 0);
  EXPECT_EQ(s.columns, 1);
  EXPECT_EQ(s.position, 1);
  EXPECT_EQ(s.separator, '\t');
  EXPECT_EQ(s.epochTime, 60);
  EXPECT_EQ(s.bandUnits, 0);
  EXPECT_EQ(s.statOptions, 1);
  EXPECT_EQ(s.nnInterval, 50);
  EXPECT_EQ(s.header, 1);  // no digits: the default
  put("<S><HeaderLines>1000000000</HeaderLines></S>");
  EXPECT_EQ(loadThirdPartySettings(file_).settings.headerLines, 100);
}

TEST_F(SettingsFile, RewriteKeepsWhatElseTheFileHolds) {
  put("<?xml version=\"1.0\"?>\n<Settings>\n  <Note>kept</Note>\n  <HeaderLines>3</HeaderLines>\n</Settings>\n");
  ThirdPartySettings s = loadThirdPartySettings(file_).settings;
  EXPECT_EQ(s.headerLines, 3);
  s.headerLines = 4;
  ASSERT_TRUE(saveThirdPartySettings(file_, s));
  const std::string t = text();
  EXPECT_NE(t.find("<Note>kept</Note>"), std::string::npos) << t;
  EXPECT_EQ(loadThirdPartySettings(file_).settings, s);
}

TEST_F(SettingsFile, AFailedSaveKeepsTheOldFile) {
  put("<S><HeaderLines>3</HeaderLines></S>");
  const std::string before = text();
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  const bool canStillWrite = ::access(dir_.c_str(), W_OK) == 0;  // running as root
  EXPECT_EQ(saveThirdPartySettings(file_, ThirdPartySettings{}), canStillWrite);
  fs::permissions(dir_, fs::perms::owner_all);
  if (!canStillWrite) {
    EXPECT_EQ(text(), before);
  }
}

TEST(ThirdPartyFileSettings, EnablingRules) {
  ThirdPartySettings s;
  s.columns = 1;
  s.position = 1;
  s.separator = '\t';
  CThirdPartyFileSettings m(s);
  EXPECT_TRUE(m.twoColumns());
  EXPECT_TRUE(m.positionEnabled());
  EXPECT_TRUE(m.separatorEnabled());
  EXPECT_TRUE(m.secondPosition());
  EXPECT_EQ(m.separator(), '\t');

  m.setTwoColumns(false);  // one column: first and comma, both groups disabled
  EXPECT_FALSE(m.secondPosition());
  EXPECT_EQ(m.separator(), ',');
  EXPECT_FALSE(m.positionEnabled());
  EXPECT_FALSE(m.separatorEnabled());
  m.setSecondPosition(true);
  m.setSeparator('\t');
  EXPECT_FALSE(m.secondPosition());
  EXPECT_EQ(m.separator(), ',');

  m.setTwoColumns(true);
  EXPECT_TRUE(m.positionEnabled());
  m.setHeaderLines(500);
  EXPECT_EQ(m.headerLines(), 100);
  m.setHeaderLines(-3);
  EXPECT_EQ(m.headerLines(), 0);

  m.setKind(IbiTextLayout::HrmSection);
  EXPECT_FALSE(m.headerLinesEnabled());
  EXPECT_FALSE(m.columnsEnabled());
  EXPECT_FALSE(m.positionEnabled());
  m.setKind(IbiTextLayout::Inline);
  EXPECT_TRUE(m.headerLinesEnabled());
  EXPECT_FALSE(m.columnsEnabled());
  // The extended layouts leave the stored keys alone.
  EXPECT_EQ(m.applied(s), s);
}

TEST(ThirdPartyFileSettings, ProposalIsAppliedAndDescribed) {
  ASSERT_TRUE(loadLanguage(RC_PROGRAM_DIR).isOk());
  const std::string text = "Date\nRR\n0.81,812\n1.60,790\n2.41,805\n";
  IbiLayoutProposal p = detectIbiLayout(std::vector<std::uint8_t>(text.begin(), text.end()));
  CThirdPartyFileSettings m{ThirdPartySettings{}};
  m.applyProposal(p);
  EXPECT_EQ(m.headerLines(), 2);
  EXPECT_TRUE(m.twoColumns());
  EXPECT_TRUE(m.secondPosition());
  EXPECT_EQ(m.separator(), ',');
  EXPECT_NE(m.proposalText().find(str(1609)), std::string::npos) << m.proposalText();
  EXPECT_NE(m.proposalText().find("812  790  805"), std::string::npos) << m.proposalText();
  EXPECT_NE(m.proposalText().find("3."), std::string::npos) << m.proposalText();  // line 3
}

struct DetectCase {
  const char* name;
  std::string text;
  IbiFileLayout expected;
};

class Detect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detect, ProposesTheLayout) {
  const DetectCase& c = GetParam();
  IbiLayoutProposal p = detectIbiLayout(std::vector<std::uint8_t>(c.text.begin(), c.text.end()));
  ASSERT_TRUE(p.recognised) << c.name;
  EXPECT_EQ(p.layout, c.expected) << c.name;
  EXPECT_FALSE(p.firstValues.empty()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Detect,
    ::testing::Values(
        DetectCase{"one", "812\n790\n805\n", {IbiTextLayout::Lines, 0, false, false, ','}},
        DetectCase{"header", "Elite\r\nRR ms\r\n\r\n812\r\n790\r\n", {IbiTextLayout::Lines, 3, false, false, ','}},
        DetectCase{"decimal comma", "812,5\n790,25\n", {IbiTextLayout::Lines, 0, false, false, ','}},
        DetectCase{"time then ibi", "t,rr\n0.812,812\n1.602,790\n", {IbiTextLayout::Lines, 1, true, true, ','}},
        DetectCase{"ibi then time", "812,0.812\n790,1.602\n", {IbiTextLayout::Lines, 0, true, false, ','}},
        DetectCase{"tab", "0\t812\n812\t790\n1602\t805\n", {IbiTextLayout::Lines, 0, true, true, '\t'}},
        DetectCase{"blanks", "1203 1124 974 1168", {IbiTextLayout::Inline, 0, false, false, ','}},
        DetectCase{"commas", "812,790,805,900\n", {IbiTextLayout::Inline, 0, false, false, ','}},
        DetectCase{"hrm", "[Params]\r\nVersion=106\r\n[IntTimes]\r\n0\t0\t0\r\n[HRData]\r\n812\r\n790\r\n",
                   {IbiTextLayout::HrmSection, 5, false, false, ','}}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

TEST(DetectLayout, NothingRecognisedInText) {
  const std::string t = "hello\nworld\n";
  EXPECT_FALSE(detectIbiLayout(std::vector<std::uint8_t>(t.begin(), t.end())).recognised);
  EXPECT_FALSE(detectIbiLayout({}).recognised);
}

}  // namespace
}  // namespace rc
