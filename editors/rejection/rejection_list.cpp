#include "editors/rejection/rejection_list.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/language.h"

namespace rc {

MergeResult addRejection(std::vector<TSessionSegment>& list, double start, double end, std::int32_t channel) {
  if (end < start) std::swap(start, end);
  std::size_t lastOfChannel = list.size();
  for (std::size_t i = 0; i < list.size(); ++i) {
    TSessionSegment& rec = list[i];
    if (rec.channel != channel) continue;
    lastOfChannel = i;
    if (rec.start <= start && end <= rec.end) return MergeResult::Unchanged;
    if (start <= rec.end && end < rec.start) {
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), TSessionSegment{start, end, channel});
      return MergeResult::Inserted;
    }
    if (start <= rec.end && end >= rec.start) {
      if (end <= rec.end) {
        rec.start = std::min(rec.start, start);
        return MergeResult::Merged;
      }
      rec.start = std::min(rec.start, start);
      rec.end = end;
      // Absorb the following stretches of the channel that start within the range.
      std::size_t j = i + 1;
      while (j < list.size()) {
        if (list[j].channel != channel) {
          ++j;
          continue;
        }
        if (list[j].start > end) break;
        list[i].end = std::max(list[i].end, list[j].end);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
      }
      return MergeResult::Merged;
    }
  }
  const TSessionSegment added{start, end, channel};
  if (lastOfChannel == list.size())
    list.push_back(added);
  else
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(lastOfChannel + 1), added);
  return MergeResult::Inserted;
}

std::vector<TSessionSegment> rejectionsOf(const std::vector<TSessionSegment>& list, std::int32_t channel) {
  std::vector<TSessionSegment> out;
  for (const TSessionSegment& r : list)
    if (r.channel == channel) out.push_back(r);
  return out;
}

bool hasRejections(const std::vector<TSessionSegment>& list, std::int32_t channel) {
  return std::any_of(list.begin(), list.end(), [&](const TSessionSegment& r) { return r.channel == channel; });
}

std::optional<TSessionSegment> rejectionAt(const std::vector<TSessionSegment>& list, std::int32_t channel,
                                           double t) {
  for (const TSessionSegment& r : list)
    if (r.channel == channel && r.start <= t && t <= r.end) return r;
  return std::nullopt;
}

