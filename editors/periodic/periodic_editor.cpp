#include "editors/periodic/periodic_editor.h"

#include <algorithm>
#include <cmath>

#include "analysis/series/series_file.h"
#include "editors/periodic/row_text.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {

namespace {
double seriesEnd(const IntervalSeries& s) {
  const auto ends = intervalEndTimes(s);
  return ends.empty() ? s.firstEventTime : ends.back();
}
std::size_t segmentOfActivityNumber(const ScriptProtocol& p, std::int32_t activity) {
  for (std::size_t i = 0; i < p.activities.size(); ++i)
    if (p.activities[i].number == activity) return i;
  return 0;
}
}  // namespace

void PeriodicEditor::load(const PeriodicSource& source, UserInterface& ui) {
  src_ = source;
  model_ = PeriodicEditModel(src_.sourceChannel, src_.decimal);
  readPeriodicSegments(segmentsFile(), segments_);  // missing or unreadable: no segments
  index_ = 0;
  cursor_ = 0.0;
  listed_ = -2;
  marksFull_ = false;
  if (!src_.series) return;
  fill(ui);
  if (segments_.size() >= kMaxPeriodicSegments) checkMarksLimit(ui);
}

int PeriodicEditor::indexCount() const {
  if (!src_.series) return 1;
  if (frame_ == TimeFrame::Session) return 1;
  if (src_.openSession) {
    const auto n = openEpochCount(src_.series->values, src_.epochSeconds);
    return static_cast<int>(std::clamp<std::int64_t>(n, 1, kMaxEpochs));
  }
  std::size_t n = 0;
  if (frame_ == TimeFrame::Epoch && src_.epochs) n = src_.epochs->entries.size();
  if (frame_ == TimeFrame::Step && src_.protocol) n = src_.protocol->timeline.size();
  if (frame_ == TimeFrame::Activity && src_.protocol) n = src_.protocol->activities.size();
  return static_cast<int>(std::clamp<std::size_t>(n, 1, 1u << 30));
}

int PeriodicEditor::segmentOfIndex(int index) const {
  if (!scriptedStretch()) return -1;
  const auto i = static_cast<std::size_t>(index);
  if (frame_ == TimeFrame::Epoch && src_.epochs && i < src_.epochs->entries.size())
    return static_cast<int>(src_.epochs->entries[i].segment);
  if (frame_ == TimeFrame::Step && src_.protocol && i < src_.protocol->timeline.size())
    return static_cast<int>(segmentOfActivityNumber(*src_.protocol, src_.protocol->timeline[i].activity));
  if (frame_ == TimeFrame::Activity && src_.protocol && i < src_.protocol->activities.size())
    return index;
  return -1;
}

PeriodicWindow PeriodicEditor::window() const {
  PeriodicWindow w;
  if (!src_.series) return w;
  const IntervalSeries& s = *src_.series;
  w.start = s.firstEventTime;
  w.end = seriesEnd(s);
  const auto i = static_cast<std::size_t>(index_);
  if (frame_ == TimeFrame::Session) return w;
  if (src_.openSession) {
    const double e = src_.epochSeconds;
    w.start = s.firstEventTime + index_ * e;
    w.end = w.start + e;
    w.epochText = strprintf("%d", index_ + 1);
    return w;
  }
  const std::string join = str(kActivityLabelSuffixId);
  if (frame_ == TimeFrame::Epoch && src_.epochs && i < src_.epochs->entries.size()) {
    const EpochEntry& e = src_.epochs->entries[i];
    w.start = scriptedEpochStart(e.cycleStart, e.epoch, src_.epochSeconds, segmentFirstEventTime(s, e.segment));
    w.end = w.start + src_.epochSeconds;
    w.description = e.activityLabel + join + e.stepLabel;
    w.cycleText = strprintf("%d", e.cycle);
    w.epochText = strprintf("%d", e.epoch);
  } else if (frame_ == TimeFrame::Step && src_.protocol && i < src_.protocol->timeline.size()) {
    const StepTimelineEntry& e = src_.protocol->timeline[i];
    w.start = e.start;
    w.end = e.start + e.duration;
    ActivityRecord named;
    named.number = e.activity;
    named.name = e.activityName;
    w.description = activityLabel(named) + join + e.stepLabel;
    w.cycleText = strprintf("%d", e.cycle);
  } else if (frame_ == TimeFrame::Activity && src_.protocol && i < src_.protocol->activities.size()) {
    const ActivityRecord& a = src_.protocol->activities[i];
    w.start = a.start;
    w.end = a.start + a.duration;
    w.description = activityLabel(a);
  }
  return w;
}

