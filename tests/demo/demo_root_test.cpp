#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "demo/demo_root.h"
#include "detect/evaluation.h"
#include "store/channel_segments.h"
#include "store/data_root.h"
#include "store/events.h"
#include "store/records.h"
#include "store/records_host.h"
#include "store/recording.h"
#include "store/staging.h"
#include "support/file_io.h"
#include "support/locale.h"
#include "support/paths.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

// One short demo root for the whole suite (a tenth of the real lengths).
class DemoRootTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setProgramFolder(RC_PROGRAM_DIR);
    root_ = new fs::path(fs::temp_directory_path() / ("rc_demo_" + std::to_string(::getpid())));
    demo::DemoOptions o;
    o.timeScale = 0.1;
    o.skipLongSession = true;
    o.programFolder = *root_ / "program";
    fs::create_directories(o.programFolder);
    status_ = new Status(demo::makeDemoDataRoot(*root_, o));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*root_);
    delete root_;
    delete status_;
  }
  void SetUp() override { ASSERT_TRUE(*status_) << status_->message(); }

  // Opens a database through the staging checks; no message may be shown.
  void openChecked(CADODatabase& db, const fs::path& file) {
    DatabaseStager stager(RC_PROGRAM_DIR, *root_, ui_);
    EXPECT_TRUE(stager.openDatabase(db, file, CADODatabase::Mode::ReadOnly)) << file;
    EXPECT_TRUE(ui_.records().empty()) << (ui_.records().empty() ? "" : ui_.records()[0].message.text);
  }

  ExpectedLayout layoutOf(const std::string& channelSet) {
    CADODatabase set;
    openChecked(set, *root_ / "Channels" / channelSet);
    ChannelSetCounts counts = readChannelSetCounts(set);
    ExpectedLayout layout;
    layout.groups = static_cast<std::uint32_t>(counts.encoders);
    for (int g = 0; g < 4; ++g) layout.perGroup[static_cast<std::size_t>(g)] = static_cast<std::uint32_t>(counts.perEncoder[static_cast<std::size_t>(g)]);
    return layout;
  }

  static std::vector<double> truthBeats(const fs::path& folder) {
    std::ifstream in(folder / "truth_beats.csv");
    std::string line;
    std::getline(in, line);
    std::vector<double> t;
    while (std::getline(in, line)) t.push_back(*parseReal(line.substr(0, line.find(','))));
    return t;
  }

  static fs::path* root_;
  static Status* status_;
  ScriptedUi ui_;
};
fs::path* DemoRootTest::root_ = nullptr;
Status* DemoRootTest::status_ = nullptr;

TEST_F(DemoRootTest, DatabasesPassStagingAndListTheClients) {
  CADODatabase main;
  openChecked(main, *root_ / "csdb.zeb");
  CADORecordset clients(main);
  clients.open(clientListQuery());
  EXPECT_EQ(clients.recordCount(), 5);  // one of six is archived
  HostSettings hs = readHostSettings(main);
  EXPECT_TRUE(hs.found);
  EXPECT_EQ(hs.lastClientId, 1);
  CADORecordset sessions(main);
  sessions.open(sessionListQuery(1));
  EXPECT_EQ(sessions.recordCount(), 3);

  CADODatabase module;
  openChecked(module, *root_ / "HRVModule.zeb");
  for (const char* set : {"Standard.chs", "Cardio.chs", "Two encoders.chs"}) {
    CADODatabase db;
    openChecked(db, *root_ / "Channels" / set);
  }
}

TEST_F(DemoRootTest, RecordingsMatchTheirChannelSets) {
  struct Case {
    demo::DemoSessionId id;
    const char* set;
    std::size_t channels;
  };
  for (const Case& c : {Case{demo::kDemoShortOpen, "Standard.chs", 6}, Case{demo::kDemoScripted, "Standard.chs", 6},
                        Case{demo::kDemoMultiChannel, "Two encoders.chs", 8}}) {
    SessionRecording rec;
    ASSERT_TRUE(rec.open(sessionFolder(*root_, c.id.client, c.id.session), layoutOf(c.set))) << c.id.what << ": " << rec.error();
    EXPECT_EQ(rec.channelCount(), c.channels);
    EXPECT_GT(rec.duration(), 10.0);
    auto ekg = rec.findChannel(1);
    ASSERT_TRUE(ekg);
    EXPECT_EQ(rec.channel(*ekg).rate, 2048u);
    EXPECT_NEAR(static_cast<double>(rec.samples(*ekg).size()) / 2048.0, rec.duration(), 0.05);
  }
  // The scripted session carries its protocol database.
  EXPECT_TRUE(fs::exists(sessionFolder(*root_, 1, 3) / "Protocol.dat"));
}

TEST_F(DemoRootTest, EventsReadBackWithDefaultNames) {
  EventList events;
  ASSERT_EQ(events.read(sessionFolder(*root_, 1, 1), ui_), EventList::ReadOutcome::Read);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events.events()[1].name, u"UM1");
  EXPECT_EQ(events.events()[3].name, u"UM2");
  EXPECT_EQ(events.events()[2].kind, 5u);
}

TEST_F(DemoRootTest, DetectionFindsTheGeneratedBeats) {
  fs::path folder = sessionFolder(*root_, 1, 2);
  SessionRecording rec;
  ASSERT_TRUE(rec.open(folder, layoutOf("Standard.chs")));
  auto truth = truthBeats(folder);
  ASSERT_GT(truth.size(), 100u);
  std::vector<std::int64_t> reference;
  for (double t : truth) reference.push_back(static_cast<std::int64_t>(t * 2048.0));
  auto ekg = *rec.findChannel(1);
  auto found = detect::runChannel(rec.samples(ekg), 2048.0, detect::kCodeEkg, detect::beatParameters(true), rec.blockRate());
  auto score = detect::matchEvents(reference, detect::samplesOf(found), static_cast<std::int64_t>(0.15 * 2048));
  // The session holds a stretch of motion artefact; outside it every beat must be found.
  EXPECT_GE(score.sensitivity(), 0.97) << score.falseNegatives << " missed of " << reference.size();
  EXPECT_GE(score.positivePredictivity(), 0.97) << score.falsePositives << " extra";
}

TEST_F(DemoRootTest, SameSeedGivesTheSameBytes) {
  fs::path again = *root_ / "again";
  demo::DemoOptions o;
  o.timeScale = 0.02;
  o.skipLongSession = true;
  ASSERT_TRUE(demo::makeDemoDataRoot(again, o));
  fs::path other = *root_ / "other";
  ASSERT_TRUE(demo::makeDemoDataRoot(other, o));
  for (const char* f : {"Clients/1/Sess0001/Session.dat", "Clients/1/Sess0001/Events.dat", "Clients/1/Sess0003/truth_beats.csv"})
    EXPECT_EQ(*readWholeFile(again / f), *readWholeFile(other / f)) << f;
}

}  // namespace
}  // namespace rc
