#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/file_io.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

class MainDialogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_md_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "root");
    fs::create_directories(dir_ / "program");
    language().set(kModuleDbNotCreatedId, "The file %s could not be created.");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string text(const fs::path& p) const {
    auto bytes = readWholeFile(p);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
  }
  fs::path dir_;
  ScriptedUi ui_;
};

struct DirectOpenCase {
  const char* line;
  std::optional<std::pair<int, int>> expected;
};
class DirectOpen : public ::testing::TestWithParam<DirectOpenCase> {};
TEST_P(DirectOpen, ClientBeforeTheFirstBlankSessionAfterIt) {
  EXPECT_EQ(parseDirectOpen(GetParam().line), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    CommandLines, DirectOpen,
    ::testing::Values(DirectOpenCase{"12 7", std::make_pair(12, 7)}, DirectOpenCase{"12", std::nullopt},
                      DirectOpenCase{"", std::nullopt}, DirectOpenCase{"x 7", std::nullopt},
                      DirectOpenCase{"12 0", std::nullopt}, DirectOpenCase{"12  7", std::nullopt},
                      DirectOpenCase{"3 -1", std::nullopt}));

struct NameCase {
  const char* last;
  const char* first;
  const char* shown;
};
class ConfidentialName : public ::testing::TestWithParam<NameCase> {};
TEST_P(ConfidentialName, KeepsTwoAndOneCharacters) {
  EXPECT_EQ(clientDisplayName(GetParam().last, GetParam().first, true), GetParam().shown);
}
INSTANTIATE_TEST_SUITE_P(Names, ConfidentialName,
                         ::testing::Values(NameCase{"Smith", "John", "Sm***, J***"},
                                           NameCase{"Li", "Al", "Li, A*"}, NameCase{"Ng", "J", "Ng, J"},
                                           NameCase{"Lee", "", "Le*, "},
                                           NameCase{"Zoë", "Ölaf", "Zo*, Ö***"}));

TEST(MainDialog, NamesAreWholeWithoutConfidentiality) {
  EXPECT_EQ(clientDisplayName("Smith", "John", false), "Smith, John");
}

TEST(MainDialog, DurationTextHasHoursMinutesAndFourDecimals) {
  EXPECT_EQ(durationText(3725.5), "01:02:05.5000");
  EXPECT_EQ(durationText(0), "00:00:00.0000");
  EXPECT_EQ(durationText(-5), "00:00:00.0000");
}

TEST(MainDialog, SessionColumnsSortByTheirKind) {
  SessionEntry a, b;
  a.dateTime = {2026, 3, 2, 9, 15, 0};
  b.dateTime = {2026, 3, 2, 10, 0, 0};
  a.openSession = false;
  b.openSession = true;
  a.duration = 1800;
  b.duration = 300;
  a.description = "baseline";
  b.description = "Breathing";
  a.fullSaving = true;
  EXPECT_LT(compareSessions(a, b, 0), 0);
  EXPECT_GT(compareSessions(a, b, 2), 0);  // open sessions first
  EXPECT_GT(compareSessions(a, b, 3), 0);
  EXPECT_LT(compareSessions(a, b, 4), 0);  // without regard to case
  EXPECT_LT(compareSessions(a, b, 5), 0);  // marked rows first
}

TEST_F(MainDialogFiles, SecondLockOnTheSameRootIsRefused) {
  const fs::path lock = instanceLockPath(dir_ / "root");
  {
    InstanceLock first(lock);
    ASSERT_TRUE(first.acquired());
    InstanceLock second(lock);
    EXPECT_FALSE(second.acquired());
  }
  InstanceLock again(lock);
  EXPECT_TRUE(again.acquired());
}

TEST_F(MainDialogFiles, MissingSettingsFileReadsZerosAndIsNeverCreated) {
  const fs::path f = dir_ / "root" / kAppSettingsFileName;
  EXPECT_EQ(readAppSettings(f), AppSettings{});
  EXPECT_TRUE(writeAppSettingsAtExit(f, {65001, 1, 1}).isOk());
  EXPECT_FALSE(fs::exists(f));
}

TEST_F(MainDialogFiles, ExitKeepsWhatOthersWroteDuringTheRun) {
  const fs::path f = dir_ / "root" / kAppSettingsFileName;
  ASSERT_TRUE(
      writeFileAtomic(f, std::string("<Settings><TextFormat>0</TextFormat><Header>1</Header></Settings>")));
  const AppSettings read = readAppSettings(f);
  EXPECT_EQ(read, (AppSettings{0, 1, 0}));
  // The report editor saves its choices while the program runs.
  ASSERT_TRUE(writeFileAtomic(
      f, std::string("<Settings><TextFormat>0</TextFormat><Header>1</Header><CommProtocol>3</CommProtocol>"
                     "<Category>Clinic</Category></Settings>")));
  ASSERT_TRUE(writeAppSettingsAtExit(f, {65001, 1, 1}).isOk());
  const std::string t = text(f);
  EXPECT_NE(t.find("<CommProtocol>3</CommProtocol>"), std::string::npos) << t;
  EXPECT_NE(t.find("<Category>Clinic</Category>"), std::string::npos) << t;
  EXPECT_EQ(readAppSettings(f), (AppSettings{65001, 1, 1}));
}

TEST_F(MainDialogFiles, ModuleDatabaseIsCopiedFromItsTemplate) {
  ASSERT_TRUE(writeFileAtomic(dir_ / "program" / kModuleTemplateName, std::string("template")));
  EXPECT_TRUE(ensureModuleDatabase(dir_ / "root", dir_ / "program", ui_));
  EXPECT_EQ(text(dir_ / "root" / kModuleDatabaseName), "template");
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(MainDialogFiles, ModuleDatabaseWithoutTemplateGives129) {
  EXPECT_FALSE(ensureModuleDatabase(dir_ / "root", dir_ / "program", ui_));
  ASSERT_EQ(ui_.firstIds(), std::vector<int>{kModuleDbNotCreatedId});
  EXPECT_NE(ui_.records()[0].message.text.find("HRVModule.zeb"), std::string::npos);
}

TEST_F(MainDialogFiles, CancelDeletesOnlyAFileThisAttemptMade) {
  const fs::path f = dir_ / "root" / "HRVConfig.xml";
  const std::string configured = "<HRVConfig><Reconfig>1</Reconfig></HRVConfig>";
  ASSERT_TRUE(writeFileAtomic(f, configured));
  abandonSessionConfig(f, false);  // forced reconfiguration of a configured file
  EXPECT_EQ(text(f), configured);
  abandonSessionConfig(f, true);
  EXPECT_FALSE(fs::exists(f));
}

TEST_F(MainDialogFiles, UnusableConfigurationIsKeptBesideTheNewOne) {
  const fs::path f = dir_ / "root" / "HRVConfig.xml";
  const fs::path t = dir_ / "program" / "HRVConfig.xml";
  ASSERT_TRUE(writeFileAtomic(t, std::string("<HRVConfig><Reconfig>0</Reconfig></HRVConfig>")));
  ASSERT_TRUE(writeFileAtomic(f, std::string("<<garbled")));
  const ConfigPreparation p = prepareSessionConfig(f, t, ui_);
  EXPECT_TRUE(p.ok);
  EXPECT_TRUE(p.createdNow);
  EXPECT_EQ(text(fs::path(f.string() + ".bad")), "<<garbled");
}

}  // namespace
}  // namespace rc
