// The command line with damaged, absurd or missing inputs: every case ends in
// a message that names the file (a blank before the path) and the reason, a
// non-zero exit where a result is missing, bounded work, and no leftovers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo/demo_root.h"
#include "store/ado_database.h"
#include "store/data_root.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

CliRun runCli(const std::string& args, const std::string& env = {}) {
  const fs::path errFile = fs::temp_directory_path() / ("rc_cli_err_" + std::to_string(::getpid()));
  const std::string cmd = env + " " + std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli " + args + " 2>" +
                          errFile.string();
  CliRun r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::ifstream in(errFile);
  r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(errFile);
  return r;
}

std::vector<char> bytesOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& p, const std::vector<char>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Hidden temporaries of the atomic writer, anywhere below a folder.
std::vector<fs::path> leftovers(const fs::path& root) {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename().string().find(".tmp") != std::string::npos) out.push_back(e.path());
  return out;
}

class DamagedInputs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("rc_damaged_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    ok_ = demo::makeDemoDataRoot(root_, o).isOk();
    // The series files of the open session, written by a first analysis.
    if (ok_) baseline_ = runCli(session()).out;
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "demo data root could not be made";
  }
  void TearDown() override {
    // Each test damages copies it restores: the next one starts whole.
    for (const auto& [path, bytes] : saved_) put(path, bytes);
    for (const fs::path& p : created_) fs::remove_all(p);
    EXPECT_TRUE(leftovers(root_).empty());
  }
  static std::string session(int client = 1, int s = 1) {
    return "analyse --data-root " + root_.string() + " --client " + std::to_string(client) + " --session " +
           std::to_string(s);
  }
  static fs::path folder() { return sessionFolder(root_, 1, 1); }
  // Keeps the file's bytes to put back after the test, and returns them.
  std::vector<char> keep(const fs::path& p) {
    saved_.emplace_back(p, bytesOf(p));
    return saved_.back().second;
  }
  void truncate(const fs::path& p, std::size_t drop) {
    auto b = keep(p);
    b.resize(b.size() > drop ? b.size() - drop : 0);
    put(p, b);
  }
  static inline fs::path root_;
  static inline bool ok_ = false;
  static inline std::string baseline_;
  std::vector<std::pair<fs::path, std::vector<char>>> saved_;
  std::vector<fs::path> created_;
};

