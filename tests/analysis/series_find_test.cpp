#include "analysis/series/series_find.h"

#include <gtest/gtest.h>

#include <map>

#include "analysis/series/series_file.h"
#include "analysis/series_test_detector.h"
#include "analysis/series_test_folder.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::putBytes;
using testing::ScriptedLibrary;
using testing::SeriesTempFolder;

// A session with channels 1A (EKG), 1B (BVP), 1C (respiration), 1G (EMG) at
// 256 Hz, 30 s each, and scripted detectors that report a beat every 250
// samples.
class FindOrCreate : public ::testing::Test {
 protected:
  void SetUp() override {
    language().set(kFileNotCreatedId, "The file could not be created:");
    language().set(kFileUnusableId, "The file %s cannot be used:");
    language().set(kSetAsideRebuiltId, "It was set aside as %s.");
    language().set(kAskRegenerateId, "Detect again (%s)?");
    for (const char* c : {"1A", "1B", "1C", "1G"}) recorded[c].assign(256 * 30, 0.5f);
    request.sessionFolder = dir.path();
    request.timing.blockRate = 8;
    request.timing.sessionLength = 30.0f;
    request.selection = {3, "1A", "1B", "1C", {"1G"}};
    request.settings.averagingFactor = 16;
  }

  std::vector<SeriesFileOutcome> run() {
    ChannelLookup lookup = [this](const std::string& text) -> std::optional<ChannelInput> {
      auto it = recorded.find(text);
      if (it == recorded.end()) return std::nullopt;
      return ChannelInput{it->second, 256.0};
    };
    DetectorLibraryFactory factory = [this]() -> std::unique_ptr<DetectorLibrary> {
      ++librariesMade;
      auto lib = std::make_unique<ScriptedLibrary>();
      for (std::int64_t s = 250; s < 256 * 30; s += 250) lib->detections.push_back({s, s + 10, 976.5625f});
      return lib;
    };
    return findOrCreateSeries(request, lookup, factory, ui);
  }

  // findOrCreateSeries, then every existing file read through the damaged-file rule.
  std::vector<SeriesFileOutcome> runAndLoad(std::vector<Status>* statuses = nullptr) {
    auto out = run();
    ChannelLookup lookup = [this](const std::string& text) -> std::optional<ChannelInput> {
      auto it = recorded.find(text);
      if (it == recorded.end()) return std::nullopt;
      return ChannelInput{it->second, 256.0};
    };
    DetectorLibraryFactory factory = [this]() -> std::unique_ptr<DetectorLibrary> {
      ++librariesMade;
      auto lib = std::make_unique<ScriptedLibrary>();
      for (std::int64_t s = 250; s < 256 * 30; s += 250) lib->detections.push_back({s, s + 10, 976.5625f});
      return lib;
    };
    for (SeriesFileOutcome& o : out) {
      Status st = loadSeriesFile(request, lookup, factory, o, ui);
      if (statuses) statuses->push_back(st);
    }
    return out;
  }

  std::vector<std::string> namesIn(const std::vector<SeriesFileOutcome>& out) {
    std::vector<std::string> names;
    for (const auto& o : out) names.push_back(o.path.filename().string());
    return names;
  }

  SeriesTempFolder dir;
  std::map<std::string, std::vector<float>> recorded;
  FindOrCreateRequest request;
  ScriptedUi ui;
  int librariesMade = 0;
};

TEST_F(FindOrCreate, GeneratesEveryMissingFileThatReadsBackAsGenerated) {
  auto out = run();
  EXPECT_EQ(namesIn(out), (std::vector<std::string>{"IBIFromEKG_1A.dat", "IBIFromBVP_1B.dat",
                                                    "RespPeriod_1C.dat", "RMS_1G.dat"}));
  EXPECT_EQ(librariesMade, 3);
  for (const auto& o : out) {
    EXPECT_EQ(o.state, SeriesFileState::Created) << o.path;
    if (o.kind == SeriesKind::Rms) {
      RmsSeries rms;
      ASSERT_TRUE(readRmsSeries(o.path, rms));
      EXPECT_EQ(rms.values.size(), 256u * 30 / 16);
      EXPECT_EQ(rms, *o.rms);
    } else {
      IntervalSeries s;
      ASSERT_TRUE(readIntervalSeries(o.path, true, s));
      EXPECT_EQ(s, *o.series);
      // The first beat (250 / 256 s, reported with that period) is the first
      // event and opens the series: 29 intervals.
      EXPECT_EQ(s.values.size(), 29u);
      // One record: number and segment start stay 0; the first event is at 0.9765625 s.
      const auto bytes = fileBytes(o.path);
      EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20),
                (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7A, 0x3F, 0, 0, 0, 0, 29, 0, 0, 0}));
    }
  }
  EXPECT_TRUE(ui.records().empty());
}

TEST_F(FindOrCreate, SourceSelectionPicksTheHeartSignals) {
  for (auto [source, expected] : {std::pair{1, std::vector<std::string>{"IBIFromBVP_1B.dat"}},
                                  {2, {"IBIFromEKG_1A.dat"}},
                                  {3, {"IBIFromEKG_1A.dat", "IBIFromBVP_1B.dat"}}}) {
    SeriesTempFolder sub;
    request.sessionFolder = sub.path();
    request.selection = {source, "1A", "1B", "", {}};
    EXPECT_EQ(namesIn(run()), expected) << source;
  }
}

