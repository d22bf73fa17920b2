#include "analysis/series/series_gen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "analysis/series_test_detector.h"
#include "detect/detector.h"
#include "detect/synthetic.h"
#include "support/binary.h"

namespace rc {
namespace {

using testing::regularDetections;
using testing::ScriptedLibrary;

constexpr double kRate = 1000.0;

SessionTiming openTiming(std::uint32_t blockRate = 10) {
  SessionTiming t;
  t.blockRate = blockRate;
  t.openSession = true;
  return t;
}

SessionTiming scriptedTiming(std::vector<double> durations, float sessionLength,
                             std::uint32_t blockRate = 10) {
  SessionTiming t;
  t.blockRate = blockRate;
  t.openSession = false;
  t.segmentDurations = std::move(durations);
  t.sessionLength = sessionLength;
  return t;
}

// Detections every `stepSamples` from `from` (inclusive) to `to` (exclusive).
std::vector<std::int64_t> every(std::int64_t from, std::int64_t to, std::int64_t stepSamples) {
  std::vector<std::int64_t> out;
  for (std::int64_t s = from; s < to; s += stepSamples) out.push_back(s);
  return out;
}

std::int64_t sumCounts(const IntervalSeries& s) {
  std::int64_t total = 0;
  for (const auto& r : s.segments) total += r.intervalCount;
  return total;
}

TEST(SeriesParameters, BlockCarriesBoundsAndTypePerKind) {
  DetectionSettings st;
  st.ekgType = 1;
  st.bvpType = 0;
  st.respOption = 1;
  auto ekg = makeParameterBlock(SeriesKind::IbiFromEkg, st);
  EXPECT_EQ(loadF32(ekg.bytes.data() + 68), 300.0f);
  EXPECT_EQ(loadF32(ekg.bytes.data() + 72), 2000.0f);
  EXPECT_EQ(ekg.bytes[81], 1);
  EXPECT_EQ(ekg.bytes[80], 0);
  auto bvp = makeParameterBlock(SeriesKind::IbiFromBvp, st);
  EXPECT_EQ(bvp.bytes[81], 0);
  auto resp = makeParameterBlock(SeriesKind::RespPeriod, st);
  EXPECT_EQ(loadF32(resp.bytes.data() + 68), 1.0f);
  EXPECT_EQ(loadF32(resp.bytes.data() + 72), 1.0f);
  EXPECT_EQ(resp.bytes[80], 1);
  EXPECT_EQ(resp.bytes[81], 0);
  // Nothing else is set.
  int nonZero = 0;
  for (std::size_t i = 0; i < resp.bytes.size(); ++i) {
    if (i < 68 || i >= 81) nonZero += resp.bytes[i] != 0;
  }
  EXPECT_EQ(nonZero, 0);
  EXPECT_EQ(detectorCode(SeriesKind::IbiFromEkg), 0x54);
  EXPECT_EQ(detectorCode(SeriesKind::IbiFromBvp), 0x66);
  EXPECT_EQ(detectorCode(SeriesKind::RespPeriod), 0x25);
}

TEST(SeriesGeneration, CallsTheLibraryBlockByBlock) {
  std::vector<float> samples(2555, 0.0f);  // 10 full blocks of 250 and a partial one
  ScriptedLibrary lib;
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, 1000.0}, openTiming(4), {}, lib);
  ASSERT_TRUE(pass);
  EXPECT_EQ(lib.startedWith, 4u);
  ASSERT_EQ(lib.counts.size(), 11u);
  EXPECT_EQ(lib.counts.front(), 250);
  EXPECT_EQ(lib.counts.back(), 55);
  for (std::size_t k = 0; k < lib.times.size(); ++k) {
    EXPECT_EQ(lib.times[k], static_cast<double>(k) / 4.0);
    EXPECT_EQ(lib.steps[k], 0.25);
    EXPECT_EQ(lib.codes[k], 0x66);
    EXPECT_EQ(lib.rates[k], 1000.0);
  }
  EXPECT_EQ(lib.created, 1);
  EXPECT_EQ(lib.released, 1);
  EXPECT_EQ(pass->slots.size(), samples.size());
}

