#include "editors/periodic/edit_model.h"

#include <algorithm>
#include <cmath>

#include "editors/periodic/input_string.h"
#include "editors/periodic/row_text.h"

namespace rc {

PeriodicEditModel::PeriodicEditModel(std::int32_t sourceChannel, char decimal)
    : source_(sourceChannel), decimal_(decimal) {}

void PeriodicEditModel::setRows(std::span<const float> values, double firstStart) {
  rows_.clear();
  rows_.reserve(values.size());
  double t = firstStart;
  for (float v : values) {
    rows_.push_back(makeRow(static_cast<float>(t), v));
    t += static_cast<double>(v) / 1000.0;
  }
  runStarts_.clear();
  edits_.clear();
  unsaved_ = 0;
}

void PeriodicEditModel::setRows(std::vector<PeriodicRow> rows) {
  rows_ = std::move(rows);
  runStarts_.clear();
  edits_.clear();
  unsaved_ = 0;
}

void PeriodicEditModel::setRunStarts(std::vector<std::size_t> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::erase_if(rows, [](std::size_t r) { return r == 0; });
  runStarts_ = std::move(rows);
}

void PeriodicEditModel::shiftRunStarts(std::size_t after, std::ptrdiff_t by) {
  for (auto& r : runStarts_)
    if (r > after) r = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(r) + by);
}

void PeriodicEditModel::setRowText(std::size_t row, std::string time, std::string interval) {
  if (row >= rows_.size()) return;
  rows_[row].time = std::move(time);
  rows_[row].interval = std::move(interval);
}

PeriodicRow PeriodicEditModel::makeRow(float time, double intervalMs) const {
  return PeriodicRow{formatRowTime(time, decimal_), formatRowInterval(intervalMs)};
}

std::optional<float> PeriodicEditModel::rowTime(std::size_t row) const {
  if (row >= rows_.size()) return std::nullopt;
  return parseRowTime(rows_[row].time, decimal_);
}

std::optional<double> PeriodicEditModel::rowInterval(std::size_t row) const {
  if (row >= rows_.size()) return std::nullopt;
  return parseRowInterval(rows_[row].interval);
}

std::vector<float> PeriodicEditModel::values() const {
  std::vector<float> out;
  out.reserve(rows_.size());
  for (const auto& r : rows_) {
    auto v = parseRowInterval(r.interval);
    out.push_back(v ? static_cast<float>(*v) : 0.0f);
  }
  return out;
}

std::size_t PeriodicEditModel::rowAtTime(double t) const {
  // Rows stand in time order; an unreadable time counts as not later.
  std::size_t lo = 0, hi = rows_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const auto mt = rowTime(mid);
    if (!mt || static_cast<double>(*mt) <= t)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo == 0 ? 0 : lo - 1;
}

bool PeriodicEditModel::checkRun(std::span<const std::size_t> selection, UserInterface& ui) const {
  if (selection.size() < 2) {
    ui.showMessage(messageOf(kSelectTwoRowsId), Icon::Warning);
    return false;
  }
  for (std::size_t i = 1; i < selection.size(); ++i) {
    const bool follows = selection[i] == selection[i - 1] + 1;
    const bool crossesRun = std::binary_search(runStarts_.begin(), runStarts_.end(), selection[i]);
    if (!follows || crossesRun || selection[i] >= rows_.size()) {
      ui.showMessage(messageOf(kRowsNotConsecutiveId), Icon::Warning);
      return false;
    }
  }
  return true;
}

std::optional<std::vector<TPeriod>> PeriodicEditModel::collectPeriods(std::span<const std::size_t> selection,
                                                                      UserInterface& ui, float* sum) const {
  std::vector<TPeriod> periods;
  periods.reserve(selection.size());
  float s = 0.0f;
  for (std::size_t r : selection) {
    const auto t = rowTime(r);
    const auto v = rowInterval(r);
    if (!t || !v) {
      ui.showMessage(messageOf(kRowTimeUnreadableId), Icon::Warning);
      return std::nullopt;
    }
    const float interval = static_cast<float>(*v) / 1000.0f;
    periods.push_back(TPeriod{*t, *t + interval, *v});
    s += interval;
  }
  if (sum) *sum = s;
  return periods;
}

