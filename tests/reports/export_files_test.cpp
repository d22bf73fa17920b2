// The export writers on hand-made series and tables: the bytes of each code
// page, the line formats, the three IBI layouts, the table and session
// writers, and what a failed file leaves behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/epochs/epochs.h"
#include "reports/exports/export_command.h"
#include "reports/exports/export_text.h"
#include "reports/exports/ibi_writer.h"
#include "reports/exports/table_writer.h"
#include "support/file_io.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ExportFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(loadLanguage(fs::path(RC_PROGRAM_DIR)));
    // One folder per test; a parameterised test's name ("Columns/0") holds a
    // slash, which would leave a folder behind the one removed.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = fs::temp_directory_path() / ("rc_export_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setLocaleSeparators({'.', ',', ','});
  }
  void TearDown() override {
    fs::remove_all(dir_);
    setLocaleSeparators({});
  }
  fs::path dir_;
};

// ---- code pages ----------------------------------------------------------

struct CodePageCase {
  std::int32_t codePage;
  std::string bom;
  std::string line;  // "A\u00e9\u20ac\n" encoded
};

class CodePageBytes : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageBytes, LineAndMark) {
  const CodePageCase& c = GetParam();
  EXPECT_EQ(bytesOf(encodeExportLine(u"A\u00e9\u20ac\n", c.codePage)), c.line);
  EXPECT_EQ(bytesOf(byteOrderMark(c.codePage)), c.bom);
}

INSTANTIATE_TEST_SUITE_P(
    Export, CodePageBytes,
    ::testing::Values(CodePageCase{0, "", std::string("A\xE9\x80\r\n")},
                      CodePageCase{65001, "\xEF\xBB\xBF", "A\xC3\xA9\xE2\x82\xAC\r\n"},
                      CodePageCase{1200, std::string("\xFF\xFE"), std::string("A\0\xE9\0\xAC\x20\r\0\n\0", 10)},
                      CodePageCase{1201, std::string("\xFE\xFF"), std::string("\0A\0\xE9\x20\xAC\0\r\0\n", 10)},
                      // Through iconv: the DOS code page has no euro sign.
                      CodePageCase{437, "", std::string("A\x82?\r\n")},
                      CodePageCase{1250, "", std::string("A\xE9\x80\r\n")},
                      // Unknown numbers are written as code page 0.
                      CodePageCase{12345, "", std::string("A\xE9\x80\r\n")}));

TEST(ExportCodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(bytesOf(encodeExportLine(u"\u0416x\U0001F600\n", 0)), "?x??\r\n");
  EXPECT_EQ(bytesOf(encodeExportLine(u"\u0416x\U0001F600\n", 437)), "?x?\r\n");
}

TEST(ExportCodePage, UnsupportedCodePagesFallBackToAnsi) {
  setExportCodePage(12345);
  EXPECT_EQ(exportCodePage(), 0);
  setExportCodePage(1201);
  EXPECT_EQ(exportCodePage(), 1201);
  setExportCodePage(0);
  EXPECT_FALSE(codePageSupported(-5));
  EXPECT_TRUE(codePageSupported(437));
}

// ---- line formats ---------------------------------------------------------

TEST(IbiLine, IntegerRoundingHalfUp) {
  EXPECT_EQ(roundIbi(812.5f), 813);
  EXPECT_EQ(roundIbi(812.49f), 812);
  EXPECT_EQ(roundIbi(812.0f), 812);
  EXPECT_EQ(roundIbi(999.999f), 1000);
  EXPECT_EQ(roundIbi(-3.5f), -3);  // toward zero, then +1 only for a rest of 0.5 or more
}

TEST(IbiLine, FormatsWithTheUsersSeparators) {
  std::string s;
  appendIbiLine(s, 0.0, 812.5f, {false, false, '.', ','});
  appendIbiLine(s, 0.0, 812.5f, {false, false, ',', ';'});
  appendIbiLine(s, 1.25, 812.5f, {true, true, ',', ';'});
  appendIbiLine(s, 1.25, 812.49f, {false, true, '.', ','});
  EXPECT_EQ(s, "812.500\n812,500\n1,250000;813\n1.250000,812.490\n");
}

// ---- IBI layouts ------------------------------------------------------------

IntervalSeries scriptedSeries() {
  IntervalSeries s;
  s.values = {800.0f, 812.5f, 790.25f, 1000.0f, 1000.0f};
  s.segments = {{1, 0.5f, 0.0f, 3}, {2, 0.25f, 100.0f, 2}};
  s.firstEventTime = 0.5f;
  return s;
}

