#pragma once
// The interval series of a session: IBIs from the EKG or the BVP, breath
// periods from respiration, and the RMS series of an EMG-type channel.
// Values are milliseconds in time order; the segment table ties runs of
// values to the recording's time axis (seconds from the recording start).
#include <cstdint>
#include <vector>

namespace rc {

enum class SeriesKind { IbiFromEkg, IbiFromBvp, RespPeriod, Rms };

// One recorded segment of the session (16 bytes on disk).
struct SegmentRecord {
  std::int32_t number = 0;         // 1-based session segment number
  float firstBeatOffset = 0.0f;    // s from the segment start to its first event
  float segmentStart = 0.0f;       // s, on the recording's time axis
  std::int32_t intervalCount = 0;  // intervals of this segment in the series
  bool operator==(const SegmentRecord&) const = default;
};

// An interval series in memory. The values of segment s follow those of
// segments 1 .. s-1. An open session has exactly one segment record.
struct IntervalSeries {
  std::vector<float> values;            // ms
  std::vector<SegmentRecord> segments;  // at least one record
  float firstEventTime = 0.0f;          // s, never below 0

  std::uint32_t count() const { return static_cast<std::uint32_t>(values.size()); }
  bool operator==(const IntervalSeries&) const = default;
};

// The RMS series of an EMG-type channel: one value per averaging window.
struct RmsSeries {
  std::vector<float> values;
  bool operator==(const RmsSeries&) const = default;
};

}  // namespace rc