void PeriodicEditor::fill(UserInterface& ui) {
  (void)ui;
  marksFull_ = segments_.size() >= kMaxPeriodicSegments;
  const IntervalSeries& s = *src_.series;
  const int segment = segmentOfIndex(index_);
  if (segment == listed_ && listed_ != -2) return;
  listed_ = segment;
  runSegments_.clear();
  const SegmentIndex idx = segmentIndex(s, std::max<std::size_t>(s.segments.size(), 1));
  if (segment >= 0) {
    const std::size_t seg = static_cast<std::size_t>(segment);
    const std::size_t first = seg < idx.size() ? idx.first[seg] : 0;
    const std::size_t count = seg < idx.size() ? idx.count[seg] : 0;
    model_.setRows(std::span<const float>(s.values).subspan(first, count), segmentFirstEventTime(s, seg));
  } else if (src_.openSession) {
    model_.setRows(s.values, s.firstEventTime);
  } else {
    // The whole series of a scripted session: each segment from its own first event.
    std::vector<PeriodicRow> rows;
    rows.reserve(s.values.size());
    std::vector<std::size_t> starts;
    for (std::size_t seg = 0; seg < idx.size(); ++seg) {
      if (idx.count[seg] == 0) continue;
      starts.push_back(rows.size());
      runSegments_.push_back(static_cast<int>(seg));
      double t = segmentFirstEventTime(s, seg);
      for (std::size_t k = idx.first[seg]; k < idx.first[seg] + idx.count[seg]; ++k) {
        rows.push_back(PeriodicRow{formatRowTime(static_cast<float>(t), src_.decimal),
                                   formatRowInterval(s.values[k])});
        t += static_cast<double>(s.values[k]) / 1000.0;
      }
    }
    model_.setRows(std::move(rows));
    model_.setRunStarts(std::move(starts));
  }
  loadedRows_ = model_.rowCount();
}

void PeriodicEditor::checkMarksLimit(UserInterface& ui) {
  if (static_cast<std::size_t>(model_.unsavedCount()) + segments_.size() < kMaxPeriodicSegments) return;
  ui.showMessage(marksFullMessage(src_.detectionType), Icon::Warning);
  marksFull_ = true;
}

std::optional<EditApplied> PeriodicEditor::afterEdit(std::optional<EditApplied> applied, UserInterface& ui) {
  if (applied) checkMarksLimit(ui);
  return applied;
}

std::optional<EditApplied> PeriodicEditor::add(std::span<const std::size_t> selection, UserInterface& ui) {
  if (marksFull_) return std::nullopt;
  return afterEdit(model_.add(selection, ui), ui);
}

std::optional<EditApplied> PeriodicEditor::split(std::span<const std::size_t> selection, UserInterface& ui) {
  if (marksFull_) return std::nullopt;
  SplitOptions o;
  o.cursorTime = cursor_;
  o.cursorMustLieInList = scriptedStretch();
  return afterEdit(model_.split(selection, o, ui), ui);
}

std::optional<EditApplied> PeriodicEditor::average(std::span<const std::size_t> selection, UserInterface& ui) {
  if (marksFull_) return std::nullopt;
  return afterEdit(model_.average(selection, ui), ui);
}

