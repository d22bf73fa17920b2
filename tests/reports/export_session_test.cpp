// Exports of the demo sessions: the header block, the IBI series read back
// as numbers, the per-epoch and per-activity files against the epochs the
// statistics use, the statistics tables against `analyse`, the command's
// flow, and the command-line tool under an English and a German locale.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/epochs/epochs.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "demo/demo_root.h"
#include "reports/exports/export_command.h"
#include "reports/exports/export_header.h"
#include "reports/exports/ibi_writer.h"
#include "reports/exports/statistics_tables.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t nl = text.find("\r\n", at);
    if (nl == std::string::npos) {
      out.push_back(text.substr(at));
      break;
    }
    out.push_back(text.substr(at, nl - at));
    at = nl + 2;
  }
  return out;
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> f;
  std::string cell;
  std::istringstream l(line);
  while (std::getline(l, cell, sep)) f.push_back(cell);
  if (!line.empty() && line.back() == sep) f.push_back("");
  return f;
}

int runCli(const std::string& args, std::string* out = nullptr) {
  const std::string cmd = std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli " + args + " 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::size_t n;
  std::string text;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  const int st = ::pclose(p);
  if (out) *out = text;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class DemoExport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("rc_export_demo_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    ok_ = demo::makeDemoDataRoot(root_, o).isOk();
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "demo data root could not be made";
    ASSERT_TRUE(loadLanguage(fs::path(RC_PROGRAM_DIR)));
    setLocaleSeparators({'.', ',', ','});
    out_ = root_ / ("out_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(out_);
  }
  void TearDown() override { setLocaleSeparators({}); }

  std::unique_ptr<AnalysisSession> load(const demo::DemoSessionId& id) {
    setDataRoot(root_);
    return loadSessionForAnalysis({root_, fs::path(RC_PROGRAM_DIR), id.client, id.session, {}}, ui_);
  }
  static EpochResults compute(AnalysisSession& s) {
    EpochInputs in = s.epochInputs();
    EpochResults r;
    SilentUi ui;
    analyseLoadedSession(in, {}, r, ui);
    return r;
  }
  std::string cli(const demo::DemoSessionId& id, const std::string& rest) const {
    return "export --data-root " + root_.string() + " --client " + std::to_string(id.client) + " --session " +
           std::to_string(id.session) + " " + rest;
  }

  static inline fs::path root_;
  static inline bool ok_ = false;
  fs::path out_;
  ScriptedUi ui_;
};

TEST_F(DemoExport, HeaderBlock) {
  auto open = load(demo::kDemoShortOpen);
  ASSERT_TRUE(open);
  setenv("LC_TIME", "C", 1);
  const ExportSessionInfo info = exportSessionInfo(*open);
  EXPECT_EQ(info.dataRoot, root_);
  const std::string client = clientCaptionText(info);
  EXPECT_EQ(client.rfind(str(323) + ": ", 0), 0u) << client;
  const std::string session = sessionCaptionText(info);
  EXPECT_EQ(session.rfind(str(345) + ": ", 0), 0u);
  EXPECT_NE(session.find("\t\t" + str(346) + ": "), std::string::npos);
  EXPECT_EQ(exportHeaderText(252, info), str(252) + "\n\n" + client + "\t\n" + session + "\n\n");

  auto scripted = load(demo::kDemoScripted);
  ASSERT_TRUE(scripted);
  const ExportSessionInfo sinfo = exportSessionInfo(*scripted);
  EXPECT_FALSE(sinfo.scriptName.empty());
  EXPECT_NE(exportHeaderText(333, sinfo).find("\t" + str(111) + ": " + sinfo.scriptName + "\n"),
            std::string::npos);
  // No database: empty captions, the export goes on.
  ExportSessionInfo none = info;
  none.dataRoot = out_;
  EXPECT_EQ(exportHeaderText(252, none), str(252) + "\n\n\t\n\n\n");
}

TEST(ExportHeader, MaskingAndRegionalDates) {
  EXPECT_EQ(maskLastName("Meyer"), "Me***");
  EXPECT_EQ(maskLastName("Li"), "Li");
  EXPECT_EQ(maskFirstName("Anna"), "A***");
  EXPECT_EQ(maskFirstName("J"), "J");
  EXPECT_EQ(maskLastName("M\xC3\xBCller"), "M\xC3\xBC****");
  const DbDateTime d{2026, 12, 7, 14, 5, 9};
  setenv("LC_TIME", "C", 1);
  EXPECT_EQ(regionalDate(d), "12/07/26");
  EXPECT_EQ(regionalTime(d), "14:05:09");
  if (setenv("LC_TIME", "de_DE.utf8", 1) == 0 && regionalDate(d) != "12/07/26") {
    EXPECT_EQ(regionalDate(d), "07.12.2026");
  }
  setenv("LC_TIME", "C", 1);
  EXPECT_EQ(regionalDate(DbDateTime{}), "");
  EXPECT_EQ(regionalDate(DbDateTime{2026, 13, 1, 0, 0, 0}), "Invalid DateTime");
}

// The single IBI file read back as numbers is the series to three decimals,
// up to the interval that completes the last whole epoch.
TEST_F(DemoExport, IbiFileReadsBackAsTheSeries) {
  auto s = load(demo::kDemoShortOpen);
  ASSERT_TRUE(s && s->ekg);
  ExportSources src{s.get(), nullptr, exportSessionInfo(*s)};
  ExportOptions o;
  o.timeColumn = true;
  ASSERT_TRUE(writeExport(src, o, out_ / "ibi", ui_, 65001));
  const std::string text = slurp(out_ / "ibi.txt");
  ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  const auto lines = linesOf(text.substr(3));
  const auto& v = s->ekg->values;
  const std::int64_t epochs = openEpochCount(v, s->settings.epochTime);
  const auto spans = openEpochSpans(v, epochs, s->settings.epochTime);
  ASSERT_FALSE(spans.empty());
  ASSERT_EQ(lines.size(), spans.back().first + spans.back().count);
  double t = s->ekg->segments[0].segmentStart + s->ekg->segments[0].firstBeatOffset;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto f = split(lines[i], ',');
    ASSERT_EQ(f.size(), 2u) << lines[i];
    EXPECT_NEAR(std::stod(f[0]), t, 6e-7);  // printed to six decimals
    EXPECT_NEAR(std::stod(f[1]), v[i], 5e-4);
    t += v[i] / 1000.0;
  }
}

