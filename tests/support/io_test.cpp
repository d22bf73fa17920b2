#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <clocale>
#include <filesystem>

#include "support/binary.h"
#include "support/file_io.h"
#include "support/locale.h"
#include "support/ui.h"
#include "support/utf.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

TEST(ByteReaderTest, ReadsLittleEndianAndRefusesEveryOverrun) {
  const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F, 0xFF};
  ByteReader r(bytes, sizeof bytes);
  EXPECT_EQ(*r.u16(0), 0x0201);
  EXPECT_EQ(*r.u32(0), 0x04030201u);
  EXPECT_EQ(*r.f32(4), 1.0f);
  EXPECT_EQ(*r.i32(5), static_cast<std::int32_t>(0xFF3F8000u));
  EXPECT_FALSE(r.u32(6));
  EXPECT_FALSE(r.u64(2));
  EXPECT_FALSE(r.u8(9));
  EXPECT_FALSE(r.u32(UINT64_MAX - 1));
  float out[2];
  EXPECT_FALSE(r.f32Array(4, out, 2));

  ByteCursor c(r);
  EXPECT_EQ(c.u32(), 0x04030201u);
  EXPECT_EQ(c.f32(), 1.0f);
  EXPECT_EQ(c.u32(), 0u);  // only one byte left
  EXPECT_FALSE(c.ok());
  EXPECT_EQ(c.u8(), 0u);  // stays failed
}

TEST(ByteWriterTest, RoundTripsThroughReader) {
  ByteWriter w;
  w.u32(0xA1B2C3D4);
  w.i32(-5);
  w.f64(-2.5);
  w.u16(0xBEEF);
  const float v[] = {1.5f, -0.25f};
  w.f32Array(v, 2);
  ByteReader r(w.buffer());
  EXPECT_EQ(w.buffer()[0], 0xD4);
  EXPECT_EQ(*r.u32(0), 0xA1B2C3D4u);
  EXPECT_EQ(*r.i32(4), -5);
  EXPECT_EQ(*r.f64(8), -2.5);
  EXPECT_EQ(*r.u16(16), 0xBEEF);
  float back[2];
  ASSERT_TRUE(r.f32Array(18, back, 2));
  EXPECT_EQ(back[1], -0.25f);
}

class AtomicWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_atomic_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    testing::forceNamedTemporaries(false);
    fs::remove_all(dir_);
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

// Both kinds of temporary file: unnamed (where the file system has them)
// and named beside the target.
class AtomicWriterModes : public AtomicWriterTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    AtomicWriterTest::SetUp();
    testing::forceNamedTemporaries(GetParam());
  }
};

TEST_P(AtomicWriterModes, ReplacesOnlyOnCommit) {
  fs::path f = dir_ / "data.bin";
  ASSERT_TRUE(writeFileAtomic(f, std::string("old")));
  {
    AtomicWriter w;
    ASSERT_TRUE(w.open(f));
    w.write(std::string("new contents"));
    EXPECT_LE(entries(), 2u);  // at most a named temporary beside the target
    EXPECT_EQ(*readWholeFile(f), std::vector<std::uint8_t>({'o', 'l', 'd'}));
  }  // abandoned
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(*readWholeFile(f), std::vector<std::uint8_t>({'o', 'l', 'd'}));

  testing::failNextAtomicCommit();
  EXPECT_FALSE(writeFileAtomic(f, std::string("lost")));
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(readWholeFile(f)->size(), 3u);

  ASSERT_TRUE(writeFileAtomic(f, std::string("fresh")));
  EXPECT_EQ(readWholeFile(f)->size(), 5u);
  EXPECT_EQ(entries(), 1u);
}

// A run killed in the middle of a rewrite: the target keeps its old
// contents, and no temporary file outlives the next write.
TEST_P(AtomicWriterModes, AKilledWriterLeavesNothingBehind) {
  const fs::path f = dir_ / "IBIFromBVP_1B.dat";
  ASSERT_TRUE(writeFileAtomic(f, std::string("old")));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicWriter w;
    if (!w.open(f)) ::_exit(1);
    w.write(std::string(100000, 'x'));
    (void)!::write(ready[1], "r", 1);
    ::pause();  // killed here, before commit
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(readWholeFile(f)->size(), 3u);
  if (!GetParam()) {
    EXPECT_EQ(entries(), 1u) << "an unnamed temporary file vanishes with its process";
    return;
  }
  ASSERT_EQ(entries(), 2u);  // the killed run's named temporary
  // A leftover younger than a minute may belong to a writer still at work:
  // it is kept. Once it is older, the next writer of the target removes it.
  ASSERT_TRUE(writeFileAtomic(f, std::string("new!")));
  ASSERT_EQ(entries(), 2u);
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.path() != f) fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::minutes(2));
  ASSERT_TRUE(writeFileAtomic(f, std::string("newer")));
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(readWholeFile(f)->size(), 5u);
}

