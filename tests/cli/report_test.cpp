// The report command end to end: the .docx passes the structural check and
// holds every bookmark's content; a real word processor (LibreOffice,
// headless) opens it and prints it to PDF, whose text and pictures are
// checked; the program's own PDF gets the same checks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "demo/demo_root.h"
#include "reports/docx/docx_document.h"
#include "reports/report/text_report.h"
#include "support/file_io.h"
#include "support/format.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

int shell(const std::string& cmd, std::string* out = nullptr) {
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

bool have(const char* program) { return shell(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

class ReportCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("rc_report_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    ok_ = demo::makeDemoDataRoot(root_, o).isOk();
    out_ = root_ / "out";
    fs::create_directories(out_);
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
#ifndef RC_TESTS_HAVE_UI
    GTEST_SKIP() << "this build has no user interface: the report command draws no charts";
#endif
    if (!ok_) GTEST_SKIP() << "demo data root could not be made";
  }

  static int report(int client, int session, const std::string& out, const std::string& extra = {}) {
    return shell(std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli report --data-root " + root_.string() +
                 " --client " + std::to_string(client) + " --session " + std::to_string(session) + " --out " + out +
                 " " + extra + " 2>/dev/null");
  }

  // The mean SDNN per source of the analyse command's rows, "%.2f", as the
  // statistics page's session table shows it.
  static std::vector<std::string> meanSdnn(int client, int session) {
    std::string csv;
    shell(std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli analyse --data-root " + root_.string() + " --client " +
              std::to_string(client) + " --session " + std::to_string(session) + " 2>/dev/null",
          &csv);
    std::istringstream in(csv.substr(0, csv.find("\n\n")));
    std::string line;
    std::getline(in, line);  // header
    double sum[2] = {0, 0};
    int n[2] = {0, 0};
    std::vector<std::string> sources;
    while (std::getline(in, line)) {
      std::vector<std::string> f;
      std::string cell;
      std::istringstream l(line);
      while (std::getline(l, cell, ',')) f.push_back(cell);
      if (f.size() < 7) continue;
      auto it = std::find(sources.begin(), sources.end(), f[5]);
      const std::size_t k = it == sources.end() ? sources.size() : static_cast<std::size_t>(it - sources.begin());
      if (it == sources.end()) sources.push_back(f[5]);
      if (k > 1 || f[6].find('-') != std::string::npos) continue;
      sum[k] += std::stod(f[6]);
      ++n[k];
    }
    // The rows hold three decimals, so the mean is known to within 0.0005:
    // on the edge between two hundredths either may be shown ("a|b").
    std::vector<std::string> out;
    for (int k = 0; k < 2; ++k) {
      if (!n[k]) continue;
      const std::string low = strprintf("%.2f", sum[k] / n[k] - 0.0005);
      const std::string high = strprintf("%.2f", sum[k] / n[k] + 0.0005);
      out.push_back(low == high ? low : low + "|" + high);
    }
    return out;
  }

  // Whether text holds one of the alternatives of m ("a|b"), each between
  // before and after.
  static bool holds(const std::string& text, const std::string& m, const std::string& before = {},
                    const std::string& after = {}) {
    std::size_t from = 0;
    while (true) {
      const std::size_t bar = m.find('|', from);
      const std::string one = m.substr(from, bar == std::string::npos ? std::string::npos : bar - from);
      if (text.find(before + one + after) != std::string::npos) return true;
      if (bar == std::string::npos) return false;
      from = bar + 1;
    }
  }

  // The checks of a printed report: header, client line, session table,
  // blocks and pictures.
  static void checkPrinted(const std::string& text, int images, const std::vector<std::string>& means,
                           int blocks, const std::string& blockWord, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NE(text.find("Heart Rate Variability Report"), std::string::npos);
    EXPECT_NE(text.find("Harbour Street Clinic"), std::string::npos);
    EXPECT_NE(text.find("Client ID: 1"), std::string::npos);
    EXPECT_NE(text.find("Session Statistics"), std::string::npos);
    for (const std::string& m : means) EXPECT_TRUE(holds(text, m)) << m;
    EXPECT_GE(count(text, blockWord), blocks);
    EXPECT_EQ(images, 3 * blocks);
  }

  static inline fs::path root_, out_;
  static inline bool ok_ = false;
};

TEST_F(ReportCommandTest, DocxIsSoundAndHoldsEveryBookmarksContent) {
  const fs::path docx = out_ / "open.docx";
  ASSERT_EQ(report(1, 1, docx.string()), 0);
  auto bytes = readWholeFile(docx);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(checkDocxPackage(*bytes), "");
  auto doc = DocxDocument::fromBytes(*bytes);
  ASSERT_TRUE(doc);
  const std::string& xml = doc->documentXml();
  EXPECT_NE(xml.find("Heart Rate Variability Report"), std::string::npos);
  EXPECT_NE(xml.find("Client ID: 1"), std::string::npos);
  EXPECT_NE(xml.find("<w:tbl>"), std::string::npos);
  for (const std::string& m : meanSdnn(1, 1)) EXPECT_TRUE(holds(xml, m, ">", "<")) << m;
  EXPECT_NE(xml.find("w:ascii=\"Courier New\" w:hAnsi=\"Courier New\" w:cs=\"Courier New\"/><w:sz w:val=\"22\"/>"),
            std::string::npos);
  int media = 0;
  for (const auto& [name, data] : doc->parts()) media += name.rfind("word/media/", 0) == 0;
  EXPECT_GE(media, 12);  // five minutes: four or five epochs of three charts
  EXPECT_EQ(media % 3, 0);
}

TEST_F(ReportCommandTest, WithoutGraphsAndStatisticsOnlyTheHeaderIsFilled) {
  const fs::path docx = out_ / "bare.docx";
  ASSERT_EQ(report(1, 1, docx.string(), "--no-graphs --no-statistics"), 0);
  auto doc = DocxDocument::open(docx);
  ASSERT_TRUE(doc);
  const std::string& xml = doc->documentXml();
  EXPECT_NE(xml.find("Client ID: 1"), std::string::npos);
  EXPECT_EQ(xml.find("<w:tbl>"), std::string::npos);
  EXPECT_EQ(xml.find("<w:drawing>"), std::string::npos);
  EXPECT_EQ(xml.find("Session Statistics"), std::string::npos);
}

TEST_F(ReportCommandTest, BadArgumentsAreRefused) {
  EXPECT_EQ(report(1, 1, (out_ / "x.txt").string()), 2);
  EXPECT_EQ(report(1, 1, (out_ / "x.docx").string(), "--signal emg"), 2);
  EXPECT_NE(report(99, 1, (out_ / "x.docx").string()), 0);
  EXPECT_FALSE(fs::exists(out_ / "x.docx"));
}

// open session: one block per epoch; scripted session: one block per step.
struct PrintedCase {
  int client, session;
  const char* blockWord;
};

class ReportPrintedTest : public ReportCommandTest, public ::testing::WithParamInterface<PrintedCase> {};

TEST_P(ReportPrintedTest, WordProcessorAndOwnPdfShowEveryPart) {
  if (!have("pdftotext") || !have("pdfimages")) GTEST_SKIP() << "pdftotext and pdfimages (poppler-utils) are not installed";
  const PrintedCase c = GetParam();
  const std::string base = "r" + std::to_string(c.client) + "_" + std::to_string(c.session);
  const fs::path docx = out_ / (base + ".docx"), pdf = out_ / (base + "_own.pdf");
  ASSERT_EQ(report(c.client, c.session, docx.string()), 0);
  ASSERT_EQ(report(c.client, c.session, pdf.string()), 0);
  const std::vector<std::string> means = meanSdnn(c.client, c.session);
  ASSERT_FALSE(means.empty());

  // The number of blocks: pictures of the .docx / 3.
  auto doc = DocxDocument::open(docx);
  ASSERT_TRUE(doc);
  int media = 0;
  for (const auto& [name, data] : doc->parts()) media += name.rfind("word/media/", 0) == 0;
  const int blocks = media / 3;
  ASSERT_GT(blocks, 0);

  auto printed = [&](const fs::path& file, std::string& text, int& images) {
    ASSERT_EQ(shell("pdftotext -layout " + file.string() + " -", &text), 0);
    std::string list;
    ASSERT_EQ(shell("pdfimages -list " + file.string(), &list), 0);
    // Lines "page num type ...": pictures have the type "image" (masks "smask").
    images = 0;
    std::istringstream in(list);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string page, num, type;
      fields >> page >> num >> type;
      images += type == "image";
    }
  };
  std::string text;
  int images = 0;
  printed(pdf, text, images);
  checkPrinted(text, images, means, blocks, c.blockWord, "the program's PDF");

  if (!have("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed: the .docx was not printed";
  const fs::path profile = out_ / "lo-profile";
  const std::string cmd = "HOME=" + out_.string() + " timeout 300 soffice --headless --norestore -env:UserInstallation=file://" +
                          profile.string() + " --convert-to pdf --outdir " + out_.string() + " " + docx.string() +
                          " >/dev/null 2>&1";
  ASSERT_EQ(shell(cmd), 0);
  const fs::path converted = out_ / (base + ".pdf");
  ASSERT_TRUE(fs::exists(converted));
  printed(converted, text, images);
  checkPrinted(text, images, means, blocks, c.blockWord, "the word processor's PDF");
}

INSTANTIATE_TEST_SUITE_P(Sessions, ReportPrintedTest,
                         ::testing::Values(PrintedCase{1, 1, "Epoch "}, PrintedCase{1, 3, "Step "}));

}  // namespace
}  // namespace rc