// The per-epoch files of an open session hold exactly the intervals of each
// epoch of the statistics.
TEST_F(DemoExport, PerEpochFilesHoldTheEpochsOfTheStatistics) {
  auto s = load(demo::kDemoMediumOpen);
  ASSERT_TRUE(s && s->bvp);
  ExportSources src{s.get(), nullptr, exportSessionInfo(*s)};
  ExportOptions o;
  o.signal = 1;
  o.filePerEpoch = true;
  o.header = true;
  ASSERT_TRUE(writeExport(src, o, out_ / "ep", ui_, 1200));
  const auto& v = s->bvp->values;
  const std::int64_t epochs = openEpochCount(v, s->settings.epochTime);
  const auto spans = openEpochSpans(v, epochs, s->settings.epochTime);
  ASSERT_GT(epochs, 5);
  for (std::int64_t k = 0; k < epochs; ++k) {
    const std::string raw = slurp(numberedFile(out_ / "ep", static_cast<int>(k + 1)));
    ASSERT_GE(raw.size(), 2u);
    ASSERT_EQ(raw.substr(0, 2), "\xFF\xFE");
    std::string narrow;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) narrow += raw[i];
    auto lines = linesOf(narrow);
    const auto caption = std::find(lines.begin(), lines.end(), str(120));
    ASSERT_NE(caption, lines.end());
    lines.erase(lines.begin(), caption + 1);
    ASSERT_EQ(lines.size(), spans[static_cast<std::size_t>(k)].count) << k;
    EXPECT_NEAR(std::stod(lines.front()), v[spans[static_cast<std::size_t>(k)].first], 5e-4);
  }
  EXPECT_FALSE(fs::exists(numberedFile(out_ / "ep", static_cast<int>(epochs + 1))));
}

TEST_F(DemoExport, PerActivityFilesOfAScriptedSession) {
  auto s = load(demo::kDemoScripted);
  ASSERT_TRUE(s && s->ekg && s->protocol);
  ExportSources src{s.get(), nullptr, exportSessionInfo(*s)};
  ExportOptions o;
  o.filePerEpoch = true;
  o.integerIbi = true;
  ASSERT_TRUE(writeExport(src, o, out_ / "act", ui_, 0));
  const std::size_t n = std::min(s->protocol->activities.size(), s->ekg->segments.size());
  ASSERT_GT(n, 1u);
  const SegmentIndex index = segmentIndex(*s->ekg, n);
  for (std::size_t k = 0; k < n; ++k) {
    const auto lines = linesOf(slurp(numberedFile(out_ / "act", static_cast<int>(k + 1))));
    ASSERT_EQ(lines.size(), index.count[k]) << k;
    if (!lines.empty()) {
      EXPECT_EQ(std::stoll(lines[0]), roundIbi(s->ekg->values[index.first[k]]));
    }
  }
  EXPECT_FALSE(fs::exists(numberedFile(out_ / "act", static_cast<int>(n + 1))));
}