TEST_F(ExportFolder, SingleFileScriptedGolden) {
  IntervalSeries s = scriptedSeries();
  IbiExportInput in{&s, false, 60, 2, 0};
  ExportFile f(65001);
  ASSERT_TRUE(f.open(dir_ / "a.txt"));
  f.WriteByteOrderMark();
  writeIbiSingleFile(f, in, true, {false, true, '.', ','});
  ASSERT_TRUE(f.close());
  EXPECT_EQ(slurp(dir_ / "a.txt"),
            "\xEF\xBB\xBF" "Time (s),EKG\r\n"
            "0.500000,800.000\r\n1.300000,812.500\r\n2.112500,790.250\r\n"
            "100.250000,1000.000\r\n101.250000,1000.000\r\n");
}

TEST_F(ExportFolder, SingleFileUtf16BeWithoutHeader) {
  IntervalSeries s = scriptedSeries();
  s.values.resize(3);
  s.segments.resize(1);
  IbiExportInput in{&s, false, 60, 1, 1};
  ExportFile f(1201);
  ASSERT_TRUE(f.open(dir_ / "b.txt"));
  f.WriteByteOrderMark();
  writeIbiSingleFile(f, in, false, {true, false, '.', ','});
  ASSERT_TRUE(f.close());
  const std::string expect = "800\r\n813\r\n790\r\n";
  std::string be = "\xFE\xFF";
  for (char c : expect) {
    be += '\0';
    be += c;
  }
  EXPECT_EQ(slurp(dir_ / "b.txt"), be);
}

TEST_F(ExportFolder, OpenSessionSingleFileEndsWithTheLastWholeEpoch) {
  IntervalSeries s;
  s.values.assign(200, 700.0f);  // 140 s: two whole 60 s epochs
  s.segments = {{0, 1.0f, 0.0f, 200}};
  IbiExportInput in{&s, true, 60, 0, 0};
  ExportFile f(0);
  ASSERT_TRUE(f.open(dir_ / "o.txt"));
  writeIbiSingleFile(f, in, false, {true, false, '.', ','});
  ASSERT_TRUE(f.close());
  const std::string text = slurp(dir_ / "o.txt");
  // 120 / 0.7 = 171.4: the 172nd interval completes epoch 2.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 172);
}

// The per-epoch files hold exactly the epochs the statistics use, on the
// grid from the first beat; a straddling interval ends one file and opens
// the next.
TEST_F(ExportFolder, FilePerEpochFollowsTheEpochGrid) {
  IntervalSeries s;
  s.values.assign(5143, 700.1f);
  s.segments = {{0, 0.75f, 0.0f, 5143}};
  IbiExportInput in{&s, true, 60, 0, 0};
  ScriptedUi ui;
  ASSERT_TRUE(writeIbiNumberedFiles(dir_ / "e", "", in, false, {false, false, '.', ','}, ui, 0));
  const std::int64_t epochs = openEpochCount(s.values, 60);
  const auto spans = openEpochSpans(s.values, epochs, 60);
  ASSERT_EQ(epochs, 60);
  for (std::int64_t k = 0; k < epochs; ++k) {
    const std::string text = slurp(numberedFile(dir_ / "e", static_cast<int>(k + 1)));
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), spans[k].count) << k;
  }
  EXPECT_FALSE(fs::exists(numberedFile(dir_ / "e", 61)));
  EXPECT_TRUE(ui.records().empty());
}

TEST_F(ExportFolder, FilePerEpochTimesAndDuplicateAtTheBoundary) {
  IntervalSeries s;
  s.values = {25000.0f, 25000.0f, 25000.0f, 70000.0f, 30000.0f, 30000.0f};
  s.segments = {{0, 2.0f, 0.0f, 6}};
  IbiExportInput in{&s, true, 60, 0, 0};
  ScriptedUi ui;
  ASSERT_TRUE(writeIbiNumberedFiles(dir_ / "d", "", in, false, {true, true, '.', ','}, ui, 0));
  // Ends 25, 50, 75, 145, 175, 205 s: epochs [0,60) [60,120) [120,180).
  EXPECT_EQ(slurp(dir_ / "d001.txt"), "2.000000,25000\r\n27.000000,25000\r\n52.000000,25000\r\n");
  // The 70 s interval straddles two boundaries: the files still advance.
  EXPECT_EQ(slurp(dir_ / "d002.txt"), "52.000000,25000\r\n77.000000,70000\r\n");
  EXPECT_EQ(slurp(dir_ / "d003.txt"), "77.000000,70000\r\n147.000000,30000\r\n177.000000,30000\r\n");
}

TEST_F(ExportFolder, FilePerActivityNamesHeadersAndBounds) {
  IntervalSeries s = scriptedSeries();
  s.segments[1].intervalCount = 50;  // more than the values held
  // Three recorded activities but two records: only the existing data.
  IbiExportInput in{&s, false, 60, 3, 1};
  ScriptedUi ui;
  ASSERT_TRUE(writeIbiNumberedFiles(dir_ / "act", "T\n\n", in, true, {true, false, ',', ';'}, ui, 1200));
  EXPECT_TRUE(fs::exists(dir_ / "act001.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "act002.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "act003.txt"));
  const std::u16string wide = u"\uFEFFT\r\n\r\nBVP\r\n1000\r\n1000\r\n";
  std::string le;
  for (char16_t c : wide) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
  }
  EXPECT_EQ(slurp(dir_ / "act002.txt"), le);
}

