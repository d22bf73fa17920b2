// Every record class against the schema texts: the columns of its table in
// binding order with matching types, and a full round trip of one row.
#include "ado_fixture.h"
#include "store/records.h"
#include "store/records_channels.h"
#include "store/records_script.h"

namespace rc {
namespace {

using testing::TempFolderTest;
namespace fs = std::filesystem;

template <typename T>
int expectedType() {
  if constexpr (std::is_same_v<T, std::int16_t>) return adSmallInt;
  if constexpr (std::is_same_v<T, std::int32_t>) return adInteger;
  if constexpr (std::is_same_v<T, std::uint8_t>) return adUnsignedTinyInt;
  if constexpr (std::is_same_v<T, bool>) return adBoolean;
  if constexpr (std::is_same_v<T, float>) return adSingle;
  if constexpr (std::is_same_v<T, DbDateTime>) return adDate;
  return -1;  // text: VARCHAR(n) or LONGTEXT
}

struct ColumnCollector {
  std::vector<std::pair<std::string, int>> columns;
  std::vector<std::string> keys;
  template <typename T>
  void field(const char* name, T&) {
    columns.emplace_back(stripBrackets(name), expectedType<T>());
  }
  template <typename T>
  void key(const char* name, T& m) {
    keys.push_back(stripBrackets(name));
    field(name, m);
  }
};

// Sets every member to a value that differs from its default and from the
// other members, so that a swapped or dropped binding shows.
struct DistinctValues {
  int i = 0;
  void set(std::int16_t& v) { v = static_cast<std::int16_t>(-100 - i); }
  void set(std::int32_t& v) { v = -100000 - i; }  // below 0: a row-id key sorts first
  void set(std::uint8_t& v) { v = static_cast<std::uint8_t>(200 + i % 50); }
  void set(bool& v) { v = i % 2 == 0; }
  void set(float& v) { v = static_cast<float>(i) + 0.25f; }
  void set(std::string& v) { v = "value " + std::to_string(i) + " '\"%s"; }
  void set(DbDateTime& v) {
    v = {1990 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, (i * 7) % 60, (i * 13) % 60};
  }
  template <typename T>
  void field(const char*, T& m) {
    ++i;
    set(m);
  }
  template <typename T>
  void key(const char*, T&) {}
};

struct SetKeys {
  std::int32_t value;
  template <typename T>
  void field(const char*, T&) {}
  void key(const char*, std::int32_t& m) { m = value; }
};

template <typename Row>
HostDbKind kindOf() {
  if constexpr (std::is_same_v<Row, ClientsRow> || std::is_same_v<Row, SessionsRow> ||
                std::is_same_v<Row, SettingsRow>)
    return HostDbKind::Main;
  if constexpr (std::is_same_v<Row, SetInfoRow> || std::is_same_v<Row, PhysicalChannelsRow>)
    return HostDbKind::ChannelSet;
  if constexpr (std::is_same_v<Row, EncoderProtocolRow>) return HostDbKind::EncoderUnit;
  if constexpr (std::is_same_v<Row, HRVSettingsRow>) return HostDbKind::Module;
  return HostDbKind::SessionProtocol;
}

template <typename Row>
class RecordTable : public TempFolderTest {};

using Rows =
    ::testing::Types<ClientsRow, SessionsRow, SettingsRow, SetInfoRow, PhysicalChannelsRow,
                     EncoderProtocolRow, ProtocolRow, ProtocolInfoRow, ActivityRow, ActivityCyclesRow,
                     StepRow, StepDurationsRow, PromptRow, PromptDurationsRow, TransitionRow, HRVSettingsRow>;
TYPED_TEST_SUITE(RecordTable, Rows);

TYPED_TEST(RecordTable, SchemaHoldsTheBoundColumnsInOrder) {
  TypeParam row;
  ColumnCollector c;
  row.exchange(c);
  auto b = TempFolderTest::builder(kindOf<TypeParam>());
  std::vector<AdoColumn> cols = b.database().columnInfo(TypeParam::kTable);
  ASSERT_EQ(cols.size(), c.columns.size()) << TypeParam::kTable;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    EXPECT_EQ(cols[i].name, c.columns[i].first) << TypeParam::kTable;
    if (c.columns[i].second < 0) {
      EXPECT_TRUE(cols[i].type == adVarWChar || cols[i].type == adLongVarWChar) << cols[i].name;
    } else {
      EXPECT_EQ(cols[i].type, c.columns[i].second) << TypeParam::kTable << "." << cols[i].name;
    }
  }
}

TYPED_TEST(RecordTable, RowRoundTripsThroughTheDatabaseFile) {
  TypeParam written;
  DistinctValues values;
  written.exchange(values);
  auto b = TempFolderTest::builder(kindOf<TypeParam>());
  b.add(written).add(TypeParam{});
  fs::path file = this->path("db");
  ASSERT_TRUE(b.write(file));

  CADODatabase db;
  ASSERT_TRUE(db.open(file));
  CRecTable<TypeParam> rec(db);
  rec.open(true);
  ASSERT_EQ(rec.recordCount(), 2);
  TypeParam expected = written;
  SetKeys first{1};
  expected.exchange(first);  // the database numbers the keys: 1, then 2
  EXPECT_TRUE(rec.row() == expected) << TypeParam::kTable;
  rec.moveNext();
  TypeParam empty;
  SetKeys second{2};
  empty.exchange(second);
  EXPECT_TRUE(rec.row() == empty) << TypeParam::kTable;
}

}  // namespace
}  // namespace rc
