#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/epochs/aggregate.h"
#include "analysis/epochs/epochs.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

IntervalSeries openSeries(std::vector<float> values, float firstBeat = 0.0f) {
  IntervalSeries s;
  s.values = std::move(values);
  s.segments = {{1, firstBeat, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  s.firstEventTime = firstBeat;
  return s;
}

std::vector<float> repeat(float v, std::size_t n) { return std::vector<float>(n, v); }

TEST(OpenEpochCount, OnlyCompleteEpochsCount) {
  std::vector<float> x = repeat(1000.0f, 179);
  x.push_back(999.0f);
  EXPECT_EQ(openEpochCount(x, 60), 2);  // 179,999 ms
  x.back() = 1000.0f;
  EXPECT_EQ(openEpochCount(x, 60), 3);  // 180,000 ms
  EXPECT_EQ(openEpochCount(x, 180), 1);
  EXPECT_EQ(openEpochCount(x, 300), 0);
  EXPECT_EQ(openEpochCount({}, 60), 0);
  // A value that is not a number takes no time and does not poison the sum.
  x.push_back(std::nanf(""));
  EXPECT_EQ(openEpochCount(x, 60), 3);
}

TEST(OpenEpochSpans, StraddlingIntervalBelongsToBothEpochs) {
  const std::vector<float> x = repeat(700.0f, 300);  // 210 s
  const auto spans = openEpochSpans(x, 3, 60);
  ASSERT_EQ(spans.size(), 3u);
  // The 86th interval (index 85) ends at 60.2 s: last of epoch 1, first of epoch 2.
  EXPECT_EQ(spans[0].first, 0u);
  EXPECT_EQ(spans[0].count, 86u);
  EXPECT_EQ(spans[1].first, 85u);
  EXPECT_DOUBLE_EQ(spans[1].firstStart, 59.5);
  // Epoch 2 closes at index 171 (end 120.4 s).
  EXPECT_EQ(spans[1].first + spans[1].count - 1, 171u);
  EXPECT_EQ(spans[2].first, 171u);
}

TEST(OpenEpochSpans, IntervalEndingOnTheBoundaryStaysInItsEpoch) {
  const std::vector<float> x = repeat(750.0f, 240);  // 180 s
  const auto spans = openEpochSpans(x, 3, 60);
  EXPECT_EQ(spans[0].count, 80u);
  EXPECT_EQ(spans[1].first, 80u);
  EXPECT_EQ(spans[1].count, 80u);
  EXPECT_EQ(spans[2].first, 160u);
  EXPECT_EQ(spans[2].count, 80u);
}

TEST(OpenEpochSpans, LongRunsFollowAnExactDecimalComputation) {
  // 5,143 intervals of 700.1 ms: membership by exact arithmetic in tenths of a ms.
  const std::size_t n = 5143;
  const std::vector<float> x = repeat(700.1f, n);
  const std::int64_t epochs = openEpochCount(x, 60);
  ASSERT_EQ(epochs, 60);
  const auto spans = openEpochSpans(x, epochs, 60);
  std::size_t first = 0;
  for (std::int64_t k = 0; k < epochs; ++k) {
    const std::int64_t boundary = (k + 1) * 600000;  // tenths of a ms
    std::size_t last = first;
    while (static_cast<std::int64_t>(last + 1) * 7001 < boundary) ++last;
    ASSERT_EQ(spans[k].first, first) << "epoch " << k;
    ASSERT_EQ(spans[k].first + spans[k].count - 1, last) << "epoch " << k;
    first = static_cast<std::int64_t>(last + 1) * 7001 == boundary ? last + 1 : last;
  }
}

TEST(OpenEpochSpans, AnIntervalLongerThanAnEpochStillAdvances) {
  std::vector<float> x = repeat(1000.0f, 30);
  x.push_back(70000.0f);
  x.insert(x.end(), 60, 1000.0f);
  const auto spans = openEpochSpans(x, openEpochCount(x, 60), 60);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].first + spans[0].count - 1, 30u);
  EXPECT_EQ(spans[1].first, 30u);
  EXPECT_GT(spans[1].count, 1u);
}

