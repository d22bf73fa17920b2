#include "editors/autoedit/auto_edit.h"

#include <algorithm>
#include <cmath>

#include "analysis/epochs/epochs.h"
#include "analysis/numeric/numeric.h"
#include "analysis/series/series_file.h"

namespace rc {

int equalParts(double s, double m) {
  if (!(m > 0.0) || !std::isfinite(s) || !(s > 0.0)) return 1;
  const double q = s / m;
  if (q >= 1.0e6) return 1000000;
  int n = static_cast<int>(q);
  if (n < 1) return 1;
  if (std::fabs(s / (n + 1) - m) < std::fabs(s / n - m)) ++n;
  return n;
}

namespace {

// A window of consecutive input intervals and the limits of its mode.
struct Window {
  std::size_t begin = 0, end = 0;  // input indexes
  double endTime = 0.0;            // s; infinite for an open session
  double m = 0.0, lo = 0.0, hi = 0.0, d = 0.0;
  bool skip = false;  // no usable mode: its intervals are kept
};

enum class ModeOutcome { Ok, TooWide, NoBins };

ModeOutcome windowMode(std::span<const float> v, double& mode) {
  if (v.empty()) return ModeOutcome::NoBins;
  const auto [mn, mx] = std::minmax_element(v.begin(), v.end());
  const double lo = *mn, hi = *mx;
  if (!std::isfinite(lo) || !std::isfinite(hi)) return ModeOutcome::TooWide;
  const double bins = std::ceil((hi - lo) / 100.0);
  if (bins > kAutoEditMaxBins) return ModeOutcome::TooWide;
  if (bins < 1.0) return ModeOutcome::NoBins;
  if (Mode(v.data(), static_cast<std::int32_t>(v.size()), lo, hi, static_cast<std::int32_t>(bins), &mode) !=
      kNumericOk)
    return ModeOutcome::TooWide;
  return ModeOutcome::Ok;
}

void setLimits(Window& w, double variation) {
  w.lo = (100.0 - variation) * w.m / 100.0;
  w.hi = (100.0 + variation) * w.m / 100.0;
  w.d = variation * w.m / 100.0;
  w.skip = !(w.m > 0.0);
}

// One processed stretch: the input values [begin, end) starting at t0, with
// their windows; intervals after end are copied unchanged.
struct Stretch {
  std::size_t begin = 0, end = 0;
  double t0 = 0.0;
  double endTime = std::numeric_limits<double>::infinity();
  std::vector<Window> windows;
};

class Pass {
 public:
  Pass(const AutoEditInput& in, AutoEditResult& out) : in_(in), out_(out), v_(in.series->values) {}

  // Corrects one stretch, appending to out. Returns false when the run must stop.
  bool run(const Stretch& st, std::vector<float>& out) {
    std::size_t i = st.begin;
    double t = st.t0;
    std::size_t w = 0;
    while (i < st.end) {
      while (w + 1 < st.windows.size() && i >= st.windows[w].end) ++w;
      const Window& win = st.windows[w];
      const double x = v_[i];
      if (win.skip || st.windows.empty()) {
        out.push_back(v_[i]);
        t += x / 1000.0;
        ++i;
        continue;
      }
      const bool scripted = !in_.openSession;
      const auto has = [&](std::size_t k) { return k < st.end; };
      std::size_t used = 1;
      if (x <= win.lo) {
        double s = x;
        bool done = false;
        while (!done) {
          if (!has(i + used)) break;
          const double next = v_[i + used];
          if (scripted && t + (s + next) / 1000.0 > win.endTime) break;
          s += next;
          ++used;
          if (s >= win.lo && s <= win.hi) {
            emit(out, s, 1, kOpAdd, t, used);
            done = true;
          } else if (s > win.hi) {
            const int n = equalParts(s, win.m);
            if (n < 2) {
              emit(out, s, 1, kOpAdd, t, used);
            } else if (s / n > win.lo) {
              emit(out, s, n, kOpAverage, t, used);
            } else if (used == 2 && std::fabs(x - v_[i + 1]) <= win.d) {
              out.push_back(v_[i]);
              out.push_back(v_[i + 1]);
            } else {
              emit(out, s, n, kOpAverage, t, used);
            }
            done = true;
          }
        }
        if (!done) {
          // The window or the series ended first: the sum so far is one interval.
          if (used > 1)
            emit(out, s, 1, kOpAdd, t, used);
          else
            out.push_back(v_[i]);
        }
        if (tooManyMarks()) return false;
        for (std::size_t k = 0; k < used; ++k) t += v_[i + k] / 1000.0;
        i += used;
        continue;
      }
      if (x < win.hi) {
        if (!has(i + 1)) {
          out.push_back(v_[i]);
          t += x / 1000.0;
          ++i;
          continue;
        }
        const double y = v_[i + 1];
        const double yz = has(i + 2) ? std::fabs(y - v_[i + 2]) : std::numeric_limits<double>::infinity();
        if ((y > win.lo && y < win.hi) || std::fabs(x - y) <= win.d || std::fabs(x - y) <= yz) {
          out.push_back(v_[i]);
          t += x / 1000.0;
          ++i;
          continue;
        }
        const double s = x + y;
        emit(out, s, equalParts(s, win.m), kOpAverage, t, 2);
        if (tooManyMarks()) return false;
        t += s / 1000.0;
        i += 2;
        continue;
      }
      // A long interval, with a short one after it when there is one.
      double s = x;
      if (has(i + 1) && v_[i + 1] <= win.lo && (!scripted || t + (x + v_[i + 1]) / 1000.0 <= st.endTime)) {
        s += v_[i + 1];
        used = 2;
      }
      const int n = equalParts(s, win.m);
      if (n > 1) {
        emit(out, s, n, kOpAverage, t, used);
      } else if (used == 2) {
        out.push_back(static_cast<float>(s));
        out_.changedIntervals += 2;
      } else {
        out.push_back(v_[i]);
      }
      if (tooManyMarks()) return false;
      t += s / 1000.0;
      i += used;
    }
    return true;
  }

