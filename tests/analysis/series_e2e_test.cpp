// Interval series generated through the real detector library, compared
// with the known beat times of synthetic signals and the annotated beats of
// real recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/series/series_gen.h"
#include "detect/real_records.h"
#include "detect/synthetic.h"

namespace rc {
namespace {

namespace syn = rc::detect::testing;

struct Agreement {
  double matched = 0.0;       // share of intervals whose end falls on a reference event
  double accurate = 0.0;      // share of intervals within the tolerance of the reference interval
  double countRatio = 0.0;    // intervals / reference intervals
  double medianOffset = 0.0;  // s, interval end - reference event
};

// Compares interval end times (s) and values (ms) with reference event samples.
Agreement compare(const IntervalSeries& s, const std::vector<std::int64_t>& events, double rate,
                  double tolMs) {
  Agreement a;
  const std::vector<double> ends = intervalEndTimes(s);
  if (ends.empty() || events.size() < 2) return a;
  std::vector<double> ref(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) ref[i] = static_cast<double>(events[i]) / rate;
  auto nearest = [&](double t) {
    auto it = std::lower_bound(ref.begin(), ref.end(), t);
    if (it == ref.end()) return ref.size() - 1;
    if (it != ref.begin() && t - *(it - 1) < *it - t) --it;
    return static_cast<std::size_t>(it - ref.begin());
  };
  std::vector<double> offsets;
  for (double t : ends) offsets.push_back(t - ref[nearest(t)]);
  std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
  a.medianOffset = offsets[offsets.size() / 2];
  std::size_t matched = 0, accurate = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const double t = ends[k] - a.medianOffset;
    const std::size_t j = nearest(t);
    if (std::abs(t - ref[j]) * 1000.0 > tolMs || j == 0) continue;
    ++matched;
    const double trueMs = (ref[j] - ref[j - 1]) * 1000.0;
    if (std::abs(s.values[k] - trueMs) <= tolMs) ++accurate;
  }
  a.matched = static_cast<double>(matched) / ends.size();
  a.accurate = static_cast<double>(accurate) / ends.size();
  a.countRatio = static_cast<double>(ends.size()) / (events.size() - 1);
  return a;
}

SessionTiming openTiming(std::uint32_t blockRate, double seconds) {
  SessionTiming t;
  t.blockRate = blockRate;
  t.sessionLength = static_cast<float>(seconds);
  return t;
}

struct SyntheticCase {
  const char* name;
  SeriesKind kind;
  std::uint8_t type;
  std::uint32_t blockRate;
};

class SyntheticAccuracy : public ::testing::TestWithParam<SyntheticCase> {};

TEST_P(SyntheticAccuracy, IntervalsFollowTheKnownBeats) {
  const SyntheticCase& c = GetParam();
  constexpr double kRate = 500.0;
  constexpr double kSeconds = 240.0;
  syn::Disturbance d;
  d.noise = 0.02;
  d.wander = 0.1;
  syn::Synthetic sig;
  double tolMs = 12.0;
  if (c.kind == SeriesKind::IbiFromEkg) {
    sig = syn::makeEkg(kRate, kSeconds, 0.8, 0, d, 7);
  } else if (c.kind == SeriesKind::IbiFromBvp) {
    sig = syn::makePulse(kRate, kSeconds, 0.8, d, 7);
    tolMs = 25.0;
  } else {
    // The detector finds the peak of the filtered signal, which moves within
    // the breath as the breath lengths vary.
    sig = syn::makeBreathing(kRate, kSeconds, 12.0, d, 7);
    tolMs = 500.0;
  }
  DetectionSettings st;
  st.ekgType = st.bvpType = st.respOption = c.type;
  auto lib = makeSignalLibrary();
  auto s = generateIntervalSeries(c.kind, {sig.samples, kRate}, openTiming(c.blockRate, kSeconds), st, *lib);
  ASSERT_TRUE(s);
  const Agreement a = compare(*s, sig.events, kRate, tolMs);
  std::printf("%-28s intervals %zu / %zu, matched %.3f, accurate %.3f, offset %+.3f s\n", c.name,
              s->values.size(), sig.events.size() - 1, a.matched, a.accurate, a.medianOffset);
  // About 46 breaths: the reference leaves out the breaths at both ends, two intervals of the count.
  const bool resp = c.kind == SeriesKind::RespPeriod;
  EXPECT_GE(a.matched, resp ? 0.93 : 0.97);
  EXPECT_GE(a.accurate, resp ? 0.93 : 0.97);
  EXPECT_NEAR(a.countRatio, 1.0, resp ? 0.07 : 0.02);
  EXPECT_EQ(s->segments.size(), 1u);
  EXPECT_EQ(s->segments[0].intervalCount, static_cast<std::int32_t>(s->values.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Series, SyntheticAccuracy,
    ::testing::Values(SyntheticCase{"EkgBasicLargeBlocks", SeriesKind::IbiFromEkg, 0, 2},
                      SyntheticCase{"EkgBasicSmallBlocks", SeriesKind::IbiFromEkg, 0, 64},
                      SyntheticCase{"EkgAdvanced", SeriesKind::IbiFromEkg, 1, 16},
                      SyntheticCase{"BvpBasic", SeriesKind::IbiFromBvp, 0, 16},
                      SyntheticCase{"BvpAdvancedSmallBlocks", SeriesKind::IbiFromBvp, 1, 100},
                      SyntheticCase{"RespirationFast", SeriesKind::RespPeriod, 0, 16},
                      SyntheticCase{"RespirationSlow", SeriesKind::RespPeriod, 1, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SeriesEndToEnd, ScriptedSegmentsKeepTheirIntervalsOnTheTimeAxis) {
  constexpr double kRate = 250.0;
  const auto sig = syn::makeEkg(kRate, 150.0, 0.9, 0, {}, 3);
  SessionTiming t;
  t.blockRate = 10;
  t.openSession = false;
  t.sessionLength = 150.0f;
  t.segmentDurations = {45, 30, 60, 30};  // the script runs 15 s past the recording
  auto lib = makeSignalLibrary();
  auto s = generateIntervalSeries(SeriesKind::IbiFromEkg, {sig.samples, kRate}, t, {}, *lib);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->segments.size(), 4u);
  const std::vector<double> ends = intervalEndTimes(*s);
  const double starts[] = {0, 45, 75, 135, 150};
  std::size_t k = 0;
  for (std::size_t seg = 0; seg < 4; ++seg) {
    EXPECT_EQ(s->segments[seg].number, static_cast<std::int32_t>(seg + 1));
    EXPECT_NEAR(s->segments[seg].segmentStart, starts[seg], 0.11);
    for (std::int32_t j = 0; j < s->segments[seg].intervalCount; ++j, ++k) {
      EXPECT_GE(ends[k], starts[seg] - 0.05) << seg << " " << j;
      EXPECT_LE(ends[k], starts[seg + 1] + 0.05) << seg << " " << j;
    }
  }
  EXPECT_EQ(k, s->values.size());
  const Agreement a = compare(*s, sig.events, kRate, 12.0);
  EXPECT_GE(a.accurate, 0.95);
}

TEST(SeriesEndToEnd, BeatsAtScriptBoundariesAreCountedOnce) {
  // Twenty 30 s segments: at some boundaries the last beat of a segment is
  // reported in the first block of the next.
  constexpr double kRate = 500.0;
  syn::Disturbance d;
  d.noise = 0.02;
  d.wander = 0.1;
  const auto sig = syn::makeEkg(kRate, 600.0, 0.8, 0, d, 7);
  SessionTiming t;
  t.blockRate = 16;
  t.openSession = false;
  t.sessionLength = 600.0f;
  t.segmentDurations.assign(20, 30.0);
  auto lib = makeSignalLibrary();
  auto s = generateIntervalSeries(SeriesKind::IbiFromEkg, {sig.samples, kRate}, t, {}, *lib);
  ASSERT_TRUE(s);
  const std::vector<double> ends = intervalEndTimes(*s);
  ASSERT_FALSE(ends.empty());
  for (std::size_t j = 1; j < ends.size(); ++j) EXPECT_GT(ends[j], ends[j - 1] + 0.3) << j;
  EXPECT_LE(ends.size(), sig.events.size());
}

TEST(SeriesEndToEnd, AnnotatedRecordingsGiveTheirBeats) {
  bool any = false;
  for (const auto& ch : syn::ekgChannels()) {
    if (!ch.annotated) continue;
    const auto samples = syn::loadChannel(ch.record, ch.channel);
    const auto beats = syn::loadBeats(ch.record);
    if (samples.empty() || beats.empty()) continue;
    any = true;
    auto lib = makeSignalLibrary();
    auto s = generateIntervalSeries(SeriesKind::IbiFromEkg, {samples, ch.rate},
                                    openTiming(16, samples.size() / ch.rate), {}, *lib);
    ASSERT_TRUE(s) << ch.record;
    const Agreement a = compare(*s, beats, ch.rate, 40.0);
    std::printf("%-16s intervals %zu / %zu, matched %.3f, accurate %.3f, offset %+.3f s\n", ch.record,
                s->values.size(), beats.size() - 1, a.matched, a.accurate, a.medianOffset);
    EXPECT_GE(a.matched, 0.9) << ch.record;
    EXPECT_GE(a.accurate, 0.85) << ch.record;
    EXPECT_NEAR(a.countRatio, 1.0, 0.1) << ch.record;
  }
  if (!any) GTEST_SKIP() << "no annotated recordings under " << syn::realDir();
}

}  // namespace
}  // namespace rc