void PeriodicEditModel::push(TPeriodicEditing edit) {
  edits_.push_back(std::move(edit));
  ++unsaved_;
}

std::optional<EditApplied> PeriodicEditModel::add(std::span<const std::size_t> selection, UserInterface& ui) {
  if (!checkRun(selection, ui)) return std::nullopt;
  auto periods = collectPeriods(selection, ui, nullptr);
  if (!periods) return std::nullopt;
  TPeriodicEditing edit;
  edit.source = source_;
  edit.operation = kOpAdd;
  edit.rowCount = static_cast<std::int32_t>(selection.size());
  edit.start = periods->front().start;
  edit.end = periods->back().end;
  edit.periods = std::move(*periods);

  const std::size_t first = selection.front();
  const std::size_t n = selection.size();
  // The merged value is the sum of the row values: the difference of two
  // float times would lose milliseconds late in a long session.
  double mergedMs = 0.0;
  for (const auto& p : edit.periods) mergedMs += p.intervalMs;
  PeriodicRow merged{rows_[first].time, formatRowInterval(mergedMs)};
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first) + 1,
              rows_.begin() + static_cast<std::ptrdiff_t>(first + n));
  rows_[first] = std::move(merged);
  shiftRunStarts(first, -static_cast<std::ptrdiff_t>(n - 1));

  EditApplied out{edit.operation, edit.start, edit.end, {first}};
  push(std::move(edit));
  return out;
}

std::optional<EditApplied> PeriodicEditModel::split(std::span<const std::size_t> selection,
                                                    const SplitOptions& options, UserInterface& ui) {
  if (selection.size() != 1 || selection.front() >= rows_.size()) {
    ui.showMessage(messageOf(kSelectOneRowId), Icon::Warning);
    return std::nullopt;
  }
  const std::size_t row = selection.front();
  const auto t0 = rowTime(row);
  const auto value = rowInterval(row);
  if (!t0 || !value) {
    ui.showMessage(messageOf(kRowTimeUnreadableId), Icon::Warning);
    return std::nullopt;
  }
  const float interval = static_cast<float>(*value) / 1000.0f;
  const float end = *t0 + interval;

  if (options.cursorMustLieInList && !rows_.empty()) {
    const auto tFirst = rowTime(0);
    const auto tLast = rowTime(rows_.size() - 1);
    const auto vLast = rowInterval(rows_.size() - 1);
    if (tFirst && tLast && vLast) {
      const double listEnd = static_cast<double>(*tLast + static_cast<float>(*vLast) / 1000.0f);
      if (options.cursorTime < *tFirst || options.cursorTime > listEnd) {
        ui.showMessage(messageOf(kCursorOutsideListId), Icon::Warning);
        return std::nullopt;
      }
    }
  }

  // The parts in ms. An entered part is taken as entered and the second part
  // is the rest of the interval's value; the split in half takes both halves
  // from the float difference between the interval's end and start.
  double firstMs = 0.0;
  double secondMs = 0.0;
  const double cursor = options.cursorTime;
  std::optional<double> entered;
  if (!options.proposeFromCursor) {
    entered = CInputString(CInputString::Mode::ProposeHalf, *value * 0.5, *value).run(ui);
    if (!entered) return std::nullopt;
  } else if (static_cast<double>(*t0) < cursor && cursor < static_cast<double>(end)) {
    entered = CInputString(CInputString::Mode::ProposeCursorPart, (cursor - *t0) * 1000.0, *value).run(ui);
    if (!entered) return std::nullopt;
  } else {
    if (!ui.askOkCancel(messageOf(kSplitInHalfId), Icon::Question)) return std::nullopt;
    firstMs = secondMs = static_cast<double>((end - *t0) * 0.5f) * 1000.0;
  }
  if (entered) {
    firstMs = *entered;
    secondMs = *value - *entered;
  }
  const float firstPart = static_cast<float>(firstMs / 1000.0);
  if (!(firstMs > 0.0) || !(secondMs > 0.0) || !(firstPart > 0.0f)) {
    // An interval too short to cut.
    ui.showMessage(messageOf(kSplitEntryRefusedId), Icon::Warning);
    return std::nullopt;
  }

  TPeriodicEditing edit;
  edit.source = source_;
  edit.operation = kOpSplit;
  edit.rowCount = 1;
  edit.start = *t0;
  edit.end = end;
  edit.splitIntervalMs = *value;

  rows_[row].interval = formatRowInterval(firstMs);
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(row) + 1, makeRow(*t0 + firstPart, secondMs));
  shiftRunStarts(row, 1);

  EditApplied out{edit.operation, edit.start, edit.end, {row, row + 1}};
  push(std::move(edit));
  return out;
}

