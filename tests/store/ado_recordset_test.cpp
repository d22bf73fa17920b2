#include "store/ado_recordset.h"

#include "ado_fixture.h"
#include "store/ado_criteria.h"

namespace rc {
namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.openInMemory();
    db.execute(
        "CREATE TABLE [People] ([ID] INTEGER PRIMARY KEY AUTOINCREMENT, [Name] VARCHAR(50), [Age] SMALLINT, "
        "[Score] REAL, [Born] DATETIME, [Active] BIT, [Level] BYTE, [Big] INTEGER);"
        "INSERT INTO People (Name, Age, Score, Born, Active, Level, Big) VALUES "
        "('Ann', 30, 1.5, '2024-03-05 14:07:09', 1, 7, 70000),"
        "('Bob', 41, 2.25, '1999-12-31 23:59:59', 0, 255, -1),"
        "(NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
        "('O''Brien', 41, 0, 'not a date', 'maybe', 3, 5)");
  }
  CADODatabase db;
};

TEST_F(RecordsetTest, SelectPrefixRunsQueryOtherSourcesOpenTables) {
  CADORecordset rs(db);
  rs.open("select * from People where Age = 41");
  EXPECT_EQ(rs.recordCount(), 2);
  EXPECT_TRUE(rs.isReadOnly());
  rs.open("  SELECT\tName FROM People");
  EXPECT_EQ(rs.recordCount(), 4);
  EXPECT_EQ(rs.fieldNames(), std::vector<std::string>{"Name"});
  rs.open("[People]");
  EXPECT_FALSE(rs.isReadOnly());
  EXPECT_EQ(rs.fieldNames().size(), 8u);  // the row id stays hidden
  rs.open("People", true);
  EXPECT_TRUE(rs.isReadOnly());
  EXPECT_THROW(rs.open("selection"), CADOException);  // a table name, and there is none
}

TEST_F(RecordsetTest, NullFieldsReadAsZeroFalseAndEmpty) {
  CADORecordset rs(db);
  rs.open("People");
  rs.moveNext();
  rs.moveNext();
  std::int16_t i16 = 9;
  std::int32_t i32 = 9;
  std::uint8_t u8 = 9;
  bool b = true;
  float f = 9;
  double d = 9;
  std::string s = "x";
  DbDateTime t{2000, 1, 1, 0, 0, 0};
  rs.getFieldValue("[Age]", i16);
  rs.getFieldValue("Big", i32);
  rs.getFieldValue("Level", u8);
  rs.getFieldValue("Active", b);
  rs.getFieldValue("Score", f);
  rs.getFieldValue("Score", d);
  rs.getFieldValue("Name", s);
  rs.getFieldValue("Born", t);
  EXPECT_EQ(i16, 0);
  EXPECT_EQ(i32, 0);
  EXPECT_EQ(u8, 0);
  EXPECT_FALSE(b);
  EXPECT_EQ(f, 0.0f);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(s, "");
  EXPECT_TRUE(t.isNull());
  EXPECT_TRUE(rs.isFieldNull("Name"));
  EXPECT_EQ(rs.getFieldValueAsText("Born"), "");
}

TEST_F(RecordsetTest, ValuesAsText) {
  CADORecordset rs(db);
  rs.open("People");
  EXPECT_EQ(rs.getFieldValueAsText("Born"), "2024-03-05 14:07:09");
  EXPECT_EQ(rs.getFieldValueAsText("Score"), "1.500000");
  EXPECT_EQ(rs.getFieldValueAsText("Age"), "30");
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Ann");
  DbDateTime t;
  rs.getFieldValue("Born", t);
  EXPECT_EQ(t, (DbDateTime{2024, 3, 5, 14, 7, 9}));
}

