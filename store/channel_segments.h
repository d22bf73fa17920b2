#pragma once
// The rejected stretches of the non-periodic channels, "ChannelSegments.dat":
// a plain sequence of 24-byte records {f64 start s, f64 end s, i32 channel id,
// 4 unused bytes}, little-endian, no header.
#include <filesystem>
#include <span>
#include <vector>

#include "store/session_files.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr std::size_t kStretchRecordSize = 24;

// Parses whole records; trailing bytes of a partial record are ignored.
std::vector<TSessionSegment> parseStretches(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> serialiseStretches(const std::vector<TSessionSegment>& list);

// Records as another tool or an older version may have left them made into a
// list the editor and the statistics can walk: ends in order, records with a
// non-finite end dropped, sorted by start (stable), and overlapping stretches
// of one channel merged. Channels stay apart.
std::vector<TSessionSegment> normaliseStretches(std::vector<TSessionSegment> records);

// Remembers what was found on reading, so that closing never deletes a file
// that exists but could not be read.
class StretchFile {
 public:
  // Reads <folder>/ChannelSegments.dat, normalised. A missing or unreadable
  // file gives an empty list and no message.
  std::vector<TSessionSegment> read(const std::filesystem::path& sessionFolder);

  // Saves the list at close. An empty list deletes the file, unless the file
  // exists but could not be read and the user changed nothing. A file that
  // cannot be written shows message 189 with its path (warning).
  void saveAtClose(const std::filesystem::path& sessionFolder, const std::vector<TSessionSegment>& list,
                   bool changedByUser, UserInterface& ui) const;

  bool unreadable() const { return unreadable_; }

 private:
  bool unreadable_ = false;
};

}  // namespace rc
