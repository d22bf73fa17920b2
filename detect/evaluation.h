#pragma once
// Running a whole channel through the detector library the way the program
// does (block by block, detections moved to their sample), and scoring the
// detections against reference event times.
#include <cstdint>
#include <span>
#include <vector>

#include "detect/detector.h"

namespace rc::detect {

struct Detection {
  std::int64_t sample = 0;  // sample index in the channel
  float periodMs = 0.0f;    // period reported with it
};

// The parameter blocks the program passes: beats 300 .. 2000 ms with the
// detection type, respiration 1.0 .. 1.0 with the option.
ParameterBlock beatParameters(bool advanced);
ParameterBlock respParameters(bool slow);

// Processes `samples` in blocks of rate / blockRate samples (the last block
// may be shorter) and collects the detections as the program does: a slot
// value below kDetectionLimit (and above 0) is a detection, placed at
// position + block start when that lies inside the channel. Returns an empty
// list when the library refuses the run.
std::vector<Detection> runChannel(std::span<const float> samples, double rate, std::int32_t code,
                                  const ParameterBlock& params, std::uint32_t blockRate);

struct MatchScore {
  std::int64_t truePositives = 0;
  std::int64_t falseNegatives = 0;
  std::int64_t falsePositives = 0;
  double sensitivity() const;           // TP / (TP + FN), 1 when there is no reference
  double positivePredictivity() const;  // TP / (TP + FP), 1 when nothing was detected
  std::vector<std::int64_t> offsets;    // detection - reference of each match (samples)
};

// Pairs each reference event with the nearest unpaired detection within
// `tolerance` samples (both lists ascending). `shift` is added to every
// reference time first (a pulse follows its R wave by the transit time).
MatchScore matchEvents(std::span<const std::int64_t> reference, std::span<const std::int64_t> detected,
                       std::int64_t tolerance, std::int64_t shift = 0);

std::vector<std::int64_t> samplesOf(std::span<const Detection> detections);

}  // namespace rc::detect