// The HRV table export under a German locale holds the numbers `analyse`
// prints, with "," as decimal separator and ";" between the columns.
TEST_F(DemoExport, TablesAgreeWithAnalyse) {
  std::string analysed;
  ASSERT_EQ(runCli("analyse --data-root " + root_.string() + " --client 1 --session 3", &analysed), 0);
  std::vector<std::vector<std::string>> hrv;
  {
    std::istringstream in(analysed);
    std::string line;
    std::getline(in, line);  // headers
    while (std::getline(in, line) && !line.empty()) hrv.push_back(split(line, ','));
  }
  ASSERT_FALSE(hrv.empty());
  const fs::path out = out_ / "hrv";
  ASSERT_EQ(runCli(cli(demo::kDemoScripted, "--kind periodic --header --locale de_DE.utf8 --out " + out.string())),
            0);
  const auto lines = linesOf(slurp(out.string() + ".txt"));
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind(str(139), 0) == 0;
  });
  ASSERT_NE(first, lines.end());
  const std::vector<std::string> rows(first + 1, lines.end());
  ASSERT_EQ(rows.size(), hrv.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto cells = split(rows[r], ';');
    ASSERT_EQ(cells.size(), 15u) << rows[r];
    for (std::size_t c = 6; c < 15; ++c) {
      std::string german = hrv[r][c];
      std::replace(german.begin(), german.end(), '.', ',');
      EXPECT_EQ(cells[c], german) << r << " " << c;
    }
  }
}

TEST_F(DemoExport, CommandFlowAndNoSeries) {
  auto s = load(demo::kDemoShortOpen);
  ASSERT_TRUE(s);
  EpochResults r = compute(*s);
  ExportSources src{s.get(), &r, exportSessionInfo(*s)};
  // Without any IBI series the command says so and writes nothing.
  AnalysisSession empty;
  ExportSources none{&empty, &r, {}};
  ScriptedUi ui;
  bool asked = false;
  EXPECT_FALSE(runExportCommand(none, ui, [&](ExportTypeModel&) {
    asked = true;
    return std::optional<ExportOptions>();
  }));
  EXPECT_FALSE(asked);
  EXPECT_EQ(ui.firstIds(), std::vector<int>{303});
  // A second export works: the session table as two lines in UTF-16BE.
  ui.answerFile(out_ / "sess.xls");
  setExportCodePage(0);
  ASSERT_TRUE(runExportCommand(src, ui, [](ExportTypeModel& m) {
    m.setKind(ExportKind::Session);
    m.setHeader(true);
    m.chooseUnicode();
    m.setCodePage(1201);
    return std::optional<ExportOptions>(m.accept());
  }));
  EXPECT_EQ(exportCodePage(), 1201);
  EXPECT_TRUE(exportHeaderFlag());
  const std::string raw = slurp(out_ / "sess.txt");
  ASSERT_EQ(raw.substr(0, 2), "\xFE\xFF");
  std::string narrow;
  for (std::size_t i = 3; i < raw.size(); i += 2) narrow += raw[i];
  const auto lines = linesOf(narrow);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], str(213) + "," + str(287));
  const auto values = split(lines.back(), ',');
  ASSERT_EQ(values.size(), 2u);
  EXPECT_NEAR(std::stod(values[0]), *r.meanSdnn[0], 0.005);
  setExportCodePage(0);
  setExportHeaderFlag(false);
}

