#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "demo/demo_root.h"
#include "store/data_root.h"
#include "support/paths.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
};

// The command's standard output, or with messages its standard error instead.
CliRun runCli(const std::string& args, const std::string& env = {}, bool messages = false) {
  const std::string cmd = env + " " + std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli " + args +
                          (messages ? " 2>&1 >/dev/null" : " 2>/dev/null");
  CliRun r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::vector<std::vector<std::string>> rowsOf(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::string cell;
    std::istringstream l(line);
    while (std::getline(l, cell, ',')) f.push_back(cell);
    rows.push_back(f);
  }
  return rows;
}

// The two tables of one output: HRV rows, then signal rows (headers dropped).
std::pair<std::vector<std::vector<std::string>>, std::vector<std::vector<std::string>>> tablesOf(
    const std::string& out) {
  const auto blank = out.find("\n\n");
  if (blank == std::string::npos) return {};
  auto hrv = rowsOf(out.substr(0, blank + 1));
  auto sig = rowsOf(out.substr(blank + 2));
  if (!hrv.empty()) hrv.erase(hrv.begin());
  if (!sig.empty()) sig.erase(sig.begin());
  return {hrv, sig};
}

class AnalyseCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("rc_analyse_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    ok_ = demo::makeDemoDataRoot(root_, o).isOk();
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "demo data root could not be made";
  }
  static std::string session(int client, int s) {
    return "analyse --data-root " + root_.string() + " --client " + std::to_string(client) + " --session " +
           std::to_string(s);
  }

  static inline fs::path root_;
  static inline bool ok_ = false;
};

TEST_F(AnalyseCommandTest, OpenSessionPrintsBothTables) {
  const CliRun r = runCli(session(1, 1) + " --nn 20");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.substr(0, r.out.find('\n')).find("NN20"), std::string::npos);
  auto [hrv, sig] = tablesOf(r.out);
  // Five minutes, EKG and BVP: four or five complete epochs of two rows.
  ASSERT_TRUE(hrv.size() == 8u || hrv.size() == 10u) << hrv.size();
  for (const auto& row : hrv) {
    ASSERT_EQ(row.size(), 15u);
    EXPECT_EQ(row[0], "0");
    EXPECT_NE(row[6].find('.'), std::string::npos);  // "%.3f"
    EXPECT_EQ(row[7].find('.'), std::string::npos);  // "%d"
  }
  EXPECT_EQ(hrv[0][4], "1");
  EXPECT_EQ(hrv.back()[4], std::to_string(hrv.size() / 2));
  EXPECT_NE(hrv[0][5], hrv[1][5]);
  ASSERT_FALSE(sig.empty());
  EXPECT_EQ(sig[0].size(), 13u);
  // A second run reads the series files written by the first and agrees with it.
  const CliRun again = runCli(session(1, 1) + " --nn 20");
  EXPECT_EQ(again.out, r.out);
}

// The column names are the statistics page's headers: each caption followed
// by one blank and its suffix, with the threshold and band units filled in.
// The statistics page's header texts, with their blanks tidied for scripts.
TEST_F(AnalyseCommandTest, HeadersAreTheStatisticsPageTexts) {
  const std::string ids = "Act. No.,Activity,Step No.,Step,Epoch,Signal,";
  const std::string hrv = ids + "SDNN (ms),NN20,pNN20,RMSSD (ms),";
  const std::string tail = "LF / HF,Total Power (ms\xC2\xB2)";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0", hrv + "VLF (ms\xC2\xB2),LF,HF," + tail},
      {"1", hrv + "VLF (ms\xC2\xB2),LF (n.u.),HF (n.u.)," + tail},
      {"2", hrv + "VLF (%),LF (%),HF (%)," + tail},
  };
  for (const auto& [units, expected] : cases) {
    const CliRun r = runCli(session(1, 1) + " --nn 20 --units " + units);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), expected) << "units " << units;
    const auto blank = r.out.find("\n\n");
    ASSERT_NE(blank, std::string::npos);
    EXPECT_EQ(r.out.substr(blank + 2, r.out.find('\n', blank + 2) - blank - 2),
              ids + "Minimum,Maximum,Mean,SD,SD/Mean,Mode,Area");
  }
}

TEST_F(AnalyseCommandTest, DecimalPointWhateverTheLocale) {
  const CliRun c = runCli(session(1, 1), "LC_ALL=C");
  const CliRun de = runCli(session(1, 1), "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8");
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(de.out, c.out);
}