TEST_F(ExportFolder, AFailedFileStopsTheExportAndKeepsTheEarlierOnes) {
  IntervalSeries s = scriptedSeries();
  IbiExportInput in{&s, false, 60, 2, 0};
  fs::create_directories(dir_ / "x002.txt");  // cannot be replaced by a file
  ScriptedUi ui;
  EXPECT_FALSE(writeIbiNumberedFiles(dir_ / "x", "", in, false, {}, ui, 0));
  EXPECT_EQ(slurp(dir_ / "x001.txt"), "800.000\r\n812.500\r\n790.250\r\n");
  ASSERT_EQ(ui.firstIds(), std::vector<int>{189});
  EXPECT_EQ(ui.records()[0].icon, Icon::Warning);
  EXPECT_NE(ui.records()[0].message.text.find(" " + (dir_ / "x002.txt").string()), std::string::npos);
}

TEST_F(ExportFolder, AFailedRewriteLeavesTheOldFile) {
  {
    std::ofstream(dir_ / "keep.txt") << "old";
  }
  ExportFile f(0);
  ASSERT_TRUE(f.open(dir_ / "keep.txt"));
  f.WriteExportLine(std::string_view("new\n"));
  testing::failNextAtomicCommit();
  EXPECT_FALSE(f.close());
  EXPECT_EQ(slurp(dir_ / "keep.txt"), "old");
}

// ---- tables -----------------------------------------------------------------

TextTable smallTable(std::size_t columns) {
  TextTable t;
  for (std::size_t c = 0; c < columns; ++c) t.headers.push_back("H" + std::to_string(c) + " ");
  t.rows.push_back({});
  t.rows.push_back({});
  for (std::size_t c = 0; c < columns; ++c) {
    t.rows[0].push_back("a" + std::to_string(c));
    t.rows[1].push_back("b" + std::to_string(c));
  }
  return t;
}

struct TableCase {
  bool scripted;
  int option;
  bool header;
  std::string expect;
};

