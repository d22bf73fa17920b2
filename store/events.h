#pragma once
// The session's event list and its file "Events.dat".
//
// Record layouts (little-endian): 144 bytes = u32 kind, 4 unused bytes,
// f64 time (s), 64 UTF-16 code units of name (NUL-terminated); the older
// 80-byte layout has the name as 64 single bytes (Windows-1252).
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "store/session_files.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr std::size_t kEventRecordSize = 144;
inline constexpr std::size_t kOldEventRecordSize = 80;
inline constexpr std::size_t kEventNameUnits = 64;

// Ordered by ascending time; equal times keep the order of adding.
class EventList {
 public:
  // Adds an event; kinds outside 0..6 are dropped; names keep at most 63 units.
  void add(std::uint32_t kind, double time, std::u16string name);

  enum class ReadOutcome { Read, NoFile, Damaged };
  // Reads <folder>/Events.dat into the list. A damaged file (a partial last
  // record, or a length that is no multiple of either record size) empties
  // the list, shows message 368 as a warning and leaves the file untouched.
  // Empty names get their default by kind; when any did, the file is rewritten.
  ReadOutcome read(const std::filesystem::path& sessionFolder, UserInterface& ui);
  // Parses file bytes (no defaults, no rewrite); false when damaged.
  bool parse(std::span<const std::uint8_t> bytes);
  // Gives empty names their default by kind; returns how many were named.
  int applyDefaultNames();

  // Rewrites <folder>/Events.dat (atomically) with the events of kinds 1, 5
  // and 6, in list order; nothing is written when the list is empty.
  Status write(const std::filesystem::path& sessionFolder) const;
  // The 144-byte records of the rewrite (kinds 1, 5 and 6), or of every event
  // (the host's own files, for tests and demo data).
  std::vector<std::uint8_t> serialise(bool allKinds = false) const;

  void clear() {
    events_.clear();
    unordered_ = 0;
  }
  bool empty() const { return events_.empty(); }
  std::size_t size() const { return events_.size(); }
  const std::vector<TSessionEvent>& events() const { return events_; }
  // Events the editor charts draw: kinds 1 to 5.
  std::vector<TSessionEvent> markers() const;

 private:
  std::vector<TSessionEvent> events_;
  // Events whose time is NaN: they compare with nothing, so while there are
  // any the list is not known to be in time order.
  std::size_t unordered_ = 0;
};

// The process-wide event list of the loaded session.
EventList& sessionEvents();

}  // namespace rc
