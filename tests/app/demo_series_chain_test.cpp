// The whole chain on the demo data root: each session loaded as the program
// loads it (recording, configuration, detection, interval series), its EKG
// and BVP intervals held beat by beat against the generator's true beat times.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/series/series.h"
#include "app/session_analysis_load.h"
#include "demo/demo_root.h"
#include "store/data_root.h"
#include "support/locale.h"
#include "support/paths.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

struct TruthBeats {
  std::vector<double> t;       // s
  std::vector<bool> ectopic;   // premature beats of the generator
};

TruthBeats truthBeats(const fs::path& folder) {
  std::ifstream in(folder / "truth_beats.csv");
  std::string line;
  std::getline(in, line);
  TruthBeats b;
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    if (auto v = parseReal(line.substr(0, comma))) {
      b.t.push_back(*v);
      b.ectopic.push_back(comma != std::string::npos && line.find("ectopic", comma) != std::string::npos);
    }
  }
  return b;
}

// The index of the true beat nearest to t, or -1 when none lies within tol.
long nearestBeat(const std::vector<double>& truth, double t, double tol) {
  auto it = std::lower_bound(truth.begin(), truth.end(), t);
  long best = -1;
  double bestD = tol;
  for (auto c : {it - 1, it}) {
    if (c < truth.begin() || c >= truth.end()) continue;
    const double d = std::fabs(*c - t);
    if (d <= bestD) {
      bestD = d;
      best = static_cast<long>(c - truth.begin());
    }
  }
  return best;
}

struct IntervalCheck {
  std::size_t intervals = 0;
  std::size_t matched = 0;  // both ends on true beats one beat apart, value within tolerance
  std::size_t nearEctopic = 0;  // left out: an end on a premature beat or on the beat before one
  double firstValue = 0.0;  // ms
  double firstTrue = 0.0;   // ms, the true interval the first one should be (0: its ends are not true beats)
  double worstMs = 0.0;     // largest difference among the matched intervals
  double missFrom = 0.0, missTo = 0.0;  // s, the span of the ends of the intervals that missed
};

// Each interval runs from its start (end minus value) to its end; both must
// fall on true beats (after the channel's constant delay) one beat apart, and
// the value must be within tolMs of the true interval. Intervals next to a
// premature beat are left out: the detectors place a premature complex of
// another shape a few tens of milliseconds away from the generator's time.
IntervalCheck checkIntervals(const IntervalSeries& s, const TruthBeats& truth, double tolMs) {
  IntervalCheck c;
  const std::vector<double>& tb = truth.t;
  const std::vector<double> ends = intervalEndTimes(s);
  c.intervals = ends.size();
  if (ends.empty() || tb.size() < 2) return c;
  // The channel's delay: the median distance from each interval end to the last true beat before it.
  std::vector<double> lags;
  for (double e : ends) {
    auto it = std::upper_bound(tb.begin(), tb.end(), e + 0.05);
    if (it != tb.begin()) lags.push_back(e - *(it - 1));
  }
  std::nth_element(lags.begin(), lags.begin() + static_cast<long>(lags.size() / 2), lags.end());
  const double delay = lags.empty() ? 0.0 : lags[lags.size() / 2];
  auto ectopicAt = [&](long i) { return i >= 0 && static_cast<std::size_t>(i) < tb.size() && truth.ectopic[static_cast<std::size_t>(i)]; };
  bool missed = false;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const double value = s.values[k];
    const long b = nearestBeat(tb, ends[k] - delay, 0.1);
    const long a = nearestBeat(tb, ends[k] - value / 1000.0 - delay, 0.1);
    const bool paired = a >= 0 && b == a + 1;
    const double trueMs = paired ? (tb[static_cast<std::size_t>(b)] - tb[static_cast<std::size_t>(a)]) * 1000.0 : 0.0;
    if (k == 0) {
      c.firstValue = value;
      c.firstTrue = trueMs;
    }
    if (paired && std::fabs(value - trueMs) <= tolMs) {
      ++c.matched;
      c.worstMs = std::max(c.worstMs, std::fabs(value - trueMs));
      continue;
    }
    if (ectopicAt(a) || ectopicAt(b) || ectopicAt(b + 1)) {
      ++c.nearEctopic;
      continue;
    }
    if (std::getenv("RC_CHAIN_LIST"))
      std::printf("  interval %zu ending %.3f s: %.1f ms, true %.1f ms\n", k, ends[k], value, trueMs);
    if (!missed) c.missFrom = ends[k];
    c.missTo = ends[k];
    missed = true;
  }
  return c;
}

