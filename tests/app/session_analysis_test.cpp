#include "app/session_analysis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/file_io.h"
#include "support/language.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

IntervalSeries openSeries(std::size_t count, float value = 1000.0f) {
  IntervalSeries s;
  s.values.assign(count, value);
  s.segments = {{1, 0.0f, 0.0f, static_cast<std::int32_t>(count)}};
  return s;
}

class SessionAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_sa_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = dir_ / "HRVConfig.xml";
    config_.SetDoc(u"<HRVConfig><Settings><EpochTime>180</EpochTime></Settings></HRVConfig>");
    ASSERT_TRUE(config_.Save(file_));
    language().set(kNoEpochId, "No epoch.");
    language().set(189, "The file could not be opened or created:");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string fileText() const {
    auto bytes = readWholeFile(file_);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }
  EpochInputs inputs(const IntervalSeries& ekg, int epoch) const {
    EpochInputs in;
    in.ibiSource = 2;
    in.ekg = &ekg;
    in.epochSeconds = epoch;
    return in;
  }

  fs::path dir_;
  fs::path file_;
  CXMLMarkup config_;
  ScriptedUi ui_;
  EpochResults out_;
};

TEST_F(SessionAnalysisTest, MinuteGridDecidesWhetherTheSessionCanBeShown) {
  const IntervalSeries none = openSeries(0), short_ = openSeries(59), minute = openSeries(60);
  EXPECT_EQ(checkMinuteEpochGrid(inputs(none, 600), ui_), SessionAnalysisOutcome::NoIntervals);
  EXPECT_TRUE(ui_.records().empty());
  EXPECT_EQ(checkMinuteEpochGrid(inputs(short_, 600), ui_), SessionAnalysisOutcome::Failed);
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, (std::vector<int>{kCannotAnalyseId, kUnderAMinuteId}));
  EXPECT_EQ(ui_.records()[0].icon, Icon::Warning);
  ui_.clear();
  // A session of one minute passes even though the stored length is 10 minutes.
  EXPECT_EQ(checkMinuteEpochGrid(inputs(minute, 600), ui_), SessionAnalysisOutcome::Ready);
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(SessionAnalysisTest, AcceptingMinuteEpochsStoresThem) {
  const IntervalSeries ekg = openSeries(150);
  EpochInputs in = inputs(ekg, 180);
  ui_.answer(true);
  EXPECT_EQ(analyseLoadedSession(in, {&config_, file_}, out_, ui_), SessionAnalysisOutcome::Ready);
  EXPECT_EQ(in.epochSeconds, 60);
  EXPECT_EQ(out_.epochCount, 2);
  EXPECT_EQ(ui_.firstIds(), (std::vector<int>{kNoEpochId, kNoEpochOfLengthId}));
  EXPECT_EQ(ui_.records()[1].kind, ScriptedUi::Kind::YesNo);
  EXPECT_EQ(ui_.records()[1].message.ids, (std::vector<int>{kNoEpochOfLengthId, kUseMinuteEpochsId}));
  EXPECT_NE(fileText().find("<EpochTime>60</EpochTime>"), std::string::npos);
}

TEST_F(SessionAnalysisTest, DecliningOrShortSessionsFail) {
  const IntervalSeries ekg = openSeries(150);
  EpochInputs in = inputs(ekg, 180);
  ui_.answer(false);
  EXPECT_EQ(recomputeForLoad(in, {&config_, file_}, out_, ui_), SessionAnalysisOutcome::Failed);
  EXPECT_EQ(in.epochSeconds, 180);
  EXPECT_NE(fileText().find("<EpochTime>180</EpochTime>"), std::string::npos);

  // At 60 s there is nothing to offer: no question.
  ui_.clear();
  const IntervalSeries tooShort = openSeries(50);
  EpochInputs minute = inputs(tooShort, 60);
  EXPECT_EQ(recomputeForLoad(minute, {&config_, file_}, out_, ui_), SessionAnalysisOutcome::Failed);
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{kNoEpochId});
}

TEST_F(SessionAnalysisTest, UnexpectedResultsEndTheLoad) {
  const IntervalSeries ekg = openSeries(150);
  for (int result : {kRecomputeNoSeries, 3, -1}) {
    EpochInputs in = inputs(ekg, 180);
    int calls = 0;
    auto stub = [&](const EpochInputs&, EpochResults&, UserInterface&) {
      ++calls;
      return result;
    };
    EXPECT_EQ(recomputeForLoad(in, {&config_, file_}, out_, ui_, stub), SessionAnalysisOutcome::Failed);
    EXPECT_EQ(calls, 1);
  }
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(SessionAnalysisTest, AFailedSaveIsReportedAndTheLoadGoesOn) {
  testing::failNextAtomicCommit();
  const IntervalSeries ekg = openSeries(150);
  EpochInputs in = inputs(ekg, 300);
  ui_.answer(true);
  EXPECT_EQ(recomputeForLoad(in, {&config_, file_}, out_, ui_), SessionAnalysisOutcome::Ready);
  EXPECT_TRUE(ui_.shown(189));
  EXPECT_NE(fileText().find("<EpochTime>180</EpochTime>"), std::string::npos);
}

}  // namespace
}  // namespace rc
