#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "analysis/protocol/settings.h"
#include "analysis/series/series_file.h"
#include "app/container/main_screen_model.h"
#include "app/session_analysis.h"
#include "analysis/series/series_find.h"
#include "demo/demo_root.h"
#include "editors/periodic/periodic_editor.h"
#include "editors/periodic/segments.h"
#include "support/file_io.h"
#include "support/language.h"
#include "support/paths.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::vector<int> spans(const std::vector<TimeFrameEntry>& e) {
  std::vector<int> out;
  for (const auto& x : e) out.push_back(x.command);
  return out;
}

TEST(TimeFrameList, FiftySecondSessionOffersTheShortSpansAndTheSession) {
  EXPECT_EQ(spans(timeFrameEntries(50, false, 0)),
            (std::vector<int>{32780, 32781, 32782, 32783, 32784, 32791}));
  EXPECT_EQ(spans(timeFrameEntries(50, true, 20)),
            (std::vector<int>{32780, 32781, 32782, 32783, 32784, 32790, 32791}));
  EXPECT_EQ(timeFrameEntries(50, false, 0).back().seconds, 50);
}

TEST(TimeFrameList, EachLongerSpanNeedsALongerSession) {
  EXPECT_EQ(timeFrameEntries(60, false, 0).size(), 6u);
  EXPECT_EQ(timeFrameEntries(61, false, 0).size(), 7u);
  EXPECT_EQ(timeFrameEntries(1801, false, 0).size(), 11u);
  EXPECT_EQ(timeFrameEntries(7200.5, false, 0).back().seconds, 7201);
}

TEST(TimeFrameList, ZeroLengthsGiveOneSecond) {
  const auto e = timeFrameEntries(0, true, 0);
  EXPECT_EQ(e[e.size() - 2].seconds, 1);
  EXPECT_EQ(e.back().seconds, 1);
  EXPECT_EQ(wholeSecondsAtLeastOne(std::nan("")), 1);
  EXPECT_EQ(wholeSecondsAtLeastOne(12.01), 13);
}

struct StoredCase {
  int stored;
  int seconds;
};
class StoredTimeFrame : public ::testing::TestWithParam<StoredCase> {};
TEST_P(StoredTimeFrame, SelectsItsEntryOrFiveSeconds) {
  const auto e = timeFrameEntries(7200, true, 120);
  EXPECT_EQ(e[storedTimeFrameIndex(e, GetParam().stored)].seconds, GetParam().seconds);
}
INSTANTIATE_TEST_SUITE_P(Values, StoredTimeFrame,
                         ::testing::Values(StoredCase{5, 5}, StoredCase{0, 5}, StoredCase{1, 1},
                                           StoredCase{15, 15}, StoredCase{180, 180}, StoredCase{3600, 3600},
                                           StoredCase{120, 5}, StoredCase{-3, 5}));

TEST(EpochLengthList, CommandsAndTheirSeconds) {
  EXPECT_EQ(epochSecondsOfCommand(32800), 60);
  EXPECT_EQ(epochSecondsOfCommand(32803), 300);
  EXPECT_EQ(epochSecondsOfCommand(32804), 300);
  EXPECT_EQ(epochSecondsOfCommand(32805), 600);
  EXPECT_EQ(epochSecondsOfCommand(32806), std::nullopt);
  EXPECT_EQ(epochLengthIndex(600), 3);
  EXPECT_EQ(epochLengthIndex(45), -1);
}

TEST(ContainerLoad, PersistentUnknownRecomputeResultFailsWithoutLooping) {
  ScriptedUi ui;
  EpochInputs in;
  in.epochSeconds = 300;
  EpochResults out;
  int calls = 0;
  const auto outcome =
      recomputeForLoad(in, {}, out, ui, [&](const EpochInputs&, EpochResults&, UserInterface&) {
        ++calls;
        return 3;
      });
  EXPECT_EQ(outcome, SessionAnalysisOutcome::Failed);
  EXPECT_EQ(calls, 1);
}

