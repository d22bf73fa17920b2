// The epoch viewer over a scripted session: step epochs, their frames and
// spectra against the statistics rows, the 3D list, the held samples at the
// ends of the data and the step that is not in the script.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "support/language.h"
#include "views/epochview/epoch_view_data.h"

namespace rc {
namespace {

ScriptProtocol twoStepProtocol(double step1, double step2, int cycles = 1) {
  ScriptProtocol p;
  ActivityRecord a;
  a.number = 1;
  a.name = "Baseline";
  a.cycles = cycles;
  a.steps = 2;
  a.duration = (step1 + step2) * cycles;
  p.activities.push_back(a);
  p.stepDurations.push_back({1, 1, 0, step1, "Rest"});
  p.stepDurations.push_back({1, 2, 0, step2, "Breathe"});
  assignActivityStartTimes(p.activities);
  EXPECT_TRUE(buildStepTimeline(p));
  return p;
}

std::vector<float> wave(double seconds) {
  std::vector<float> x;
  double t = 0;
  while (t < seconds) {
    const double v = 900 + 70 * std::sin(2 * std::numbers::pi * 0.2 * t) + 30 * std::sin(0.9 * t * t / 50);
    x.push_back(static_cast<float>(v));
    t += v / 1000;
  }
  return x;
}

class ScriptedViewTest : public ::testing::Test {
 protected:
  void SetUp() override { language().set(kNoEpochId, "No complete epoch."); }

  void build(double step1, double step2, float firstBeat, double dataSeconds, int cycles = 1) {
    protocol_ = twoStepProtocol(step1, step2, cycles);
    ekg_.values = wave(dataSeconds);
    ekg_.segments = {{1, firstBeat, 0.0f, static_cast<std::int32_t>(ekg_.values.size())}};
    ekg_.firstEventTime = firstBeat;
    EpochInputs in;
    in.openSession = false;
    in.ibiSource = 2;
    in.epochSeconds = 60;
    in.ekg = &ekg_;
    in.protocol = &protocol_;
    ASSERT_EQ(recomputeEpochs(in, res_, ui_), kRecomputeOk);
    data_.fill(&ekg_, nullptr, &protocol_, res_, 60);
  }

