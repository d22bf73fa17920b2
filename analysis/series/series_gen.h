#pragma once
// Generation of interval series from a raw channel through the detector
// library, and the RMS series of an EMG-type channel.
//
// Two passes over one output float per raw sample: collectDetections runs the
// detector block by block, moves each detection to the sample it belongs to
// and keeps the segment table of a scripted session; buildIntervals turns the
// detections into intervals. Neither allocates per detection.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "analysis/series/series.h"
#include "detect/detector.h"
#include "support/status.h"

namespace rc {

// The calls of the detector library, behind a seam so that tests can run the
// bookkeeping against detectors of known behaviour.
class DetectorLibrary {
 public:
  virtual ~DetectorLibrary() = default;
  virtual std::int32_t start(std::uint32_t blockRate) = 0;
  virtual std::int32_t setTime(double t) = 0;
  virtual std::int32_t setTimeStep(double dt) = 0;
  // One block: fills out[0 .. count) on success (returns 0); creates the
  // detector object into *handle on first use.
  virtual std::int32_t detect(std::int32_t code, const float* samples, float* out, std::int32_t count,
                              const detect::ParameterBlock& params, double sampleRate,
                              detect::DetectorObject** handle) = 0;
  virtual void release(detect::DetectorObject* handle) = 0;
};

// The production library (rc::detect::SignalLibrary); one per channel run.
std::unique_ptr<DetectorLibrary> makeSignalLibrary();
using DetectorLibraryFactory = std::function<std::unique_ptr<DetectorLibrary>()>;

// The analysis settings that change detection.
struct DetectionSettings {
  std::uint8_t ekgType = 0;     // "IBIFromEKGType": 0 Basic, 1 Advanced
  std::uint8_t bvpType = 0;     // "IBIFromBVPType": 0 Basic, 1 Advanced
  std::uint8_t respOption = 0;  // "RespirationOption": 0 Fast, 1 Slow
  int averagingFactor = 1;      // "AveragingFactor": samples per RMS value; clamped to 1 .. 256
  bool operator==(const DetectionSettings&) const = default;
};

// How the session is cut in time.
struct SessionTiming {
  std::uint32_t blockRate = 0;           // R, blocks per second (session header)
  float sessionLength = 0.0f;            // s, the session's "Duration"
  bool openSession = true;               // unscripted: one segment
  std::vector<double> segmentDurations;  // s, scripted: one per segment (activity), in order
  // Scripted sessions need at least one segment; otherwise the session is cut as an open one.
  bool scripted() const { return !openSession && !segmentDurations.empty(); }
};

struct ChannelInput {
  std::span<const float> samples;  // raw samples, in order; not owned
  double sampleRate = 0.0;         // Hz
};

// The detector code and parameter block of a kind (not for SeriesKind::Rms).
std::int32_t detectorCode(SeriesKind kind);
detect::ParameterBlock makeParameterBlock(SeriesKind kind, const DetectionSettings& settings);

// Samples per detector block, floor(rate / R); 0 when the pair is unusable
// (R of 0, a rate below R, a rate that is not a positive number).
std::size_t samplesPerBlock(double sampleRate, std::uint32_t blockRate);

// Called now and then with the samples processed so far and the total.
using ProgressFn = std::function<void(std::size_t done, std::size_t total)>;

// The outcome of the detection pass.
struct DetectionPass {
  // One slot per raw sample: the detected period (ms) at the sample of each
  // detection, detect::kNoValue elsewhere.
  std::vector<float> slots;
  // One record per segment (one for an open session), counts = detections.
  std::vector<SegmentRecord> segments;
  // Per record, the sample index where its segment ends (exclusive).
  std::vector<std::size_t> boundaries;
  float firstEventTime = 0.0f;  // s, the first event of segment 1
  std::size_t detections = 0;
  // Ascending: the samples of detections that are themselves their segment's
  // first event (the beat one period earlier would lie before the recording,
  // or on its first sample).
  // They open the first interval and add none.
  std::vector<std::size_t> openingSamples;
};

// Pass one. Fails (no series) when the rate and block rate give no usable block.
Result<DetectionPass> collectDetections(SeriesKind kind, const ChannelInput& channel,
                                        const SessionTiming& timing, const DetectionSettings& settings,
                                        DetectorLibrary& library, const ProgressFn& progress = {});

// Pass two: the interval series of the detections (the 1.9 gap rule, the
// 0.99 .. 1.01 ratio rule with its carry; the Basic EKG path has no carry).
// The records' counts become the intervals appended in each segment.
IntervalSeries buildIntervals(SeriesKind kind, const DetectionPass& pass, double sampleRate,
                              const DetectionSettings& settings);

// Both passes.
Result<IntervalSeries> generateIntervalSeries(SeriesKind kind, const ChannelInput& channel,
                                              const SessionTiming& timing, const DetectionSettings& settings,
                                              DetectorLibrary& library, const ProgressFn& progress = {});

// The averaging factor actually used: the setting clamped to 1 .. 256.
int effectiveAveragingFactor(int averagingFactor);

// sqrt(sum of x^2 / A) over each complete group of A samples (summed in
// double); a last incomplete group is dropped.
RmsSeries computeRms(std::span<const float> samples, int averagingFactor);

}  // namespace rc