TEST(ContainerLoad, DocumentWithoutRootIsNeverSaved) {
  const fs::path f = fs::temp_directory_path() / ("rc_ms_empty_" + std::to_string(::getpid()) + ".xml");
  const std::string kept = "<HRVConfig><Reconfig>1</Reconfig></HRVConfig>";
  ASSERT_TRUE(writeFileAtomic(f, kept));
  CXMLMarkup empty;
  EXPECT_FALSE(empty.Save(f));
  auto bytes = readWholeFile(f);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), kept);
  fs::remove(f);
}

// The container's load and commands on a short demo data root.
class MainScreenOnDemo : public ::testing::Test {
 protected:
  // A short demo root is made once per machine (a temporary name renamed into
  // place, so parallel test processes never see half of it) and copied for
  // each test process, whose tests then change their copy only.
  static void SetUpTestSuite() {
    setProgramFolder(RC_PROGRAM_DIR);
    ASSERT_TRUE(loadLanguage(programFolder()));
    const fs::path cache = fs::temp_directory_path() / ("rc_ms_demo_cache_" + std::to_string(::getuid()));
    if (!fs::exists(cache / "csdb.zeb")) {
      const fs::path making = cache.string() + ".making" + std::to_string(::getpid());
      demo::DemoOptions o;
      o.skipLongSession = true;
      o.timeScale = 0.25;
      o.programFolder = RC_PROGRAM_DIR;
      if (demo::makeDemoDataRoot(making, o).isOk()) {
        std::error_code ec;
        fs::rename(making, cache, ec);
      }
      std::error_code ec;
      fs::remove_all(making, ec);
    }
    root_ = fs::temp_directory_path() / ("rc_ms_demo_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::copy(cache, root_, fs::copy_options::recursive, ec);
    ok_ = !ec && fs::exists(root_ / "csdb.zeb");
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
    ASSERT_TRUE(ok_);
    configs_.clear();
  }
  void TearDown() override {
    for (const fs::path& f : configs_) fs::remove(f);
    // Series files made by a test are kept: they are the same for every test.
  }
  // Writes the session's configuration from the template with the signal
  // part of every offered channel, then edits "Settings".
  fs::path configure(int client, int session, const std::vector<std::pair<const char*, int>>& settings = {}) {
    const fs::path f =
        root_ / "Clients" / std::to_string(client) / strprintf("Sess%04d", session) / "HRVConfig.xml";
    CXMLMarkup doc;
    EXPECT_TRUE(doc.Load(programFolder() / "HRVConfig.xml"));
    SignalPart part;
    part[0] = {{1, "EKG", 4}};
    part[1] = {{2, "BVP", 5}};
    part[2] = {{3, "Resp", 8}};
    setSignalPart(doc, part, false);
    for (const auto& [key, value] : settings) writeSettingInt(doc, key, value);
    EXPECT_TRUE(doc.Save(f));
    configs_.push_back(f);
    return f;
  }
  MainScreenModel::Request request(int client, int session, bool confidential = false) const {
    return {root_, programFolder(), client, session, confidential};
  }
  std::string text(const fs::path& p) const {
    auto b = readWholeFile(p);
    return b ? std::string(b->begin(), b->end()) : std::string();
  }

  static inline fs::path root_;
  static inline bool ok_ = false;
  std::vector<fs::path> configs_;
  ScriptedUi ui_;
};

TEST_F(MainScreenOnDemo, LoadsTheSessionWithCaptionStatusAndLists) {
  configure(1, 2, {{"TimeFrame", 30}});
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready)
      << (ui_.records().empty() ? "" : ui_.records()[0].message.text);
  EXPECT_EQ(m.caption(),
            str(200) + ". " + str(321) + ". " + str(323) + ": Holt, Avery. Baseline and paced breathing");
  EXPECT_NE(m.statusText().find("2026-03-09 09:20:00"), std::string::npos) << m.statusText();
  EXPECT_EQ(m.timeFrames()[m.timeFrameIndex()].seconds, 30);
  EXPECT_EQ(m.context().heartSlot, kSlotEkg);
  EXPECT_FALSE(m.results().hrvRows.empty());
  m.close();
  EXPECT_FALSE(m.loaded());
}

