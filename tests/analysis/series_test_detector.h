#pragma once
// A detector library of known behaviour: it reports scripted detections, each
// at a chosen output slot and belonging to a chosen sample, and records every
// call made to it.
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/series/series_gen.h"

namespace rc::testing {

struct ScriptedDetection {
  std::int64_t sample = 0;    // the sample the detection belongs to
  std::int64_t reportAt = 0;  // the output slot where it is reported (usually later)
  float periodMs = 0.0f;
};

class ScriptedDetectorObject : public detect::DetectorObject {
 public:
  void process(const float*, std::size_t, float*) override {}
};

class ScriptedLibrary : public DetectorLibrary {
 public:
  std::vector<ScriptedDetection> detections;
  std::vector<std::size_t> failingBlocks;  // blocks whose detect() returns 1
  float emptySlot = detect::kNoValue;      // what slots without a detection hold

  // What the library saw.
  std::uint32_t startedWith = 0;
  std::vector<double> times, steps;
  std::vector<std::int32_t> counts;
  std::vector<std::int32_t> codes;
  std::vector<double> rates;
  detect::ParameterBlock lastParams;
  std::vector<std::size_t> resetSeenAtBlock;  // blocks that found the reset flag set
  int created = 0, released = 0;

  std::int32_t start(std::uint32_t blockRate) override {
    startedWith = blockRate;
    return 0;
  }
  std::int32_t setTime(double t) override {
    times.push_back(t);
    return 0;
  }
  std::int32_t setTimeStep(double dt) override {
    steps.push_back(dt);
    return 0;
  }
  std::int32_t detect(std::int32_t code, const float*, float* out, std::int32_t count,
                      const detect::ParameterBlock& params, double rate,
                      detect::DetectorObject** handle) override {
    const std::size_t block = counts.size();
    const std::int64_t first = done_;
    counts.push_back(count);
    codes.push_back(code);
    rates.push_back(rate);
    lastParams = params;
    done_ += count;
    if (!*handle) {
      *handle = new ScriptedDetectorObject;
      ++created;
    }
    if ((*handle)->reset) {
      resetSeenAtBlock.push_back(block);
      (*handle)->reset = 0;
    }
    for (std::int32_t j = 0; j < count; ++j) out[j] = emptySlot;
    for (const ScriptedDetection& d : detections) {
      if (d.reportAt >= first && d.reportAt < first + count) {
        out[d.reportAt - first] = d.periodMs;
        (*handle)->position = static_cast<std::int32_t>(d.sample - first);
      }
    }
    for (std::size_t f : failingBlocks) {
      if (f == block) return 1;
    }
    return 0;
  }
  void release(detect::DetectorObject* handle) override {
    ++released;
    delete handle;
  }

 private:
  std::int64_t done_ = 0;
};

// Detections at the given samples, each reported `delay` slots later, with
// the period of each equal to the distance from the previous one (the first
// gets `firstPeriodMs`).
inline std::vector<ScriptedDetection> regularDetections(const std::vector<std::int64_t>& samples, double rate,
                                                        std::int64_t delay, float firstPeriodMs) {
  std::vector<ScriptedDetection> out;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const float period =
        i == 0 ? firstPeriodMs : static_cast<float>((samples[i] - samples[i - 1]) * 1000.0 / rate);
    out.push_back({samples[i], samples[i] + delay, period});
  }
  return out;
}

}  // namespace rc::testing
