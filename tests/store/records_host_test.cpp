#include "store/records_host.h"

#include "ado_fixture.h"
#include "store/records.h"
#include "store/records_channels.h"
#include "store/records_script.h"

namespace rc {
namespace {

using testing::TempFolderTest;
namespace fs = std::filesystem;

PhysicalChannelsRow channel(std::int16_t number, std::int16_t sensor = 4) {
  PhysicalChannelsRow r;
  r.PChannelNumber = number;
  r.SensorType = sensor;
  return r;
}

class HostRecords : public TempFolderTest {
 protected:
  CADODatabase& open(HostDbBuilder& b) {
    EXPECT_TRUE(b.write(path("db")));
    EXPECT_TRUE(db.open(path("db")));
    return db;
  }
  CADODatabase db;
};

TEST_F(HostRecords, ChannelSetCountsByEncoderGroup) {
  auto b = builder(HostDbKind::ChannelSet);
  SetInfoRow info;
  info.NumberOfEncoders = 2;
  b.add(info);
  for (std::int16_t n : {1, 2, 11, 35, 41, 0}) b.add(channel(n));
  ChannelSetCounts c = readChannelSetCounts(open(b));
  EXPECT_EQ(c.encoders, 2);
  EXPECT_EQ(c.perEncoder, (std::array<int, 4>{2, 1, 0, 1}));
  EXPECT_EQ(c.total, 4);  // 41 and 0 belong to no encoder and are not counted
}

// Channel n belongs to encoder group (n - 1) / 10: the last channel of each
// group (10, 20, 30, 40) and the first of the next sit on the edges.
TEST_F(HostRecords, GroupEdgesAtChannels10And11Through40) {
  auto b = builder(HostDbKind::ChannelSet);
  SetInfoRow info;
  info.NumberOfEncoders = 4;
  b.add(info);
  for (std::int16_t n : {10, 20, 21, 30, 31, 40, 1}) b.add(channel(n));
  ChannelSetCounts c = readChannelSetCounts(open(b));
  EXPECT_EQ(c.perEncoder, (std::array<int, 4>{2, 1, 2, 2}));  // {1, 10} {20} {21, 30} {31, 40}
  EXPECT_EQ(c.total, 7);
}

TEST_F(HostRecords, EncoderCountOnlyFromASingleSetInfoRow) {
  auto b = builder(HostDbKind::ChannelSet);
  SetInfoRow info;
  info.NumberOfEncoders = 3;
  b.add(info).add(info).add(channel(21));
  ChannelSetCounts c = readChannelSetCounts(open(b));
  EXPECT_EQ(c.encoders, 0);
  EXPECT_EQ(c.total, 1);
}

TEST_F(HostRecords, FailedCountReadThrowsAndLeavesNothingBehind) {
  auto b = builder(HostDbKind::Module);  // no channel tables
  EXPECT_THROW(readChannelSetCounts(open(b)), CADOException);
  auto cs = builder(HostDbKind::ChannelSet);
  ChannelSetCounts c = readChannelSetCounts(cs.database());
  EXPECT_EQ(c, ChannelSetCounts{});
}

TEST_F(HostRecords, CountsThroughTheStagerAreZeroOnAnyFailure) {
  ScriptedUi ui;
  fs::path program = path("program");
  ASSERT_TRUE(makeTemplates(testing::schemaDir(), program));
  DatabaseStager stager(program, dir_, ui);
  auto b = builder(HostDbKind::ChannelSet);
  b.add(channel(3)).add(channel(13));
  ASSERT_TRUE(b.writeChannelSet(path("set.chs"), kCurrentChannelSetVersion));
  EXPECT_EQ(loadChannelSetCounts(stager, path("set.chs")), (ChannelSetCounts{0, {1, 1, 0, 0}, 2}));
  EXPECT_EQ(loadChannelSetCounts(stager, path("none.chs")), ChannelSetCounts{});
  ASSERT_TRUE(
      b.execute("DROP TABLE PhysicalChannels").writeChannelSet(path("set.chs"), kCurrentChannelSetVersion));
  EXPECT_EQ(loadChannelSetCounts(stager, path("set.chs")), ChannelSetCounts{});
  EXPECT_EQ(ui.firstIds(), (std::vector<int>{1452, 1052}));
}

TEST_F(HostRecords, SensorTypesOfTheSet) {
  auto b = builder(HostDbKind::ChannelSet);
  b.add(channel(1, 6)).add(channel(2, 5));
  EXPECT_TRUE(channelSetHasSensor(b.database(), 5));
  EXPECT_FALSE(channelSetHasSensor(b.database(), 4));
}

TEST_F(HostRecords, HostSettingsFromTheFirstRow) {
  auto b = builder(HostDbKind::Main);
  EXPECT_EQ(readHostSettings(b.database()), HostSettings{});
  SettingsRow s;
  s.Confidential = true;
  s.ExportPath = "/exports";
  s.ClinicLabel = "Clinic";
  s.LastClientID = 7;
  s.ShowFileNames = true;
  s.InactivityPeriod = 15;
  b.add(s).add(SettingsRow{});
  HostSettings h = readHostSettings(b.database());
  EXPECT_EQ(h, (HostSettings{true, true, "/exports", "Clinic", 7, true, 15}));
}

class ModuleSettings : public HostRecords {
 protected:
  static HRVSettingsRow row(const char* a, const char* b) {
    HRVSettingsRow r;
    r.KestrelExportPath = a;
    r.ThirdPartyExportPath = b;
    return r;
  }
  std::vector<HRVSettingsRow> rows() {
    std::vector<HRVSettingsRow> out;
    CRecHRVSettings rec(db);
    for (rec.open(true); !rec.isEOF(); rec.moveNext()) out.push_back(rec.row());
    return out;
  }
};

TEST_F(ModuleSettings, EmptyTableGetsOneRowAtExit) {
  auto b = builder(HostDbKind::Module);
  open(b);
  ExportFolders f{"/a", "/b"};
  applyModuleSettings(db, f);
  EXPECT_EQ(f, (ExportFolders{"/a", "/b"}));
  storeModuleSettings(db, {"/x", "/y"});
  storeModuleSettings(db, {"/x2", "/y2"});
  EXPECT_EQ(rows(), std::vector<HRVSettingsRow>{row("/x2", "/y2")});
}

TEST_F(ModuleSettings, SeveralRowsUseAndUpdateTheFirstWithoutGrowing) {
  auto b = builder(HostDbKind::Module);
  b.add(row("/k1", "")).add(row("/k2", "/t2"));
  open(b);
  ExportFolders f{"/default1", "/default2"};
  applyModuleSettings(db, f);
  EXPECT_EQ(f, (ExportFolders{"/k1", "/default2"}));  // an empty stored path keeps the folder
  storeModuleSettings(db, {"/new1", "/new2"});
  EXPECT_EQ(rows(), (std::vector<HRVSettingsRow>{row("/new1", "/new2"), row("/k2", "/t2")}));
}

TEST_F(ModuleSettings, ReadOnlyModuleDatabaseRaises) {
  auto b = builder(HostDbKind::Module);
  ASSERT_TRUE(b.write(path("m.zeb")));
  ASSERT_TRUE(db.open(path("m.zeb"), CADODatabase::Mode::ReadOnly));
  EXPECT_THROW(storeModuleSettings(db, {"/a", "/b"}), CADOException);
}

TEST(HostQueries, TextsAsTheShellIssuesThem) {
  EXPECT_EQ(clientListQuery(), "SELECT * FROM Clients WHERE Archived = FALSE");
  EXPECT_EQ(sessionListQuery(-12), "SELECT * FROM Sessions WHERE ClientID = -12");
  EXPECT_EQ(directOpenSessionQuery(3, 4), "SELECT * FROM Sessions WHERE ClientID = 3 and SessionID = 4");
  EXPECT_EQ(sessionQuery(3, 4), "SELECT * FROM Sessions WHERE ClientID = 3 AND SessionID = 4");
  EXPECT_EQ(clientCriterion(9), "ClientID = 9");
  EXPECT_EQ(encoderProtocolQuery(), "SELECT * FROM EncoderProtocol ORDER BY ProtocolID ASC");
}

TEST_F(HostRecords, MainDatabaseQueriesRunOnTheSchema) {
  auto b = builder(HostDbKind::Main);
  for (int id : {1, 2, 3}) {
    ClientsRow c;
    c.ClientID = id;
    c.LastName = "Client " + std::to_string(id);
    c.Archived = id == 2;
    b.add(c);
    for (int s : {1, 2}) {
      SessionsRow r;
      r.ClientID = id;
      r.SessionID = s;
      r.Duration = 300.5f;
      r.DateTime = {2024, 3, 5, 14, 7, s};
      b.add(r);
    }
  }
  open(b);
  CRecClients clients(db);
  clients.openQuery(clientListQuery());
  std::vector<std::int32_t> ids;
  for (; !clients.isEOF(); clients.moveNext()) ids.push_back(clients.ClientID);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 3}));  // archived clients are not listed

  CRecSessions sessions(db);
  sessions.openQuery(sessionListQuery(3));
  EXPECT_EQ(sessions.recordCount(), 2);
  sessions.openQuery(directOpenSessionQuery(3, 2));
  ASSERT_EQ(sessions.recordCount(), 1);
  EXPECT_EQ(sessions.getFieldValueAsText("DateTime"), "2024-03-05 14:07:02");
  EXPECT_EQ(sessions.Duration, 300.5f);
  sessions.openQuery(sessionQuery(1, 1));
  EXPECT_EQ(sessions.recordCount(), 1);

  clients.open(true);
  EXPECT_TRUE(clients.find(clientCriterion(3)));
  EXPECT_EQ(clients.LastName, "Client 3");
}