TEST_F(MainScreenOnDemo, ConfidentialCaptionIsMasked) {
  configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2, true)), LoadResult::Ready);
  EXPECT_NE(m.caption().find("Ho**, A****"), std::string::npos) << m.caption();
  EXPECT_EQ(m.caption().find("Holt"), std::string::npos);
}

TEST_F(MainScreenOnDemo, BvpOnlyGreysTheEkgButtonAndStartsOnBvp) {
  configure(1, 2, {{"Setting1", 1}});
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  EXPECT_EQ(m.context().heartSlot, kSlotBvp);
  EXPECT_FALSE(heartButtonEnabled(m.session(), kSlotEkg));
  EXPECT_TRUE(heartButtonEnabled(m.session(), kSlotBvp));
}

TEST_F(MainScreenOnDemo, SameEpochLengthDoesNothingAndAChangeIsStored) {
  const fs::path f = configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  const std::string before = text(f);
  EXPECT_FALSE(m.epochLength(32800));
  EXPECT_EQ(text(f), before);
  EXPECT_TRUE(m.epochLength(32801));
  EXPECT_EQ(m.session().settings.epochTime, 180);
  EXPECT_NE(text(f).find("<EpochTime>180</EpochTime>"), std::string::npos);
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(MainScreenOnDemo, FailedSaveOfAnEpochLengthIsReported) {
  configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  testing::failNextAtomicCommit();
  EXPECT_TRUE(m.epochLength(32801));
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{kCouldNotSaveId});
  EXPECT_EQ(m.session().settings.epochTime, 180);  // the value stays in memory
}

TEST_F(MainScreenOnDemo, AnEpochLongerThanTheSessionKeepsThePreviousLength) {
  configure(1, 1);  // 75 s at this scale
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 1)), LoadResult::Ready);
  EXPECT_FALSE(m.epochLength(32805));
  EXPECT_EQ(m.session().settings.epochTime, 60);
  EXPECT_FALSE(m.results().hrvRows.empty());
}

TEST_F(MainScreenOnDemo, MissingSelectedSourceIsNamed) {
  configure(1, 2);
  const fs::path folder = root_ / "Clients/1/Sess0002";
  {
    MainScreenModel m(ui_);
    ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);  // the series files exist now
  }
  const fs::path bvp = seriesFilePath(folder, SeriesKind::IbiFromBvp, "1B");
  const std::string saved = text(bvp);
  ASSERT_TRUE(writeFileAtomic(bvp, std::string("damaged")));
  ui_.clear();
  MainScreenModel m(ui_);
  EXPECT_EQ(m.load(request(1, 2)), LoadResult::Failed);
  ASSERT_TRUE(writeFileAtomic(bvp, saved));
  // The damaged file may hold edits: the user is asked first whether to
  // detect it again (No by default), then the missing source is named.
  ASSERT_EQ(ui_.records().size(), 2u);
  EXPECT_EQ(ui_.records()[0].message.ids, (std::vector<int>{kFileUnusableId, kAskRegenerateId}));
  EXPECT_EQ(ui_.records()[1].message.ids, (std::vector<int>{307, kMissingBvpSeriesId}));
}

TEST_F(MainScreenOnDemo, NoHeartChannelMeansNoIntervalData) {
  const fs::path f = root_ / "Clients/1/Sess0002/HRVConfig.xml";
  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(programFolder() / "HRVConfig.xml"));
  setSignalPart(doc, SignalPart{}, false);
  ASSERT_TRUE(doc.Save(f));
  configs_.push_back(f);
  MainScreenModel m(ui_);
  EXPECT_EQ(m.load(request(1, 2)), LoadResult::NoIntervals);
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(MainScreenOnDemo, MissingConfigurationFailsTheLoad) {
  // The main dialog makes the file before the container loads; a file that
  // vanished in between must not be replaced by a document never read.
  const fs::path f = root_ / "Clients/1/Sess0001/HRVConfig.xml";
  fs::remove(f);
  MainScreenModel m(ui_);
  EXPECT_EQ(m.load(request(1, 1)), LoadResult::Failed);
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{1044});
  EXPECT_FALSE(fs::exists(f));
}