// A spreadsheet reads the exports: LibreOffice Calc converts one export of
// each kind in UTF-8, UTF-16LE and Windows-1252 (German separators for the
// last) to CSV, and the numbers come back unquoted, as numbers.
TEST_F(DemoExport, SpreadsheetReadsTheExports) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "soffice (LibreOffice Calc) is not installed; the spreadsheet round trip is skipped";
  auto s = load(demo::kDemoShortOpen);
  ASSERT_TRUE(s && s->ekg);
  EpochResults r = compute(*s);
  ExportSources src{s.get(), &r, exportSessionInfo(*s)};
  struct Enc {
    std::int32_t codePage;
    int calcCharset;
    LocaleSeparators sep;
    int language;
  };
  const Enc encodings[] = {{65001, 76, {'.', ',', ','}, 1033},
                           {1200, 65535, {'.', ',', ','}, 1033},
                           {0, 1, {',', '.', ';'}, 1031}};
  const fs::path profile = out_ / "profile";
  for (const Enc& e : encodings) {
    setLocaleSeparators(e.sep);
    const fs::path dir = out_ / std::to_string(e.codePage);
    fs::create_directories(dir / "csv");
    std::string files;
    for (ExportKind k : {ExportKind::Ibi, ExportKind::Periodic, ExportKind::Standard, ExportKind::Session}) {
      ExportOptions o;
      o.kind = k;
      o.header = true;
      o.timeColumn = k == ExportKind::Ibi;
      ASSERT_TRUE(writeExport(src, o, dir / exportKindName(k), ui_, e.codePage));
      files += " " + (dir / (std::string(exportKindName(k)) + ".txt")).string();
    }
    const std::string options = std::to_string(static_cast<int>(e.sep.list)) + ",34," +
                                std::to_string(e.calcCharset) + ",1,," + std::to_string(e.language);
    const std::string cmd = "timeout 300 soffice --headless -env:UserInstallation=file://" + profile.string() +
                            " --infilter=\"Text - txt - csv (StarCalc):" + options +
                            "\" --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,true,true' --outdir " +
                            (dir / "csv").string() + files + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    auto numericRows = [&](ExportKind k, std::size_t minNumbers) {
      std::ifstream in(dir / "csv" / (std::string(exportKindName(k)) + ".csv"));
      std::string line;
      std::size_t rows = 0;
      while (std::getline(in, line)) {
        std::size_t numbers = 0;
        for (const std::string& cell : split(line, ','))
          if (!cell.empty() && cell.front() != '"' && cell.find_first_not_of("0123456789.-E+e") == std::string::npos)
            ++numbers;
        rows += numbers >= minNumbers;
      }
      return rows;
    };
    const auto& v = s->ekg->values;
    const auto spans = openEpochSpans(v, openEpochCount(v, s->settings.epochTime), s->settings.epochTime);
    EXPECT_EQ(numericRows(ExportKind::Ibi, 2), spans.back().first + spans.back().count) << e.codePage;
    EXPECT_EQ(numericRows(ExportKind::Periodic, 8), r.hrvRows.size()) << e.codePage;
    EXPECT_GE(numericRows(ExportKind::Standard, 7), 1u) << e.codePage;
    EXPECT_EQ(numericRows(ExportKind::Session, 2), 1u) << e.codePage;
    // A value printed "812,500" under the German locale reads back as 812.5.
    if (e.codePage == 0) {
      std::ifstream in(dir / "csv" / "ibi.csv");
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      char expect[64];
      std::snprintf(expect, sizeof expect, ",%g\n", static_cast<double>(v[0]));
      EXPECT_NE(text.find(expect), std::string::npos) << expect;
    }
  }
}

struct CliCase {
  const char* kind;
  const char* encoding;
  const char* locale;
  std::string bom;
  char list;
};

class CliExport : public DemoExport, public ::testing::WithParamInterface<CliCase> {};

TEST_P(CliExport, WritesOneFile) {
  const CliCase& c = GetParam();
  const fs::path out = out_ / (std::string(c.kind) + c.encoding);
  ASSERT_EQ(runCli(cli(demo::kDemoShortOpen, std::string("--kind ") + c.kind + " --encoding " + c.encoding +
                                                 " --locale " + c.locale + " --out " + out.string() + ".csv")),
            0);
  const std::string raw = slurp(out.string() + ".txt");
  ASSERT_GT(raw.size(), c.bom.size());
  EXPECT_EQ(raw.substr(0, c.bom.size()), c.bom);
  const bool wide = c.bom.size() == 2;
  std::string narrow;
  if (wide) {
    const std::size_t lo = c.bom[0] == '\xFF' ? 0 : 1;
    for (std::size_t i = 2 + lo; i < raw.size(); i += 2) narrow += raw[i];
  } else {
    narrow = raw.substr(c.bom.size());
  }
  EXPECT_EQ(narrow.find('\n'), narrow.find("\r\n") + 1);  // CRLF
  if (std::string(c.kind) != "ibi") {
    EXPECT_NE(narrow.find(c.list), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Export, CliExport,
    ::testing::Values(CliCase{"ibi", "0", "C", "", ','}, CliCase{"ibi", "65001", "de_DE.utf8", "\xEF\xBB\xBF", ';'},
                      CliCase{"periodic", "1200", "C", "\xFF\xFE", ','},
                      CliCase{"standard", "1201", "de_DE.utf8", "\xFE\xFF", ';'},
                      CliCase{"session", "12345", "C", "", ','}),
    [](const auto& info) { return std::string(info.param.kind) + "_" + info.param.encoding; });

TEST_F(DemoExport, CliRefusesBadArguments) {
  EXPECT_EQ(runCli(cli(demo::kDemoShortOpen, "--kind nope --out " + (out_ / "x").string())), 2);
  EXPECT_EQ(runCli(cli(demo::kDemoShortOpen, "--kind periodic --integer --out " + (out_ / "x").string())), 2);
  EXPECT_EQ(runCli(cli(demo::kDemoShortOpen, "--kind ibi")), 2);
  std::string help;
  EXPECT_EQ(runCli("export --help", &help), 0);
  EXPECT_NE(help.find("--file-per-epoch"), std::string::npos);
}

}  // namespace
}  // namespace rc
