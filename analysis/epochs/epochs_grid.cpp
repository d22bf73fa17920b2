// Which epochs a session holds and which intervals belong to each.
#include <algorithm>
#include <cmath>

#include "analysis/epochs/epochs.h"

namespace rc {
namespace {

// An interval that is not a finite number does not advance the running time.
double advance(float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; }

// Complete epochs in a running time of `ms` milliseconds.
std::int64_t epochsIn(double ms, std::int32_t epochSeconds) {
  if (!(ms > 0.0)) return 0;
  const double k = std::floor(ms / (epochSeconds * 1000.0));
  return k >= static_cast<double>(kMaxEpochs) ? kMaxEpochs : static_cast<std::int64_t>(k);
}

}  // namespace

std::int64_t openEpochCount(std::span<const float> intervals, std::int32_t epochSeconds) {
  if (epochSeconds <= 0) return 0;
  double total = 0.0;
  for (float v : intervals) total += advance(v);
  return epochsIn(total, epochSeconds);
}

std::vector<IntervalSpan> openEpochSpans(std::span<const float> intervals, std::int64_t epochs,
                                         std::int32_t epochSeconds) {
  std::vector<IntervalSpan> spans;
  if (epochs <= 0) return spans;
  spans.reserve(static_cast<std::size_t>(epochs));
  const std::size_t n = intervals.size();
  std::size_t i = 0;
  double t = 0.0;  // ms, the start of interval i
  for (std::int64_t k = 0; k < epochs; ++k) {
    const double boundary = static_cast<double>(k + 1) * epochSeconds * 1000.0;
    IntervalSpan span{i, 0, t / 1000.0};
    while (i < n) {
      const double end = t + advance(intervals[i]);
      if (end >= boundary || i + 1 == n) {
        span.count = i - span.first + 1;
        if (end > boundary) break;  // straddles: also the first interval of the next epoch
        t = end;
        ++i;
        break;
      }
      t = end;
      ++i;
    }
    spans.push_back(span);
  }
  return spans;
}

IntervalSpan SegmentIndex::span(std::size_t s) const {
  if (s >= first.size()) return {};
  return {first[s], count[s], 0.0};
}

SegmentIndex segmentIndex(const IntervalSeries& series, std::size_t segments) {
  SegmentIndex idx;
  idx.first.resize(segments);
  idx.count.resize(segments);
  const std::size_t n = series.values.size();
  std::size_t at = 0;
  for (std::size_t s = 0; s < segments; ++s) {
    std::size_t c = 0;
    if (s < series.segments.size()) {
      const std::int64_t declared = std::max<std::int32_t>(0, series.segments[s].intervalCount);
      c = static_cast<std::size_t>(std::min<std::int64_t>(declared, static_cast<std::int64_t>(n - at)));
    }
    idx.first[s] = at;
    idx.count[s] = c;
    at += c;
  }
  return idx;
}

namespace {

// Complete epochs of each analysed step of activity `s`, walked over the
// segment's intervals from its first one.
std::vector<std::int64_t> walkSteps(const ScriptProtocol& protocol, std::size_t s,
                                    const IntervalSeries& series, const SegmentIndex& idx,
                                    std::int32_t epochSeconds) {
  const ActivityRecord& a = protocol.activities[s];
  std::vector<std::int64_t> out;
  const IntervalSpan seg = idx.span(s);
  std::size_t i = seg.first;
  bool exhausted = seg.count == 0;
  for (std::int32_t st = 1; st <= a.steps; ++st) {
    const StepDurationRecord* d = protocol.findStep(a.number, st);
    if (!d || !d->analysed()) continue;
    if (exhausted) {
      out.push_back(0);
      continue;
    }
    double t = 0.0;  // ms
    if (s == 0 && !series.segments.empty()) t = advance(series.segments[0].firstBeatOffset) * 1000.0;
    const std::size_t last = seg.first + seg.count - 1;
    const double limit = d->duration * 1000.0;
    for (;;) {
      t += advance(series.values[i]);
      if (t >= limit) break;
      if (i == last) {
        exhausted = true;
        break;
      }
      ++i;
    }
    out.push_back(epochsIn(t, epochSeconds));
  }
  return out;
}

}  // namespace

std::vector<StepEntry> stepEpochs(const ScriptProtocol& protocol,
                                  std::span<const IntervalSeries* const> series, std::int32_t epochSeconds) {
  std::vector<StepEntry> out;
  if (epochSeconds <= 0) return out;
  std::vector<SegmentIndex> indexes;
  for (const IntervalSeries* s : series) indexes.push_back(segmentIndex(*s, protocol.activities.size()));
  for (std::size_t s = 0; s < protocol.activities.size(); ++s) {
    const ActivityRecord& a = protocol.activities[s];
    if (a.excluded || a.cycles < 1) continue;
    std::vector<std::int64_t> counts;
    for (std::size_t j = 0; j < series.size(); ++j) {
      std::vector<std::int64_t> c = walkSteps(protocol, s, *series[j], indexes[j], epochSeconds);
      if (j == 0) {
        counts = std::move(c);
      } else {
        for (std::size_t k = 0; k < counts.size() && k < c.size(); ++k) counts[k] = std::min(counts[k], c[k]);
      }
    }
    std::size_t k = 0;
    for (std::int32_t st = 1; st <= a.steps; ++st) {
      const StepDurationRecord* d = protocol.findStep(a.number, st);
      if (!d || !d->analysed()) continue;
      StepEntry e{a.number, st, s, a.start, k < counts.size() ? counts[k] : 0};
      for (const StepTimelineEntry& t : protocol.timeline)
        if (t.activity == a.number && t.step == st && t.cycle == 1) {
          e.start = t.start;
          break;
        }
      out.push_back(e);
      ++k;
    }
  }
  return out;
}

std::vector<EpochEntry> scriptedEpochEntries(const ScriptProtocol& protocol,
                                             const std::vector<StepEntry>& steps) {
  std::vector<EpochEntry> out;
  for (std::size_t s = 0; s < protocol.activities.size(); ++s) {
    const ActivityRecord& a = protocol.activities[s];
    if (a.excluded || a.cycles < 1) continue;
    for (std::int32_t c = 1; c <= a.cycles; ++c) {
      for (const StepEntry& st : steps) {
        if (st.segment != s) continue;
        const StepDurationRecord* d = protocol.findStep(a.number, st.step);
        const std::string stepText = stepLabel(st.step, d ? d->label : std::string());
        const double cycleStart = st.start + a.cycleLength() * (c - 1);
        for (std::int64_t e = 1; e <= st.epochs && out.size() < kMaxEpochEntries; ++e)
          out.push_back({a.number, st.step, c, static_cast<std::int32_t>(e), s, cycleStart, activityLabel(a),
                         stepText});
      }
    }
  }
  return out;
}

double scriptedEpochStart(double cycleStart, std::int32_t epoch, std::int32_t epochSeconds,
                          double firstBeat) {
  // The step's start moves to the first beat as a whole, so that its epochs
  // stay back to back; a start after the first beat is kept.
  const double offset = static_cast<double>(epoch - 1) * epochSeconds;
  return (cycleStart < firstBeat ? firstBeat : cycleStart) + offset;
}

}  // namespace rc
