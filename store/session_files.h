#pragma once
// Records of the session folder's own files: events (Events.dat) and rejected
// stretches of the non-periodic channels (ChannelSegments.dat).
#include <cstdint>
#include <string>

namespace rc {

// One event of the session. Times are seconds on the recording's time axis.
// Kinds: 0 host event, 1 user marker, 2 activity (script), 3 step (script),
// 4 prompt (script), 5 and 6 host events.
struct TSessionEvent {
  std::uint32_t kind = 0;
  double time = 0.0;
  std::u16string name;  // at most 63 UTF-16 code units
  bool operator==(const TSessionEvent&) const = default;
};

// A rejected stretch of a non-periodic channel: [start, end] in seconds, and
// the channel id of the signal that was selected when it was rejected.
struct TSessionSegment {
  double start = 0.0;
  double end = 0.0;
  std::int32_t channel = 0;
  bool operator==(const TSessionSegment&) const = default;
};

}  // namespace rc
