#pragma once
// The marked (edited) time ranges of the IBI signals of a session, and their
// file "HRV_PSegments.dat" in the session folder.
//
// File layout (little-endian, no other header):
//   int32 N; then N records of 16 bytes:
//   int32 source channel, int32 operation (0 Add, 1 Split, 2 Average),
//   float32 start s, float32 end s (on the recording's time axis).
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "editors/periodic/edit_model.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr const char* kPeriodicSegmentsFileName = "HRV_PSegments.dat";
inline constexpr std::size_t kPeriodicSegmentRecordSize = 16;
inline constexpr std::size_t kMaxPeriodicSegments = 200;
// Two ranges closer than this (seconds) are one.
inline constexpr double kSegmentJoinGap = 0.001;


// Message pieces of the full list: 136 followed by 135 (Basic detection) or 134 (Advanced).
inline constexpr int kMarksFullId = 136;
inline constexpr int kIrregularBasicId = 135;
inline constexpr int kIrregularAdvancedId = 134;

struct TPeriodicSegment {
  std::int32_t source = 0;     // channel number of the signal
  std::int32_t operation = 0;  // of the edit that produced it
  float start = 0.0f;          // s
  float end = 0.0f;            // s
  bool operator==(const TPeriodicSegment&) const = default;
};

// What an offer to the list did; a negative value means nothing was stored.
enum class OfferResult : int {
  Full = -1,       // the list holds kMaxPeriodicSegments records
  Dropped = -2,    // the range lies outside the session
  Contained = 0,   // an existing segment already covers it
  Inserted = 1,    // a new segment
  Merged = 2,      // widened an existing segment (and absorbed its followers)
};

// "The limit of 200 ..." followed by the irregular-recording advice of the
// signal's detection type (0 Basic, 1 Advanced).
Message marksFullMessage(int detectionType);
// The irregular-recording message alone (135 Basic, 134 Advanced).
int irregularMessageId(int detectionType);

// The segments of every IBI signal of a session, at most 200. For one source
// channel they stand in ascending order of start, do not overlap and are more
// than kSegmentJoinGap apart.
inline bool stored(OfferResult r) { return static_cast<int>(r) >= 0; }

class PeriodicSegmentList {
 public:
  const std::vector<TPeriodicSegment>& segments() const { return segments_; }
  std::size_t size() const { return segments_.size(); }
  bool empty() const { return segments_.empty(); }
  bool full() const { return segments_.size() >= kMaxPeriodicSegments; }
  std::size_t countFor(std::int32_t source) const;
  std::vector<TPeriodicSegment> segmentsOf(std::int32_t source) const;

  // The merge rule. A full list refuses (Full). A range starting after the
  // session duration or ending before 0 is Dropped; an end after the duration
  // is cut to it (reversed ends are put in order first). Among the source's
  // segments in order: one that contains the range makes the offer a no-op;
  // a range ending more than the join gap before a segment is inserted before
  // it; a range that overlaps a segment or comes within the gap of it widens
  // it, and every following segment of the source that then starts within
  // the gap of (or before) the new end is absorbed. The widened segment keeps
  // its operation. A range after them all is inserted after the source's last
  // segment (or appended).
  OfferResult offer(std::int32_t source, std::int32_t operation, double start, double end,
                    double sessionDuration);

  // Puts records in as they are (after sanitising: at most 200, finite times,
  // start <= end); used by the file reader.
  void assign(std::vector<TPeriodicSegment> records);
  void removeAt(std::size_t index);
  // Removes every segment of one source channel.
  void removeSource(std::int32_t source);
  void clear() { segments_.clear(); }

  // The index in segments() of the source's segment that holds time t, or -1.
  int findAt(std::int32_t source, double t) const;

  bool operator==(const PeriodicSegmentList&) const = default;

 private:
  std::vector<TPeriodicSegment> segments_;
};

// Decodes the file's bytes: N is clamped to 0 .. 200 and to the records the
// data holds; records with non-finite times or start > end are dropped.
std::vector<TPeriodicSegment> parsePeriodicSegments(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encodePeriodicSegments(std::span<const TPeriodicSegment> segments);

std::filesystem::path periodicSegmentsPath(const std::filesystem::path& sessionFolder);

// Replaces the list by the file's records. A missing or unreadable file
// leaves the list empty (and says why); the list is never appended to.
Status readPeriodicSegments(const std::filesystem::path& file, PeriodicSegmentList& list);

// Writes the list atomically (temporary file, then rename): a failure keeps
// the previous file.
Status writePeriodicSegments(const std::filesystem::path& file, const PeriodicSegmentList& list);

// writePeriodicSegments, showing message 189 with the path on failure.
bool savePeriodicSegments(const std::filesystem::path& file, const PeriodicSegmentList& list, UserInterface& ui);

// Deletes the file when it exists; false (message 189 shown) when it cannot be removed.
bool deletePeriodicSegments(const std::filesystem::path& file, UserInterface& ui);

}  // namespace rc
