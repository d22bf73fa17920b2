// Real IBI text files of other software (chest-strap exports, a phone app, HRV
// packages' samples): each loads with the detected layout into the number of
// intervals its source description gives, and "ibi-import" followed by
// "analyse --ibi" gives the SDNN and RMSSD of a direct computation over the
// file's values. Skipped when the shared data folder is absent.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "editors/thirdparty/ibi_text_detect.h"
#include "editors/thirdparty/ibi_text_reader.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

fs::path ibiFolder() { return fs::path(RC_SHARED_DIR) / "data" / "real" / "ibi"; }

struct RealFile {
  const char* name;
  std::size_t intervals;  // as the source description gives them
  IbiTextLayout kind;
};

// elitehrv: 4200 line feeds and a last value without one. exercise .hrm:
// 4199 lines, the values after "[HRData]" on line 82. real_rri: 773 lines,
// the last value line "0" (not an interval) and an empty line. rest_rri: 911
// lines, the last empty. welltory: one line of values, no line end.
const RealFile kFiles[] = {
    {"elitehrv_2017-06-29_13-11-53.txt", 4201, IbiTextLayout::Lines},
    {"hrv_exercise_rri.hrm", 4117, IbiTextLayout::HrmSection},
    {"hrv_real_rri.txt", 771, IbiTextLayout::Lines},
    {"hrv_rest_rri.txt", 910, IbiTextLayout::Lines},
    {"welltory_s01_RR.txt", 100, IbiTextLayout::Inline},
    {"welltory_s02_RR.txt", 101, IbiTextLayout::Inline},
    {"welltory_s03_RR.txt", 100, IbiTextLayout::Inline},
    {"welltory_s04_RR.txt", 100, IbiTextLayout::Inline},
    {"welltory_s05_RR.txt", 101, IbiTextLayout::Inline},
    {"welltory_s14_RR.txt", 92, IbiTextLayout::Inline},
};

class RealIbiFiles : public ::testing::TestWithParam<RealFile> {
 protected:
  void SetUp() override {
    if (!fs::is_directory(ibiFolder())) GTEST_SKIP() << "no real IBI files in " << ibiFolder();
    if (!fs::exists(ibiFolder() / GetParam().name)) GTEST_SKIP() << GetParam().name << " is missing";
  }
};

TEST_P(RealIbiFiles, LoadWithTheDetectedLayout) {
  const fs::path file = ibiFolder() / GetParam().name;
  auto p = detectIbiLayoutOfFile(file);
  ASSERT_TRUE(p.isOk());
  ASSERT_TRUE(p->recognised);
  EXPECT_EQ(p->layout.kind, GetParam().kind);
  EXPECT_FALSE(p->layout.twoColumns);
  IbiTextReadResult r = readIbiTextFile(file, p->layout);
  ASSERT_EQ(r.status, IbiReadStatus::Ok);
  EXPECT_EQ(r.values.size(), GetParam().intervals);
  for (float v : r.values) EXPECT_GT(v, 0.0f);
  if (GetParam().kind == IbiTextLayout::HrmSection) {
    EXPECT_EQ(p->dataLine, 83u);
  }
}

// --- the command line round trip ---

struct CliRun {
  int status = -1;
  std::string out;
};

CliRun runCli(const std::string& args) {
  const std::string cmd = std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli " + args + " 2>/dev/null";
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

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// SDNN and RMSSD of x, in double: the sample SD, and the root of the mean
// squared successive difference over n - 1.
std::pair<double, double> direct(const std::vector<double>& x) {
  const double n = static_cast<double>(x.size());
  double mean = 0.0;
  for (double v : x) mean += v;
  mean /= n;
  double ss = 0.0, dd = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    ss += (x[i] - mean) * (x[i] - mean);
    if (i + 1 < x.size()) dd += (x[i] - x[i + 1]) * (x[i] - x[i + 1]);
  }
  return {std::sqrt(ss / (n - 1)), std::sqrt(dd / (n - 1))};
}

// The intervals of each complete epoch of E seconds from time 0: those that
// end in it, and the one that straddles its end.
std::vector<std::vector<double>> epochsOf(const std::vector<double>& v, double e) {
  std::vector<std::vector<double>> out;
  double total = 0.0;
  for (double x : v) total += x;
  const auto count = static_cast<std::size_t>(std::floor(total / (e * 1000.0)));
  std::size_t i = 0;
  double t = 0.0;
  for (std::size_t k = 0; k < count; ++k) {
    const double boundary = (static_cast<double>(k) + 1.0) * e * 1000.0;
    std::vector<double> epoch;
    while (i < v.size()) {
      epoch.push_back(v[i]);
      const double end = t + v[i];
      if (end > boundary) break;  // straddles: stays for the next epoch too
      t = end;
      ++i;
      if (end == boundary) break;
    }
    out.push_back(epoch);
  }
  return out;
}

TEST_P(RealIbiFiles, ImportThenAnalyseGivesTheDirectStatistics) {
  const fs::path file = ibiFolder() / GetParam().name;
  const fs::path out = fs::temp_directory_path() / ("rc_import_" + std::to_string(::getpid())) / "IBIFromEKG_1A.dat";
  fs::create_directories(out.parent_path());
  const CliRun imp = runCli("ibi-import " + quoted(file) + " --detect --out " + quoted(out));
  ASSERT_EQ(imp.status, 0);
  const int epochSeconds = GetParam().intervals > 1000 ? 300 : 60;
  const CliRun an = runCli("analyse --ibi " + quoted(out) + " --epoch " + std::to_string(epochSeconds));
  fs::remove_all(out.parent_path());
  ASSERT_EQ(an.status, 0) << an.out;

  const IbiTextReadResult r = readIbiTextFile(file, detectIbiLayoutOfFile(file)->layout);
  const std::vector<double> values(r.values.begin(), r.values.end());
  const auto epochs = epochsOf(values, epochSeconds);
  ASSERT_FALSE(epochs.empty());

  // HRV rows: 6 identification cells, then SDNN, NN count, pNN, RMSSD, ...
  std::istringstream in(an.out);
  std::string line;
  std::getline(in, line);  // column names
  std::size_t row = 0;
  while (std::getline(in, line) && !line.empty()) {
    std::vector<std::string> f;
    std::istringstream l(line);
    for (std::string cell; std::getline(l, cell, ',');) f.push_back(cell);
    ASSERT_GE(f.size(), 10u) << line;
    ASSERT_LT(row, epochs.size()) << line;
    const auto [sdnn, rmssd] = direct(epochs[row]);
    EXPECT_NEAR(std::stod(f[6]), sdnn, 0.0015) << GetParam().name << " epoch " << row + 1;
    EXPECT_NEAR(std::stod(f[9]), rmssd, 0.0015) << GetParam().name << " epoch " << row + 1;
    ++row;
  }
  EXPECT_EQ(row, epochs.size());
}

INSTANTIATE_TEST_SUITE_P(Files, RealIbiFiles, ::testing::ValuesIn(kFiles), [](const auto& info) {
  std::string n = info.param.name;
  for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return n;
});

}  // namespace
}  // namespace rc