TEST(SeriesGeneration, AWholeNumberOfBlocksEndsWithACallOfOneSample) {
  // A recording is made of whole blocks: the last sample goes alone, so that
  // the detector sees a shorter block and decides the beat still waiting.
  std::vector<float> samples(2500, 0.0f);
  ScriptedLibrary lib;
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, 1000.0}, openTiming(4), {}, lib);
  ASSERT_TRUE(pass);
  ASSERT_EQ(lib.counts.size(), 11u);
  EXPECT_EQ(lib.counts[8], 250);
  EXPECT_EQ(lib.counts[9], 249);
  EXPECT_EQ(lib.counts[10], 1);
  EXPECT_EQ(lib.times[10], 9.0 / 4.0);  // both calls are of the tenth block
}

TEST(SeriesGeneration, TheBeatJustBeforeTheEndOfWholeBlocksIsKept) {
  // 2,048 Hz in blocks of 64 samples, as the sessions are recorded; the
  // channel ends 0.1 s after a beat, too soon for the detector to be sure
  // of it without being told the channel ends.
  const double rate = 2048.0;
  const auto s = detect::testing::makeEkg(rate, 40, 0.8, 0, detect::testing::Disturbance{.noise = 0.02}, 5);
  const std::int64_t lastBeat = s.events.back();
  std::size_t end = static_cast<std::size_t>(lastBeat + std::llround(0.1 * rate));
  end -= end % 64;
  const std::vector<float> samples(s.samples.begin(), s.samples.begin() + static_cast<std::ptrdiff_t>(end));
  auto lib = makeSignalLibrary();
  auto pass = collectDetections(SeriesKind::IbiFromEkg, {samples, rate}, openTiming(32), {}, *lib);
  ASSERT_TRUE(pass);
  std::int64_t lastFound = -1;
  for (std::size_t i = 0; i < pass->slots.size(); ++i)
    if (pass->slots[i] < detect::kDetectionLimit) lastFound = static_cast<std::int64_t>(i);
  EXPECT_LE(std::llabs(lastFound - lastBeat), std::llround(0.05 * rate)) << "last beat at " << lastBeat;
}

TEST(SeriesGeneration, UnusableBlockSizesGiveNoSeriesWithoutCallingTheLibrary) {
  std::vector<float> samples(400, 0.0f);
  for (auto [rate, blockRate] : {std::pair{4.0, 8u}, {1000.0, 0u}, {NAN, 8u}, {-250.0, 8u}}) {
    ScriptedLibrary lib;
    auto r = generateIntervalSeries(SeriesKind::IbiFromEkg, {samples, rate}, openTiming(blockRate), {}, lib);
    EXPECT_FALSE(r) << rate << " Hz, R " << blockRate;
    EXPECT_TRUE(lib.counts.empty());
  }
}

TEST(SeriesGeneration, DetectionsAreMovedToTheirSamplesAcrossBlockEdges) {
  // Blocks of 100 samples; detections reported 0 .. 250 slots after their
  // sample, some in the same block, some several blocks later.
  std::vector<float> samples(3000, 0.0f);
  ScriptedLibrary lib;
  lib.detections = {{99, 99, 800},     {100, 150, 800},   {950, 1001, 850},
                    {1190, 1199, 870}, {1799, 2049, 900}, {2500, 2500, 910}};
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(pass);
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < pass->slots.size(); ++i) {
    if (pass->slots[i] < detect::kDetectionLimit) at.push_back(i);
  }
  EXPECT_EQ(at, (std::vector<std::size_t>{99, 100, 950, 1190, 1799, 2500}));
  EXPECT_EQ(pass->detections, 6u);
  EXPECT_EQ(pass->slots[1799], 900.0f);
  // The beat one period before the first detection (0.099 s - 0.8 s) would lie
  // before the recording: the first detection is the first event.
  EXPECT_FLOAT_EQ(pass->firstEventTime, 0.099f);
  EXPECT_EQ(pass->openingSamples, (std::vector<std::size_t>{99}));
}