TEST_F(MainScreenOnDemo, RestoreAllAsksFirst) {
  configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  const fs::path ekg = seriesFilePath(m.session().folder, SeriesKind::IbiFromEkg, "1A");
  ASSERT_TRUE(fs::exists(ekg));
  ui_.answer(false);
  EXPECT_FALSE(m.restoreAll());
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{kRestoreAllQuestionId});
  bool dropped = false;
  m.dropPendingEdits = [&] { dropped = true; };
  ui_.answer(true);
  EXPECT_TRUE(m.restoreAll());
  EXPECT_TRUE(dropped);
  EXPECT_TRUE(fs::exists(ekg));
  EXPECT_FALSE(m.results().hrvRows.empty());
}

TEST_F(MainScreenOnDemo, GeneratesAnExcelReportWithTheDefinitionsOptions) {
  const fs::path config = configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  ASSERT_EQ(m.session().settings.epochTime, 60);
  const std::string category = m.reportCategory();
  EXPECT_FALSE(category.empty());

  const fs::path reports = root_ / "HRVReports";
  fs::create_directories(reports);
  std::ofstream(reports / "r.xlsx") << "workbook";
  const fs::path definition = reports / "gen.xml";
  std::ofstream(definition) << "<HRVExcelReport><Category>" << category << "</Category>"
                            << "<IBIFileName>ibi.txt</IBIFileName><PeriodicStatFileName>periodic.txt"
                               "</PeriodicStatFileName><SessionStatFileName>session.txt</SessionStatFileName>"
                               "<ExcelFileName>r.xlsx</ExcelFileName><EpochTime>180</EpochTime>"
                               "<NNInterval>50</NNInterval><Units>0</Units><StatisticOptions>0</StatisticOptions>"
                               "<Header>1</Header><TextFileType>0</TextFileType></HRVExcelReport>";
  std::string asked;
  const Status st = m.generateExcelReport([&](const std::string& c) -> std::optional<fs::path> {
    asked = c;
    return definition;
  });
  EXPECT_TRUE(st) << st.message();
  EXPECT_EQ(asked, category);
  // The definition's epoch length went through the container's command.
  EXPECT_EQ(m.session().settings.epochTime, 180);
  EXPECT_NE(text(config).find("<EpochTime>180</EpochTime>"), std::string::npos);
  // The three exports, each titled with string 252, under their own names.
  for (const char* name : {"ibi.txt", "periodic.txt", "session.txt"}) {
    const std::string body = text(reports / name);
    EXPECT_EQ(body.rfind(str(252), 0), 0u) << name << ": " << body.substr(0, 60);
  }
  EXPECT_FALSE(fs::exists(reports / "ibi.txt.txt"));
  ASSERT_EQ(ui_.openedDocuments().size(), 1u);
  EXPECT_EQ(ui_.openedDocuments()[0].filename(), "r.xlsx");

  // Cancelled: nothing is written.
  fs::remove(reports / "ibi.txt");
  EXPECT_FALSE(m.generateExcelReport([](const std::string&) { return std::nullopt; }));
  EXPECT_FALSE(fs::exists(reports / "ibi.txt"));
  fs::remove_all(reports);
}

TEST_F(MainScreenOnDemo, TheSpectrumStyleComesInAndGoesBack) {
  configure(1, 2);
  MainScreenModel m(ui_);
  MainScreenModel::Request rq = request(1, 2);
  rq.barsOn2DGraph = true;
  ASSERT_EQ(m.load(rq), LoadResult::Ready);
  EXPECT_TRUE(m.context().barsOn2DGraph);
  m.context().barsOn2DGraph = false;  // the epoch viewer's toggle
  m.close();
  EXPECT_FALSE(m.barsOn2DGraph());
}

