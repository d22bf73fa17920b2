// rhythmcraft-cli auto-edit: the corrected file, the input left alone, the counts printed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis/series/series_file.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int status = -1;
  std::string out;
};

CliResult cli(const std::string& args) {
  const std::string cmd = std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli " + args + " 2>&1";
  CliResult r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class AutoEditCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("rc_aecli_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    in = dir / "IBIFromEKG_1A.dat";
    IntervalSeries s;
    s.values = {400, 400};
    s.values.insert(s.values.end(), 20, 800.0f);
    s.values.push_back(1650.0f);
    s.values.push_back(350.0f);
    s.segments = {SegmentRecord{}};
    ASSERT_TRUE(writeIntervalSeries(in, s, true));
    original = s;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir, in;
  IntervalSeries original;
};

TEST_F(AutoEditCli, WritesBesideTheInputAndPrintsTheCounts) {
  const CliResult r = cli("auto-edit --ibi " + in.string());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("corrections: 2\nmarks: 2\nintervals: 24 -> 24"), std::string::npos) << r.out;
  IntervalSeries back, out;
  ASSERT_TRUE(readIntervalSeries(in, true, back));
  EXPECT_EQ(back.values, original.values);
  ASSERT_TRUE(readIntervalSeries(dir / "IBIFromEKG_1A_autoedit.dat", true, out));
  EXPECT_EQ(out.values.front(), 800.0f);
  EXPECT_EQ(out.count(), 24u);
}

TEST_F(AutoEditCli, OutMayNameTheInputAndTheVariationIsChecked) {
  EXPECT_EQ(cli("auto-edit --ibi " + in.string() + " --variation 5").status, 2);
  EXPECT_EQ(cli("auto-edit --ibi " + in.string() + " --variation abc").status, 2);
  EXPECT_EQ(cli("auto-edit").status, 2);
  const CliResult r = cli("auto-edit --ibi " + in.string() + " --variation 50 --out " + in.string());
  ASSERT_EQ(r.status, 0) << r.out;
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(in, true, back));
  EXPECT_NE(back.values, original.values);
  EXPECT_NE(cli("auto-edit --ibi " + (dir / "missing.dat").string()).status, 0);
}

}  // namespace
}  // namespace rc