class RecomputeOpenTest : public ::testing::Test {
 protected:
  void SetUp() override { language().set(kNoEpochId, "No complete epoch."); }

  // Alternating 800 / 750 ms with a slow swing, so that spectra are not flat.
  static std::vector<float> varied(std::size_t n) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i)
      x[i] = static_cast<float>(800.0 + 40.0 * std::sin(i * 0.3) + (i % 2 ? 25.0 : 0.0));
    return x;
  }

  ScriptedUi ui_;
};

TEST_F(RecomputeOpenTest, BuildsOneRowPerEpochAndSource) {
  IntervalSeries ekg = openSeries(varied(600), 0.4f);
  IntervalSeries bvp = openSeries(varied(520), 0.6f);  // shorter by more than one epoch
  IntervalSeries resp = openSeries(repeat(4000.0f, 130), 1.0f);
  std::vector<float> sc(32 * 600, 5.0f);
  EpochInputs in;
  in.ekg = &ekg;
  in.bvp = &bvp;
  in.resp = &resp;
  in.channels.push_back({kSignalSkinConductance1, 3, sc, 32.0, nullptr, 0.0});
  in.resolutions.sc = 0.5;
  EpochResults out;
  ASSERT_EQ(recomputeEpochs(in, out, ui_), kRecomputeOk);
  EXPECT_TRUE(ui_.records().empty());
  const std::int64_t k = openEpochCount(bvp.values, 60);
  EXPECT_LT(k, openEpochCount(ekg.values, 60));
  EXPECT_EQ(out.epochCount, k);
  ASSERT_EQ(out.hrvRows.size(), static_cast<std::size_t>(2 * k));
  EXPECT_EQ(out.hrvRows[0].row.source, IbiSource::Ekg);
  EXPECT_EQ(out.hrvRows[1].row.source, IbiSource::Bvp);
  EXPECT_EQ(out.hrvRows[2].id.epoch, 2);
  for (const HrvTableRow& r : out.hrvRows) {
    EXPECT_TRUE(r.row.hasData());
    EXPECT_GT(*r.row.sdnn, 0.0);
    EXPECT_GT(*r.row.total, 0.0);
  }
  // Per epoch: heart rate and swing of both sources, respiration rate, SC.
  ASSERT_EQ(out.signalRows.size(), static_cast<std::size_t>(6 * k));
  const SignalRow& scRow = out.signalRows[5].row;
  EXPECT_EQ(scRow.signal, kSignalSkinConductance1);
  EXPECT_EQ(scRow.mean, 5.0);
  EXPECT_EQ(scRow.sd, 0.0);
  EXPECT_EQ(scRow.mode, 5.0);
  EXPECT_NEAR(*out.signalRows[4].row.mean, 15.0, 1e-9);  // 4 s breaths
  ASSERT_TRUE(out.meanSdnn[0]);
  double sum = 0.0;
  for (std::size_t i = 0; i < out.hrvRows.size(); i += 2) sum += *out.hrvRows[i].row.sdnn;
  EXPECT_NEAR(*out.meanSdnn[0], sum / k, 1e-9);
  EXPECT_EQ(out.emptyWindows, 0);
  EXPECT_EQ(countEpochs(in), k);

  // Repeating the computation gives the same rows (nothing is windowed twice).
  EpochResults again;
  ASSERT_EQ(recomputeEpochs(in, again, ui_), kRecomputeOk);
  EXPECT_EQ(again.hrvRows, out.hrvRows);
  EXPECT_EQ(again.signalRows, out.signalRows);
}

TEST_F(RecomputeOpenTest, ShortSessionsAndMissingSeries) {
  IntervalSeries ekg = openSeries(repeat(1000.0f, 59));
  EpochInputs in;
  in.ibiSource = 2;
  in.ekg = &ekg;
  EpochResults out;
  EXPECT_EQ(recomputeEpochs(in, out, ui_), kRecomputeNoEpoch);
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{kNoEpochId});
  EXPECT_TRUE(out.hrvRows.empty());
  EXPECT_EQ(countEpochs(in), 0);

  ui_.clear();
  in.ibiSource = 3;  // BVP selected but not available
  EXPECT_EQ(recomputeEpochs(in, out, ui_), kRecomputeNoSeries);
  EXPECT_TRUE(ui_.records().empty());
  EXPECT_EQ(countEpochs(in), -1);
}

