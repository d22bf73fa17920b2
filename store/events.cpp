#include "store/events.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "support/binary.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"
#include "support/utf.h"

namespace rc {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxNameUnits = kEventNameUnits - 1;

bool keptOnRewrite(std::uint32_t kind) { return kind == 1 || kind == 5 || kind == 6; }

TSessionEvent readRecord(const std::uint8_t* p, std::size_t size) {
  ByteReader r(p, size);
  TSessionEvent e;
  e.kind = *r.u32(0);
  e.time = *r.f64(8);
  if (size == kEventRecordSize) {
    for (std::size_t k = 0; k < kMaxNameUnits; ++k) {
      char16_t u = *r.u16(16 + 2 * k);
      if (u == 0) break;
      e.name += u;
    }
  } else {
    for (std::size_t k = 0; k < kMaxNameUnits; ++k) {
      unsigned char b = p[16 + k];
      if (b == 0) break;
      e.name += fromCp1252(b);
    }
  }
  return e;
}
}  // namespace

void EventList::add(std::uint32_t kind, double time, std::u16string name) {
  if (kind > 6) return;
  if (name.size() > kMaxNameUnits) name.resize(kMaxNameUnits);
  // Before the first event later than this one. The list is in time order
  // unless a NaN time was added, so a binary search finds the same place.
  const bool nan = std::isnan(time);
  auto later = [&](const TSessionEvent& e) { return e.time > time; };
  auto it = unordered_ == 0 && !nan
                ? std::upper_bound(events_.begin(), events_.end(), time,
                                   [](double t, const TSessionEvent& e) { return t < e.time; })
                : std::find_if(events_.begin(), events_.end(), later);
  events_.insert(it, TSessionEvent{kind, time, std::move(name)});
  if (nan) ++unordered_;
}

bool EventList::parse(std::span<const std::uint8_t> bytes) {
  std::size_t recordSize;
  if (bytes.size() % kEventRecordSize == 0) recordSize = kEventRecordSize;
  else if (bytes.size() % kOldEventRecordSize == 0) recordSize = kOldEventRecordSize;
  else return false;
  for (std::size_t off = 0; off + recordSize <= bytes.size(); off += recordSize) {
    TSessionEvent e = readRecord(bytes.data() + off, recordSize);
    add(e.kind, e.time, std::move(e.name));
  }
  return true;
}

int EventList::applyDefaultNames() {
  int named = 0;
  int userMarker = 0;
  for (auto& e : events_) {
    if (!e.name.empty()) continue;
    std::string text;
    switch (e.kind) {
      case 0: text = str(371); break;
      case 1: text = strprintf("UM%d", ++userMarker); break;
      case 5: text = str(369); break;
      case 6: text = str(370); break;
      default: continue;
    }
    e.name = fromUtf8(text);
    if (e.name.size() > kMaxNameUnits) e.name.resize(kMaxNameUnits);
    ++named;
  }
  return named;
}

EventList::ReadOutcome EventList::read(const fs::path& sessionFolder, UserInterface& ui) {
  fs::path file = sessionFolder / "Events.dat";
  std::error_code ec;
  if (!fs::exists(file, ec)) return ReadOutcome::NoFile;
  auto bytes = readWholeFile(file);
  bool ok = bytes && parse(*bytes);
  if (!ok) {
    clear();
    // The message names the file and why it cannot be read.
    std::string reason = bytes ? "its size is not a whole number of event records"
                               : bytes.status().message();
    if (const std::string prefix = file.string(); reason.find(prefix) == std::string::npos)
      reason = prefix + ": " + reason;
    ui.showMessage(MessageBuilder().id(368).text("\n").text(reason), Icon::Warning);
    return ReadOutcome::Damaged;
  }
  if (applyDefaultNames() > 0) {
    if (Status st = write(sessionFolder); !st) ui.showMessage(fileNotWrittenMessage(file, st), Icon::Warning);
  }
  return ReadOutcome::Read;
}

std::vector<std::uint8_t> EventList::serialise(bool allKinds) const {
  ByteWriter w;
  for (const auto& e : events_) {
    if (!allKinds && !keptOnRewrite(e.kind)) continue;
    w.u32(e.kind);
    w.u32(0);
    w.f64(e.time);
    std::size_t n = std::min(e.name.size(), kMaxNameUnits);
    for (std::size_t k = 0; k < kEventNameUnits; ++k) w.u16(k < n ? e.name[k] : 0);
  }
  return w.take();
}

Status EventList::write(const fs::path& sessionFolder) const {
  if (events_.empty()) return Status::ok();
  return writeFileAtomic(sessionFolder / "Events.dat", serialise());
}

std::vector<TSessionEvent> EventList::markers() const {
  std::vector<TSessionEvent> out;
  for (const auto& e : events_)
    if (e.kind >= 1 && e.kind <= 5) out.push_back(e);
  return out;
}

EventList& sessionEvents() {
  static EventList list;
  return list;
}

}  // namespace rc
