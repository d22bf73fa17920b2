// The epoch viewer's computations: the epoch spectrum against the statistics
// rows, Poincaré membership at the epoch edges, SD1/SD2, the 3D windows, the
// palette, the 3D view parameters and the scale rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "analysis/numeric/numeric.h"
#include "support/xml_markup.h"
#include "views/epochview/epoch_view_data.h"
#include "views/epochview/epoch_view_state.h"
#include "views/epochview/palette.h"
#include "views/epochview/view3d_params.h"

namespace rc {
namespace {

// Intervals with respiratory and slow modulation and some noise, about
// `seconds` long.
std::vector<float> modulated(double seconds, unsigned seed = 7) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 12.0);
  std::vector<float> x;
  double t = 0.0;
  while (t < seconds) {
    const double v = 850 + 60 * std::sin(2 * std::numbers::pi * 0.25 * t) +
                     40 * std::sin(2 * std::numbers::pi * 0.08 * t) + noise(rng);
    x.push_back(static_cast<float>(v));
    t += v / 1000.0;
  }
  return x;
}

IntervalSeries openSeries(std::vector<float> values, float firstBeat = 2.5f) {
  IntervalSeries s;
  s.values = std::move(values);
  s.segments.push_back({0, firstBeat, 0.0f, static_cast<std::int32_t>(s.values.size())});
  s.firstEventTime = firstBeat;
  return s;
}

EpochResults openResults(const IntervalSeries& ekg, std::int32_t epochSeconds) {
  EpochInputs in;
  in.openSession = true;
  in.ibiSource = 2;
  in.epochSeconds = epochSeconds;
  in.ekg = &ekg;
  EpochResults out;
  SilentUi ui;
  EXPECT_EQ(recomputeEpochs(in, out, ui), kRecomputeOk);
  return out;
}

class OpenSpectrumTest : public ::testing::TestWithParam<int> {};

TEST_P(OpenSpectrumTest, EpochSpectrumGivesTheStatisticsBandPowers) {
  const int e = GetParam();
  const IntervalSeries ekg = openSeries(modulated(3.4 * e));
  const EpochResults res = openResults(ekg, e);
  ASSERT_EQ(res.epochCount, 3);
  EpochViewData data;
  data.fill(&ekg, nullptr, nullptr, res, e);
  ASSERT_EQ(data.epochCount(), 3);
  for (std::int64_t k = 1; k <= 3; ++k) {
    const std::optional<EpochCharts> c = data.charts(kViewEkg, k);
    ASSERT_TRUE(c && c->spectrum);
    const HrvRow& row = res.hrvRows[static_cast<std::size_t>(k - 1)].row;
    EXPECT_EQ(c->spectrum->bands.vlf, *row.vlf);
    EXPECT_EQ(c->spectrum->bands.lf, *row.lf);
    EXPECT_EQ(c->spectrum->bands.hf, *row.hf);
    EXPECT_EQ(c->spectrum->bands.total, *row.total);
    // The bars of the three series hold exactly the bins of the bands.
    const auto runs = bandRuns(*c->spectrum, true);
    double sums[3] = {0, 0, 0};
    for (int b = 0; b < 3; ++b)
      for (int j = runs[b].first; j <= runs[b].last; ++j) sums[b] += c->spectrum->power[j];
    EXPECT_DOUBLE_EQ(sums[0], *row.vlf);
    EXPECT_DOUBLE_EQ(sums[1], *row.lf);
    EXPECT_DOUBLE_EQ(sums[2], *row.hf);
    EXPECT_DOUBLE_EQ(c->epochStart, 2.5 + (k - 1) * e);
  }
  EXPECT_FALSE(data.charts(kViewBvp, 1)->spectrum);  // not recorded
}

INSTANTIATE_TEST_SUITE_P(EpochLengths, OpenSpectrumTest, ::testing::Values(60, 180, 300, 600));