TEST_F(MainScreenOnDemo, UndoAllSegmentsDetectsTheSignalAgainAndClearsItsSegments) {
  configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  AnalysisSession& s = m.session();
  const int ekg = s.slots[kSlotEkg].input;
  const fs::path segments = periodicSegmentsPath(s.folder);
  PeriodicSegmentList list;
  list.offer(ekg, kOpAdd, 10.0, 12.0, s.duration);
  list.offer(ekg + 100, kOpSplit, 20.0, 21.0, s.duration);  // another signal's
  ASSERT_TRUE(writePeriodicSegments(segments, list));
  const fs::path file = seriesFilePath(s.folder, SeriesKind::IbiFromEkg, s.slots[kSlotEkg].label);
  const IntervalSeries detected = *s.ekg;
  s.ekg->values[5] += 100.0f;  // an edit saved earlier
  ASSERT_TRUE(saveIntervalSeries(file, *s.ekg, s.openSession, ui_));

  ui_.answer(false);
  EXPECT_FALSE(m.undoAllSegments(kSlotEkg));
  EXPECT_EQ(ui_.firstIds().back(), kUndoAllSegmentsQuestionId);
  ui_.answer(true);
  ASSERT_TRUE(m.undoAllSegments(kSlotEkg));
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(file, s.openSession, back));
  EXPECT_EQ(back.values, detected.values);
  EXPECT_EQ(m.session().ekg->values, detected.values);
  PeriodicSegmentList left;
  ASSERT_TRUE(readPeriodicSegments(segments, left));
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.segments()[0].source, ekg + 100);
  fs::remove(segments);
}

TEST_F(MainScreenOnDemo, AProblemOfASeriesFileIsListedOnceHoweverOftenItIsRead) {
  configure(1, 2);
  const fs::path folder = root_ / "Clients/1/Sess0002";
  const fs::path resp = folder / "RespPeriod_1C.dat";
  {
    MainScreenModel first(ui_);  // the series files are made at the first load
    ASSERT_EQ(first.load(request(1, 2)), LoadResult::Ready);
  }
  ASSERT_TRUE(fs::exists(resp));
  const auto kept = readWholeFile(resp);
  ASSERT_TRUE(kept);
  { std::ofstream(resp, std::ios::binary | std::ios::trunc) << "damaged"; }
  MainScreenModel m(ui_);
  ui_.answer(false);  // keep the damaged file (it may hold edits)
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  ASSERT_EQ(m.session().problems.size(), 1u);
  ui_.answer(false);
  findOrCreateSessionSeries(m.session(), ui_);
  EXPECT_EQ(m.session().problems.size(), 1u);
  m.close();
  std::ofstream(resp, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(kept->data()), static_cast<std::streamsize>(kept->size()));
}

// Counts the progress calls of a load.
class ProgressUi : public ScriptedUi {
 public:
  void beginProgress(const std::string& label, std::int64_t total) override {
    ++begun;
    EXPECT_FALSE(label.empty());
    EXPECT_GT(total, 0);
  }
  bool reportProgress(std::int64_t) override {
    ++reports;
    return true;
  }
  void endProgress() override { ++ended; }
  int begun = 0, reports = 0, ended = 0;
};

TEST_F(MainScreenOnDemo, GeneratingSeriesShowsProgress) {
  configure(1, 2);
  const fs::path folder = root_ / "Clients/1/Sess0002";
  for (const char* name : {"IBIFromEKG_1A.dat", "IBIFromBVP_1B.dat", "RespPeriod_1C.dat"})
    fs::remove(folder / name);
  ProgressUi ui;
  MainScreenModel m(ui);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  EXPECT_GE(ui.begun, 1);
  EXPECT_GT(ui.reports, 0);
  EXPECT_EQ(ui.begun, ui.ended);
}

TEST_F(MainScreenOnDemo, CloseWritesTheViewParameters) {
  const fs::path f = configure(1, 2);
  MainScreenModel m(ui_);
  ASSERT_EQ(m.load(request(1, 2)), LoadResult::Ready);
  m.session().settings.rotation = 37;
  int resolved = 0;
  m.resolvePendingEdits = [&] { ++resolved; };
  m.close();
  EXPECT_EQ(resolved, 1);
  EXPECT_NE(text(f).find("<Rotation>37</Rotation>"), std::string::npos);
}

}  // namespace
}  // namespace rc
