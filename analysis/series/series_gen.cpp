#include "analysis/series/series_gen.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/binary.h"

namespace rc {

namespace {

constexpr float kEkgBvpLowerBound = 300.0f;  // ms
constexpr float kEkgBvpUpperBound = 2000.0f;
constexpr float kRespBound = 1.0f;
constexpr double kGapFactor = 1.9;
constexpr double kRatioLow = 0.99;
constexpr double kRatioHigh = 1.01;
constexpr std::size_t kProgressEvery = 1u << 18;  // samples

bool isDetection(float v) { return v > 0.0f && v < detect::kDetectionLimit; }

// Segment bookkeeping of the detection pass.
class SegmentKeeper {
 public:
  SegmentKeeper(const SessionTiming& timing, DetectionPass& pass)
      : timing_(timing), pass_(pass), scripted_(timing.scripted()) {
    if (scripted_) end_ = timing.segmentDurations[0];
  }

  // The first event of a segment comes from its first detection whose sample
  // lies in the segment: a beat just before a boundary may be reported after
  // it, and belongs to the segment before.
  bool wantsFirstEvent(std::size_t sample) const { return firstPending_ && sample >= startSample_; }
  void firstEvent(double t) {
    firstEvent_ = t;
    firstPending_ = false;
  }
  void detection() { ++since_; }

  // After each block: closes the segments whose end the processed time reached.
  void afterBlock(std::size_t samplesDone, double processed, detect::DetectorObject* handle) {
    if (!scripted_) return;
    const std::size_t total = timing_.segmentDurations.size();
    while (pass_.segments.size() < total && processed >= end_) {
      close(samplesDone);
      if (handle) handle->reset = 1;
      previous_ = processed;
      if (pass_.segments.size() < total) end_ += timing_.segmentDurations[pass_.segments.size()];
      if (timing_.sessionLength > 0.0f && processed >= static_cast<double>(timing_.sessionLength))
        fillRemaining(samplesDone);
    }
  }

  // After the last block: a recording that ends early still closes every segment.
  void finish(std::size_t samples) {
    if (!scripted_) {
      pass_.segments.push_back(
          SegmentRecord{0, static_cast<float>(firstEvent_), 0.0f, static_cast<std::int32_t>(since_)});
      pass_.boundaries.push_back(samples);
      pass_.firstEventTime = static_cast<float>(firstEvent_);
      return;
    }
    if (pass_.segments.size() < timing_.segmentDurations.size()) {
      close(samples);
      fillRemaining(samples);
    }
    const SegmentRecord& r = pass_.segments.front();
    const double t = static_cast<double>(r.segmentStart) + static_cast<double>(r.firstBeatOffset);
    pass_.firstEventTime = t > 0.0 ? static_cast<float>(t) : 0.0f;
  }

 private:
  void close(std::size_t boundary) {
    SegmentRecord r;
    r.number = static_cast<std::int32_t>(pass_.segments.size() + 1);
    r.segmentStart = static_cast<float>(previous_);
    // A segment without detections has its first event at its start.
    r.firstBeatOffset =
        firstPending_ ? 0.0f : static_cast<float>(firstEvent_ - static_cast<double>(r.segmentStart));
    r.intervalCount = static_cast<std::int32_t>(since_);
    pass_.segments.push_back(r);
    pass_.boundaries.push_back(boundary);
    startSample_ = boundary;
    since_ = 0;
    firstPending_ = true;
  }

  // The segments after the end of the recording: the next numbers, the start
  // and offset of the segment just closed, no intervals.
  void fillRemaining(std::size_t boundary) {
    const SegmentRecord last = pass_.segments.back();
    while (pass_.segments.size() < timing_.segmentDurations.size()) {
      pass_.segments.push_back(SegmentRecord{static_cast<std::int32_t>(pass_.segments.size() + 1),
                                             last.firstBeatOffset, last.segmentStart, 0});
      pass_.boundaries.push_back(boundary);
    }
  }

