#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>

#include "support/binary.h"
#include "support/file_io.h"
#include "support/locale.h"
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
  void TearDown() override { fs::remove_all(dir_); }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(AtomicWriterTest, ReplacesOnlyOnCommit) {
  fs::path f = dir_ / "data.bin";
  ASSERT_TRUE(writeFileAtomic(f, std::string("old")));
  {
    AtomicWriter w;
    ASSERT_TRUE(w.open(f));
    w.write(std::string("new contents"));
    EXPECT_EQ(entries(), 2u);  // the temporary sits beside the target
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