bool PeriodicEditor::writeBackRows(UserInterface& ui) {
  IntervalSeries& s = *src_.series;
  std::vector<float> rows = model_.values();
  if (listed_ >= 0) {
    // One session segment: find the series index of the first row by its start time.
    const auto seg = static_cast<std::size_t>(listed_);
    const SegmentIndex idx = segmentIndex(s, std::max<std::size_t>(s.segments.size(), 1));
    const auto t0 = model_.rowTime(0);
    std::optional<std::size_t> k;
    if (t0 && seg < idx.size()) {
      double t = segmentFirstEventTime(s, seg);
      double best = 0.0;
      for (std::size_t j = idx.first[seg]; j < idx.first[seg] + idx.count[seg]; ++j) {
        const double half = static_cast<double>(s.values[j]) / 2000.0;
        const double d = std::fabs(t - static_cast<double>(*t0));
        if (d <= half && (!k || d < best)) {
          k = j;
          best = d;
        }
        t += static_cast<double>(s.values[j]) / 1000.0;
      }
    }
    if (!k || *k + loadedRows_ > idx.first[seg] + idx.count[seg] || seg >= s.segments.size()) {
      ui.showMessage(fileNotCreatedMessage(src_.seriesFile), Icon::Warning);
      return false;
    }
    std::vector<float> values;
    values.reserve(s.values.size() - loadedRows_ + rows.size());
    values.insert(values.end(), s.values.begin(), s.values.begin() + static_cast<std::ptrdiff_t>(*k));
    values.insert(values.end(), rows.begin(), rows.end());
    values.insert(values.end(), s.values.begin() + static_cast<std::ptrdiff_t>(*k + loadedRows_), s.values.end());
    s.values = std::move(values);
    s.segments[seg].intervalCount += static_cast<std::int32_t>(rows.size()) - static_cast<std::int32_t>(loadedRows_);
  } else {
    if (!src_.openSession) {
      // The whole scripted series: each run of rows is one segment's intervals.
      for (auto& r : s.segments) r.intervalCount = 0;
      const auto& starts = model_.runStarts();
      for (std::size_t run = 0; run < runSegments_.size(); ++run) {
        const std::size_t from = run == 0 ? 0 : starts[run - 1];
        const std::size_t to = run < starts.size() ? starts[run] : rows.size();
        const auto seg = static_cast<std::size_t>(runSegments_[run]);
        if (seg < s.segments.size()) s.segments[seg].intervalCount = static_cast<std::int32_t>(to - from);
      }
    }
    s.values = std::move(rows);
  }
  loadedRows_ = model_.rowCount();
  if (!src_.seriesFile.empty()) saveIntervalSeries(src_.seriesFile, s, src_.openSession, ui);
  return true;
}

bool PeriodicEditor::save(bool writeBack, UserInterface& ui) {
  if (!src_.series) return false;
  if (writeBack && model_.rowCount() > 0 && !writeBackRows(ui)) return false;
  std::vector<TPeriodicEditing> edits = model_.takeEdits();
  const auto file = segmentsFile();
  if (segments_.empty() && edits.empty()) {
    if (!src_.sessionFolder.empty()) deletePeriodicSegments(file, ui);
    return true;
  }
  bool fullShown = false;
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    const OfferResult r = segments_.offer(it->source, it->operation, it->start, it->end, src_.sessionDuration);
    if (r == OfferResult::Full && !fullShown) {
      ui.showMessage(marksFullMessage(src_.detectionType), Icon::Warning);
      marksFull_ = fullShown = true;
    }
  }
  if (!src_.sessionFolder.empty()) savePeriodicSegments(file, segments_, ui);
  return true;
}

void PeriodicEditor::resolvePending(UserInterface& ui) {
  if (!model_.dirty()) return;
  if (ui.askYesNo(messageOf(kResolvePendingId), false, Icon::Question)) {
    save(true, ui);
    return;
  }
  if (!model_.cancelChanges(ui)) save(true, ui);
}

void PeriodicEditor::setTimeFrame(TimeFrame frame, UserInterface& ui) {
  if (!src_.series) return;
  resolvePending(ui);
  frame_ = frame;
  index_ = 0;
  fill(ui);
}

bool PeriodicEditor::spin(int delta, UserInterface& ui) {
  if (!src_.series) return false;
  const int next = std::clamp(index_ + delta, 0, indexCount() - 1);
  if (next == index_) return false;
  resolvePending(ui);
  index_ = next;
  fill(ui);
  return true;
}

std::vector<double> PeriodicEditor::rowStartTimes() const {
  std::vector<double> out;
  out.reserve(model_.rowCount());
  for (std::size_t r = 0; r < model_.rowCount(); ++r) {
    const auto t = model_.rowTime(r);
    out.push_back(t ? static_cast<double>(*t) : (out.empty() ? 0.0 : out.back()));
  }
  return out;
}