  const SessionTiming& timing_;
  DetectionPass& pass_;
  const bool scripted_;
  double end_ = 0.0;       // s, end of the current segment
  double previous_ = 0.0;  // s, processed time at the previous boundary
  double firstEvent_ = 0.0;
  bool firstPending_ = true;
  std::size_t startSample_ = 0;  // first sample of the current segment
  std::size_t since_ = 0;        // detections since the previous boundary
};

}  // namespace

std::int32_t detectorCode(SeriesKind kind) {
  switch (kind) {
    case SeriesKind::IbiFromEkg:
      return detect::kCodeEkg;
    case SeriesKind::IbiFromBvp:
      return detect::kCodeBvp;
    case SeriesKind::RespPeriod:
      return detect::kCodeResp;
    case SeriesKind::Rms:
      break;
  }
  return 0;
}

detect::ParameterBlock makeParameterBlock(SeriesKind kind, const DetectionSettings& settings) {
  detect::ParameterBlock p;  // zero-filled
  const bool resp = kind == SeriesKind::RespPeriod;
  storeF32(p.bytes.data() + detect::kParamLowerBound, resp ? kRespBound : kEkgBvpLowerBound);
  storeF32(p.bytes.data() + detect::kParamUpperBound, resp ? kRespBound : kEkgBvpUpperBound);
  if (resp) {
    p.bytes[detect::kParamRespOption] = settings.respOption;
  } else {
    p.bytes[detect::kParamDetectionType] =
        kind == SeriesKind::IbiFromEkg ? settings.ekgType : settings.bvpType;
  }
  return p;
}

std::size_t samplesPerBlock(double sampleRate, std::uint32_t blockRate) {
  if (blockRate == 0 || !std::isfinite(sampleRate)) return 0;
  const double perBlock = std::floor(sampleRate / blockRate);
  if (!(perBlock >= 1.0) || perBlock > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::size_t>(perBlock);
}

Result<DetectionPass> collectDetections(SeriesKind kind, const ChannelInput& channel,
                                        const SessionTiming& timing, const DetectionSettings& settings,
                                        DetectorLibrary& library, const ProgressFn& progress) {
  if (kind == SeriesKind::Rms) return Status::error("the RMS series has no detector");
  const std::size_t block = samplesPerBlock(channel.sampleRate, timing.blockRate);
  if (block == 0) return Status::error("the channel rate and block rate give no usable block");
  const double rate = channel.sampleRate;
  const std::size_t n = channel.samples.size();
  const std::int32_t code = detectorCode(kind);
  const detect::ParameterBlock params = makeParameterBlock(kind, settings);

  DetectionPass pass;
  pass.slots.assign(n, detect::kNoValue);
  SegmentKeeper keeper(timing, pass);
  detect::DetectorObject* handle = nullptr;
  std::size_t nextProgress = kProgressEvery;

  library.start(timing.blockRate);
  std::uint64_t k = 0;
  // One call of the detector over samples [first, first + count) of block k.
  auto detectSamples = [&](std::size_t first, std::size_t count) {
    library.setTime(static_cast<double>(k) / timing.blockRate);
    library.setTimeStep(1.0 / timing.blockRate);
    float* out = pass.slots.data() + first;
    const std::int32_t rc = library.detect(code, channel.samples.data() + first, out,
                                           static_cast<std::int32_t>(count), params, rate, &handle);
    if (rc == 0) {
      // Clear the reported slots first, then place: a detection may belong to
      // a later sample of this same block.
      std::size_t found = 0;
      float firstValue = 0.0f;
      float lastValue = 0.0f;
      for (std::size_t j = 0; j < count; ++j) {
        const float v = out[j];
        if (isDetection(v)) {
          if (found++ == 0) firstValue = v;
          lastValue = v;
        }
        out[j] = detect::kNoValue;
      }
      if (found > 0 && handle) {
        const std::int64_t p = static_cast<std::int64_t>(handle->position) + static_cast<std::int64_t>(first);
        if (p > 0 && p < static_cast<std::int64_t>(n)) {
          pass.slots[static_cast<std::size_t>(p)] = lastValue;
          if (keeper.wantsFirstEvent(static_cast<std::size_t>(p))) {
            // The first event is the beat one detected period before the
            // detection. When that beat would lie before the recording or on
            // its first sample (a detector that cannot tell the first period
            // reports the time since the start), the detection itself is the
            // first event: it opens the first interval, and the stretch
            // before it is no interval.
            const double at = static_cast<double>(p) / rate;
            const double before = at - firstValue / 1000.0;
            if (before < 0.5 / rate) {
              keeper.firstEvent(at);
              pass.openingSamples.push_back(static_cast<std::size_t>(p));
            } else {
              keeper.firstEvent(before);
            }
          }
          for (std::size_t d = 0; d < found; ++d) keeper.detection();
          pass.detections += found;
        }
      }
    } else {
      std::fill(out, out + count, detect::kNoValue);
    }
  };
  for (std::size_t first = 0; first < n; first += block, ++k) {
    const std::size_t count = std::min(block, n - first);
    // A recording of whole blocks ends with one of the usual length: its last
    // sample goes alone, and the beat still waiting at the end is decided.
    const detect::BlockCalls calls = detect::callsOfBlock(first, count, n, block);
    for (int j = 0; j < calls.calls; ++j) detectSamples(calls.first[j], calls.count[j]);
    const std::size_t done = first + count;
    keeper.afterBlock(done, static_cast<double>(done) / rate, handle);
    if (progress && done >= nextProgress) {
      progress(done, n);
      nextProgress = done + kProgressEvery;
    }
  }
  keeper.finish(n);
  if (handle) library.release(handle);
  if (progress) progress(n, n);
  return pass;
}

IntervalSeries buildIntervals(SeriesKind kind, const DetectionPass& pass, double sampleRate,
                              const DetectionSettings& settings) {
  IntervalSeries series;
  series.segments = pass.segments;
  series.firstEventTime = pass.firstEventTime;
  // Each detection appends at most two intervals (the gap rule).
  series.values.reserve(std::min(pass.detections, pass.slots.size()) * 2);
  const bool basicEkg = kind == SeriesKind::IbiFromEkg && settings.ekgType == 0;
  const std::size_t segCount = std::min(series.segments.size(), pass.boundaries.size());
  const std::size_t n = pass.slots.size();

  std::size_t seg = 0;
  std::size_t nextOpening = 0;  // into pass.openingSamples (ascending)
  std::size_t segFirstValue = 0;
  std::int64_t last = 0;
  // Time (ms) not yet given to an interval; it runs on into the next segment.
  double carry = 0.0;
  auto enter = [&](std::size_t s) {
    segFirstValue = series.values.size();
    last = static_cast<std::int64_t>(std::trunc(segmentFirstEventTime(series, s) * sampleRate));
  };
  auto leave = [&](std::size_t s) {
    series.segments[s].intervalCount = static_cast<std::int32_t>(series.values.size() - segFirstValue);
  };
  if (segCount > 0) enter(0);

  for (std::size_t i = 0; i < n && seg < segCount; ++i) {
    while (seg < segCount && i >= pass.boundaries[seg]) {
      leave(seg);
      if (++seg < segCount) enter(seg);
    }
    if (seg >= segCount) break;
    const float vf = pass.slots[i];
    if (!isDetection(vf)) continue;
    while (nextOpening < pass.openingSamples.size() && pass.openingSamples[nextOpening] < i) ++nextOpening;
    if (nextOpening < pass.openingSamples.size() && pass.openingSamples[nextOpening] == i) {
      last = static_cast<std::int64_t>(i);
      carry = 0.0;
      continue;
    }
    const double v = vf;
    double elapsed = static_cast<double>(static_cast<std::int64_t>(i) - last) * 1000.0 / sampleRate + carry;
    carry = 0.0;
    if (basicEkg) {
      if (v * kGapFactor < elapsed) {
        series.values.push_back(static_cast<float>(elapsed - v));
        elapsed = v;
      }
      series.values.push_back(static_cast<float>(elapsed));
    } else if (elapsed > v * kGapFactor) {
      series.values.push_back(static_cast<float>(elapsed - v));
      series.values.push_back(vf);
    } else {
      const double r = elapsed / v;
      if (r >= kRatioLow && r <= kRatioHigh) {
        series.values.push_back(static_cast<float>(elapsed));
      } else {
        carry = elapsed - v;
        series.values.push_back(vf);
      }
    }
    last = static_cast<std::int64_t>(i);
  }
  while (seg < segCount) {
    leave(seg);
    if (++seg < segCount) enter(seg);
  }
  series.segments.resize(segCount);
  return series;
}

Result<IntervalSeries> generateIntervalSeries(SeriesKind kind, const ChannelInput& channel,
                                              const SessionTiming& timing, const DetectionSettings& settings,
                                              DetectorLibrary& library, const ProgressFn& progress) {
  auto pass = collectDetections(kind, channel, timing, settings, library, progress);
  if (!pass) return pass.status();
  return buildIntervals(kind, *pass, channel.sampleRate, settings);
}

int effectiveAveragingFactor(int averagingFactor) { return std::clamp(averagingFactor, 1, 256); }

RmsSeries computeRms(std::span<const float> samples, int averagingFactor) {
  const std::size_t a = static_cast<std::size_t>(effectiveAveragingFactor(averagingFactor));
  RmsSeries rms;
  const std::size_t groups = samples.size() / a;
  rms.values.reserve(groups);
  for (std::size_t g = 0; g < groups; ++g) {
    double sum = 0.0;
    for (std::size_t j = g * a; j < (g + 1) * a; ++j) sum += static_cast<double>(samples[j]) * samples[j];
    rms.values.push_back(static_cast<float>(std::sqrt(sum / static_cast<double>(a))));
  }
  return rms;
}

}  // namespace rc
