#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "store/data_root.h"
#include "store/recording.h"
#include "support/binary.h"
#include "support/file_io.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_rec_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path write(const std::vector<std::uint8_t>& bytes) {
    fs::path p = dir_ / "Session.dat";
    EXPECT_TRUE(writeFileAtomic(p, bytes));
    return p;
  }
  fs::path dir_;
};

// Two groups: channels 1 (256 Hz) and 2 (32 Hz) on the first encoder, 11 (64 Hz) on the second.
std::vector<std::vector<ChannelEntry>> twoGroups() {
  return {{{1, 256, 7}, {2, 32, 0}}, {{11, 64, 0}}};
}
ExpectedLayout twoGroupLayout() { return {2, {2, 1, 0, 0}}; }

std::vector<float> ramp(std::size_t n, float base) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = base + static_cast<float>(i);
  return v;
}

TEST_F(RecordingTest, DeinterleavesBlocksIntoChannels) {
  // R = 32: blocks of 8, 1 and 2 samples; 3 seconds.
  auto bytes = buildRecording(twoGroups(), 32, {ramp(768, 0), ramp(96, 1000), ramp(192, 5000)});
  fs::path p = write(bytes);
  SessionRecording rec;
  ASSERT_TRUE(rec.openFile(p, twoGroupLayout())) << rec.error();
  EXPECT_EQ(rec.channelCount(), 3u);
  EXPECT_EQ(rec.totalRate(), 352u);
  EXPECT_EQ(rec.blockRate(), 32u);
  EXPECT_DOUBLE_EQ(rec.duration(), 3.0);
  EXPECT_EQ(rec.channel(0), (ChannelEntry{1, 256, 7}));
  ASSERT_EQ(rec.samples(0).size(), 768u);
  ASSERT_EQ(rec.samples(1).size(), 96u);
  ASSERT_EQ(rec.samples(2).size(), 192u);
  for (std::size_t i = 0; i < 768; ++i) ASSERT_EQ(rec.samples(0)[i], static_cast<float>(i));
  for (std::size_t i = 0; i < 96; ++i) ASSERT_EQ(rec.samples(1)[i], 1000.0f + static_cast<float>(i));
  for (std::size_t i = 0; i < 192; ++i) ASSERT_EQ(rec.samples(2)[i], 5000.0f + static_cast<float>(i));
  EXPECT_EQ(rec.findChannel(11), 2u);
  EXPECT_FALSE(rec.findChannel(12).has_value());
}

TEST_F(RecordingTest, PartialLastBlockIsNotCopied) {
  auto bytes = buildRecording(twoGroups(), 32, {ramp(64, 0), ramp(8, 0), ramp(16, 0)});  // 8 blocks
  bytes.resize(bytes.size() - 4);  // cut into the last block
  SessionRecording rec;
  ASSERT_TRUE(rec.openFile(write(bytes), twoGroupLayout()));
  EXPECT_EQ(rec.samples(0).size(), 56u);
  EXPECT_EQ(rec.samples(1).size(), 7u);
  EXPECT_EQ(rec.samples(2).size(), 14u);
}

TEST_F(RecordingTest, NoBlocksGivesEmptyBuffersAndZeroDuration) {
  auto bytes = buildRecording(twoGroups(), 32, {{}, {}, {}});
  SessionRecording rec;
  ASSERT_TRUE(rec.openFile(write(bytes), twoGroupLayout()));
  EXPECT_EQ(rec.duration(), 0.0);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(rec.samples(i).empty());
}

TEST_F(RecordingTest, RefusesLayoutsThatDifferFromTheChannelSet) {
  auto bytes = buildRecording(twoGroups(), 32, {ramp(64, 0), ramp(8, 0), ramp(16, 0)});
  fs::path p = write(bytes);
  SessionRecording rec;
  EXPECT_FALSE(rec.openFile(p, {1, {2, 0, 0, 0}}));  // group count
  EXPECT_FALSE(rec.openFile(p, {2, {2, 2, 0, 0}}));  // descriptor count of group 1
  EXPECT_FALSE(rec.openFile(p, {2, {1, 1, 0, 0}}));
  EXPECT_FALSE(rec.isOpen());
  EXPECT_FALSE(rec.openFile(dir_ / "missing.dat", twoGroupLayout()));
}