namespace {

// The [first, first + count) values of each session segment of s, with the
// start time of each of its intervals.
struct SegmentRun {
  std::size_t first = 0, count = 0;
  std::vector<double> starts;
};

std::vector<SegmentRun> segmentRuns(const IntervalSeries& s) {
  const std::size_t n = std::max<std::size_t>(s.segments.size(), 1);
  const SegmentIndex idx = segmentIndex(s, n);
  std::vector<SegmentRun> runs(n);
  for (std::size_t seg = 0; seg < n && seg < idx.size(); ++seg) {
    SegmentRun& r = runs[seg];
    r.first = idx.first[seg];
    r.count = idx.count[seg];
    double t = segmentFirstEventTime(s, seg);
    for (std::size_t k = r.first; k < r.first + r.count && k < s.values.size(); ++k) {
      r.starts.push_back(t);
      t += static_cast<double>(s.values[k]) / 1000.0;
    }
  }
  return runs;
}

}  // namespace

std::size_t replaceIntervals(IntervalSeries& series, const IntervalSeries& fresh, double from, double to) {
  const std::vector<SegmentRun> old = segmentRuns(series);
  const std::vector<SegmentRun> now = segmentRuns(fresh);
  std::vector<float> values;
  values.reserve(series.values.size());
  std::size_t removed = 0;
  for (std::size_t seg = 0; seg < old.size(); ++seg) {
    const SegmentRun& a = old[seg];
    std::size_t kept = 0;
    bool inserted = false;
    auto insertFresh = [&] {
      inserted = true;
      if (seg >= now.size()) return;
      const SegmentRun& b = now[seg];
      for (std::size_t j = 0; j < b.starts.size(); ++j)
        if (b.starts[j] >= from && b.starts[j] <= to) {
          values.push_back(fresh.values[b.first + j]);
          ++kept;
        }
    };
    for (std::size_t j = 0; j < a.starts.size(); ++j) {
      const bool inside = a.starts[j] >= from && a.starts[j] <= to;
      if (inside) {
        if (!inserted) insertFresh();
        ++removed;
        continue;
      }
      if (!inserted && a.starts[j] > to) insertFresh();
      values.push_back(series.values[a.first + j]);
      ++kept;
    }
    // A range after the segment's last interval (or an empty segment).
    if (!inserted && !a.starts.empty() && a.starts.back() < from) insertFresh();
    if (seg < series.segments.size()) series.segments[seg].intervalCount = static_cast<std::int32_t>(kept);
  }
  // Values beyond the records' counts continue the last segment: keep them.
  std::size_t covered = 0;
  for (const SegmentRun& r : old) covered += r.count;
  for (std::size_t k = covered; k < series.values.size(); ++k) values.push_back(series.values[k]);
  if (series.segments.size() == 1) series.segments[0].intervalCount = static_cast<std::int32_t>(values.size());
  series.values = std::move(values);
  return removed;
}

void PeriodicEditor::jumpTo(double t, UserInterface& ui) {
  if (!src_.series) return;
  cursor_ = t;
  const int count = indexCount();
  for (int i = 0; i < count; ++i) {
    const int keep = index_;
    index_ = i;
    const PeriodicWindow w = window();
    index_ = keep;
    if (t >= w.start && t < w.end) {
      if (i != index_) {
        resolvePending(ui);
        index_ = i;
        fill(ui);
      }
      return;
    }
  }
}

bool PeriodicEditor::undoSegment(std::size_t index, const Redetect& detect, UserInterface& ui) {
  if (!src_.series || model_.dirty() || index >= segments_.size()) return false;
  const TPeriodicSegment seg = segments_.segments()[index];
  if (seg.source != src_.sourceChannel) return false;
  if (!ui.askYesNo(messageOf(kUndoSegmentQuestionId), false, Icon::Question)) return false;
  if (!src_.openSession && frame_ != TimeFrame::Session) setTimeFrame(TimeFrame::Session, ui);
  const std::optional<IntervalSeries> fresh = detect ? detect() : std::nullopt;
  if (!fresh) return false;
  constexpr double kEdgeTolerance = 0.1;  // s
  replaceIntervals(*src_.series, *fresh, seg.start - kEdgeTolerance, seg.end + kEdgeTolerance);
  if (!src_.seriesFile.empty()) saveIntervalSeries(src_.seriesFile, *src_.series, src_.openSession, ui);
  segments_.removeAt(index);
  if (!src_.sessionFolder.empty()) {
    if (segments_.empty())
      deletePeriodicSegments(segmentsFile(), ui);
    else
      savePeriodicSegments(segmentsFile(), segments_, ui);
  }
  listed_ = -2;
  fill(ui);
  return true;
}

}  // namespace rc