// A damaged RMS file is the program's own: it is set aside and built again,
// and the user is told which file and why.
TEST_F(FindOrCreate, DamagedRmsFileIsSetAsideAndRebuiltWithAMessage) {
  run();
  const fs::path rms = dir.path() / "RMS_1G.dat";
  const auto good = fileBytes(rms);
  putBytes(rms, std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2));  // truncated
  std::vector<Status> statuses;
  auto out = runAndLoad(&statuses);
  ASSERT_EQ(out.size(), 4u);
  for (const Status& st : statuses) EXPECT_TRUE(st) << st.message();
  EXPECT_EQ(out[3].state, SeriesFileState::Created);
  ASSERT_TRUE(out[3].rms);
  EXPECT_EQ(out[3].rms->values.size(), 256u * 30 / 16);
  EXPECT_EQ(fileBytes(rms), good);
  EXPECT_EQ(fileBytes(setAsidePath(rms)).size(), good.size() / 2);
  ASSERT_TRUE(ui.shown(kFileUnusableId));
  const std::string& text = ui.records().back().message.text;
  EXPECT_NE(text.find(rms.string()), std::string::npos) << text;
  EXPECT_NE(text.find("shorter than its values"), std::string::npos) << text;
  EXPECT_TRUE(ui.shown(kSetAsideRebuiltId));
}

// A damaged IBI or respiration file may hold a clinician's edits: the user is
// asked; No keeps the file and reports it, Yes sets it aside and detects again.
TEST_F(FindOrCreate, DamagedIntervalFileIsReplacedOnlyWhenTheUserAgrees) {
  run();
  const fs::path resp = dir.path() / "RespPeriod_1C.dat";
  const auto good = fileBytes(resp);
  const std::vector<std::uint8_t> cut(good.begin(), good.end() - 6);
  putBytes(resp, cut);
  ui.answer(false);
  std::vector<Status> statuses;
  auto out = runAndLoad(&statuses);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_FALSE(statuses[2]);
  EXPECT_EQ(statuses[2].message(), resp.string() + ": the file is shorter than its intervals");
  EXPECT_FALSE(out[2].series) << "a damaged file is never taken for a shorter series";
  EXPECT_EQ(fileBytes(resp), cut);
  ASSERT_EQ(ui.records().back().kind, ScriptedUi::Kind::YesNo);
  EXPECT_EQ(ui.records().back().message.ids, (std::vector<int>{kFileUnusableId, kAskRegenerateId}));
  EXPECT_TRUE(statuses[0] && statuses[1] && statuses[3]);

  ui.answer(true);
  statuses.clear();
  out = runAndLoad(&statuses);
  EXPECT_TRUE(statuses[2]) << statuses[2].message();
  ASSERT_TRUE(out[2].series);
  EXPECT_EQ(out[2].state, SeriesFileState::Created);
  EXPECT_EQ(fileBytes(resp), good);
  EXPECT_EQ(fileBytes(setAsidePath(resp)), cut);
}

TEST_F(FindOrCreate, ExistingFilesAreLeftAlone) {
  const std::vector<std::uint8_t> mine = {0, 0, 0, 0, 9, 9};
  putBytes(dir.path() / "IBIFromEKG_1A.dat", mine);
  request.selection = {2, "1A", "", "", {}};
  auto out = run();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].state, SeriesFileState::Existing);
  EXPECT_FALSE(out[0].series);
  EXPECT_EQ(librariesMade, 0);
  EXPECT_EQ(fileBytes(dir.path() / "IBIFromEKG_1A.dat"), mine);
}

TEST_F(FindOrCreate, UnrecordedAndUnusableChannelsAreSkipped) {
  request.selection = {3, "3A", "../1B", "", {"1G", "", "2G", "/etc"}};
  auto out = run();
  EXPECT_EQ(namesIn(out), std::vector<std::string>{"RMS_1G.dat"});
}

TEST_F(FindOrCreate, UnwritableFolderKeepsTheSeriesInMemoryAndNamesThePath) {
  request.sessionFolder = dir.path() / "missing";
  request.selection = {2, "1A", "", "", {"1G"}};
  auto out = run();
  ASSERT_EQ(out.size(), 2u);
  for (const auto& o : out) EXPECT_EQ(o.state, SeriesFileState::NotWritten);
  ASSERT_TRUE(out[0].series);
  EXPECT_EQ(out[0].series->values.size(), 29u);
  ASSERT_EQ(ui.records().size(), 2u);
  EXPECT_EQ(ui.records()[0].message.text,
            "The file could not be created: " + out[0].path.string() + "\nNo such file or directory");
  EXPECT_EQ(ui.records()[0].icon, Icon::Warning);
}

TEST_F(FindOrCreate, ShortRmsChannelGivesAnEmptyFile) {
  recorded["1G"].assign(10, 1.0f);
  request.selection = {2, "", "", "", {"1G"}};
  request.settings.averagingFactor = 16;
  auto out = run();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(fileBytes(out[0].path), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace rc