TEST(SeriesGeneration, DetectionBelongingLaterInTheSameBlockCountsOnce) {
  std::vector<float> samples(1000, 0.0f);
  ScriptedLibrary lib;
  lib.detections = {{180, 120, 800}};  // reported before the sample it belongs to
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(pass);
  EXPECT_EQ(pass->detections, 1u);
  EXPECT_EQ(pass->slots[180], 800.0f);
  EXPECT_EQ(pass->slots[120], detect::kNoValue);
}

TEST(SeriesGeneration, PositionsOutsideTheDataAreDropped) {
  std::vector<float> samples(1000, 0.0f);
  ScriptedLibrary lib;
  lib.detections = {{0, 5, 800}, {-40, 20, 800}, {1000, 990, 800}, {5000000, 995, 800}, {500, 510, 800}};
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(pass);
  EXPECT_EQ(pass->detections, 1u);
  EXPECT_EQ(pass->slots[500], 800.0f);
  EXPECT_EQ(std::count_if(pass->slots.begin(), pass->slots.end(),
                          [](float v) { return v < detect::kDetectionLimit; }),
            1);
}

TEST(SeriesGeneration, FailedBlocksAndNonPositiveSlotsGiveNoDetections) {
  std::vector<float> samples(1000, 0.0f);
  ScriptedLibrary lib;
  lib.emptySlot = 0.0f;  // a library that leaves zeros rather than the marker
  lib.detections = {{150, 160, 800}, {450, 460, -3.0f}, {750, 760, 800}};
  lib.failingBlocks = {7};
  auto pass = collectDetections(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(pass);
  EXPECT_EQ(pass->detections, 1u);
  EXPECT_EQ(pass->slots[150], 800.0f);
  for (std::size_t i = 0; i < pass->slots.size(); ++i) {
    if (i != 150) {
      EXPECT_EQ(pass->slots[i], detect::kNoValue) << i;
    }
  }
}

// One row of the interval rules: detections at the given samples (1 kHz, the
// first event at sample 0) with the given detected periods.
struct RuleCase {
  const char* name;
  SeriesKind kind;
  std::uint8_t type;
  std::vector<std::int64_t> at;
  std::vector<float> periods;
  std::vector<float> expected;
};

class IntervalRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(IntervalRules, AppendsTheExpectedIntervals) {
  const RuleCase& c = GetParam();
  DetectionPass pass;
  pass.slots.assign(10000, detect::kNoValue);
  for (std::size_t i = 0; i < c.at.size(); ++i) pass.slots[c.at[i]] = c.periods[i];
  pass.segments = {SegmentRecord{1, 0.0f, 0.0f, 0}};
  pass.boundaries = {pass.slots.size()};
  pass.detections = c.at.size();
  DetectionSettings st;
  st.ekgType = st.bvpType = c.type;
  IntervalSeries s = buildIntervals(c.kind, pass, kRate, st);
  EXPECT_EQ(s.values, c.expected);
  ASSERT_EQ(s.segments.size(), 1u);
  EXPECT_EQ(s.segments[0].intervalCount, static_cast<std::int32_t>(c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Series, IntervalRules,
    ::testing::Values(
        RuleCase{"EkgBasicGapSplitsInTwo", SeriesKind::IbiFromEkg, 0, {1000}, {500}, {500, 500}},
        RuleCase{"EkgBasicKeepsElapsedWithoutCarry",
                 SeriesKind::IbiFromEkg,
                 0,
                 {820, 1620},
                 {800, 800},
                 {820, 800}},
        RuleCase{"BvpRatioWithinOnePercentKeepsElapsed", SeriesKind::IbiFromBvp, 0, {805}, {800}, {805}},
        RuleCase{"BvpRatioAboveCarries", SeriesKind::IbiFromBvp, 0, {820, 1620}, {800, 820}, {800, 820}},
        RuleCase{
            "BvpRatioBelowCarriesNegative", SeriesKind::IbiFromBvp, 0, {700, 1600}, {800, 800}, {800, 800}},
        RuleCase{"BvpGapAppendsRemainderThenPeriod", SeriesKind::IbiFromBvp, 0, {1600}, {800}, {800, 800}},
        RuleCase{
            "EkgAdvancedUsesTheRatioRules", SeriesKind::IbiFromEkg, 1, {820, 1620}, {800, 820}, {800, 820}},
        // The edges: a gap is an elapsed time above 1.9 periods (1.84 and
        // 1.92 sit on either side), and elapsed times within 0.99 to 1.01 of
        // the period are kept (0.985 and 1.015 fall outside).
        RuleCase{"EkgBasicBelowTheGapEdgeKeepsElapsed", SeriesKind::IbiFromEkg, 0, {920}, {500}, {920}},
        RuleCase{"EkgBasicAboveTheGapEdgeSplits", SeriesKind::IbiFromEkg, 0, {960}, {500}, {460, 500}},
        RuleCase{"BvpBelowTheGapEdgeCarries", SeriesKind::IbiFromBvp, 0, {920}, {500}, {500}},
        RuleCase{"BvpAboveTheGapEdgeSplits", SeriesKind::IbiFromBvp, 0, {960}, {500}, {460, 500}},
        RuleCase{"BvpJustBelowTheLowRatioEdgeCarries", SeriesKind::IbiFromBvp, 0, {985}, {1000}, {1000}},
        RuleCase{"BvpAtTheLowRatioEdgeKeepsElapsed", SeriesKind::IbiFromBvp, 0, {990}, {1000}, {990}},
        RuleCase{"BvpAtTheHighRatioEdgeKeepsElapsed", SeriesKind::IbiFromBvp, 0, {1010}, {1000}, {1010}},
        RuleCase{"BvpJustAboveTheHighRatioEdgeCarries", SeriesKind::IbiFromBvp, 0, {1015}, {1000}, {1000}},
        RuleCase{"RespirationUsesTheRatioRules",
                 SeriesKind::RespPeriod,
                 0,
                 {4030, 8000},
                 {4000, 4000},
                 {4030, 3970}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SeriesIntervals, CarryRunsOnAcrossASegmentBoundary) {
  // Segment 1 ends with an elapsed time 2.5 % above the period (800 appended,
  // 20 ms carried); segment 2 starts at 1 s with its first event at 1.1 s.
  DetectionPass pass;
  pass.slots.assign(2000, detect::kNoValue);
  pass.slots[820] = 800.0f;
  pass.slots[1885] = 800.0f;
  pass.segments = {SegmentRecord{1, 0.0f, 0.0f, 1}, SegmentRecord{2, 0.1f, 1.0f, 1}};
  pass.boundaries = {1000, 2000};
  pass.detections = 2;
  IntervalSeries s = buildIntervals(SeriesKind::IbiFromBvp, pass, kRate, {});
  // 785 ms + the 20 ms carried = 805 ms, within 1 % of the period.
  EXPECT_EQ(s.values, (std::vector<float>{800.0f, 805.0f}));
  ASSERT_EQ(s.segments.size(), 2u);
  EXPECT_EQ(s.segments[0].intervalCount, 1);
  EXPECT_EQ(s.segments[1].intervalCount, 1);
}

TEST(SeriesGeneration, EveryDetectionAfterAGapGivesTwoIntervals) {
  // 1,000 detections, each 2 s after the previous with a detected period of 1 s.
  const std::int64_t n = 2'000'100;
  std::vector<float> samples(static_cast<std::size_t>(n), 0.0f);
  ScriptedLibrary lib;
  for (std::int64_t s = 2000; s < n; s += 2000) lib.detections.push_back({s, s + 3, 1000.0f});
  auto series = generateIntervalSeries(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(8), {}, lib);
  ASSERT_TRUE(series);
  // The first follows the first event by exactly its period: one interval.
  ASSERT_EQ(series->values.size(), 2 * lib.detections.size() - 1);
  for (float v : series->values) EXPECT_EQ(v, 1000.0f);
  EXPECT_EQ(series->segments[0].intervalCount, static_cast<std::int32_t>(series->values.size()));
}

TEST(SeriesGeneration, OpenSessionHasOneRecordWithTheFirstEvent) {
  std::vector<float> samples(10000, 0.0f);
  ScriptedLibrary lib;
  lib.detections = regularDetections(every(1050, 10000, 800), kRate, 30, 800.0f);
  auto s = generateIntervalSeries(SeriesKind::IbiFromBvp, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->firstEventTime, 0.25f);
  ASSERT_EQ(s->segments.size(), 1u);
  EXPECT_EQ(s->segments[0].number, 0);  // the table of an open session starts zeroed
  EXPECT_EQ(s->segments[0].firstBeatOffset, 0.25f);
  EXPECT_EQ(s->segments[0].segmentStart, 0.0f);
  EXPECT_EQ(s->values, std::vector<float>(12, 800.0f));
  EXPECT_EQ(s->segments[0].intervalCount, 12);
  EXPECT_TRUE(lib.resetSeenAtBlock.empty());
}

// The first beat of a steady 900 ms rhythm at a given time after the start:
// the series starts with a true interval either way.
struct FirstBeatCase {
  const char* name;
  std::int64_t firstBeat;  // ms after the start (1 kHz)
  float firstEvent;        // s
  std::size_t intervals;
  float firstBeatOffset;   // s, the record's offset of an open session
};

class FirstInterval : public ::testing::TestWithParam<FirstBeatCase> {};

TEST_P(FirstInterval, IsATrueInterval) {
  const FirstBeatCase& c = GetParam();
  std::vector<float> samples(10000, 0.0f);
  for (std::uint8_t type : {0, 1}) {
    for (SeriesKind kind : {SeriesKind::IbiFromEkg, SeriesKind::IbiFromBvp}) {
      ScriptedLibrary lib;
      lib.detections = regularDetections(every(c.firstBeat, 10000, 900), kRate, 30, 900.0f);
      DetectionSettings st;
      st.ekgType = st.bvpType = type;
      auto s = generateIntervalSeries(kind, {samples, kRate}, openTiming(10), st, lib);
      ASSERT_TRUE(s);
      EXPECT_FLOAT_EQ(s->firstEventTime, c.firstEvent);
      ASSERT_EQ(s->segments.size(), 1u);
      EXPECT_FLOAT_EQ(s->segments[0].firstBeatOffset, c.firstBeatOffset);
      EXPECT_EQ(s->values, std::vector<float>(c.intervals, 900.0f));
      EXPECT_EQ(s->segments[0].intervalCount, static_cast<std::int32_t>(c.intervals));
      // The interval ends fall on the detected beats.
      const auto ends = intervalEndTimes(*s);
      ASSERT_FALSE(ends.empty());
      EXPECT_NEAR(ends.front(), (static_cast<double>(c.firstBeat) + 900.0) / 1000.0 -
                                    (c.firstBeat >= 900 ? 0.9 : 0.0), 1e-6);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Series, FirstInterval,
                         ::testing::Values(
                             // Beats at 0.4, 1.3 .. 9.4 s: the first opens the series, 10 intervals.
                             FirstBeatCase{"BeatBeforeItsPeriodOpensTheSeries", 400, 0.4f, 10, 0.4f},
                             // Beats at 1.2 .. 9.3 s: the beat before lies at 0.3 s, 10 intervals.
                             FirstBeatCase{"LaterBeatKeepsTheBeatBefore", 1200, 0.3f, 10, 0.3f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SeriesGeneration, FirstPeriodReachingTheStartOpensTheSeries) {
  // A detector that cannot tell its first period reports the time since the
  // start (700 ms for a beat at 0.7 s): the beat before would sit on the
  // first sample, which is no beat either.
  std::vector<float> samples(5000, 0.0f);
  ScriptedLibrary lib;
  lib.detections = {{700, 730, 700.0f}, {1600, 1630, 900.0f}, {2500, 2530, 900.0f}};
  auto s = generateIntervalSeries(SeriesKind::IbiFromEkg, {samples, kRate}, openTiming(10), {}, lib);
  ASSERT_TRUE(s);
  EXPECT_FLOAT_EQ(s->firstEventTime, 0.7f);
  EXPECT_EQ(s->values, (std::vector<float>{900.0f, 900.0f}));
}

class ScriptedSegments : public ::testing::Test {
 protected:
  // 1 kHz, a detection every 1,000 ms from 0.5 s, reported 40 slots late.
  Result<IntervalSeries> run(double seconds, std::vector<double> durations, float sessionLength,
                             std::vector<std::int64_t> beats = {}) {
    samples.assign(static_cast<std::size_t>(seconds * kRate), 0.0f);
    if (beats.empty()) beats = every(500, static_cast<std::int64_t>(samples.size()), 1000);
    lib.detections = regularDetections(beats, kRate, 40, 1000.0f);
    return generateIntervalSeries(SeriesKind::IbiFromBvp, {samples, kRate},
                                  scriptedTiming(std::move(durations), sessionLength), {}, lib);
  }
  std::vector<float> samples;
  ScriptedLibrary lib;
};

TEST_F(ScriptedSegments, OneRecordPerSegmentWithItsOwnIntervals) {
  auto s = run(180, {60, 60, 60}, 180);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s->segments[i].number, i + 1);
    EXPECT_FLOAT_EQ(s->segments[i].segmentStart, 60.0f * i);
    // The first detection after the start belongs at start + 0.5 s; its period puts the first event 1 s
    // earlier.
    // (The first segment's first beat, at 0.5 s, is its own first event.)
    EXPECT_NEAR(segmentFirstEventTime(*s, i), i == 0 ? 0.5 : 60.0 * i - 0.5, 1e-4);
    EXPECT_EQ(s->segments[i].intervalCount, i == 0 ? 59 : 60) << i;
  }
  EXPECT_EQ(sumCounts(*s), static_cast<std::int64_t>(s->values.size()));
  for (float v : s->values) EXPECT_NEAR(v, 1000.0f, 1e-3);
  // The detector was told at the two inner boundaries (blocks 600 and 1200).
  EXPECT_EQ(lib.resetSeenAtBlock, (std::vector<std::size_t>{600, 1200}));
}

TEST_F(ScriptedSegments, BeatReportedAfterABoundaryStaysInTheSegmentItBelongsTo) {
  // Beats at 0.99 s + k s: the beats at 59.99 s and 119.99 s are reported
  // 40 ms later, in the first block of the next segment (the one at 179.99 s
  // would be reported after the end of the data).
  auto s = run(180, {60, 60, 60}, 180, every(990, 180000, 1000));
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 3u);
  // The first beat, at 0.99 s, is the first event: it opens the first interval.
  EXPECT_EQ(s->segments[0].intervalCount, 59);
  EXPECT_EQ(s->segments[1].intervalCount, 60);
  EXPECT_EQ(s->segments[2].intervalCount, 59);
  // The next segment starts from that beat, not from the one before it.
  EXPECT_NEAR(segmentFirstEventTime(*s, 1), 59.99, 1e-4);
  EXPECT_NEAR(segmentFirstEventTime(*s, 2), 119.99, 1e-4);
  // No beat is counted twice: the interval ends rise strictly.
  const std::vector<double> ends = intervalEndTimes(*s);
  ASSERT_EQ(ends.size(), 178u);
  for (std::size_t k = 1; k < ends.size(); ++k) EXPECT_GT(ends[k], ends[k - 1] + 0.5) << k;
  for (std::size_t k = 1; k < s->values.size(); ++k) EXPECT_NEAR(s->values[k], 1000.0f, 1e-3) << k;
}

TEST_F(ScriptedSegments, RecordingShorterThanTheScriptClosesEverySegment) {
  // The data end 40 s into the second of three 60 s segments.
  auto s = run(100, {60, 60, 60}, 180);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 3u);
  EXPECT_EQ(s->segments[0].intervalCount, 59);
  EXPECT_FLOAT_EQ(s->segments[1].segmentStart, 60.0f);
  EXPECT_EQ(s->segments[1].intervalCount, 40);
  EXPECT_EQ(s->segments[2].number, 3);
  EXPECT_EQ(s->segments[2].intervalCount, 0);
  EXPECT_EQ(sumCounts(*s), static_cast<std::int64_t>(s->values.size()));
}

TEST_F(ScriptedSegments, SessionEndingAtABoundaryGivesEmptyRecordsForTheRest) {
  // The session's duration is 120 s although 150 s were recorded.
  auto s = run(150, {60, 60, 60}, 120);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 3u);
  EXPECT_EQ(s->segments[1].intervalCount, 60);
  EXPECT_EQ(s->segments[2].number, 3);
  EXPECT_EQ(s->segments[2].intervalCount, 0);
  EXPECT_EQ(s->segments[2].segmentStart, s->segments[1].segmentStart);
  EXPECT_EQ(s->segments[2].firstBeatOffset, s->segments[1].firstBeatOffset);
  EXPECT_EQ(sumCounts(*s), static_cast<std::int64_t>(s->values.size()));
  EXPECT_EQ(s->values.size(), 119u);  // the first beat opens the series
}

TEST_F(ScriptedSegments, SegmentWithoutDetectionsKeepsARecord) {
  std::vector<std::int64_t> beats = every(500, 60000, 1000);
  for (std::int64_t b : every(120500, 180000, 1000)) beats.push_back(b);
  auto s = run(180, {60, 60, 60}, 180, beats);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 3u);
  EXPECT_EQ(s->segments[1].intervalCount, 0);
  EXPECT_EQ(s->segments[1].firstBeatOffset, 0.0f);
  EXPECT_EQ(s->segments[0].intervalCount, 59);
  EXPECT_EQ(s->segments[2].intervalCount, 60);
  EXPECT_EQ(sumCounts(*s), static_cast<std::int64_t>(s->values.size()));
}

TEST_F(ScriptedSegments, SegmentsShorterThanABlockAreAllRecorded) {
  auto s = run(10, {0.01, 0.02, 5, 0}, 10);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 4u);
  EXPECT_EQ(s->segments[3].number, 4);
  EXPECT_EQ(sumCounts(*s), static_cast<std::int64_t>(s->values.size()));
}

TEST(SeriesTimeAxis, EndTimesAccumulateInDoublePerSegment) {
  IntervalSeries s;
  s.firstEventTime = 0.25f;
  s.segments = {{1, 0.25f, 0.0f, 5143}, {2, 0.5f, 3700.0f, 2}};
  s.values.assign(5143, 700.1f);
  s.values.push_back(1000.0f);
  s.values.push_back(500.0f);
  const auto ends = intervalEndTimes(s);
  ASSERT_EQ(ends.size(), s.values.size());
  const double v = static_cast<double>(700.1f);
  for (std::size_t k = 0; k < 5143; k += 257) EXPECT_NEAR(ends[k], 0.25 + (k + 1) * v / 1000.0, 1e-9) << k;
  EXPECT_NEAR(ends[5142], 0.25 + 5143 * v / 1000.0, 1e-9);
  EXPECT_DOUBLE_EQ(ends[5143], 3701.5);
  EXPECT_DOUBLE_EQ(ends[5144], 3702.0);
}

TEST(SeriesRms, GroupsOfTheAveragingFactor) {
  std::vector<float> x = {1, 7, 5, 5, 2, -14, 9};
  EXPECT_EQ(computeRms(x, 2).values, (std::vector<float>{5, 5, 10}));
  EXPECT_TRUE(computeRms(x, 8).values.empty());
  EXPECT_TRUE(computeRms({}, 4).values.empty());
  // A factor of 0 (a missing setting) is taken as 1; one above 256 as 256.
  EXPECT_EQ(computeRms(x, 0).values.size(), x.size());
  EXPECT_EQ(computeRms(x, 0).values[5], 14.0f);
  std::vector<float> many(600, 2.0f);
  EXPECT_EQ(computeRms(many, 100000).values, (std::vector<float>{2.0f, 2.0f}));
}

}  // namespace
}  // namespace rc