TEST_F(AnalyseCommandTest, ScriptedSessionRowsFollowTheProtocol) {
  const CliRun r = runCli(session(1, 3) + " --source ekg");
  ASSERT_EQ(r.status, 0);
  auto [hrv, sig] = tablesOf(r.out);
  ASSERT_FALSE(hrv.empty());
  std::set<std::string> activities;
  for (const auto& row : hrv) {
    activities.insert(row[0]);
    EXPECT_EQ(row[5], hrv[0][5]);  // EKG only
  }
  // The activity that jumped to the end takes no part.
  EXPECT_EQ(activities.count("3"), 0u);
  EXPECT_GE(activities.size(), 2u);

  const CliRun steps = runCli(session(1, 3) + " --source ekg --option 1");
  ASSERT_EQ(steps.status, 0);
  auto [stepRows, stepSig] = tablesOf(steps.out);
  EXPECT_LT(stepRows.size(), hrv.size());
  EXPECT_FALSE(stepRows.empty());
}

// Every epoch has a row for every signal, and the EMG rows are the means of
// their own stretch of the RMS series: 64 values a second (2048 Hz averaged
// over 32 samples), 3840 to a minute.
TEST_F(AnalyseCommandTest, EverySignalRowOfEveryEpoch) {
  const CliRun r = runCli(session(1, 1));
  ASSERT_EQ(r.status, 0);
  auto [hrv, sig] = tablesOf(r.out);
  std::map<std::string, std::set<std::string>> byEpoch;
  for (const auto& row : sig) {
    ASSERT_EQ(row.size(), 13u);
    byEpoch[row[4]].insert(row[5]);
    for (std::size_t c = 6; c < 9; ++c) EXPECT_NE(row[c].find('.'), std::string::npos) << row[5] << " " << c;
  }
  ASSERT_EQ(byEpoch.size(), hrv.size() / 2);
  const std::set<std::string>& first = byEpoch.begin()->second;
  // HR and HR max-min of both sources, respiration, SC, temperature, EMG.
  EXPECT_EQ(first.size(), 8u);
  EXPECT_EQ(first.count("EMG trapezius"), 1u);
  for (const auto& [epoch, names] : byEpoch) EXPECT_EQ(names, first) << "epoch " << epoch;

  const CliRun dump = runCli("ibi-dump " + (sessionFolder(root_, 1, 1) / "RMS_1F.dat").string());
  ASSERT_EQ(dump.status, 0);
  std::istringstream in(dump.out);
  std::string line;
  std::getline(in, line);  // "# values: N"
  std::vector<double> rms;
  while (std::getline(in, line)) rms.push_back(std::stod(line));
  for (const auto& row : sig) {
    if (row[5] != "EMG trapezius") continue;
    const std::size_t k = static_cast<std::size_t>(std::stoi(row[4]) - 1);
    ASSERT_LE((k + 1) * 3840, rms.size());
    double sum = 0.0;
    for (std::size_t i = k * 3840; i < (k + 1) * 3840; ++i) sum += rms[i];
    EXPECT_NEAR(std::stod(row[8]), sum / 3840, 0.0015) << "epoch " << k + 1;
  }
}

TEST_F(AnalyseCommandTest, IbiFileAsAnOpenSession) {
  ASSERT_EQ(runCli(session(1, 1)).status, 0);
  const fs::path file = sessionFolder(root_, 1, 1) / "IBIFromBVP_1B.dat";
  ASSERT_TRUE(fs::exists(file));
  const CliRun r = runCli("analyse --ibi " + file.string() + " --epoch 180");
  ASSERT_EQ(r.status, 0);
  auto [hrv, sig] = tablesOf(r.out);
  ASSERT_EQ(hrv.size(), 1u);
  EXPECT_EQ(sig.size(), 1u);  // heart rate only
}

TEST_F(AnalyseCommandTest, ClearFailures) {
  EXPECT_NE(runCli(session(1, 99)).status, 0);
  EXPECT_NE(runCli(session(1, 1) + " --epoch 45").status, 0);
  EXPECT_NE(runCli(session(1, 1) + " --source ecg").status, 0);
  EXPECT_NE(runCli("analyse --client 1 --session 1").status, 0);
  EXPECT_NE(runCli("analyse --ibi /nonexistent/IBIFromEKG_1A.dat").status, 0);
  // A source the session does not have is named, not taken for a short session.
  ASSERT_EQ(runCli(session(1, 1)).status, 0);  // writes the series files
  const fs::path bvpFile = sessionFolder(root_, 1, 1) / "IBIFromBVP_1B.dat";
  const CliRun both = runCli("analyse --ibi " + bvpFile.string() + " --source both", {}, true);
  EXPECT_NE(both.status, 0);
  EXPECT_NE(both.out.find("no EKG interval series"), std::string::npos) << both.out;
  // A missing script file is named after the message, a blank between them.
  const fs::path script = root_ / "Scripts" / "Paced Breathing.prt";
  fs::rename(script, script.string() + ".away");
  const CliRun noScript = runCli(session(1, 3), {}, true);
  fs::rename(script.string() + ".away", script);
  EXPECT_NE(noScript.status, 0);
  EXPECT_NE(noScript.out.find("suite: Scripts"), std::string::npos) << noScript.out;
  // Ten-minute epochs do not fit five minutes: the batch answer to the offer is No.
  const CliRun r = runCli(session(1, 1) + " --epoch 600");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace rc