 private:
  void emit(std::vector<float>& out, double s, int n, std::int32_t op, double t, std::size_t consumed) {
    const float part = static_cast<float>(s / n);
    out.insert(out.end(), static_cast<std::size_t>(n), part);
    out_.changedIntervals += static_cast<int>(consumed);
    const OfferResult r = out_.segments.offer(in_.sourceChannel, op, t, t + s / 1000.0, in_.sessionDuration);
    if (r == OfferResult::Full) out_.listFull = true;
    if (stored(r)) ++out_.corrections;
    if (r == OfferResult::Inserted) ++out_.marksAdded;
  }
  bool tooManyMarks() const { return out_.marksAdded > kMaxMarksPerRun; }

  const AutoEditInput& in_;
  AutoEditResult& out_;
  const std::vector<float>& v_;
};

}  // namespace

AutoEditResult autoEditSeries(const AutoEditInput& input, const PeriodicSegmentList& segments) {
  AutoEditResult res;
  res.segments = segments;
  if (!input.series || input.series->values.empty()) {
    res.status = AutoEditStatus::Empty;
    return res;
  }
  const IntervalSeries& series = *input.series;
  const double variation = std::clamp(std::isfinite(input.variation) ? input.variation : 20.0, 10.0, 100.0);
  const std::span<const float> all(series.values);

  // The stretches and their windows.
  std::vector<Stretch> stretches;
  if (input.openSession || !input.protocol) {
    Stretch st;
    st.begin = 0;
    st.end = all.size();
    st.t0 = series.firstEventTime;
    Window w;
    w.begin = 0;
    w.end = all.size();
    w.endTime = std::numeric_limits<double>::infinity();
    double mode = 0.0;
    switch (windowMode(all, mode)) {
      case ModeOutcome::TooWide:
        res.status = AutoEditStatus::TooIrregular;
        return res;
      case ModeOutcome::NoBins:
        res.status = AutoEditStatus::Unchanged;
        res.corrected = series;
        return res;
      case ModeOutcome::Ok:
        break;
    }
    w.m = mode;
    setLimits(w, variation);
    st.windows.push_back(w);
    stretches.push_back(std::move(st));
  } else {
    const ScriptProtocol& p = *input.protocol;
    const SegmentIndex idx = segmentIndex(series, series.segments.size());
    const std::size_t segs = std::min(idx.size(), p.activities.size());
    for (std::size_t s = 0; s < segs; ++s) {
      const ActivityRecord& a = p.activities[s];
      if (a.excluded || a.cycles < 1 || idx.count[s] == 0) continue;
      Stretch st;
      st.begin = idx.first[s];
      st.t0 = segmentFirstEventTime(series, s);
      st.endTime = a.start + a.duration;
      // The processed part: intervals that end within the activity.
      double t = st.t0;
      std::size_t k = st.begin;
      const std::size_t segEnd = idx.first[s] + idx.count[s];
      while (k < segEnd && t + all[k] / 1000.0 <= st.endTime) t += all[k++] / 1000.0;
      st.end = k;
      // The windows: the steps, cycle after cycle, from the activity's start.
      double wEnd = a.start;
      t = st.t0;
      k = st.begin;
      for (std::int32_t c = 0; c < a.cycles && k < st.end; ++c) {
        for (std::int32_t stp = 1; stp <= a.steps && k < st.end; ++stp) {
          const StepDurationRecord* d = p.findStep(a.number, stp);
          wEnd += d ? d->duration : 0.0;
          Window w;
          w.begin = k;
          w.endTime = wEnd;
          while (k < st.end && t + all[k] / 1000.0 <= wEnd) t += all[k++] / 1000.0;
          w.end = k;
          if (w.end > w.begin) st.windows.push_back(w);
        }
      }
      if (st.windows.empty() || k < st.end) {
        // The segment's intervals outlast the steps: the last window takes the rest.
        if (st.windows.empty()) st.windows.push_back(Window{st.begin, st.end, st.endTime});
        st.windows.back().end = st.end;
        st.windows.back().endTime = st.endTime;
      }
      for (Window& w : st.windows) {
        double mode = 0.0;
        const auto vals = all.subspan(w.begin, w.end - w.begin);
        switch (windowMode(vals, mode)) {
          case ModeOutcome::TooWide:
            res.status = AutoEditStatus::TooIrregular;
            return res;
          case ModeOutcome::NoBins:
            mode = vals.empty() ? 0.0 : vals.front();
            break;
          case ModeOutcome::Ok:
            break;
        }
        w.m = mode;
        setLimits(w, variation);
      }
      stretches.push_back(std::move(st));
    }
  }

  // The pass: unprocessed intervals are copied unchanged, and each
  // segment's output count is kept.
  IntervalSeries out = series;
  out.values.clear();
  out.values.reserve(series.values.size() + 64);
  Pass pass(input, res);
  const SegmentIndex idx = segmentIndex(series, std::max<std::size_t>(series.segments.size(), 1));
  std::size_t next = 0;
  std::size_t si = 0;
  for (std::size_t seg = 0; seg < idx.size(); ++seg) {
    const std::size_t before = out.values.size();
    const std::size_t segEnd = idx.first[seg] + idx.count[seg];
    while (si < stretches.size() && stretches[si].begin < segEnd) {
      const Stretch& st = stretches[si++];
      out.values.insert(out.values.end(), all.begin() + static_cast<std::ptrdiff_t>(next),
                        all.begin() + static_cast<std::ptrdiff_t>(st.begin));
      if (!pass.run(st, out.values)) {
        res.status = AutoEditStatus::TooManyMarks;
        res.segments = segments;
        return res;
      }
      next = st.end;
    }
    out.values.insert(out.values.end(), all.begin() + static_cast<std::ptrdiff_t>(next),
                      all.begin() + static_cast<std::ptrdiff_t>(segEnd));
    next = segEnd;
    if (seg < out.segments.size()) out.segments[seg].intervalCount = static_cast<std::int32_t>(out.values.size() - before);
  }
  // Values beyond the records' counts are kept after the last segment.
  out.values.insert(out.values.end(), all.begin() + static_cast<std::ptrdiff_t>(next), all.end());
  if (!out.segments.empty() && next < all.size())
    out.segments.back().intervalCount += static_cast<std::int32_t>(all.size() - next);
  if (input.openSession && !out.segments.empty()) out.segments[0].intervalCount = static_cast<std::int32_t>(out.values.size());

  res.corrected = std::move(out);
  res.status = res.changedIntervals > 0 ? AutoEditStatus::Corrected : AutoEditStatus::Unchanged;
  return res;
}

AutoEditOutcome runAutoEdit(const AutoEditTarget& target, UserInterface& ui) {
  if (!target.series || !target.segments) return AutoEditOutcome::NotRun;
  AutoEditInput in = target.input;
  in.series = target.series;
  AutoEditResult r = autoEditSeries(in, *target.segments);
  switch (r.status) {
    case AutoEditStatus::Empty:
      ui.showMessage(messageOf(kEmptySeriesId), Icon::Warning);
      return AutoEditOutcome::NotRun;
    case AutoEditStatus::TooIrregular:
    case AutoEditStatus::TooManyMarks:
      ui.showMessage(messageOf(irregularMessageId(target.detectionType)), Icon::Warning);
      return AutoEditOutcome::NotRun;
    case AutoEditStatus::Unchanged:
      ui.showMessage(MessageBuilder().idArg(kNewMarksId, 0LL).build(), Icon::Information);
      return AutoEditOutcome::NothingToCorrect;
    case AutoEditStatus::Corrected:
      break;
  }
  if (r.listFull) ui.showMessage(marksFullMessage(target.detectionType), Icon::Warning);
  ChoiceRequest choice;
  choice.caption = messageOf(kAutoEditCaptionId);
  choice.text = MessageBuilder().idArg(kNewMarksId, static_cast<long long>(r.marksAdded)).build();
  choice.label = messageOf(kChoiceLabelId);
  choice.options = {messageOf(kStoreIntervalsId), messageOf(kStoreIntervalsAndMarksId)};
  choice.initial = 1;
  const auto option = ui.chooseOption(choice);
  if (!option) return AutoEditOutcome::Cancelled;
  *target.series = std::move(r.corrected);
  if (!target.seriesFile.empty()) saveIntervalSeries(target.seriesFile, *target.series, in.openSession, ui);
  if (*option == 1) {
    *target.segments = std::move(r.segments);
    if (!target.segmentsFile.empty()) savePeriodicSegments(target.segmentsFile, *target.segments, ui);
    return AutoEditOutcome::StoredIntervalsAndMarks;
  }
  return AutoEditOutcome::StoredIntervals;
}

}  // namespace rc