// Case 1: a truncated RMS file is set aside and rebuilt; the EMG row is the
// one computed from the whole series.
TEST_F(DamagedInputs, TruncatedRmsFileIsRebuiltAndTheTablesStayTheSame) {
  ASSERT_FALSE(baseline_.empty());
  const fs::path rms = folder() / "RMS_1F.dat";
  ASSERT_TRUE(fs::exists(rms));
  truncate(rms, 1000);
  created_.push_back(fs::path(rms.string() + ".damaged"));
  const CliRun r = runCli(session());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, baseline_);
  EXPECT_NE(r.err.find("The file " + rms.string() + " cannot be used: the file is shorter than its values"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("set aside as " + rms.string() + ".damaged"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(rms.string() + ".damaged"));
}

// Cases 2 and 3: a damaged respiration or IBI file may hold edits; it is
// named with the reason, left as it is, and the command fails.
TEST_F(DamagedInputs, DamagedIntervalFilesAreNamedKeptAndFailTheCommand) {
  struct Case {
    const char* file;
    std::size_t drop;
    const char* reason;
  };
  for (const Case& c : {Case{"RespPeriod_1C.dat", 3, "the file is shorter than its intervals"},
                        Case{"IBIFromEKG_1A.dat", 5, "the file is shorter than its intervals"}}) {
    const fs::path file = folder() / c.file;
    truncate(file, c.drop);
    const auto damaged = bytesOf(file);
    const CliRun r = runCli(session());
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_NE(r.err.find("The file " + file.string() + " cannot be used: " + c.reason), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Restore All"), std::string::npos) << r.err;  // asked, answered No
    EXPECT_EQ(bytesOf(file), damaged) << "never replaced without asking";
    EXPECT_FALSE(fs::exists(file.string() + ".damaged"));
    put(file, saved_.back().second);
  }
}

// Case 13: absurd intervals make the file invalid instead of stretching the
// session over 100,000 empty epochs.
TEST_F(DamagedInputs, AbsurdIntervalsAreRefusedWithTheIntervalNamed) {
  const fs::path file = folder() / "IBIFromEKG_1A.dat";
  auto b = keep(file);
  const float absurd = 6e23f;
  std::memcpy(b.data() + 4 + 16 + 4 * 3, &absurd, 4);
  put(file, b);
  const CliRun r = runCli(session());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("interval 4 is longer than 60 s"), std::string::npos) << r.err;
  EXPECT_LT(r.out.size(), baseline_.size());

  const CliRun one = runCli("analyse --ibi " + file.string());
  EXPECT_EQ(one.status, 1);
  EXPECT_TRUE(one.out.empty());
  EXPECT_NE(one.err.find("The file " + file.string() + " cannot be used: interval 4"), std::string::npos)
      << one.err;
}

// Case 4: --ibi files and Session.dat give the parser's reason, not "not
// found or older version", and a blank comes before every path.
TEST_F(DamagedInputs, IbiFileAndRecordingGiveTheParsersReason) {
  const fs::path ibi = root_ / "IBIFromEKG_9Z.dat";
  created_.push_back(ibi);
  put(ibi, {1, 0, 0, 0});
  CliRun r = runCli("analyse --ibi " + ibi.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The file " + ibi.string() + " cannot be used: the file is shorter than its segment table"),
            std::string::npos)
      << r.err;
  put(ibi, {});
  r = runCli("analyse --ibi " + ibi.string());
  EXPECT_NE(r.err.find("shorter than its record count"), std::string::npos) << r.err;
  r = runCli("analyse --ibi " + root_.string());
  EXPECT_NE(r.err.find("cannot be used: a folder, not a file"), std::string::npos) << r.err;
  r = runCli("analyse --ibi " + (root_ / "none.dat").string());
  EXPECT_NE(r.err.find("suite: " + (root_ / "none.dat").string()), std::string::npos) << r.err;

  const fs::path dat = folder() / "Session.dat";
  truncate(dat, bytesOf(dat).size() - 10);
  r = runCli(session());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The file " + dat.string() + " cannot be used: the recording ends inside its channel table"),
            std::string::npos)
      << r.err;
}

// Case 5: a channel-set file cut short is damaged, not an old layout.
TEST_F(DamagedInputs, TruncatedChannelSetIsReportedAsDamaged) {
  const fs::path chs = root_ / "Channels" / "Standard.chs";
  const auto size = bytesOf(chs).size();
  truncate(chs, size / 2);
  const CliRun r = runCli(session());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The database file is damaged, not of an older layout: " + chs.string()),
            std::string::npos)
      << r.err;
}

// Case 6: a channel-set name leading outside the data root is named.
TEST_F(DamagedInputs, UnsafeChannelSetNameIsNamed) {
  const fs::path db = root_ / "csdb.zeb";
  keep(db);
  {
    CADODatabase main;
    ASSERT_TRUE(main.open(db));
    main.execute("UPDATE Sessions SET FileName = '../x.chs' WHERE ClientID = 1 AND SessionID = 1");
  }
  const CliRun r = runCli(session());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The name ../x.chs is refused: it leads outside the data root."), std::string::npos)
      << r.err;
}

// Case 7: a damaged configuration file is named and the default settings
// used; the tables are not the session's, so the command fails.
TEST_F(DamagedInputs, DamagedConfigurationIsNamedAndFailsTheCommand) {
  const fs::path xml = folder() / "HRVConfig.xml";
  ASSERT_FALSE(fs::exists(xml));
  created_.push_back(xml);
  auto half = bytesOf(fs::path(RC_PROGRAM_DIR) / "HRVConfig.xml");
  half.resize(half.size() / 2);
  for (const auto& bytes : {half, std::vector<char>{}}) {
    put(xml, bytes);
    const CliRun r = runCli(session());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The file " + xml.string() + " cannot be used:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The default settings are used for this session."), std::string::npos) << r.err;
    EXPECT_EQ(bytesOf(xml), bytes) << "the damaged file is left for the user";
  }
}

