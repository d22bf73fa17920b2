// ibi-import: the layout options, the series file it writes, and its refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/series/series_file.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

int runImport(const std::string& args) {
  const std::string cmd = std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli ibi-import " + args + " >/dev/null 2>&1";
  const int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class IbiImport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rc_ibiimport_XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    dir_ = pattern;
    std::ofstream(dir_ / "in.txt", std::ios::binary) << "time\tRR\r\n0.0\t812\r\n0.812\t790,5\r\n1.6\t805";
    out_ = dir_ / "IBIFromEKG_1A.dat";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::vector<float> written() {
    IntervalSeries s;
    if (!readIntervalSeries(out_, true, s)) return {};
    return s.values;
  }
  fs::path dir_, out_;
};

TEST_F(IbiImport, ExplicitLayoutAndDetectGiveTheSameSeries) {
  const std::string in = (dir_ / "in.txt").string();
  ASSERT_EQ(runImport(in + " --header-lines 1 --columns 2 --position second --separator tab --out " + out_.string()),
            0);
  EXPECT_EQ(written(), (std::vector<float>{812.0f, 790.5f, 805.0f}));
  fs::remove(out_);
  ASSERT_EQ(runImport(in + " --detect --out " + out_.string()), 0);
  EXPECT_EQ(written(), (std::vector<float>{812.0f, 790.5f, 805.0f}));
  // One column: each line up to its tab is the value (the time column here).
  ASSERT_EQ(runImport(in + " --header-lines 1 --out " + out_.string()), 0);
  EXPECT_EQ(written(), (std::vector<float>{0.812f, 1.6f}));
}

TEST_F(IbiImport, RefusalsLeaveNoFile) {
  const std::string in = (dir_ / "in.txt").string();
  EXPECT_EQ(runImport(in), 2);  // no --out
  EXPECT_EQ(runImport(in + " --columns 3 --out " + out_.string()), 2);
  EXPECT_EQ(runImport(in + " --header-lines 101 --out " + out_.string()), 2);
  EXPECT_EQ(runImport(in + " --position second --out " + out_.string()), 2);  // one column
  EXPECT_EQ(runImport(in + " --header-lines 4 --out " + out_.string()), 1);   // 486: nothing after the header
  EXPECT_EQ(runImport((dir_ / "missing.txt").string() + " --out " + out_.string()), 1);
  EXPECT_FALSE(fs::exists(out_));
}

}  // namespace
}  // namespace rc