bool removeRejection(std::vector<TSessionSegment>& list, const TSessionSegment& selected) {
  auto it = std::find(list.begin(), list.end(), selected);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

bool removeAllRejectionsAsking(std::vector<TSessionSegment>& list, std::int32_t channel, UserInterface& ui) {
  if (!ui.askYesNo(messageOf(kDeleteAllQuestionId), false, Icon::Question)) return false;
  removeChannelRejections(list, {channel});
  return true;
}

void removeChannelRejections(std::vector<TSessionSegment>& list, const std::set<std::int32_t>& channels) {
  std::erase_if(list, [&](const TSessionSegment& r) { return channels.count(r.channel) != 0; });
}

bool isRejected(const std::vector<TSessionSegment>& list, std::int32_t channel, double t) {
  return rejectionAt(list, channel, t).has_value();
}

std::optional<DragRange> dragRange(double pressX, double releaseX, double chartMin, double chartMax,
                                   double duration) {
  if (!std::isfinite(pressX) || !std::isfinite(releaseX)) return std::nullopt;
  double lo = std::min(pressX, releaseX);
  double hi = std::max(pressX, releaseX);
  lo = std::max({lo, chartMin, 0.0});
  hi = std::min({hi, chartMax, duration});
  if (!(hi > lo)) return std::nullopt;
  return DragRange{lo, hi};
}

void saveRejectionsAtClose(const std::filesystem::path& sessionFolder, const std::vector<TSessionSegment>& list,
                           bool changed, UserInterface& ui) {
  if (!changed) return;
  StretchFile().saveAtClose(sessionFolder, list, true, ui);
}

std::optional<Message> checkScale(double minimum, double maximum, bool maximumOnly) {
  if (maximumOnly) {
    if (0.0 <= maximum && maximum <= kRejectionScaleLimit) return std::nullopt;
    return MessageBuilder().idArg(378, static_cast<long long>(kRejectionScaleLimit)).build();
  }
  if (minimum < maximum && minimum >= -kRejectionScaleLimit && maximum <= kRejectionScaleLimit) return std::nullopt;
  return MessageBuilder()
      .idArgs(377, static_cast<long long>(-kRejectionScaleLimit), static_cast<long long>(kRejectionScaleLimit))
      .build();
}

std::string nonPeriodicLabel(int slot) {
  if (slot < 3 || slot > 8) return str(448);
  const int kind = (slot - 3) / 2;
  const int name = kind == 0 ? 217 : kind == 1 ? 449 : 326;
  return str(448) + str(name) + (slot % 2 == 1 ? " 1" : " 2");
}

std::uint32_t nonPeriodicColour(int slot) {
  static const std::uint32_t colours[6] = {0xFF9966, 0xCA4200, 0x80AA80, 0x476B47, 0xA953FF, 0x5300A6};
  if (slot < 3 || slot > 8) return 0x000000;
  return colours[slot - 3];
}

namespace {

// The smallest and largest finite value of v[0..n). Eight running pairs keep
// the loop free of branches (a NaN never wins a comparison); a run that met
// an infinity is walked again one value at a time.
bool columnMinMax(const float* v, std::int64_t n, float& lo, float& hi) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  float l[8], h[8];
  for (int j = 0; j < 8; ++j) l[j] = kInf, h[j] = -kInf;
  std::int64_t k = 0;
  for (; k + 8 <= n; k += 8)
    for (int j = 0; j < 8; ++j) {
      const float x = v[k + j];
      l[j] = x < l[j] ? x : l[j];
      h[j] = x > h[j] ? x : h[j];
    }
  for (; k < n; ++k) {
    const float x = v[k];
    l[0] = x < l[0] ? x : l[0];
    h[0] = x > h[0] ? x : h[0];
  }
  lo = kInf;
  hi = -kInf;
  for (int j = 0; j < 8; ++j) {
    lo = l[j] < lo ? l[j] : lo;
    hi = h[j] > hi ? h[j] : hi;
  }
  if (lo == -kInf || hi == kInf) {
    bool any = false;
    for (std::int64_t i = 0; i < n; ++i) {
      if (!std::isfinite(v[i])) continue;
      lo = any ? std::min(lo, v[i]) : v[i];
      hi = any ? std::max(hi, v[i]) : v[i];
      any = true;
    }
    return any;
  }
  return lo <= hi;
}

}  // namespace

std::vector<MinMaxColumn> decimateMinMax(const float* samples, std::int64_t count, double rate, double t0,
                                         double t1, int columns) {
  std::vector<MinMaxColumn> out;
  if (!samples || count <= 0 || !(rate > 0.0) || columns <= 0 || !(t1 > t0)) return out;
  const double total = static_cast<double>(count);
  const auto first = static_cast<std::int64_t>(std::clamp(std::ceil(t0 * rate), 0.0, total));
  const auto last = static_cast<std::int64_t>(std::clamp(std::ceil(t1 * rate), 0.0, total));  // exclusive
  if (last <= first) return out;
  out.reserve(static_cast<std::size_t>(columns));
  const std::int64_t n = last - first;
  for (int c = 0; c < columns; ++c) {
    // Sample range of column c, by index so every sample falls in exactly one column.
    const std::int64_t a = first + n * c / columns;
    const std::int64_t b = first + n * (c + 1) / columns;
    float lo = 0.0f, hi = 0.0f;
    const bool any = columnMinMax(samples + a, b - a, lo, hi);
    if (any) out.push_back({static_cast<double>(a + b - 1) * 0.5 / rate, lo, hi});
  }
  return out;
}

}  // namespace rc