TEST_F(RecordsetTest, ValuesThatDoNotFitRaiseConversionErrors) {
  CADORecordset rs(db);
  rs.open("People");
  std::int16_t i16 = 0;
  EXPECT_THROW(rs.getFieldValue("Big", i16), CADOException);  // 70000
  rs.moveNext();
  std::uint8_t u8 = 0;
  rs.getFieldValue("Level", u8);
  EXPECT_EQ(u8, 255);
  std::int32_t i32 = 0;
  rs.getFieldValue("Big", i32);
  EXPECT_EQ(i32, -1);
  EXPECT_THROW(rs.getFieldValue("Big", u8), CADOException);  // -1 is no byte
  rs.moveLast();
  bool b = false;
  DbDateTime t;
  try {
    rs.getFieldValue("Active", b);
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), kAdoErrDataConversion);
  }
  EXPECT_THROW(rs.getFieldValue("Born", t), CADOException);
  EXPECT_EQ(rs.getFieldValueAsText("Born"), "not a date");
}

TEST_F(RecordsetTest, UnknownColumnRaisesTheRecordsetErrorText) {
  CADORecordset rs(db);
  rs.open("People");
  std::string s;
  try {
    rs.getFieldValue("[Nope]", s);
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(
        e.text(),
        "CADORecordset Error!\nCode = 800a0cc1\nCode meaning: Item cannot be found in the collection "
        "corresponding to the requested name.\nSource: CADORecordset\nDescription: No column named Nope.\n"
        "Table: People\nOther Info: [Nope]");
    EXPECT_EQ(rs.lastErrorCode(), kAdoErrItemNotFound);
  }
}

TEST_F(RecordsetTest, SqliteFailureInRecordsetNamesTheQuery) {
  CADORecordset rs(db);
  try {
    rs.open("SELECT * FROM Missing");
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), 0x8A510001u);
    EXPECT_NE(e.text().find("Description: no such table: Missing\nTable: SELECT * FROM Missing\n"),
              std::string::npos);
  }
  EXPECT_FALSE(rs.isOpen());
}

TEST_F(RecordsetTest, NavigationStopsAtTheEnds) {
  CADORecordset rs(db);
  rs.open("SELECT * FROM People WHERE Age > 100");
  EXPECT_EQ(rs.recordCount(), 0);
  EXPECT_TRUE(rs.isEOF());
  EXPECT_TRUE(rs.isBOF());
  std::string s;
  EXPECT_THROW(rs.getFieldValue("Name", s), CADOException);
  rs.open("People");
  int n = 0;
  for (; !rs.isEOF(); rs.moveNext()) ++n;
  EXPECT_EQ(n, 4);
  EXPECT_THROW(rs.moveNext(), CADOException);
  rs.moveFirst();
  rs.movePrevious();
  EXPECT_TRUE(rs.isBOF());
}

TEST_F(RecordsetTest, FindPositionsOnMatchingRow) {
  CADORecordset rs(db);
  rs.open("People");
  EXPECT_TRUE(rs.find("Age = 41 AND [Name] = 'o''brien'"));
  EXPECT_EQ(rs.position(), 3);
  rs.moveFirst();
  EXPECT_TRUE(rs.find("Age = 41"));
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Bob");
  rs.moveFirst();
  EXPECT_TRUE(rs.find("Active = TRUE"));
  EXPECT_EQ(rs.position(), 0);
  EXPECT_TRUE(rs.find("Born = #1999-12-31 23:59:59#"));
  EXPECT_EQ(rs.position(), 1);
  EXPECT_FALSE(rs.find("Age = 99"));
  EXPECT_TRUE(rs.isEOF());
  rs.moveFirst();
  EXPECT_THROW(rs.find("Missing = 1"), CADOException);
  EXPECT_THROW(rs.find("Age = = 1"), CADOException);
}

