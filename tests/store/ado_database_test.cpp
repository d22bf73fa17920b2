#include "store/ado_database.h"

#include <sys/stat.h>

#include "ado_fixture.h"
#include "store/ado_recordset.h"
#include "support/language.h"

namespace rc {
namespace {

using testing::TempFolderTest;
namespace fs = std::filesystem;

class DatabaseTest : public TempFolderTest {
 protected:
  fs::path makeDb(const std::string& name, const std::string& sql) {
    CADODatabase db;
    db.openInMemory();
    db.execute(sql);
    auto bytes = db.serialize();
    fs::path p = path(name);
    writeBytes(p, bytes);
    return p;
  }
};

TEST_F(DatabaseTest, MissingFileOrFolderGivesFalseWithoutThrowing) {
  CADODatabase db;
  EXPECT_FALSE(db.open(path("none.zeb")));
  EXPECT_FALSE(db.open(dir_));
  EXPECT_FALSE(db.isOpen());
}

TEST_F(DatabaseTest, ReadOnlyFileOfOwnGetsOwnerWriteOnly) {
  fs::path p = makeDb("ro.zeb", "CREATE TABLE T (A INTEGER)");
  ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
  CADODatabase db;
  ASSERT_TRUE(db.open(p));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // owner write added, group/other unchanged
  EXPECT_FALSE(db.isReadOnly());
  db.execute("INSERT INTO T VALUES (1)");
}

TEST_F(DatabaseTest, ReadOnlyModeLeavesPermissionsAndRefusesWrites) {
  fs::path p = makeDb("ro.zeb", "CREATE TABLE T (A INTEGER)");
  ASSERT_EQ(::chmod(p.c_str(), 0444), 0);
  CADODatabase db;
  ASSERT_TRUE(db.open(p, CADODatabase::Mode::ReadOnly));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_NE(db.connectionString().find("Mode=Read;"), std::string::npos);
  try {
    db.execute("INSERT INTO T VALUES (1)");
    FAIL() << "write on a read-only connection succeeded";
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code() & 0xFFFF00FFu, 0x8A510008u);  // SQLITE_READONLY family
  }
}

TEST_F(DatabaseTest, FileThatIsNotADatabaseRaisesTheDatabaseErrorText) {
  fs::path p = path("junk.zeb");
  writeText(p, std::string(4096, 'x'));
  CADODatabase db;
  try {
    db.open(p);
    FAIL() << "junk opened";
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), 0x8A51001Au);
    std::string expected =
        "CADODataBase Error\n\tCode = 8a51001a\n\tCode meaning = file is not a database\n\tSource = SQLite\n"
        "\tDescription = file is not a database\nConnection String = Provider='Microsoft.Jet.OLEDB.4.0'; "
        "Data Source=\"" +
        p.string() + "\";OLE DB Services = -2;";
    EXPECT_EQ(e.text(), expected);
    EXPECT_EQ(db.lastErrorText(), expected);
    EXPECT_EQ(db.lastErrorCode(), 0x8A51001Au);
  }
  EXPECT_FALSE(db.isOpen());
}

TEST_F(DatabaseTest, ConnectionStringNamesTheFileInQuotes) {
  fs::path p = makeDb("a;b.zeb", "CREATE TABLE T (A INTEGER)");
  CADODatabase db;
  db.openConnection(CADODatabase::connectionStringFor(p));
  EXPECT_TRUE(db.isOpen());
  EXPECT_EQ(db.path(), p);
  EXPECT_EQ(db.tables(), std::vector<std::string>{"T"});

  CADODatabase missing;
  try {
    missing.openConnection(CADODatabase::connectionStringFor(path("none.zeb")));
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), 0x8A51000Eu);  // cannot open
  }
  try {
    missing.openConnection("Provider='x'; OLE DB Services = -2;");
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), kAdoErrInvalidArgument);
    EXPECT_NE(e.text().find("Source = CADODatabase"), std::string::npos);
  }
}