std::optional<EditApplied> PeriodicEditModel::average(std::span<const std::size_t> selection, UserInterface& ui) {
  if (!checkRun(selection, ui)) return std::nullopt;
  float sum = 0.0f;
  auto periods = collectPeriods(selection, ui, &sum);
  if (!periods) return std::nullopt;
  TPeriodicEditing edit;
  edit.source = source_;
  edit.operation = kOpAverage;
  edit.rowCount = static_cast<std::int32_t>(selection.size());
  edit.start = periods->front().start;
  edit.end = periods->back().end;
  edit.periods = std::move(*periods);

  const float a = sum / static_cast<float>(selection.size());
  const std::string aText = formatRowInterval(static_cast<double>(a) * 1000.0);
  float t = edit.start;
  for (std::size_t k = 0; k < selection.size(); ++k) {
    PeriodicRow& r = rows_[selection[k]];
    if (k > 0) {
      t += a;
      r.time = formatRowTime(t, decimal_);
    }
    r.interval = aText;
  }
  EditApplied out{edit.operation, edit.start, edit.end, {selection.begin(), selection.end()}};
  push(std::move(edit));
  return out;
}

std::optional<EditApplied> PeriodicEditModel::undo() {
  if (edits_.empty()) return std::nullopt;
  TPeriodicEditing edit = std::move(edits_.back());
  edits_.pop_back();
  if (unsaved_ > 0) --unsaved_;

  EditApplied out{edit.operation, edit.start, edit.end, {}};
  if (rows_.empty()) return out;
  const std::size_t at = rowAtTime(edit.start);
  const auto ms = [](const TPeriod& p) { return p.intervalMs; };
  if (edit.operation == kOpAdd) {
    if (!edit.periods.empty()) {
      rows_[at].interval = formatRowInterval(ms(edit.periods.front()));
      std::vector<PeriodicRow> restored;
      restored.reserve(edit.periods.size() - 1);
      for (std::size_t k = 1; k < edit.periods.size(); ++k)
        restored.push_back(makeRow(edit.periods[k].start, ms(edit.periods[k])));
      rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at) + 1, restored.begin(), restored.end());
      shiftRunStarts(at, static_cast<std::ptrdiff_t>(restored.size()));
      for (std::size_t k = 0; k < edit.periods.size(); ++k) out.selection.push_back(at + k);
    }
  } else if (edit.operation == kOpSplit) {
    rows_[at].interval = formatRowInterval(edit.splitIntervalMs);
    if (at + 1 < rows_.size()) {
      rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at) + 1);
      shiftRunStarts(at, -1);
    }
    out.selection.push_back(at);
  } else {
    for (std::size_t k = 0; k < edit.periods.size() && at + k < rows_.size(); ++k) {
      PeriodicRow& r = rows_[at + k];
      if (k > 0) r.time = formatRowTime(edit.periods[k].start, decimal_);
      r.interval = formatRowInterval(ms(edit.periods[k]));
      out.selection.push_back(at + k);
    }
  }
  return out;
}

void PeriodicEditModel::undoAll() {
  while (!edits_.empty()) undo();
  unsaved_ = 0;
}

bool PeriodicEditModel::cancelChanges(UserInterface& ui) {
  if (!ui.askYesNo(messageOf(kCancelChangesId), false, Icon::Question)) return false;
  undoAll();
  return true;
}

std::vector<TPeriodicEditing> PeriodicEditModel::takeEdits() {
  std::vector<TPeriodicEditing> out = std::move(edits_);
  edits_.clear();
  unsaved_ = 0;
  return out;
}

}  // namespace rc