TEST(BandRuns, LinesMeetAtTheEdgesAndBarsDoNotOverlap) {
  EpochSpectrum s;
  s.e1 = 2;
  s.e2 = 9;
  s.e3 = 25;
  const auto lines = bandRuns(s, false);
  EXPECT_EQ(lines[0], (BinRun{1, 2}));
  EXPECT_EQ(lines[1], (BinRun{2, 9}));
  EXPECT_EQ(lines[2], (BinRun{9, 25}));
  const auto bars = bandRuns(s, true);
  EXPECT_EQ(bars[1], (BinRun{3, 9}));
  EXPECT_EQ(bars[2], (BinRun{10, 25}));
}

TEST(SpectralEdges, GridEdgesAreTruncatedQuotients) {
  // E = 300: df = 1/300 Hz, so 0.04/df = 12 exactly (up to rounding of the quotient).
  for (int e : {60, 180, 300, 600}) {
    const SpectralGrid g = spectralGrid(e);
    EXPECT_EQ(g.kVlf, static_cast<int>(0.04 / g.df()));
    EXPECT_EQ(g.kHf, static_cast<int>(0.4 / g.df()));
  }
}

// Alternating 750 / 1250 ms: every second beat falls on a whole second, so
// the epoch boundary at 60 s is met exactly by interval 59.
std::vector<float> alternating(int count) {
  std::vector<float> x;
  for (int i = 0; i < count; ++i) x.push_back(i % 2 ? 1250.0f : 750.0f);
  return x;
}

TEST(Poincare, OpenEpochMembershipAtTheExactBoundary) {
  const std::vector<float> x = alternating(200);
  const PoincarePlot p1 = poincareOpen(x, 1, 60);
  // Beats at 0.75, 2, 2.75, ... 60: intervals 0 .. 59, the first without a pair.
  ASSERT_EQ(p1.x.size(), 59u);
  EXPECT_EQ(p1.x.front(), 750.0);
  EXPECT_EQ(p1.y.front(), 1250.0);
  EXPECT_EQ(p1.y.back(), 1250.0);  // interval 59 ends at exactly 60 s
  const PoincarePlot p2 = poincareOpen(x, 2, 60);
  // Intervals 60 .. 119; the first pairs with interval 59 of the epoch before.
  ASSERT_EQ(p2.x.size(), 60u);
  EXPECT_EQ(p2.x.front(), 1250.0);
  EXPECT_EQ(p2.y.front(), 750.0);
  EXPECT_EQ(p2.autoRange, (AxisRange{750.0, 1250.0}));
}

TEST(Poincare, FlatAndEmptyRanges) {
  const std::vector<float> flat(100, 800.0f);
  EXPECT_EQ(poincareOpen(flat, 1, 60).autoRange, (AxisRange{799.5, 800.5}));
  EXPECT_EQ(poincareOpen({}, 1, 60).autoRange, (AxisRange{0, 1}));
  EXPECT_EQ(poincareOfRun(flat, 0, 1).x.size(), 0u);  // the walk's first interval has no pair
  EXPECT_EQ(poincareOfRun(flat, 10, 5).x.size(), 5u);
  EXPECT_EQ(tachogramPlot(flat, 0.0, {0, 60}).autoRange, (AxisRange{799.5, 800.5}));
  EXPECT_EQ(tachogramPlot({}, 0.0, {0, 60}).autoRange, (AxisRange{0, 1}));
}

TEST(Poincare, RangeOfTheFirstPairFromBothThenSecondCoordinates) {
  const std::vector<float> x = {500, 900, 700, 800};
  const PoincarePlot p = poincareOfRun(x, 1, 3);
  EXPECT_EQ(p.autoRange, (AxisRange{500, 900}));
  const PoincarePlot q = poincareOfRun(x, 2, 2);  // pairs (900, 700), (700, 800)
  EXPECT_EQ(q.autoRange, (AxisRange{700, 900}));
}

TEST(Tachogram, WindowPointsAndRange) {
  const std::vector<float> x = alternating(200);
  const TachogramPlot t = tachogramPlot(x, 10.0, {40.0, 100.0});
  // The beat just before the window and the one just after it are kept.
  ASSERT_GE(t.x.size(), 3u);
  EXPECT_LT(t.x.front(), 40.0);
  EXPECT_GT(t.x.back(), 100.0);
  EXPECT_EQ(t.autoRange, (AxisRange{750, 1250}));
}

