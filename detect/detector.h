#pragma once
// The detector library: beat detection in EKG and BVP, breath detection in
// respiration, run block by block over a raw channel.
//
// Call sequence for one channel (the caller's side):
//   SignalLibrary lib;
//   lib.start(blockRate);                       // blocks per second
//   for each block (samplesPerBlock = channelRate / blockRate):
//     lib.setTime(t);  lib.setTimeStep(1.0 / blockRate);   // t += 1/R per block
//     int rc = lib.detect(code, block, 0, out + first, count, 0, params, rate, &handle);
//     // rc == 0: out[first .. first+count) holds, per sample, either a detected
//     // period in ms at the slot where the detection is reported, or kNoValue.
//     // The detection belongs at sample index handle->position + first.
//   release(handle);
//
// The detector object keeps its state across blocks, so a beat near a block
// edge is reported once. Every block but the last has the same length; a
// shorter block is taken for the last one, and what still waited for later
// samples (a beat at the very end of the recording) is decided with it (a
// caller whose channel is a whole number of blocks gives its last sample a
// call of its own: callsOfBlock). Setting handle->reset to 1 makes the
// detector start a new first event (segment boundary); the detector clears
// the flag.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rc::detect {

// Detector codes.
inline constexpr std::int32_t kCodeEkg = 0x54;
inline constexpr std::int32_t kCodeBvp = 0x66;
inline constexpr std::int32_t kCodeResp = 0x25;

// Results of SignalLibrary::detect.
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kErrorArguments = 1;  // null handle or buffers, negative count
inline constexpr std::int32_t kErrorRate = 2;       // sample rate outside 100 (respiration 10) .. 8000 Hz
inline constexpr std::int32_t kErrorCode = 3;       // unknown detector code

// Written into every output slot without a detection.
inline constexpr float kNoValue = 1.0e38f;
// Output values below this are detections.
inline constexpr float kDetectionLimit = 5.0e36f;

// The 1,460-byte parameter block. Layout (little-endian):
//   68 float32 lower period bound (ms), 72 float32 upper period bound (ms),
//   80 uint8 respiration option (0 fast, 1 slow), 81 uint8 detection type
//   (0 basic, 1 advanced). Every other byte is zero.
inline constexpr std::size_t kParamBlockSize = 1460;
inline constexpr std::size_t kParamLowerBound = 68;
inline constexpr std::size_t kParamUpperBound = 72;
inline constexpr std::size_t kParamRespOption = 80;
inline constexpr std::size_t kParamDetectionType = 81;

struct ParameterBlock {
  std::array<std::uint8_t, kParamBlockSize> bytes{};

  void setFloat(std::size_t offset, float v);
  float getFloat(std::size_t offset) const;
  void setLowerBound(float ms) { setFloat(kParamLowerBound, ms); }
  void setUpperBound(float ms) { setFloat(kParamUpperBound, ms); }
  void setRespOption(std::uint8_t o) { bytes[kParamRespOption] = o; }
  void setDetectionType(std::uint8_t t) { bytes[kParamDetectionType] = t; }
  float lowerBound() const { return getFloat(kParamLowerBound); }
  float upperBound() const { return getFloat(kParamUpperBound); }
  std::uint8_t respOption() const { return bytes[kParamRespOption]; }
  std::uint8_t detectionType() const { return bytes[kParamDetectionType]; }
};

// The detector object the library creates on the first detect() call of a run.
// At most one detection is reported per block; detections found faster than
// that wait for the following blocks (with position < 0).
class DetectorObject {
 public:
  virtual ~DetectorObject() = default;
  // Index of the sample the last reported detection belongs to, relative to
  // the first sample of the block just processed (may be negative).
  std::int32_t position = 0;
  // Set to 1 by the caller at a segment boundary; cleared by the detector at
  // its next block. The first detection after it reports the detector's mean
  // period instead of the interval across the boundary.
  std::int32_t reset = 0;

  // Processes one block; writes one float per sample into out (kNoValue, or
  // the period in ms ending at the detection).
  virtual void process(const float* samples, std::size_t count, float* out) = 0;
};

// One detection run over one channel.
class SignalLibrary {
 public:
  // Begins a run at R blocks per second. Returns 0.
  std::int32_t start(std::uint32_t blockRate);
  // The clock of the next block, and the block duration (1/R), in seconds.
  std::int32_t setTime(double t);
  std::int32_t setTimeStep(double dt);
  // Runs the detector of `code` over one block. The unused arguments are kept
  // for the fixed call shape and must be 0. Creates the detector object into
  // *handle on first use (code, parameters and rate are taken from that call).
  // Returns kOk, or a kError* code when the arguments are unusable (unknown
  // code, null pointers, a rate outside 100 .. 8000 Hz, or 10 .. 8000 Hz for
  // respiration): the block's output is then not written. Samples that are NaN or infinite are treated as a
  // repeat of the last finite sample. Bounds in the parameter block that are
  // unusable for beats (missing, reversed, outside 100 .. 10000 ms) fall back
  // to 300 .. 2000 ms; respiration uses its own breath-period limits.
  std::int32_t detect(std::int32_t code, const float* samples, std::int32_t unused1, float* out,
                      std::int32_t count, std::int32_t unused2, const ParameterBlock& params,
                      double sampleRate, DetectorObject** handle);

  double time() const { return time_; }
  double timeStep() const { return step_; }
  std::uint32_t blockRate() const { return blockRate_; }

 private:
  std::uint32_t blockRate_ = 0;
  double time_ = 0.0;
  double step_ = 0.0;
};

// The calls that carry block [first, first + count) of a channel of n samples
// in blocks of `block`: one, or two when it is the channel's last block and of
// the usual length (its last sample alone, so that the detector takes the
// shorter call for the last block).
struct BlockCalls {
  std::size_t first[2] = {0, 0};
  std::size_t count[2] = {0, 0};
  int calls = 0;
};
inline BlockCalls callsOfBlock(std::size_t first, std::size_t count, std::size_t n, std::size_t block) {
  if (first + count == n && count == block && count > 1) return {{first, n - 1}, {count - 1, 1}, 2};
  return {{first, 0}, {count, 0}, 1};
}

// Releases a detector object made by SignalLibrary::detect (null is fine).
void release(DetectorObject* handle);

}  // namespace rc::detect