class TableLayouts : public ExportFolder, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TableLayouts, Columns) {
  const TableCase& c = GetParam();
  ExportFile f(0);
  ASSERT_TRUE(f.open(dir_ / "t.txt"));
  writeTableExport(f, smallTable(7), c.header, c.scripted, c.option, ';');
  ASSERT_TRUE(f.close());
  EXPECT_EQ(slurp(dir_ / "t.txt"), c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Export, TableLayouts,
    ::testing::Values(
        TableCase{true, 0, true, "H0 ;H1 ;H2 ;H3 ;H4 ;H5 ;H6 \r\na0;a1;a2;a3;a4;a5;a6\r\nb0;b1;b2;b3;b4;b5;b6\r\n"},
        // The step records of a scripted session have no epoch column.
        TableCase{true, 1, true, "H0 ;H1 ;H2 ;H3 ;H5 ;H6 \r\na0;a1;a2;a3;a5;a6\r\nb0;b1;b2;b3;b5;b6\r\n"},
        TableCase{false, 0, true, "H4 ;H5 ;H6 \r\na4;a5;a6\r\nb4;b5;b6\r\n"},
        TableCase{false, 1, false, "a5;a6\r\nb5;b6\r\n"}));

TEST_F(ExportFolder, LongHeadersAreCutTo255Characters) {
  TextTable t = smallTable(5);
  t.headers.push_back(std::string(300, 'x'));
  t.rows[0].push_back(std::string(300, 'y'));
  t.rows[1].push_back("z");
  ExportFile f(0);
  ASSERT_TRUE(f.open(dir_ / "l.txt"));
  writeTableExport(f, t, true, false, 0, ',');
  ASSERT_TRUE(f.close());
  const std::string text = slurp(dir_ / "l.txt");
  EXPECT_EQ(text.substr(0, text.find('\r')), "H4 ," + std::string(255, 'x'));
  EXPECT_NE(text.find(std::string(300, 'y')), std::string::npos);  // cells are written whole
}

TEST_F(ExportFolder, SessionTableIsTwoLinesOrOne) {
  TextTable t;
  t.rows = {{"Mean SDNN EKG", "41.25"}, {"Mean SDNN BVP", "40.50"}};
  for (bool header : {true, false}) {
    ExportFile f(0);
    ASSERT_TRUE(f.open(dir_ / "s.txt"));
    writeSessionExport(f, t, header, ';');
    ASSERT_TRUE(f.close());
    EXPECT_EQ(slurp(dir_ / "s.txt"), header ? "Mean SDNN EKG;Mean SDNN BVP\r\n41.25;40.50\r\n" : "41.25;40.50\r\n");
  }
}

// ---- command rules ----------------------------------------------------------

TEST(ExportRules, ExportableSeries) {
  EXPECT_EQ(exportableSeries(3, true, true), ExportableSeries::Both);
  EXPECT_EQ(exportableSeries(2, true, true), ExportableSeries::Ekg);
  EXPECT_EQ(exportableSeries(3, true, false), ExportableSeries::Ekg);
  EXPECT_EQ(exportableSeries(1, true, true), ExportableSeries::Bvp);
  EXPECT_EQ(exportableSeries(3, false, true), ExportableSeries::Bvp);
  EXPECT_EQ(exportableSeries(2, false, true), ExportableSeries::None);
  EXPECT_EQ(exportableSeries(1, true, false), ExportableSeries::None);
}

TEST(ExportRules, OptionsDialogModel) {
  ExportTypeModel m(ExportableSeries::Both, true, 0, true);
  EXPECT_FALSE(m.unicode());
  EXPECT_TRUE(m.signalChoiceEnabled());
  EXPECT_EQ(m.noteId(), 339);
  m.chooseUnicode();
  EXPECT_EQ(m.codePage(), 65001);
  m.setCodePage(1201);
  m.chooseUnicode();
  EXPECT_EQ(m.codePage(), 1201);
  m.chooseAscii();
  EXPECT_EQ(m.codePage(), 0);
  m.setSignal(1);
  m.setIntegerIbi(true);
  m.setFilePerEpoch(true);
  EXPECT_EQ(m.accept(), (ExportOptions{ExportKind::Ibi, true, 1, true, false, true}));
  m.setKind(ExportKind::Periodic);
  EXPECT_FALSE(m.ibiOptionsEnabled());
  EXPECT_FALSE(m.signalChoiceEnabled());
  EXPECT_EQ(m.accept(), (ExportOptions{ExportKind::Periodic, true, 1, false, false, false}));
  EXPECT_EQ(ExportTypeModel(ExportableSeries::Bvp, false, 0, false).accept().signal, 1);
  EXPECT_EQ(preferencesInitialCodePage(0), 65001);
  EXPECT_EQ(preferencesInitialCodePage(1200), 1200);
  EXPECT_EQ(preferencesStoredCodePage(std::nullopt), 0);
  EXPECT_EQ(preferencesStoredCodePage(1201), 1201);
}

TEST_F(ExportFolder, SaveDialogAsksBeforeReplacingAndAsksAgainOnNo) {
  {
    std::ofstream(dir_ / "old.txt") << "x";
  }
  ScriptedUi ui;
  ui.answerFile(dir_ / "old.csv").answer(false).answerFile(dir_ / "new.txt");
  RememberedFolders folders;
  auto base = chooseExportBase(ui, folders, 0, false);
  ASSERT_TRUE(base);
  EXPECT_EQ(*base, dir_ / "new");
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{0, 343, 0}));  // dialog, question, dialog
  ASSERT_EQ(ui.fileRequests().size(), 2u);
  EXPECT_EQ(ui.fileRequests()[0].title, str(342));
  EXPECT_EQ(ui.fileRequests()[0].selectedFilter, 1u);
  EXPECT_EQ(ui.fileRequests()[1].folder, dir_);
  EXPECT_EQ(folders.folders[0], dir_);
  // Numbered files: any name*.txt counts; Yes keeps the name.
  {
    std::ofstream(dir_ / "ep001.txt") << "x";
  }
  ScriptedUi ui2;
  ui2.answerFile(dir_ / "ep").answer(true);
  EXPECT_EQ(chooseExportBase(ui2, folders, 0, true), dir_ / "ep");
  EXPECT_EQ(ui2.firstIds(), (std::vector<int>{0, 344}));
  ScriptedUi cancel;
  EXPECT_FALSE(chooseExportBase(cancel, folders, 0, false));
}

TEST(ExportRules, PreferencesReadAndWriteThroughTheSettingsFile) {
  CXMLMarkup doc(u"<Rhythmcraft><TextFormat>1200</TextFormat></Rhythmcraft>");
  EXPECT_EQ(readExportPreferences(doc), (ExportPreferences{1200, false}));
  writeExportPreferences(doc, {65001, true});
  EXPECT_EQ(readExportPreferences(doc), (ExportPreferences{65001, true}));
  CXMLMarkup bad(u"<Rhythmcraft><TextFormat>12345</TextFormat><Header>x</Header></Rhythmcraft>");
  EXPECT_EQ(readExportPreferences(bad), (ExportPreferences{0, false}));
}

}  // namespace
}  // namespace rc