TEST(PoincareSdTest, Sd1AndSd2AgainstTheRotatedCoordinates) {
  const std::vector<float> x = modulated(300);
  const PoincarePlot p = poincareOpen(x, 1, 300);
  const std::optional<PoincareSd> sd = poincareSd(p);
  ASSERT_TRUE(sd);
  // Direct: the SD of the coordinates rotated by 45 degrees.
  const std::size_t n = p.x.size();
  std::vector<double> across, along;
  for (std::size_t i = 0; i < n; ++i) {
    across.push_back((p.y[i] - p.x[i]) / std::sqrt(2.0));
    along.push_back((p.y[i] + p.x[i]) / std::sqrt(2.0));
  }
  auto sdOf = [](const std::vector<double>& v) {
    double m = 0;
    for (double a : v) m += a;
    m /= v.size();
    double s = 0;
    for (double a : v) s += (a - m) * (a - m);
    return std::sqrt(s / (v.size() - 1));
  };
  EXPECT_NEAR(sd->sd1, sdOf(across), 1e-9);
  EXPECT_NEAR(sd->sd2, sdOf(along), 1e-9);
  EXPECT_GT(sd->sd2, sd->sd1);
  // The ellipse is closed and centred.
  const auto pts = poincareEllipse(*sd);
  EXPECT_DOUBLE_EQ(pts.front()[0], pts.back()[0]);
  EXPECT_NEAR(pts.front()[0] - sd->centreX, sd->sd2 / std::sqrt(2.0), 1e-9);
  PoincarePlot one;
  one.x = {800};
  one.y = {810};
  EXPECT_FALSE(poincareSd(one));
}

// The 61 windows of the 3D viewer over an open session.
class Spectra3DTest : public ::testing::Test {
 protected:
  void build(double seconds, int e) {
    ekg_ = openSeries(modulated(seconds));
    res_ = openResults(ekg_, e);
    data_.fill(&ekg_, nullptr, nullptr, res_, e);
  }
  // The spectrum of n prepared samples starting at `first`, computed here.
  std::vector<double> spectrumAt(std::span<const double> prepared, std::size_t first) {
    const SpectralGrid& g = data_.grid();
    std::vector<double> p(static_cast<std::size_t>(g.n / 2));
    double df = 0;
    EXPECT_EQ(AutoPowerSpectrum(prepared.data() + first, g.n, g.dt, p.data(), &df), kNumericOk);
    return p;
  }
  IntervalSeries ekg_;
  EpochResults res_;
  EpochViewData data_;
};

TEST_F(Spectra3DTest, FirstAndLastEpochWindows) {
  build(60 * 5.5, 60);
  ASSERT_EQ(data_.epochCount(), 5);
  const SpectralGrid& g = data_.grid();
  const std::int32_t m = spectraPoints(g);
  EXPECT_EQ(m, static_cast<int>(0.4 / g.df()));
  const std::int32_t s = spectraStride(60, g);
  EXPECT_EQ(s, 4);  // trunc(1 / 0.234375)
  // The prepared array, rebuilt here the way the statistics prepare it.
  std::vector<double> prepared = resampleOpenSession(ekg_.values, 5, g);
  for (int k = 0; k < 5; ++k) prepareSpectrumWindow(std::span<double>(prepared).subspan(k * g.n, g.n));

  for (std::int64_t k : {2, 5}) {
    const std::optional<Spectra3D> sp = data_.spectra3D(kViewEkg, k);
    ASSERT_TRUE(sp);
    ASSERT_EQ(sp->rows(), 61u);
    EXPECT_DOUBLE_EQ(sp->depthStart, (k - 1) * 60.0);
    EXPECT_DOUBLE_EQ(sp->depthEnd, k * 60.0);
    EXPECT_DOUBLE_EQ(sp->depth[60], (k - 1) * 60.0 + 60.0);
    for (int i : {0, 30, 60}) {
      const std::vector<double> p = spectrumAt(prepared, (k - 2) * g.n + i * s);
      for (int j = 1; j <= m; ++j) EXPECT_EQ(sp->power[i * m + (j - 1)], p[j]) << "window " << i << " bin " << j;
    }
    EXPECT_DOUBLE_EQ(sp->frequency[0], g.df());
  }
  // The spin is clamped to 2 .. count.
  EXPECT_EQ(data_.spectra3D(kViewEkg, 1)->power, data_.spectra3D(kViewEkg, 2)->power);
  EXPECT_EQ(data_.spectra3D(kViewEkg, 9)->power, data_.spectra3D(kViewEkg, 5)->power);
  EXPECT_FALSE(data_.spectra3D(kViewBvp, 2));
}

