#include "store/channel_segments.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <system_error>

#include "support/binary.h"
#include "support/file_io.h"

namespace rc {

namespace fs = std::filesystem;

std::vector<TSessionSegment> parseStretches(std::span<const std::uint8_t> bytes) {
  std::vector<TSessionSegment> out;
  ByteReader r(bytes);
  for (std::size_t off = 0; off + kStretchRecordSize <= bytes.size(); off += kStretchRecordSize)
    out.push_back({*r.f64(off), *r.f64(off + 8), *r.i32(off + 16)});
  return out;
}

std::vector<std::uint8_t> serialiseStretches(const std::vector<TSessionSegment>& list) {
  ByteWriter w;
  for (const auto& s : list) {
    w.f64(s.start);
    w.f64(s.end);
    w.i32(s.channel);
    w.u32(0);
  }
  return w.take();
}

std::vector<TSessionSegment> normaliseStretches(std::vector<TSessionSegment> records) {
  std::vector<TSessionSegment> in;
  in.reserve(records.size());
  for (TSessionSegment r : records) {
    if (!std::isfinite(r.start) || !std::isfinite(r.end)) continue;
    if (r.end < r.start) std::swap(r.start, r.end);
    in.push_back(r);
  }
  std::stable_sort(in.begin(), in.end(),
                   [](const TSessionSegment& a, const TSessionSegment& b) { return a.start < b.start; });
  std::vector<TSessionSegment> out;
  out.reserve(in.size());
  std::map<std::int32_t, std::size_t> last;  // channel -> its last record in out
  for (const TSessionSegment& r : in) {
    auto it = last.find(r.channel);
    if (it != last.end() && r.start <= out[it->second].end) {
      out[it->second].end = std::max(out[it->second].end, r.end);
      continue;
    }
    last[r.channel] = out.size();
    out.push_back(r);
  }
  return out;
}

std::vector<TSessionSegment> StretchFile::read(const fs::path& sessionFolder) {
  unreadable_ = false;
  fs::path file = sessionFolder / "ChannelSegments.dat";
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    unreadable_ = static_cast<bool>(ec);
    return {};
  }
  auto bytes = readWholeFile(file);
  if (!bytes) {
    unreadable_ = true;
    return {};
  }
  return normaliseStretches(parseStretches(*bytes));
}

void StretchFile::saveAtClose(const fs::path& sessionFolder, const std::vector<TSessionSegment>& list,
                              bool changedByUser, UserInterface& ui) const {
  fs::path file = sessionFolder / "ChannelSegments.dat";
  if (unreadable_ && !changedByUser) return;
  std::error_code ec;
  if (list.empty()) {
    if (fs::exists(file, ec)) fs::remove(file, ec);
    return;
  }
  if (!writeFileAtomic(file, serialiseStretches(list)))
    ui.showMessage(MessageBuilder().id(189).text(" " + file.string()), Icon::Warning);
}

}  // namespace rc