TEST_F(RecordsetTest, AddNewUpdateAndDeleteBindValues) {
  CADORecordset rs(db);
  rs.open("People");
  rs.addNew();
  rs.setFieldValue("Name", "x'); DROP TABLE People; --");
  rs.setFieldValue("[Age]", std::int16_t{12});
  rs.setFieldValue("Score", 0.1f);
  rs.setFieldValue("Born", DbDateTime{2020, 2, 29, 1, 2, 3});
  rs.setFieldValue("Active", true);
  rs.update();
  std::int32_t id = 0;
  rs.getFieldValue("ID", id);
  EXPECT_EQ(id, 5);  // numbered by the database
  EXPECT_EQ(rs.recordCount(), 5);

  rs.moveFirst();
  rs.setFieldValue("Name", std::string("Anna"));
  rs.moveNext();  // commits the pending edit

  CADORecordset check(db);
  check.open("SELECT * FROM People ORDER BY ID");
  EXPECT_EQ(check.getFieldValueAsText("Name"), "Anna");
  check.moveLast();
  float f = 0;
  check.getFieldValue("Score", f);
  EXPECT_EQ(f, 0.1f);
  EXPECT_EQ(check.getFieldValueAsText("Name"), "x'); DROP TABLE People; --");
  EXPECT_EQ(check.getFieldValueAsText("Born"), "2020-02-29 01:02:03");

  rs.moveFirst();
  rs.deleteCurrent();
  EXPECT_EQ(rs.recordCount(), 4);
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Bob");
  check.open("SELECT count(*) AS n FROM People");
  EXPECT_EQ(check.getFieldValueAsText("n"), "4");
}

TEST_F(RecordsetTest, KeyChangesAndRowsGoneBehindTheSet) {
  CADORecordset rs(db);
  rs.open("People");
  rs.setFieldValue("ID", std::int32_t{40});  // the row id itself
  rs.update();
  rs.setFieldValue("Name", "Anne");
  rs.update();
  EXPECT_EQ(rs.getFieldValueAsText("ID"), "40");
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Anne");
  db.execute("DELETE FROM People WHERE Name = 'Bob'");
  rs.moveNext();
  rs.setFieldValue("Age", std::int16_t{1});
  EXPECT_THROW(rs.update(), CADOException);
  rs.cancelUpdate();
  EXPECT_THROW(rs.deleteCurrent(), CADOException);
  EXPECT_EQ(rs.recordCount(), 4);
}

TEST_F(RecordsetTest, ReadOnlySetsRefuseEdits) {
  CADORecordset rs(db);
  rs.open("SELECT * FROM People");
  try {
    rs.setFieldValue("Name", "x");
    FAIL();
  } catch (const CADOException& e) {
    EXPECT_EQ(e.code(), kAdoErrNotAllowed);
  }
  EXPECT_THROW(rs.addNew(), CADOException);
  EXPECT_THROW(rs.deleteCurrent(), CADOException);
}

TEST_F(RecordsetTest, CancelAndNullWrites) {
  CADORecordset rs(db);
  rs.open("People");
  rs.setFieldValue("Name", "Changed");
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Changed");  // the edit buffer
  rs.cancelUpdate();
  EXPECT_EQ(rs.getFieldValueAsText("Name"), "Ann");
  rs.setFieldNull("Age");
  rs.setFieldValue("Born", DbDateTime{});
  rs.update();
  EXPECT_TRUE(rs.isFieldNull("Age"));
  EXPECT_TRUE(rs.isFieldNull("Born"));
}

struct CriterionCase {
  const char* text;
  bool valid;
  std::size_t terms;
};

class CriterionParse : public ::testing::TestWithParam<CriterionCase> {};