  ScriptProtocol protocol_;
  IntervalSeries ekg_;
  EpochResults res_;
  EpochViewData data_;
  ScriptedUi ui_;
};

TEST_F(ScriptedViewTest, StepEpochSpectraGiveTheStatisticsBandPowers) {
  build(150, 130, 0.4f, 290);
  ASSERT_TRUE(data_.scripted());
  ASSERT_EQ(data_.stepEpochs().size(), 4u);  // 2 epochs of each step
  ASSERT_EQ(res_.hrvRows.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    const std::optional<EpochCharts> c = data_.charts(kViewEkg, static_cast<std::int64_t>(i));
    ASSERT_TRUE(c && c->spectrum) << i;
    const HrvRow& row = res_.hrvRows[i].row;
    EXPECT_EQ(c->spectrum->bands.vlf, *row.vlf) << i;
    EXPECT_EQ(c->spectrum->bands.lf, *row.lf) << i;
    EXPECT_EQ(c->spectrum->bands.hf, *row.hf) << i;
    EXPECT_FALSE(c->poincare.x.empty());
  }
  const StepEpoch& e = data_.stepEpochs()[1];
  EXPECT_EQ(e.step, 1);
  EXPECT_EQ(e.epoch, 2);
  EXPECT_EQ(e.epochsInStep, 2);
  EXPECT_EQ(e.stepLabel, "Rest");
  // The statistics' own epoch starts: epoch 1 of step 1 begins at the first beat.
  EXPECT_DOUBLE_EQ(*data_.stepEpochStart(kViewEkg, 0), 0.4f);
  EXPECT_DOUBLE_EQ(*data_.stepEpochStart(kViewEkg, 1), scriptedEpochStart(0.0, 2, 60, 0.4f));
  EXPECT_DOUBLE_EQ(data_.charts(kViewEkg, 1)->tachogram.window.min, scriptedEpochStart(0.0, 2, 60, 0.4f));
  EXPECT_DOUBLE_EQ(*data_.stepEpochStart(kViewEkg, 2), 150.0);
}

TEST_F(ScriptedViewTest, ThreeDListKeepsTheStepEpochsWithAnEpochOfDataBefore) {
  build(150, 130, 0.4f, 290);
  // Step 1 epoch 1 starts at the segment's start: left out. Step 2 starts at 150 s.
  EXPECT_EQ(data_.stepEpochs3D(), (std::vector<std::size_t>{1, 2, 3}));
  const std::optional<Spectra3D> sp = data_.spectra3D(kViewEkg, 1);
  ASSERT_TRUE(sp);
  EXPECT_EQ(sp->rows(), 61u);
  EXPECT_DOUBLE_EQ(sp->depthStart, *data_.stepEpochStart(kViewEkg, 1));
  EXPECT_DOUBLE_EQ(sp->depthEnd, *data_.stepEpochStart(kViewEkg, 1) + 60);
  EXPECT_FALSE(data_.spectra3D(kViewEkg, 0));
  EXPECT_FALSE(data_.spectra3D(kViewEkg, 4));
}

TEST_F(ScriptedViewTest, HeldSamplesHoldTheFirstAndLastIntervalsOfTheSegment) {
  // Two cycles of two 70-second steps, with data for the first cycle and 20 s
  // of the second: the epochs of cycle 2 run past the end of the data.
  build(70, 70, 0.0f, 160, 2);
  ASSERT_EQ(data_.stepEpochs().size(), 4u);
  // The first step epoch: one epoch before it lies before the first beat.
  const std::vector<double> first = data_.heldSamples(kViewEkg, 0);
  ASSERT_EQ(first.size(), 512u);
  EXPECT_EQ(first[0], ekg_.values.front());
  EXPECT_EQ(first[255], ekg_.values.front());
  // Step 2 of cycle 2 starts at 210 s, 50 s after the last interval.
  const std::vector<double> last = data_.heldSamples(kViewEkg, 3);
  ASSERT_EQ(last.size(), 512u);
  EXPECT_EQ(last.back(), ekg_.values.back());
}

TEST_F(ScriptedViewTest, AStepMissingFromTheScriptGivesNothing) {
  build(150, 130, 0.4f, 290);
  protocol_.timeline.erase(protocol_.timeline.begin());  // step 1 of cycle 1
  EXPECT_FALSE(data_.stepEpochStart(kViewEkg, 0));
  EXPECT_FALSE(data_.charts(kViewEkg, 0));
  EXPECT_TRUE(data_.charts(kViewEkg, 2));
  protocol_.timeline.front().start = -1;  // now step 2
  EXPECT_FALSE(data_.charts(kViewEkg, 2));
}

TEST_F(ScriptedViewTest, SignalNotRecordedGivesEmptyCharts) {
  build(150, 130, 0.4f, 290);
  const std::optional<EpochCharts> c = data_.charts(kViewBvp, 0);
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->tachogram.x.empty());
  EXPECT_FALSE(c->spectrum);
  EXPECT_EQ(c->tachogram.autoRange, (AxisRange{0, 1}));
  EXPECT_FALSE(data_.spectra3D(kViewBvp, 1));
}

TEST_F(ScriptedViewTest, LaterCyclesAreStepEpochsOfTheirOwn) {
  build(70, 70, 0.0f, 290, 2);
  // One epoch per step and cycle; cycle 2 entries all qualify for 3D.
  ASSERT_EQ(data_.stepEpochs().size(), 4u);
  EXPECT_EQ(data_.stepEpochs()[2].cycle, 2);
  EXPECT_EQ(data_.stepEpochs3D(), (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_DOUBLE_EQ(*data_.stepEpochStart(kViewEkg, 2), 140.0);
}

}  // namespace
}  // namespace rc
