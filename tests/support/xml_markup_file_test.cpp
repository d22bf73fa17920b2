#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/file_io.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

class XmlFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_xml_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  static void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(XmlFiles, LoadReportsCountsAndKeepsByteOrderMark) {
  const fs::path f = dir_ / "a.xml";
  writeBytes(f, "\xEF\xBB\xBF<a>\xC3\xA9</a>");
  CXMLMarkup x;
  ASSERT_TRUE(x.Load(f));
  EXPECT_TRUE(x.IsWellFormed());
  EXPECT_EQ(x.GetErrorUtf8(), "12 bytes to 9 wide chars");
  ASSERT_FALSE(x.GetDoc().empty());
  EXPECT_EQ(x.GetDoc()[0], char16_t(0xFEFF));
  ASSERT_TRUE(x.FindElem(u"a"));
  EXPECT_EQ(x.GetData(), u"\u00e9");

  writeBytes(f, "<a><b></a>");
  ASSERT_TRUE(x.Load(f));
  EXPECT_EQ(x.GetErrorUtf8(),
            "10 bytes to 10 wide chars, End tag 'a' at offset 7 does not match start tag 'b' at offset 3");
}

TEST_F(XmlFiles, MissingFileFailsAndLeavesNothingToSave) {
  CXMLMarkup x(u"<old/>");
  EXPECT_FALSE(x.Load(dir_ / "none.xml"));
  EXPECT_EQ(x.GetErrorUtf8(), "No such file or directory");
  EXPECT_TRUE(x.GetDoc().empty());
  // A document that did not load is never written over a file.
  const fs::path target = dir_ / "keep.xml";
  writeBytes(target, "<keep/>");
  EXPECT_FALSE(x.Save(target));
  EXPECT_EQ(readBytes(target), "<keep/>");
}

TEST_F(XmlFiles, SaveRoundTripsByteExact) {
  const std::string bytes =
      "<?xml version=\"1.0\"?>\r\n<r a='1'>\r\n\t<v>\xF0\x9F\x98\x80 &amp; x</v>\r\n</r>";
  const fs::path f = dir_ / "r.xml";
  writeBytes(f, bytes);
  CXMLMarkup x;
  ASSERT_TRUE(x.Load(f));
  const fs::path out = dir_ / "out.xml";
  ASSERT_TRUE(x.Save(out));
  EXPECT_EQ(readBytes(out), bytes);
  EXPECT_EQ(x.GetErrorUtf8(),
            std::to_string(x.GetDoc().size()) + " wide chars to " + std::to_string(bytes.size()) + " bytes");
  // Characters above U+FFFF are written as 4-byte sequences.
  CXMLMarkup y(u"<r>\U0001D11E</r>");
  ASSERT_TRUE(y.Save(out));
  EXPECT_EQ(readBytes(out), "<r>\xF0\x9D\x84\x9E</r>");
}

TEST_F(XmlFiles, FailedSaveKeepsTheOldFile) {
  const fs::path f = dir_ / "HRVConfig.xml";
  writeBytes(f, "<old>1</old>");
  CXMLMarkup x(u"<new>2</new>");
  testing::failNextAtomicCommit();
  EXPECT_FALSE(x.Save(f));
  EXPECT_EQ(readBytes(f), "<old>1</old>");
  EXPECT_FALSE(x.GetError().empty());
  // No temporary files are left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(x.Save(f));
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(readBytes(f), "<old>1</old>");
  }
  CXMLMarkup empty;
  EXPECT_FALSE(empty.Save(f));
  EXPECT_EQ(readBytes(f), "<old>1</old>");
  ASSERT_TRUE(x.Save(f));
  EXPECT_EQ(readBytes(f), "<new>2</new>");
}

}  // namespace
}  // namespace rc