TEST_F(HostRecords, ScriptAndEncoderQueriesRunOnTheSchema) {
  auto b = builder(HostDbKind::SessionProtocol);
  for (std::int16_t a : {1, 2}) {
    ActivityRow act;
    act.ActivityNumber = a;
    act.NumberOfCycles = 1;
    act.NumberOfSteps = 1;
    b.add(act);
    ActivityCyclesRow cyc;
    cyc.ActivityNumber = a;
    b.add(cyc);
    StepRow step;
    step.ActivityNumber = a;
    step.StepNumber = 1;
    step.ScreenType = a == 2 ? 1 : 0;
    b.add(step);
    StepDurationsRow dur;
    dur.ActivityNumber = a;
    dur.StepNumber = 1;
    b.add(dur);
    PromptRow p;
    p.ActivityNumber = a;
    p.StepNumber = 1;
    p.PromptNumber = 1;
    b.add(p);
    PromptDurationsRow pd;
    pd.ActivityNumber = a;
    pd.StepNumber = 1;
    pd.PromptNumber = 1;
    b.add(pd);
  }
  TransitionRow t;
  t.Activity = 1;
  t.JumpedTo = 100;
  b.add(t);
  open(b);
  const std::pair<const char*, long> queries[] = {
      {"SELECT * FROM Prompt WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber, PromptNumber ASC",
       2},
      {"SELECT * FROM Step WHERE ActivityNumber > 0 AND ScreenType <> 1 ORDER BY ActivityNumber, StepNumber "
       "ASC",
       1},
      {"SELECT * FROM Step WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber ASC", 2},
      {"SELECT * FROM StepDurations WHERE ActivityNumber > 0 ORDER BY ActivityNumber, StepNumber ASC", 2},
      {"SELECT * FROM Prompt WHERE ActivityNumber = 1 AND StepNumber = 1 ORDER BY PromptNumber ASC", 1},
      {"SELECT * FROM PromptDurations WHERE ActivityNumber = 1 AND StepNumber = 1 ORDER BY PromptNumber ASC",
       1},
      {"SELECT * FROM Activity WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC", 2},
      {"SELECT * FROM ActivityCycles WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC", 2},
      {"SELECT * FROM ActivityCycles WHERE ActivityNumber > 0 ORDER BY ActivityNumber ASC ", 2},
      {"SELECT * FROM Transition ORDER BY Activity ASC", 1},
      {"SELECT * FROM ActivityCycles WHERE ActivityNumber >= 2 ORDER BY ActivityNumber ASC ", 1},
      {"SELECT * FROM StepDurations WHERE ActivityNumber = 2 ORDER BY StepNumber ASC ", 1},
      {"SELECT * FROM PromptDurations WHERE ActivityNumber = 2 AND StepNumber = 1 ORDER BY PromptNumber ASC ",
       1},
  };
  CADORecordset rs(db);
  for (const auto& [sql, rows] : queries) {
    ASSERT_NO_THROW(rs.open(sql)) << sql;
    EXPECT_EQ(rs.recordCount(), rows) << sql;
  }
  CRecActivity act(db);
  act.openQuery(queries[6].first);
  EXPECT_EQ(act.ActivityID, 1);

  auto enc = builder(HostDbKind::EncoderUnit);
  for (std::int16_t id : {3, 1, 2}) {
    EncoderProtocolRow p;
    p.ProtocolID = id;
    enc.add(p);
  }
  CRecEncoderProtocol protocols(enc.database());
  protocols.openQuery(encoderProtocolQuery());
  std::vector<std::int16_t> order;
  for (; !protocols.isEOF(); protocols.moveNext()) order.push_back(protocols.ProtocolID);
  EXPECT_EQ(order, (std::vector<std::int16_t>{1, 2, 3}));
}

}  // namespace
}  // namespace rc
