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
// segments 1 .. s-1. An open session has exactly one segment record. The
// value store grows as needed, so editors may insert freely; whoever changes
// the values keeps the records' interval counts in step (the writer refuses a
// table whose counts do not add up to the number of values).
struct IntervalSeries {
  std::vector<float> values;            // ms
  std::vector<SegmentRecord> segments;  // at least one record
  float firstEventTime = 0.0f;          // s, never below 0; the first event of segment 1

  std::uint32_t count() const { return static_cast<std::uint32_t>(values.size()); }
  bool operator==(const IntervalSeries&) const = default;
};

// The RMS series of an EMG-type channel: one value per averaging window.
struct RmsSeries {
  std::vector<float> values;
  bool operator==(const RmsSeries&) const = default;
};

// The series of an open session with no intervals: one zeroed record. (The
// single record of an open session keeps number 0; only its count and
// first-beat offset follow the series.)
IntervalSeries emptyOpenSeries();

// The time of the first event of segment index s (0-based), in seconds: the
// series' first event time for s = 0, segment start + first-beat offset after.
double segmentFirstEventTime(const IntervalSeries& series, std::size_t s);

// The time axis: the end time in seconds of every interval. Interval k of a
// segment ends at the segment's first event time plus the sum of its
// intervals 0 .. k divided by 1000 (summed in double). Values beyond the sum
// of the records' counts continue the last segment; a table without records
// is taken as one segment starting at the first event time.
std::vector<double> intervalEndTimes(const IntervalSeries& series);

}  // namespace rc