TEST_F(Spectra3DTest, OneEpochSessionDrawsOnlyTheWindowsThatFit) {
  build(60 * 1.4, 60);
  ASSERT_EQ(data_.epochCount(), 1);
  const std::optional<Spectra3D> sp = data_.spectra3D(kViewEkg, 2);
  ASSERT_TRUE(sp);
  EXPECT_EQ(sp->rows(), 1u);  // window 0 (samples 0 .. n-1) is the only one inside the array
  EXPECT_EQ(sp->window[0], 0);
  EXPECT_DOUBLE_EQ(sp->depthStart, 60.0);
}

TEST_F(Spectra3DTest, SixHundredSecondEpochsUseTwoThousandSamples) {
  build(600 * 3.2, 600);
  const std::optional<Spectra3D> sp = data_.spectra3D(kViewEkg, 3);
  ASSERT_TRUE(sp);
  EXPECT_EQ(sp->rows(), 61u);
  EXPECT_EQ(spectraStride(600, data_.grid()), 34);
  EXPECT_EQ(sp->m, static_cast<int>(0.4 / data_.grid().df()));  // trunc(0.4 * 600)
  EXPECT_NEAR(sp->m, 240, 1);
}

TEST_F(Spectra3DTest, OutOfMemorySkipsTheDrawing) {
  build(60 * 3.5, 60);
  testing::failNextNumericAllocation();
  EXPECT_FALSE(data_.spectra3D(kViewEkg, 2));
  EXPECT_TRUE(data_.spectra3D(kViewEkg, 2));
  testing::failNextNumericAllocation();
  EXPECT_FALSE(data_.charts(kViewEkg, 1)->spectrum);
}

// Colours of the wavelength table, computed here from its formulas.
int expectChannel(double c, double f) {
  if (c == 0) return 0;
  const double v = 255 * std::pow(c * f, 0.8);
  const double fl = std::floor(v);
  return v - fl > 0.5 ? static_cast<int>(fl) + 1 : static_cast<int>(fl);
}

struct WavelengthCase {
  double w;
  double r, g, b, f;
};

class WavelengthTest : public ::testing::TestWithParam<WavelengthCase> {};

