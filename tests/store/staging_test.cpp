#include "store/staging.h"

#include "ado_fixture.h"
#include "store/records_channels.h"
#include "support/binary.h"
#include "support/language.h"

namespace rc {
namespace {

using testing::TempFolderTest;
namespace fs = std::filesystem;

std::vector<std::uint8_t> fileWithTrailer(std::size_t bodySize, std::uint32_t magic, std::uint32_t version) {
  std::vector<std::uint8_t> bytes(bodySize, 0xAB);
  ByteWriter w;
  w.u32(magic);
  w.u32(0xFFFFFFFFu);
  w.u32(version);
  w.zeros(kTrailerSize - 12);
  std::vector<std::uint8_t> t = w.take();
  bytes.insert(bytes.end(), t.begin(), t.end());
  return bytes;
}

struct TrailerCase {
  const char* name;
  std::size_t body;
  std::uint32_t magic;
  std::uint32_t version;
  int expected;
};

class VersionTrailer : public TempFolderTest, public ::testing::WithParamInterface<TrailerCase> {};

TEST_P(VersionTrailer, FileAndBytesAgree) {
  const TrailerCase& c = GetParam();
  auto bytes = fileWithTrailer(c.body, c.magic, c.version);
  EXPECT_EQ(versionTrailerOf(bytes), c.expected);
  writeBytes(path("set.chs"), bytes);
  EXPECT_EQ(checkVersionTrailer(path("set.chs")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionTrailer,
    ::testing::Values(TrailerCase{"CurrentWithOffset", 100, kTrailerMagic, 670000 + 100000000, 0},
                      TrailerCase{"CurrentPlain", 1, kTrailerMagic, 670000, 0},
                      TrailerCase{"OlderWithOffset", 100, kTrailerMagic, 669999 + 100000000, 1},
                      TrailerCase{"OlderPlain", 100, kTrailerMagic, 669999, 1},
                      TrailerCase{"OffsetItselfIsNotRemoved", 100, kTrailerMagic, 100000000, 0},
                      TrailerCase{"WrongMagic", 100, 0xB919B003u, 670000, 2},
                      TrailerCase{"ExactlyTrailerLong", 0, kTrailerMagic, 670000, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TempFolderTest, TrailerOfShortAndMissingFiles) {
  writeBytes(path("small.chs"), std::vector<std::uint8_t>(1000, 1));
  EXPECT_EQ(checkVersionTrailer(path("small.chs")), kTrailerTooShort);
  EXPECT_EQ(checkVersionTrailer(path("none.chs")), kTrailerUnreadable);
  EXPECT_EQ(versionTrailerOf({}), kTrailerTooShort);
}

// A program folder with the templates and a data root with its folders.
class Staging : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    program = path("program");
    root = path("root");
    for (const fs::path& p : {program, root, root / "Channels", root / "Scripts", root / "Clients"})
      fs::create_directories(p);
    ASSERT_TRUE(makeTemplates(testing::schemaDir(), program));
    language().set(1044, "Older file:");
    language().set(1452, "Missing file:");
    language().set(1421, "%s needs %s (log %s)");
    language().set(1422, "%s is damaged");
    language().set(1451, "Convert it");
    language().set(1052, "Database error");
  }

  // A channel-set database with one SetInfo row, optionally with a trailer.
  fs::path channelSet(const std::string& name, std::optional<std::uint32_t> version) {
    auto b = builder(HostDbKind::ChannelSet);
    SetInfoRow info;
    info.Description = "EKG set";
    info.NumberOfEncoders = 1;
    b.add(info);
    fs::path p = root / "Channels" / name;
    if (version) {
      EXPECT_TRUE(b.writeChannelSet(p, *version));
    } else {
      EXPECT_TRUE(b.write(p));
    }
    return p;
  }

  fs::path program, root;
  ScriptedUi ui;
};

TEST_F(Staging, CurrentChannelSetWithTrailerOpensAndReads) {
  fs::path p = channelSet("Set.chs", 670000 + kTrailerVersionOffset);
  EXPECT_EQ(fs::file_size(p) % 4096, kTrailerSize);  // the trailer sits behind the last page
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  ASSERT_TRUE(stager.openDatabase(db, p));
  EXPECT_TRUE(db.isReadOnly());
  CRecChannelSetInfo info(db);
  info.open(true);
  EXPECT_EQ(info.Description, "EKG set");
  EXPECT_TRUE(ui.records().empty());
}

TEST_F(Staging, OlderChannelSetIsRefusedWith1044) {
  fs::path p = channelSet("Old.chs", 669999);
  auto before = readBytes(p);
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_FALSE(stager.openDatabase(db, p));
  EXPECT_FALSE(db.isOpen());
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{1044});
  EXPECT_EQ(ui.records()[0].message.text, "Older file: " + p.string());
  EXPECT_EQ(readBytes(p), before);
}

TEST_F(Staging, ChannelSetWithoutTrailerIsComparedWithTheTemplate) {
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_TRUE(stager.openDatabase(db, channelSet("Plain.CHS", std::nullopt)));
  EXPECT_TRUE(ui.records().empty());
}

TEST_F(Staging, DamagedChannelSetsNameTheToolOncePerRun) {
  fs::path p = root / "Channels" / "100%s.chs";
  writeBytes(p, std::vector<std::uint8_t>(1000, 0x55));
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_FALSE(stager.openDatabase(db, p));
  EXPECT_FALSE(stager.openDatabase(db, p));
  ASSERT_EQ(ui.records().size(), 1u);
  const Message& m = ui.records()[0].message;
  EXPECT_EQ(m.ids, (std::vector<int>{1421, 1451, 1052}));
  EXPECT_EQ(m.text, "100%s.chs needs ModifyChannelSet.exe (log channels.log)\nConvert it: Database error");
  EXPECT_EQ(entries(root / "Channels"), std::vector<std::string>{"100%s.chs"});
}

TEST_F(Staging, MissingFileIsReportedWith1452) {
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_FALSE(stager.openDatabase(db, root / "csdb.zeb"));
  ASSERT_EQ(ui.firstIds(), std::vector<int>{1452});
  EXPECT_EQ(ui.records()[0].message.text, "Missing file: " + (root / "csdb.zeb").string());
}

TEST_F(Staging, ModuleDatabaseIsFoundWithoutRegardToCaseAndCompared) {
  ASSERT_TRUE(builder(HostDbKind::Module).write(root / "hrvmodule.ZEB"));
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_TRUE(stager.openDatabase(db, root / "HRVModule.zeb"));
  EXPECT_EQ(db.path(), root / "hrvmodule.ZEB");

  auto wrong = builder(HostDbKind::Module);
  wrong.execute("DROP TABLE HRVSettings; CREATE TABLE HRVSettings (KestrelExportPath VARCHAR(255))");
  ASSERT_TRUE(wrong.write(root / "hrvmodule.ZEB"));
  CADODatabase again;
  EXPECT_FALSE(stager.openDatabase(again, root / "HRVModule.zeb"));
  EXPECT_FALSE(again.isOpen());
}

TEST_F(Staging, DamagedOtherDatabaseEndsInMessage1052) {
  writeText(root / "csdb.zeb", std::string(8192, 'z'));
  DatabaseStager stager(program, root, ui);
  CADODatabase db;
  EXPECT_FALSE(stager.openDatabase(db, root / "csdb.zeb"));
  ASSERT_EQ(ui.firstIds(), std::vector<int>{1052});
  EXPECT_NE(ui.records()[0].message.text.find("CADODataBase Error"), std::string::npos);
}

TEST(ConversionMessage, KindsOfFiles) {
  language().set(1421, "%s: %s, %s");
  language().set(1422, "bad %s");
  auto settings = DatabaseStager::conversionMessage("SettingsTemp.dat");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->second.text.substr(0, 56), "Settings.dat: ModifySessionSettings.exe, SessionSettings");
  auto main = DatabaseStager::conversionMessage("BACKUPMAIN.zeb");
  ASSERT_TRUE(main);
  EXPECT_EQ(main->second.text.substr(0, 35), "BACKUPMAIN.zeb: ModifySettings.exe,");
  EXPECT_EQ(DatabaseStager::conversionMessage("ZEBUnit.dat")->second.text, "bad ZEBUnit.dat");
  EXPECT_EQ(DatabaseStager::conversionMessage("x.EMP")->second.ids, std::vector<int>{1422});
  EXPECT_EQ(DatabaseStager::conversionMessage("a.prt")->first,
            DatabaseStager::conversionMessage("b.prt")->first);
  EXPECT_FALSE(DatabaseStager::conversionMessage("HRVModule.zeb"));
}

// Layout comparison: a file made from the template, then changed.
struct LayoutCase {
  const char* name;
  HostDbKind kind;
  int templateKind;
  const char* change;  // SQL run on the file
  int expected;
};

class LayoutComparison : public Staging, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutComparison, Code) {
  const LayoutCase& c = GetParam();
  auto b = builder(c.kind);
  if (*c.change) b.execute(c.change);
  fs::path file = root / "file.db";
  ASSERT_TRUE(b.write(file));
  int fds = testing::openDescriptorCount();
  auto before = entries(root);
  EXPECT_EQ(compareSchema(file, c.templateKind, program, root), c.expected);
  EXPECT_EQ(entries(root), before);  // the temporary copy is gone
  EXPECT_EQ(testing::openDescriptorCount(), fds);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LayoutComparison,
    ::testing::Values(
        LayoutCase{"Same", HostDbKind::Main, 9, "", 0},
        LayoutCase{"ExtraTablesAndColumnsAreFine", HostDbKind::Module, 11,
                   "CREATE TABLE More (A INTEGER); ALTER TABLE HRVSettings ADD COLUMN X SMALLINT", 0},
        LayoutCase{"TableMissing", HostDbKind::Main, 9, "DROP TABLE Sessions", 14},
        LayoutCase{"ColumnMissing", HostDbKind::Module, 11,
                   "DROP TABLE HRVSettings; CREATE TABLE HRVSettings (KestrelExportPath VARCHAR(255))", 17},
        LayoutCase{"ColumnOfOtherType", HostDbKind::Module, 11,
                   "DROP TABLE HRVSettings; CREATE TABLE HRVSettings (KestrelExportPath VARCHAR(255), "
                   "ThirdPartyExportPath LONGTEXT)",
                   18},
        LayoutCase{"TextShorterThanTemplate", HostDbKind::Module, 11,
                   "DROP TABLE HRVSettings; CREATE TABLE HRVSettings (KestrelExportPath VARCHAR(50), "
                   "ThirdPartyExportPath VARCHAR(255))",
                   19},
        LayoutCase{"TextLongerThanTemplate", HostDbKind::Module, 11,
                   "DROP TABLE HRVSettings; CREATE TABLE HRVSettings (KestrelExportPath VARCHAR(300), "
                   "ThirdPartyExportPath VARCHAR(255))",
                   0},
        LayoutCase{"EventStyleWidthAcceptedInMain", HostDbKind::Main, 9,
                   "ALTER TABLE Settings RENAME COLUMN UserEventStyle TO Old; "
                   "ALTER TABLE Settings ADD COLUMN UserEventStyle INTEGER",
                   0},
        LayoutCase{"MarkerWidthAcceptedInMain", HostDbKind::Main, 9,
                   "ALTER TABLE Sessions RENAME COLUMN TemporaryMarkerCondition TO Old; "
                   "ALTER TABLE Sessions ADD COLUMN TemporaryMarkerCondition INTEGER",
                   0},
        LayoutCase{"OtherIntegerWidthRefused", HostDbKind::Main, 9,
                   "ALTER TABLE Settings RENAME COLUMN AlgoUnits TO Old; "
                   "ALTER TABLE Settings ADD COLUMN AlgoUnits INTEGER",
                   18},
        LayoutCase{"TemplateOfKindMissing", HostDbKind::Main, 3, "", 11}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Staging, UnreadableTemplateOrFileLeaveNothingBehind) {
  fs::path file = root / "file.db";
  ASSERT_TRUE(builder(HostDbKind::Module).write(file));
  writeText(root / "junk.db", std::string(5000, 'j'));
  int fds = testing::openDescriptorCount();
  EXPECT_EQ(compareSchema(root / "junk.db", 11, program, root), kSchemaFileNotOpened);
  EXPECT_EQ(compareSchema(root / "none.db", 11, program, root), kSchemaFileNotOpened);
  writeText(program / "HRVModule.emp", std::string(5000, 't'));
  EXPECT_EQ(compareSchema(file, 11, program, root), kSchemaCopyNotOpened);
  fs::remove_all(root / "Channels");
  EXPECT_EQ(compareSchema(file, 1, program, root), kSchemaTemplateNotCopied);
  EXPECT_EQ(testing::openDescriptorCount(), fds);
  EXPECT_EQ(entries(root), (std::vector<std::string>{"Clients", "Scripts", "file.db", "junk.db"}));
}

TEST_F(Staging, ExistingFixedNameCopyOfAnotherUserIsUntouched) {
  writeText(root / "Channels" / "TempChSet.mdb", "someone else's");
  fs::path p = channelSet("Plain.chs", std::nullopt);
  EXPECT_EQ(compareSchema(p, 1, program, root), 0);
  EXPECT_EQ(
      readBytes(root / "Channels" / "TempChSet.mdb"),
      std::vector<std::uint8_t>({'s', 'o', 'm', 'e', 'o', 'n', 'e', ' ', 'e', 'l', 's', 'e', '\'', 's'}));
  EXPECT_EQ(entries(root / "Channels"), (std::vector<std::string>{"Plain.chs", "TempChSet.mdb"}));
}

}  // namespace
}  // namespace rc
