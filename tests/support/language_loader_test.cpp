// Behaviour of the language table around the shipped file: a missing or empty
// table, a missing id, composed messages with an empty part, and translations
// that would be unsafe as printf formats.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/format.h"
#include "support/language.h"
#include "support/ui.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

// Ids no table uses; the tests set them on the process-wide table.
constexpr int kTextA = 990001;
constexpr int kMissing = 990002;
constexpr int kHostile = 990003;

class LanguageLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("rc_language_" + std::to_string(::getpid()) + "_" + info->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path write(const std::string& name, const std::string& bytes) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  fs::path dir_;
};

TEST_F(LanguageLoader, MissingOrEmptyTableFailsAndTheBuiltinTextRemains) {
  LanguageTable t;
  Status missing = t.loadFile(dir_ / kLanguageFileName);
  EXPECT_FALSE(missing.isOk());
  EXPECT_FALSE(t.loaded());
  EXPECT_TRUE(t.text(kAppTitleId).empty());

  Status onlyComments = t.loadFile(write(kLanguageFileName, "# nothing here\n\n"));
  EXPECT_FALSE(onlyComments.isOk());
  EXPECT_FALSE(t.loaded());

  // The start-up shows this text, with an empty caption, when loading fails.
  EXPECT_STREQ(kBuiltinString1, "Failed to load string from resource dll.");
}

TEST_F(LanguageLoader, ReadsEscapesBlanksAndWindowsLineEnds) {
  LanguageTable t;
  ASSERT_TRUE(t.loadFile(write(kLanguageFileName,
                               "# comment\r\n"
                               "101\tRhythmcraft\r\n"
                               "189\tCannot create:\\n\r\n"
                               "374\t, \n"
                               "409\tNo \\\\ or / here\n"
                               "not an entry\n"
                               "7 no tab\n"))
                  .isOk());
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(t.text(101), "Rhythmcraft");
  EXPECT_EQ(t.text(189), "Cannot create:\n");
  EXPECT_EQ(t.text(374), ", ");
  EXPECT_EQ(t.text(409), "No \\ or / here");
}

TEST_F(LanguageLoader, MissingIdGivesEmptyText) {
  LanguageTable t;
  ASSERT_TRUE(t.loadFile(write(kLanguageFileName, "101\tRhythmcraft\n")).isOk());
  EXPECT_TRUE(t.loaded());
  EXPECT_EQ(t.text(kMissing), "");
  EXPECT_EQ(t.text(-1), "");
  EXPECT_EQ(str(kMissing), "");
}

TEST(LanguageComposition, SeparatorStaysWhenOnePartIsEmpty) {
  language().set(kTextA, "The file could not be created");
  Message tail = MessageBuilder().id(kTextA).text(": ").id(kMissing).build();
  EXPECT_EQ(tail.text, "The file could not be created: ");
  EXPECT_EQ(tail.ids, (std::vector<int>{kTextA, kMissing}));

  Message head = MessageBuilder().id(kMissing).text(": ").id(kTextA).build();
  EXPECT_EQ(head.text, ": The file could not be created");

  Message both = MessageBuilder().id(kMissing).text(": ").id(kMissing).text(" / ").text("x.dat").build();
  EXPECT_EQ(both.text, ":  / x.dat");
}

TEST(LanguageComposition, HostileTranslationIsNeverAPrintfFormat) {
  // A translation with the wrong conversion, a second one, %n and a stray %.
  language().set(kHostile, "NN %s %d %n %");
  Message m = MessageBuilder().idArg(kHostile, 50LL).build();
  EXPECT_EQ(m.text, "NN 50 %d %n %");
  EXPECT_EQ(m.text.find("50"), m.text.rfind("50"));

  // The two-argument form with a translation that holds fewer conversions.
  language().set(kHostile, "between %d");
  EXPECT_EQ(MessageBuilder().idArgs(kHostile, -10000LL, 10000LL).build().text, "between -10000");

  // A text argument with its own "%" is inserted as it is, not re-read.
  language().set(kHostile, "File %s missing");
  EXPECT_EQ(strArg(kHostile, std::string("50%d.txt")), "File 50%d.txt missing");

  // Column headings in percentage units: the composed "(%%)" shows as "(%)".
  EXPECT_EQ(collapsePercents("LF (%%)"), "LF (%)");
}

}  // namespace
}  // namespace rc