TEST_F(DatabaseTest, ColumnsCarryTypeCodesAndSizes) {
  fs::path p =
      makeDb("t.zeb",
             "CREATE TABLE [Mixed] (A SMALLINT, B INTEGER, C REAL, D DOUBLE, E DATETIME, F BIT, G BYTE, "
             "H VARCHAR(40), I TEXT(12), J LONGTEXT, K MEMO, L TEXT, M INTEGER PRIMARY KEY AUTOINCREMENT)");
  CADODatabase db;
  ASSERT_TRUE(db.open(p));
  std::vector<AdoColumn> expected = {
      {"A", 2, 2},           {"B", 3, 4},           {"C", 4, 4},    {"D", 5, 8},    {"E", 7, 8},
      {"F", 11, 2},          {"G", 17, 1},          {"H", 202, 40}, {"I", 202, 12}, {"J", 203, 536870910},
      {"K", 203, 536870910}, {"L", 203, 536870910}, {"M", 3, 4}};
  EXPECT_EQ(db.columnInfo("[Mixed]"), expected);
  EXPECT_EQ(db.columns("Mixed").size(), expected.size());
  // sqlite_sequence (made by AUTOINCREMENT) is not a user table.
  EXPECT_EQ(db.tables(), std::vector<std::string>{"Mixed"});
  EXPECT_THROW(db.columnInfo("Nothing"), CADOException);
}

TEST_F(DatabaseTest, FailingStatementRaisesWithSqliteDescription) {
  CADODatabase db;
  db.openInMemory();
  try {
    db.execute("CREATE TABEL x");
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), 0x8A510001u);
    EXPECT_NE(e.text().find("\tCode meaning = SQL logic error\n"), std::string::npos);
    EXPECT_NE(e.text().find("syntax error"), std::string::npos);
  }
  db.close();
  EXPECT_THROW(db.execute("SELECT 1"), CADOException);
}

TEST(AdoCodes, MeaningOfCodesWithoutSystemText) {
  EXPECT_EQ(adoCodeMeaning(0x80040205u), "IDispatch error #5");
  EXPECT_EQ(adoCodeMeaning(0x12345678u), "Unknown error 0x12345678");
  EXPECT_EQ(adoCodeOfSqlite(2067), 0x8A510813u);
}

TEST(AdoCodes, ErrorMessageForTheUserIsString1052) {
  language().set(1052, "The database could not be read.");
  CADOException e(0x8A510001u, "details");
  Message m = databaseErrorMessage(e);
  EXPECT_EQ(m.ids, std::vector<int>{1052});
  EXPECT_EQ(m.text, "The database could not be read.\n\ndetails");
  ScriptedUi ui;
  reportDatabaseError(ui, e);
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].icon, Icon::Warning);
}

TEST_F(DatabaseTest, CloseClosesRecordsetsAndOutlivedRecordsetsAreSafe) {
  auto db = std::make_unique<CADODatabase>();
  db->openInMemory();
  db->execute("CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1)");
  CADORecordset rs(*db);
  rs.open("T");
  db->close();
  EXPECT_FALSE(rs.isOpen());
  db->openInMemory();
  db->execute("CREATE TABLE T (A INTEGER)");
  rs.open("T");
  db.reset();  // the database goes first
  EXPECT_FALSE(rs.isOpen());
  EXPECT_THROW(rs.open("T"), CADOException);
}

TEST(DeclaredTypes, NamesAndSizes) {
  EXPECT_EQ(adoTypeOfDeclared(" varchar ( 80 ) "), (AdoColumnType{202, 80}));
  EXPECT_EQ(adoTypeOfDeclared("VARCHAR"), (AdoColumnType{202, 255}));
  EXPECT_EQ(adoTypeOfDeclared("single"), (AdoColumnType{4, 4}));
  EXPECT_EQ(adoTypeOfDeclared("CHAR(3)"), (AdoColumnType{130, 3}));
  EXPECT_EQ(adoTypeOfDeclared(""), (AdoColumnType{0, 0}));
  EXPECT_EQ(adoTypeOfDeclared("WHATEVER"), (AdoColumnType{0, 0}));
}

TEST(DbDateTime, ParseAndFormat) {
  auto d = DbDateTime::parse("2024-03-05 14:07:09");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->text(), "2024-03-05 14:07:09");
  EXPECT_EQ(DbDateTime::parse("2024-03-05T14:07:09.250")->text(), "2024-03-05 14:07:09");
  EXPECT_EQ(DbDateTime::parse("2024-03-05")->text(), "2024-03-05 00:00:00");
  EXPECT_EQ(DbDateTime::parse("2024-02-29 23:59")->text(), "2024-02-29 23:59:00");
  for (const char* bad :
       {"2023-02-29", "2024-13-01", "2024-01-01 24:00:00", "2024-1-1", "x", "", "2024-01-01 10:00:00x"})
    EXPECT_FALSE(DbDateTime::parse(bad)) << bad;
  EXPECT_EQ(DbDateTime{}.text(), "");
}

}  // namespace
}  // namespace rc