TEST_P(WavelengthTest, ChannelsAtTheRangeEdges) {
  const WavelengthCase c = GetParam();
  const PackedColour col = wavelengthColour(c.w);
  EXPECT_EQ(redOf(col), expectChannel(c.r, c.f)) << c.w;
  EXPECT_EQ(greenOf(col), expectChannel(c.g, c.f)) << c.w;
  EXPECT_EQ(blueOf(col), expectChannel(c.b, c.f)) << c.w;
  EXPECT_EQ(col >> 24, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, WavelengthTest,
    ::testing::Values(WavelengthCase{380, 1, 0, 1, 0.3}, WavelengthCase{440, 0, 0, 1, 1},
                      WavelengthCase{490, 0, 1, 1, 1}, WavelengthCase{510, 0, 1, 0, 1},
                      WavelengthCase{580, 1, 1, 0.5, 1}, WavelengthCase{645, 1, 0, 0.5, 1},
                      WavelengthCase{700, 1, 0, 0.5, 1}, WavelengthCase{780, 0, 0, 0, 0},
                      WavelengthCase{379.9, 0, 0, 0, 0}, WavelengthCase{779, 1, 0, 0.5, 0.3 + 0.7 / 80},
                      WavelengthCase{400, 40.0 / 60, 0, 1, 0.65}, WavelengthCase{465, 0, 0.5, 1, 1}));

TEST(Palette, ExactValuesAndRounding) {
  // 380 nm: blue = 255 * 0.3^0.8 = 97.48... -> 97; red the same.
  EXPECT_EQ(wavelengthColour(380), 97u | 97u << 16);
  // 440 nm: pure blue at full intensity.
  EXPECT_EQ(wavelengthColour(440), 255u << 16);
  // 645 .. 700 nm: red 255, blue 255 * 0.5^0.8 = 146.47 -> 146.
  EXPECT_EQ(wavelengthColour(650), 255u | 146u << 16);
}

TEST(Palette, LevelsRunFromVioletAtTheBottomToRedAtTheTop) {
  const auto levels = spectrumPalette(512.0);
  EXPECT_DOUBLE_EQ(levels[255].start, 512.0);
  EXPECT_DOUBLE_EQ(levels[0].start, 2.0);
  EXPECT_DOUBLE_EQ(levels[127].start, 256.0);
  EXPECT_EQ(levels[0].colour, wavelengthColour(380 + 400.0 / 256));
  EXPECT_EQ(levels[254].colour, wavelengthColour(380 + 400.0 * 255 / 256));
  EXPECT_EQ(levels[255].colour, 0u);  // 780 nm lies outside the table
  EXPECT_GT(redOf(levels[250].colour), blueOf(levels[250].colour));
  EXPECT_GT(blueOf(levels[5].colour), greenOf(levels[5].colour));
}

struct DragCase {
  int button, modifier;
  int x, y;
  bool starts;
  View3DParams expected;
};

class DragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragTest, MovesSetTheParametersFromTheStartPoint) {
  const DragCase c = GetParam();
  DragTracker d;
  const View3DParams stored{4, -10, 70, 334, 327};
  EXPECT_EQ(d.press(c.button, c.modifier, 100, 200, stored), c.starts);
  EXPECT_EQ(d.active() ? d.move(c.x, c.y) : stored, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DragTest,
    ::testing::Values(DragCase{1, 1, 130, 180, true, {34, -30, 70, 334, 327}},   // pan
                      DragCase{1, 2, 130, 180, true, {4, -10, 40, 334, 327}},    // zoom
                      DragCase{1, 4, 130, 180, true, {4, -10, 70, 304, 347}},    // rotate
                      DragCase{2, 1, 130, 180, false, {4, -10, 70, 334, 327}},    // right drag: nothing
                      DragCase{1, 3, 130, 180, false, {4, -10, 70, 334, 327}},    // unsupported modifier
                      DragCase{1, 0, 130, 180, false, {4, -10, 70, 334, 327}}));

TEST(Drag, CameraPoseOfTheRestoredParameters) {
  const CameraPose c = cameraPoseOf(kRestored3DParams);
  EXPECT_EQ(c.xRotation, -26.0f);  // 334 degrees
  EXPECT_EQ(c.yRotation, 33.0f);   // 327 degrees, seen from above
  EXPECT_FLOAT_EQ(c.zoomLevel, 70.0f);
  EXPECT_FLOAT_EQ(c.targetX, -0.04f);
  EXPECT_FLOAT_EQ(c.targetY, -0.1f);
  const CameraPose far = cameraPoseOf({500, -500, 0, 720, 100});
  EXPECT_EQ(far.targetX, -1.0f);
  EXPECT_EQ(far.targetY, -1.0f);
  EXPECT_EQ(far.zoomLevel, 10.0f);
  EXPECT_EQ(far.xRotation, 0.0f);
  EXPECT_EQ(far.yRotation, -90.0f);
}

TEST(Drag, GesturesMapToTheCodes) {
  EXPECT_EQ(dragOf(kButtonPrimary, modifierCodeOf(true, false, false)), Drag3D::Pan);
  EXPECT_EQ(dragOf(kButtonPrimary, modifierCodeOf(false, true, false)), Drag3D::Zoom);
  EXPECT_EQ(dragOf(kButtonPrimary, modifierCodeOf(false, false, false)), Drag3D::Rotate);
  EXPECT_EQ(dragOf(kButtonPrimary, modifierCodeOf(true, true, false)), Drag3D::None);
  EXPECT_EQ(dragOf(kButtonPrimary, modifierCodeOf(false, false, true)), Drag3D::None);
  DragTracker d;
  d.press(1, 4, 0, 0, {});
  d.release();
  EXPECT_FALSE(d.active());
}

TEST(View3DParamsTest, RestoredValuesAreStoredInTheSettings) {
  CXMLMarkup doc(u"<HRVConfig><Settings><Zoom>12</Zoom></Settings></HRVConfig>");
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "rc_view3d_params.xml";
  ASSERT_TRUE(storeView3DParams(doc, file, kRestored3DParams).isOk());
  CXMLMarkup back;
  ASSERT_TRUE(back.Load(file));
  const AnalysisSettings s = loadAnalysisSettings(back, true, false);
  EXPECT_EQ(view3DParams(s), (View3DParams{4, -10, 70, 334, 327}));
  AnalysisSettings t;
  setView3DParams(t, {1, 2, 3, 4, 5});
  EXPECT_EQ(view3DParams(t), (View3DParams{1, 2, 3, 4, 5}));
  std::filesystem::remove(file);
}

TEST(ScaleRules, MenusAndChecks) {
  EpochViewState st;
  EXPECT_EQ(chartMenu(st, EpochChart::Spectrum, true), (ChartMenu{kShowAsLinesId, true, false}));
  EXPECT_EQ(chartMenu(st, EpochChart::Spectrum, false).toggleId, kShowAsBarsId);
  EXPECT_EQ(chartMenu(st, EpochChart::Tachogram, false).toggleId, kShowPointsId);
  st.tachogramPoints = true;
  st.autoPoincare = false;
  EXPECT_EQ(chartMenu(st, EpochChart::Tachogram, false).toggleId, kShowLineId);
  EXPECT_EQ(chartMenu(st, EpochChart::Poincare, false), (ChartMenu{0, false, true}));

  EXPECT_FALSE(checkScale(EpochChart::Tachogram, 300, 1500));
  EXPECT_EQ(checkScale(EpochChart::Tachogram, 1500, 300)->ids, std::vector<int>{kScaleRangeId});
  EXPECT_TRUE(checkScale(EpochChart::Poincare, 0, 20000));
  EXPECT_TRUE(checkScale(EpochChart::Poincare, NAN, 100));
  EXPECT_FALSE(checkScale(EpochChart::Spectrum, 0, 5000));
  EXPECT_EQ(checkScale(EpochChart::Spectrum, 0, 0)->ids, std::vector<int>{kScaleMaximumId});
  EXPECT_TRUE(checkScale(EpochChart::Spectrum, 0, INFINITY));
  setScale(st, EpochChart::Spectrum, {0, 250});
  EXPECT_EQ(currentScale(st, EpochChart::Spectrum), (AxisRange{0, 250}));
}

TEST(ViewState, AdoptsAutomaticRangesOnlyForAutoScaledCharts) {
  EpochViewState st;
  st.autoTachogram = false;
  EpochCharts c;
  c.tachogram.window = {60, 120};
  c.tachogram.autoRange = {700, 900};
  c.poincare.autoRange = {710, 890};
  st.adopt(c);
  EXPECT_EQ(st.tachogramWindow, (AxisRange{60, 120}));
  EXPECT_EQ(st.tachogramAxis, (AxisRange{0, 2000}));
  EXPECT_EQ(st.poincareAxis, (AxisRange{710, 890}));
  EXPECT_EQ(st.spectrumMax, 100.0);  // no spectrum drawn
}

}  // namespace
}  // namespace rc