// Case 11: rows that cannot be computed (an RMS series shorter than the
// recording) are named and fail the command; the tables are still printed.
TEST_F(DamagedInputs, IncompleteSignalTableFailsTheCommand) {
  const fs::path rms = folder() / "RMS_1F.dat";
  auto b = keep(rms);
  const std::int32_t count = 100;  // a whole file of 100 values: valid, but short
  b.resize(4 + 4 * count);
  std::memcpy(b.data(), &count, 4);
  put(rms, b);
  const CliRun r = runCli(session());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.out.empty());
  EXPECT_NE(r.err.find("the tables could not be fully computed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("signal rows could not be computed"), std::string::npos) << r.err;
}

// Cases 8 and 12: empty files, devices and folders end at once with a message.
TEST_F(DamagedInputs, DetectAndDumpRefuseEmptyFilesDevicesAndFolders) {
  const fs::path empty = root_ / "empty.f32";
  created_.push_back(empty);
  put(empty, {});
  CliRun r = runCli("detect --signal ekg --rate 256 " + empty.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(empty.string() + ": the file holds no samples"), std::string::npos) << r.err;
  r = runCli("detect --signal ekg --rate 256 /dev/zero");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/dev/zero: not a regular file"), std::string::npos) << r.err;
  r = runCli("ibi-dump /dev/zero");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/dev/zero: not a regular file"), std::string::npos) << r.err;
  r = runCli("ibi-dump " + root_.string());
  EXPECT_EQ(r.status, 1);
  r = runCli("recording-info /dev/zero");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
}

// Case 15: the data root comes from the environment, else the XDG default.
TEST_F(DamagedInputs, DataRootFromTheEnvironment) {
  const CliRun env = runCli("analyse --client 1 --session 1", "RHYTHMCRAFT_DATA_ROOT=" + root_.string());
  EXPECT_EQ(env.status, 0) << env.err;
  EXPECT_EQ(env.out, baseline_);
  const fs::path xdg = root_ / "xdg";
  created_.push_back(xdg);
  fs::create_directories(xdg / "Quellmark");
  fs::create_directory_symlink(root_, xdg / "Quellmark" / "Solvane");
  const CliRun fromXdg =
      runCli("analyse --client 1 --session 1", "env -u RHYTHMCRAFT_DATA_ROOT XDG_DATA_HOME=" + xdg.string());
  EXPECT_EQ(fromXdg.status, 0) << fromXdg.err;
  const CliRun none = runCli("analyse --client 1 --session 1",
                             "RHYTHMCRAFT_DATA_ROOT=" + (root_ / "absent").string());
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find((root_ / "absent").string() + ": the data root is not a folder"), std::string::npos)
      << none.err;
}

TEST_F(DamagedInputs, EveryCommandPrintsItsHelp) {
  const CliRun list = runCli("--help");
  ASSERT_EQ(list.status, 0);
  for (const char* name : {"analyse", "detect", "ibi-dump", "make-demo", "recording-info", "make-templates"}) {
    const CliRun r = runCli(std::string(name) + " --help");
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out.rfind(std::string("usage: rhythmcraft-cli ") + name, 0), 0u) << r.out;
    EXPECT_EQ(runCli(std::string("help ") + name).out, r.out) << name;
  }
  const CliRun analyse = runCli("analyse --help");
  for (const char* option : {"--data-root", "RHYTHMCRAFT_DATA_ROOT", "--client", "--epoch", "--units", "exit status"})
    EXPECT_NE(analyse.out.find(option), std::string::npos) << option;
  EXPECT_NE(runCli("detect --help").out.find("--block-rate R"), std::string::npos);
}

// Case 10: a demo written over an earlier one leaves no series of the old
// recordings behind.
TEST_F(DamagedInputs, DemoOverAnEarlierOneRemovesTheOldSeries) {
  const fs::path other = root_ / "again";
  created_.push_back(other);
  ASSERT_EQ(runCli("make-demo " + other.string() + " --scale 0.2 --no-long").status, 0);
  const fs::path f = sessionFolder(other, 1, 1);
  // Series files as a first analysis of the old recording would have left them.
  for (const char* name : {"IBIFromEKG_1A.dat", "RMS_1F.dat", "RespPeriod_1C.dat.damaged"})
    fs::copy_file(folder() / "IBIFromEKG_1A.dat", f / name);
  const CliRun again = runCli("make-demo --data-root " + other.string() + " --scale 0.2 --no-long --seed 99");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_FALSE(fs::exists(f / "IBIFromEKG_1A.dat"));
  EXPECT_FALSE(fs::exists(f / "RMS_1F.dat"));
  EXPECT_FALSE(fs::exists(f / "RespPeriod_1C.dat.damaged"));
  EXPECT_TRUE(fs::exists(f / "Session.dat"));
}

}  // namespace
}  // namespace rc