TEST_F(RecomputeOpenTest, RawChannelShorterThanTheSeriesIsClipped) {
  IntervalSeries ekg = openSeries(repeat(1000.0f, 180));
  std::vector<float> temp(10 * 90, 30.0f);  // 90 s of a 10 Hz channel
  EpochInputs in;
  in.ibiSource = 2;
  in.ekg = &ekg;
  in.channels.push_back({kSignalTemperature1, 5, temp, 10.0, nullptr, 0.0});
  EpochResults out;
  ASSERT_EQ(recomputeEpochs(in, out, ui_), kRecomputeOk);
  ASSERT_EQ(out.signalRows.size(), 3u * 2u);
  EXPECT_TRUE(out.signalRows[1].row.hasData());
  EXPECT_TRUE(out.signalRows[3].row.hasData());
  EXPECT_FALSE(out.signalRows[5].row.hasData());
  // A constant series has no LF/HF ratio; it stays undefined rather than NaN.
  EXPECT_FALSE(out.hrvRows[0].row.lfHf);
  EXPECT_EQ(out.hrvRows[0].row.sdnn, 0.0);
}

TEST(RowCells, FixedDecimalPointAndNoNumberTextsForExports) {
  const LocaleSeparators saved = localeSeparators();
  setLocaleSeparators({',', '.', ';'});
  HrvRow h{IbiSource::Ekg, 3, 41.25, 0.05, std::nan(""), 1.0, 2.0, 0.0, std::nullopt, 3.0};
  h.hf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(hrvCells(h, '.'), (std::vector<std::string>{"41.250", "3", "0.050", "     -", "1.000", "2.000",
                                                        "     -", "     -", "3.000"}));
  EXPECT_EQ(hrvCells(h)[0], "41,250");
  SignalRow g{kSignalTemperature1, -1.0, 1.0, 0.0, 1.4142, 0.0, std::nullopt, 12.3456};
  EXPECT_EQ(signalCells(g, '.'),
            (std::vector<std::string>{"-1.000", "1.000", "0.000", "1.414", "0.000", "     -", "12.346"}));
  EXPECT_EQ(signalCells(g)[6], "12,346");
  setLocaleSeparators(saved);
}

TEST(Aggregate, AveragesOverWindowsThatHoldData) {
  HrvAverage avg(IbiSource::Ekg);
  HrvRow a{IbiSource::Ekg, 4, 50.0, 0.1, 30.0, 1.0, 2.0, 3.0, 0.5, 6.0};
  HrvRow b{IbiSource::Ekg, 5, 70.0, 0.2, 40.0, 1.0, 2.0, 0.0, std::nullopt, 3.0};
  HrvRow c = b;
  c.sdnn = std::nullopt;  // one interval: undefined
  avg.add(a);
  avg.add(b);
  avg.add(c);
  avg.add(HrvRow{});  // a window without data
  const HrvRow r = avg.result();
  EXPECT_EQ(r.nnCount, 14 / 3);  // integer division over the three windows with data
  EXPECT_DOUBLE_EQ(*r.sdnn, 60.0);
  EXPECT_DOUBLE_EQ(*r.lfHf, 0.5);
  EXPECT_DOUBLE_EQ(*r.total, 4.0);
  EXPECT_EQ(avg.windows(), 4);

  HrvAverage single(IbiSource::Bvp);
  single.add(a);
  HrvRow expect = a;
  expect.source = IbiSource::Bvp;
  EXPECT_EQ(single.result(), expect);
  EXPECT_FALSE(HrvAverage(IbiSource::Ekg).result().hasData());

  SignalAverage sig(kSignalRespirationRate);
  sig.add(SignalRow{kSignalRespirationRate, 10.0, 14.0, 12.0, 1.0, 1.0 / 12.0, 12.0, 0.0});
  SignalRow empty;
  empty.signal = kSignalRespirationRate;
  sig.add(empty);
  EXPECT_EQ(sig.result().mean, 12.0);
  EXPECT_FALSE(SignalAverage(5).result().hasData());
}

}  // namespace
}  // namespace rc