TEST_P(CriterionParse, AcceptsOrRefuses) {
  auto r = parseCriterion(GetParam().text);
  EXPECT_EQ(r.isOk(), GetParam().valid) << GetParam().text;
  if (r) {
    EXPECT_EQ(r->terms.size(), GetParam().terms);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CriterionParse,
    ::testing::Values(CriterionCase{"ClientID = 12", true, 1}, CriterionCase{"[ClientID]=-3", true, 1},
                      CriterionCase{"a = 1 and b <> 'x' AND c >= 2.5", true, 3},
                      CriterionCase{"Name LIKE 'Sm*'", true, 1},
                      CriterionCase{"Born < #2024-01-01#", true, 1}, CriterionCase{"", false, 0},
                      CriterionCase{"ClientID", false, 0}, CriterionCase{"ClientID = ", false, 0},
                      CriterionCase{"ClientID = 'open", false, 0}, CriterionCase{"a = 1 OR b = 2", false, 0},
                      CriterionCase{"a = 1 AND", false, 0}, CriterionCase{"1 = a", false, 0},
                      CriterionCase{"a = 1.2.3", false, 0}, CriterionCase{"a = #2024-13-01#", false, 0},
                      CriterionCase{"[] = 1", false, 0}));


// Every operator on both sides of its edge and on it, for integers, reals
// and texts: an operator that loses or gains its equality shows here.
struct OperatorCase {
  const char* text;
  DbValue field;
  bool matches;
};

class CriterionOperators : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(CriterionOperators, MatchOnTheRightSideOfTheEdge) {
  auto parsed = parseCriterion(GetParam().text);
  ASSERT_TRUE(parsed) << GetParam().text;
  EXPECT_EQ(termMatches(parsed->terms.at(0), GetParam().field), GetParam().matches) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CriterionOperators,
    ::testing::Values(
        OperatorCase{"a >= 5", DbValue{std::int64_t{5}}, true}, OperatorCase{"a >= 5", DbValue{std::int64_t{4}}, false},
        OperatorCase{"a >= 5", DbValue{std::int64_t{6}}, true}, OperatorCase{"a <= 5", DbValue{std::int64_t{5}}, true},
        OperatorCase{"a <= 5", DbValue{std::int64_t{6}}, false}, OperatorCase{"a <= 5", DbValue{std::int64_t{4}}, true},
        OperatorCase{"a > 5", DbValue{std::int64_t{5}}, false}, OperatorCase{"a > 5", DbValue{std::int64_t{6}}, true},
        OperatorCase{"a < 5", DbValue{std::int64_t{5}}, false}, OperatorCase{"a < 5", DbValue{std::int64_t{4}}, true},
        OperatorCase{"a = 5", DbValue{std::int64_t{5}}, true}, OperatorCase{"a = 5", DbValue{std::int64_t{6}}, false},
        OperatorCase{"a <> 5", DbValue{std::int64_t{5}}, false}, OperatorCase{"a != 5", DbValue{std::int64_t{4}}, true},
        OperatorCase{"a >= 2.5", DbValue{2.5}, true}, OperatorCase{"a >= 2.5", DbValue{2.4999}, false},
        OperatorCase{"a <= 2.5", DbValue{2.5}, true}, OperatorCase{"a <= 2.5", DbValue{2.5001}, false},
        OperatorCase{"a >= 'M'", DbValue{std::string("m")}, true},
        OperatorCase{"a >= 'M'", DbValue{std::string("L")}, false},
        OperatorCase{"a <= 'M'", DbValue{std::string("m")}, true},
        OperatorCase{"a <= 'M'", DbValue{std::string("N")}, false},
        OperatorCase{"a >= 5", DbValue{}, false}, OperatorCase{"a <= 5", DbValue{}, false}));

TEST(Criterion, ComparisonsAndPatterns) {
  auto term = [](const char* text) { return parseCriterion(text)->terms.at(0); };
  EXPECT_TRUE(termMatches(term("a = 2"), DbValue{2.0}));
  EXPECT_TRUE(termMatches(term("a = 2"), DbValue{std::string("2")}));
  EXPECT_TRUE(termMatches(term("a = 'SMITH'"), DbValue{std::string("smith")}));
  EXPECT_FALSE(termMatches(term("a <> 1"), DbValue{}));  // NULL matches nothing
  EXPECT_TRUE(termMatches(term("a < 10"), DbValue{std::int64_t{9}}));
  EXPECT_FALSE(termMatches(term("a < '10'"), DbValue{std::string("9")}));  // texts compare as texts
  EXPECT_TRUE(likeMatches("Sm*", "smith"));
  EXPECT_TRUE(likeMatches("%i_h", "Smith"));
  EXPECT_FALSE(likeMatches("S?", "Smith"));
  EXPECT_TRUE(likeMatches("*a*b*c*", "xxaxxbxxcxx"));
  EXPECT_FALSE(likeMatches("*a*b*c*d", std::string(2000, 'a') + "bc"));
}

}  // namespace
}  // namespace rc