class DemoSeriesChain : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setProgramFolder(RC_PROGRAM_DIR);
    std::string pattern = (fs::temp_directory_path() / "rc_chain_XXXXXX").string();
    if (::mkdtemp(pattern.data())) root_ = new fs::path(pattern);
    if (!root_) return;
    demo::DemoOptions o;
    o.timeScale = 0.1;
    o.skipLongSession = true;
    o.programFolder = *root_ / "program";
    fs::create_directories(o.programFolder);
    made_ = static_cast<bool>(demo::makeDemoDataRoot(*root_, o));
  }
  static void TearDownTestSuite() {
    if (root_) {
      std::error_code ec;
      fs::remove_all(*root_, ec);
    }
    delete root_;
    root_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(root_, nullptr);
    ASSERT_TRUE(made_);
  }

  static fs::path* root_;
  static bool made_;
};
fs::path* DemoSeriesChain::root_ = nullptr;
bool DemoSeriesChain::made_ = false;

TEST_F(DemoSeriesChain, EverySeriesStartsWithATrueIntervalAndFollowsTheTrueBeats) {
  for (const demo::DemoSessionId& id : {demo::kDemoShortOpen, demo::kDemoMediumOpen, demo::kDemoScripted,
                                         demo::kDemoMultiChannel, demo::kDemoArchived}) {
    SCOPED_TRACE(id.what);
    ScriptedUi ui;
    SessionLoadRequest req{*root_, RC_PROGRAM_DIR, id.client, id.session, {}};
    auto session = loadSessionForAnalysis(req, ui);
    ASSERT_NE(session, nullptr);
    const TruthBeats truth = truthBeats(session->folder);
    ASSERT_GT(truth.t.size(), 20u);
    struct Channel {
      const char* name;
      const std::optional<IntervalSeries>* series;
      double tolMs;  // the pulse's arrival varies a little from beat to beat
      double firstTolMs;  // the first beat is placed like every other one
    };
    int checked = 0;
    for (const Channel& ch : {Channel{"EKG", &session->ekg, 8.0, 2.0}, Channel{"BVP", &session->bvp, 40.0, 10.0}}) {
      if (!ch.series->has_value()) continue;
      SCOPED_TRACE(ch.name);
      ++checked;
      const IntervalSeries& s = **ch.series;
      const IntervalCheck c = checkIntervals(s, truth, ch.tolMs);
      ASSERT_GT(c.intervals, 10u);
      // The first interval is a real one: from the first beat to the second.
      EXPECT_GT(c.firstTrue, 0.0) << "first interval " << c.firstValue << " ms does not join two true beats";
      EXPECT_NEAR(c.firstValue, c.firstTrue, ch.firstTolMs);
      // Beat by beat: every interval matches its true interval, except next
      // to premature beats and within one stretch of motion artefact (one
      // session holds one of about 8 s).
      EXPECT_LE(c.missTo - c.missFrom, 15.0) << "intervals missed from " << c.missFrom << " s to " << c.missTo << " s";
      const double share = static_cast<double>(c.matched) / static_cast<double>(c.intervals - c.nearEctopic);
      EXPECT_GE(share, 0.9) << c.matched << " of " << c.intervals - c.nearEctopic << " intervals on the true beats";
      std::printf("%-40s %s: %zu intervals, %zu on the true beats, %zu next to premature beats, first %.1f ms "
                  "(true %.1f ms), worst %.1f ms\n",
                  id.what, ch.name, c.intervals, c.matched, c.nearEctopic, c.firstValue, c.firstTrue, c.worstMs);
    }
    EXPECT_GT(checked, 0);
  }
}

}  // namespace
}  // namespace rc