TEST_P(AtomicWriterModes, KeepsThePermissionsOfTheFileItReplaces) {
  const fs::path f = dir_ / "kept.bin";
  ASSERT_TRUE(writeFileAtomic(f, std::string("a")));
  fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(writeFileAtomic(f, std::string("bb")));
  EXPECT_EQ(fs::status(f).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(readWholeFile(f)->size(), 2u);
}

// Loading a session sweeps its folder: leftovers of killed runs go, files
// that only look alike or are young stay.
TEST_F(AtomicWriterTest, StaleTemporariesOfAFolderAreRemoved) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const char* name : {".IBIFromBVP_1B.dat.tmpAb12Cd", ".Events.dat.tmpZZZZZZ", ".young.dat.tmp123456",
                           "IBIFromEKG_1A.dat", ".notes.tmp12345", ".x.dat.tmp12345!"}) {
    ASSERT_TRUE(writeFileAtomic(dir_ / name, std::string("x")));
    if (std::string(name) != ".young.dat.tmp123456") fs::last_write_time(dir_ / name, old);
  }
  EXPECT_EQ(removeStaleTemporaries(dir_), 2);
  EXPECT_FALSE(fs::exists(dir_ / ".IBIFromBVP_1B.dat.tmpAb12Cd"));
  EXPECT_FALSE(fs::exists(dir_ / ".Events.dat.tmpZZZZZZ"));
  EXPECT_EQ(entries(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWriterModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

// Whole-file reads take regular files only, within their limit.
TEST_F(AtomicWriterTest, WholeFileReadsRefuseFoldersDevicesPipesAndOversizedFiles) {
  auto folder = readWholeFile(dir_);
  ASSERT_FALSE(folder);
  EXPECT_NE(folder.status().message().find(": a folder, not a file"), std::string::npos)
      << folder.status().message();
  auto zero = readWholeFile("/dev/zero");
  ASSERT_FALSE(zero);
  EXPECT_NE(zero.status().message().find("/dev/zero: not a regular file"), std::string::npos);
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(readWholeFile(fifo));  // refused at once, not waiting for a writer
  ASSERT_TRUE(writeFileAtomic(dir_ / "big", std::string(1000, 'x')));
  auto big = readWholeFile(dir_ / "big", 999);
  ASSERT_FALSE(big);
  EXPECT_NE(big.status().message().find("larger than 999 bytes"), std::string::npos) << big.status().message();
  EXPECT_EQ(readWholeFile(dir_ / "big", 1000)->size(), 1000u);
}

TEST_F(AtomicWriterTest, MissingFolderFailsWithMessage) {
  Status s = writeFileAtomic(dir_ / "nope" / "x.bin", std::string("x"));
  EXPECT_FALSE(s);
  EXPECT_NE(s.message().find("x.bin"), std::string::npos);
  EXPECT_FALSE(readWholeFile(dir_ / "absent"));
}

TEST_F(AtomicWriterTest, MappedFileSeesContentsAndEmptyFiles) {
  ASSERT_TRUE(writeFileAtomic(dir_ / "a", std::string("abc")));
  ASSERT_TRUE(writeFileAtomic(dir_ / "e", std::string()));
  MappedFile m;
  ASSERT_TRUE(m.open(dir_ / "a"));
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m.bytes()[2], 'c');
  MappedFile e;
  ASSERT_TRUE(e.open(dir_ / "e"));
  EXPECT_TRUE(e.bytes().empty());
  MappedFile moved = std::move(m);
  EXPECT_FALSE(m.isOpen());
  EXPECT_EQ(moved.size(), 3u);
}

// A failed write names the file and why: a full disk in the user's words,
// any other reason as the system gave it.
TEST(FileNotWritten, SaysTheDiskIsFullOrGivesTheReason) {
  const fs::path f = "/data/Sess0001/IBIFromEKG_1A.dat";
  const Message full =
      fileNotWrittenMessage(f, Status::error("cannot write " + f.string() + ": " + systemReason(ENOSPC)));
  EXPECT_EQ(full.ids, (std::vector<int>{189, kDiskFullId}));
  EXPECT_NE(full.text.find(" " + f.string()), std::string::npos) << full.text;
  EXPECT_TRUE(isDiskFull(Status::error("x: " + systemReason(EDQUOT))));
  const Message denied =
      fileNotWrittenMessage(f, Status::error("cannot write " + f.string() + ": " + systemReason(EACCES)));
  EXPECT_EQ(denied.ids, std::vector<int>{189});
  EXPECT_NE(denied.text.find("\n" + systemReason(EACCES)), std::string::npos) << denied.text;
  EXPECT_FALSE(isDiskFull(Status::ok()));
}

TEST(UtfTest, RoundTripsSurrogatePairsAndReplacesBadSequences) {
  std::u16string s = u"Caf\u00E9 \u20AC \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(s)), s);
  EXPECT_EQ(toUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(fromUtf8("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(toUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(fromCp1252(0xE9), u'\u00E9');
  EXPECT_EQ(fromCp1252(0x80), u'\u20AC');
}

TEST(LocaleTest, ParsesBothSeparatorsWhateverTheLocale) {
  EXPECT_EQ(parseReal("12.5"), 12.5);
  EXPECT_EQ(parseReal(" 12,5 "), 12.5);
  EXPECT_EQ(parseReal("-0.25"), -0.25);
  EXPECT_FALSE(parseReal("1.2.3"));
  EXPECT_FALSE(parseReal("12a"));
  EXPECT_FALSE(parseReal(""));
  EXPECT_EQ(parseInteger(" 42 "), 42);
  EXPECT_FALSE(parseInteger("4 2"));
  EXPECT_EQ(localiseDecimal("1.500", ','), "1,500");
}

TEST(LocaleTest, CommaLocaleGivesSemicolonListAndKeepsPrintfNeutral) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
    ::unsetenv("LC_ALL");
    GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  }
  LocaleSeparators s = readUserLocaleSeparators();
  ::unsetenv("LC_ALL");
  EXPECT_EQ(s.decimal, ',');
  EXPECT_EQ(s.list, ';');
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  EXPECT_STREQ(buf, "1.5");  // the C library's numbers stay neutral
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace rc