TEST_F(RecordingTest, TruncatedHeadersAreRefusedAtEveryLength) {
  auto bytes = buildRecording(twoGroups(), 32, {});
  const std::size_t header = 4 + 4 + 2 * 20 + 4 + 20 + 8;
  ASSERT_EQ(bytes.size(), header);
  for (std::size_t len = 0; len < header; ++len) {
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(len));
    SessionRecording rec;
    EXPECT_FALSE(rec.openFile(write(cut), twoGroupLayout())) << "length " << len;
  }
}

std::vector<std::uint8_t> header(std::uint32_t groups, std::vector<std::uint32_t> rates, std::uint32_t total,
                                 std::uint32_t blockRate) {
  ByteWriter w;
  w.u32(groups);
  w.u32(static_cast<std::uint32_t>(rates.size()));
  for (std::size_t i = 0; i < rates.size(); ++i) {
    w.u32(static_cast<std::uint32_t>(i + 1));
    w.u32(rates[i]);
    w.zeros(12);
  }
  for (std::uint32_t g = 1; g < groups; ++g) w.u32(0);
  w.u32(total);
  w.u32(blockRate);
  w.zeros(4096);
  return w.take();
}

TEST_F(RecordingTest, RefusesRatesThatWouldDivideByZeroOrHang) {
  SessionRecording rec;
  EXPECT_FALSE(rec.openFile(write(header(1, {256}, 0, 32)), {1, {1}}));       // T = 0
  EXPECT_FALSE(rec.openFile(write(header(1, {256}, 256, 0)), {1, {1}}));      // R = 0
  EXPECT_FALSE(rec.openFile(write(header(1, {256}, 256, 512)), {1, {1}}));    // R above every rate
  EXPECT_FALSE(rec.openFile(write(header(5, {256}, 256, 32)), {5, {1}}));     // five groups
  EXPECT_FALSE(rec.openFile(write(header(1, std::vector<std::uint32_t>(41, 256), 256, 32)), {1, {41}}));
}

TEST_F(RecordingTest, HugeOrZeroRatesGiveBoundedBuffers) {
  // One channel claims 0xFFFFFFFF Hz, one has rate 0 (no samples per block).
  SessionRecording rec;
  ASSERT_TRUE(rec.openFile(write(header(1, {0xFFFFFFFFu, 0, 256}, 256, 32)), {1, {3}}));
  EXPECT_TRUE(rec.samples(1).empty());
  EXPECT_LE(rec.samples(0).size() * 4, 4096u + 100u);
}

TEST(SessionFolder, NamesClientAndZeroPaddedSession) {
  EXPECT_EQ(sessionFolder("/data", 5, 123), fs::path("/data/Clients/5/Sess0123"));
  EXPECT_EQ(sessionFolder("/data", 12, 7), fs::path("/data/Clients/12/Sess0007"));
  EXPECT_EQ(sessionFolder("/data", 5, 12345), fs::path("/data/Clients/5/Sess12345"));
}

TEST(DataRootTest, UsesEnvironmentRootAndCreatesItPrivately) {
  fs::path root = fs::temp_directory_path() / ("rc_root_" + std::to_string(::getpid())) / "a" / "b";
  ::setenv("RHYTHMCRAFT_DATA_ROOT", root.c_str(), 1);
  DataRoot r = prepareDataRoot("/program");
  ::unsetenv("RHYTHMCRAFT_DATA_ROOT");
  EXPECT_FALSE(r.fellBack);
  EXPECT_EQ(r.path, root);
  ASSERT_TRUE(fs::is_directory(root));
  EXPECT_EQ(fs::status(root).permissions() & fs::perms::others_write, fs::perms::none);
  fs::remove_all(root.parent_path().parent_path());
}

TEST(DataRootTest, XdgFolderGetsMakerAndProductFolders) {
  fs::path xdg = fs::temp_directory_path() / ("rc_xdg_" + std::to_string(::getpid()));
  ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  ::unsetenv("RHYTHMCRAFT_DATA_ROOT");
  DataRoot r = prepareDataRoot("/program");
  EXPECT_EQ(r.path, xdg / "Quellmark" / "Solvane");
  EXPECT_TRUE(fs::is_directory(r.path));
  ::unsetenv("XDG_DATA_HOME");
  fs::remove_all(xdg);
}

}  // namespace
}  // namespace rc
