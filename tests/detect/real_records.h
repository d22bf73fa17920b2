#pragma once
// The real recordings of the shared data folder used to score the detectors:
// raw float32 channels and the reference beat annotations.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "detect/evaluation.h"

namespace rc::detect::testing {

struct RealChannel {
  const char* record;
  const char* channel;
  double rate;  // Hz
  bool annotated;
};

// The EKG leads scored against the cardiologists' annotations, and the other
// EKG leads run for their beat counts.
inline const std::vector<RealChannel>& ekgChannels() {
  static const std::vector<RealChannel> v = {
      {"mitdb_105", "MLII", 360.0, true},        {"svdb_800", "ECG", 128.0, true},
      {"cinc2015_a103l", "II", 250.0, false},    {"mimicdb_03700181", "MCL1", 500.0, false},
      {"icu_mixedsignals", "II", 249.89, false}, {"ptb_s0010_re", "ii", 1000.0, false},
      {"biosppy_ecg", "ECG", 1000.0, false},
  };
  return v;
}

// The second leads of the annotated records (the annotations mark the beats
// of both leads).
inline const std::vector<RealChannel>& secondLeads() {
  static const std::vector<RealChannel> v = {{"mitdb_105", "V1", 360.0, true},
                                             {"svdb_800", "ECG_2", 128.0, true}};
  return v;
}

// Every record with reference beat annotations and two EKG leads (the
// annotations mark the beats of both leads).
struct AnnotatedRecord {
  const char* record;
  const char* leads[2];  // the first is the usual monitoring lead
  double rate;           // Hz, of the signals and of the annotations
};

inline const std::vector<AnnotatedRecord>& annotatedRecords() {
  static const std::vector<AnnotatedRecord> v = {
      {"mitdb_101", {"MLII", "V1"}, 360.0},       {"mitdb_105", {"MLII", "V1"}, 360.0},
      {"mitdb_106", {"MLII", "V1"}, 360.0},       {"mitdb_107", {"MLII", "V1"}, 360.0},
      {"mitdb_114", {"MLII", "V5"}, 360.0},       {"mitdb_200", {"MLII", "V1"}, 360.0},
      {"nstdb_118e24", {"MLII", "V1"}, 360.0},    {"nstdb_118e12", {"MLII", "V1"}, 360.0},
      {"nstdb_118e06", {"MLII", "V1"}, 360.0},    {"nstdb_118e00", {"MLII", "V1"}, 360.0},
      {"svdb_800", {"ECG", "ECG_2"}, 128.0},      {"cpsc2021_data_21_7", {"II", "I"}, 200.0},
      {"cpsc2021_data_35_4", {"II", "I"}, 200.0}, {"cpsc2021_data_101_8", {"II", "I"}, 200.0},
      {"cpsc2021_data_84_3", {"II", "I"}, 200.0},
  };
  return v;
}

// Recordings with several EKG leads of one heart, for the label-free
// agreement between leads (all at one rate per record).
struct MultiLeadRecord {
  const char* record;
  std::vector<const char*> leads;
  double rate;
};

inline const std::vector<MultiLeadRecord>& multiLeadRecords() {
  static const std::vector<MultiLeadRecord> v = [] {
    std::vector<MultiLeadRecord> m;
    for (const AnnotatedRecord& r : annotatedRecords())
      m.push_back({r.record, {r.leads[0], r.leads[1]}, r.rate});
    m.push_back({"cinc2015_a103l", {"II", "V"}, 250.0});
    m.push_back({"icu_mixedsignals", {"II", "III", "V"}, 249.89});
    m.push_back({"ptb_s0010_re", {"i", "ii", "v2", "v5"}, 1000.0});
    return m;
  }();
  return v;
}

inline std::string realDir() { return std::string(RC_SHARED_DIR) + "/data/real"; }

inline std::vector<float> loadChannel(const std::string& record, const std::string& channel) {
  std::ifstream in(realDir() + "/" + record + "_" + channel + ".f32", std::ios::binary);
  std::vector<float> v;
  if (!in) return v;
  in.seekg(0, std::ios::end);
  const auto bytes = static_cast<std::size_t>(in.tellg());
  in.seekg(0);
  v.resize(bytes / 4);
  in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(v.size() * 4));
  return v;
}

inline bool isBeatSymbol(std::string_view s) {
  static constexpr std::string_view kBeats[] = {"N", "L", "R", "B", "A", "a", "J", "S", "V", "r",
                                                "F", "e", "j", "n", "E", "/", "f", "Q", "?"};
  for (auto b : kBeats)
    if (s == b) return true;
  return false;
}

// Sample numbers of the beat annotations of a record (empty when missing).
inline std::vector<std::int64_t> loadBeats(const std::string& record) {
  std::ifstream in(realDir() + "/" + record + "_beats.csv");
  std::vector<std::int64_t> v;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::stringstream ss(line);
    std::string sample, time, symbol;
    if (!std::getline(ss, sample, ',') || !std::getline(ss, time, ',') || !std::getline(ss, symbol)) continue;
    if (!symbol.empty() && symbol.back() == '\r') symbol.pop_back();
    if (isBeatSymbol(symbol)) v.push_back(std::stoll(sample));
  }
  return v;
}

// Stretches (ms) where a channel holds no usable signal: NaN samples, or
// the same value for at least 0.2 s (lead off, clipping, monitor drop-out),
// widened by `margin` ms on each side.
inline std::vector<std::pair<std::int64_t, std::int64_t>> deadStretches(const std::vector<float>& x,
                                                                        double rate, std::int64_t margin) {
  std::vector<std::pair<std::int64_t, std::int64_t>> v;
  const auto minRun = static_cast<std::size_t>(0.2 * rate);
  std::size_t i = 0;
  while (i < x.size()) {
    std::size_t j = i + 1;
    const bool bad = std::isnan(x[i]);
    while (j < x.size() && (bad ? std::isnan(x[j]) : x[j] == x[i])) ++j;
    if (bad || j - i >= minRun) {
      v.emplace_back(static_cast<std::int64_t>(i * 1000.0 / rate) - margin,
                     static_cast<std::int64_t>(j * 1000.0 / rate) + margin);
    }
    i = j;
  }
  return v;
}

// Stretches (ms) of a pulse channel whose swing in a 2 s window is below
// half or above twice the record's median swing (motion, clipping, probe
// off), widened by `margin` ms on each side.
inline std::vector<std::pair<std::int64_t, std::int64_t>> unsteadyStretches(const std::vector<float>& x,
                                                                            double rate,
                                                                            std::int64_t margin) {
  const auto w = static_cast<std::size_t>(2.0 * rate);
  std::vector<double> ranges;
  for (std::size_t a = 0; a + w <= x.size(); a += w) {
    float lo = x[a], hi = x[a];
    for (std::size_t i = a; i < a + w; ++i) {
      if (std::isnan(x[i])) continue;
      lo = std::isnan(lo) ? x[i] : std::min(lo, x[i]);
      hi = std::isnan(hi) ? x[i] : std::max(hi, x[i]);
    }
    ranges.push_back(static_cast<double>(hi) - lo);
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> v;
  if (ranges.empty()) return v;
  auto sorted = ranges;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (std::size_t k = 0; k < ranges.size(); ++k) {
    if (!(ranges[k] >= 0.5 * median && ranges[k] <= 2.0 * median)) {
      v.emplace_back(static_cast<std::int64_t>(k * w * 1000.0 / rate) - margin,
                     static_cast<std::int64_t>((k + 1) * w * 1000.0 / rate) + margin);
    }
  }
  return v;
}

inline bool within(const std::vector<std::pair<std::int64_t, std::int64_t>>& stretches, std::int64_t t) {
  for (const auto& [a, b] : stretches)
    if (t >= a && t <= b) return true;
  return false;
}

// Beats (ms) whose QRS complex differs in shape from the record's usual
// one: the correlation of the 200 ms around the beat with the median complex
// is below `minCorrelation`. Ventricular beats are of this kind, and many
// of them send no pulse wave to the periphery.
inline std::vector<std::int64_t> unusualBeats(const std::vector<float>& ekg, double rate,
                                              const std::vector<std::int64_t>& beatsMs,
                                              double minCorrelation = 0.8) {
  const auto half = static_cast<std::int64_t>(0.1 * rate);
  const auto width = static_cast<std::size_t>(2 * half + 1);
  std::vector<std::vector<double>> shapes;
  std::vector<std::int64_t> times;
  for (auto t : beatsMs) {
    const auto c = static_cast<std::int64_t>(std::llround(t * rate / 1000.0));
    if (c - half < 0 || c + half >= static_cast<std::int64_t>(ekg.size())) continue;
    std::vector<double> w(width);
    double mean = 0;
    for (std::size_t k = 0; k < width; ++k) mean += w[k] = ekg[static_cast<std::size_t>(c - half) + k];
    mean /= static_cast<double>(width);
    if (!std::isfinite(mean)) continue;
    for (auto& v : w) v -= mean;
    shapes.push_back(std::move(w));
    times.push_back(t);
  }
  std::vector<std::int64_t> out;
  if (shapes.size() < 5) return out;
  std::vector<double> median(width), column(shapes.size());
  for (std::size_t k = 0; k < width; ++k) {
    for (std::size_t b = 0; b < shapes.size(); ++b) column[b] = shapes[b][k];
    std::nth_element(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(column.size() / 2),
                     column.end());
    median[k] = column[column.size() / 2];
  }
  for (std::size_t b = 0; b < shapes.size(); ++b) {
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t k = 0; k < width; ++k) {
      xy += shapes[b][k] * median[k];
      xx += shapes[b][k] * shapes[b][k];
      yy += median[k] * median[k];
    }
    const double r = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
    if (r < minCorrelation) out.push_back(times[b]);
  }
  return out;
}

// Pulse detection scored against the R waves of a simultaneous EKG (all
// times in ms). Only clean stretches count: beats and pulses inside a dead
// stretch of either channel are left out, and so are premature beats (RR
// below 85 % of the previous one, or below 90 % with a pause after it), which
// often send no pulse to the finger, beats listed in `excluded` (unusual
// QRS shapes), and beats whose pulse would fall after `endMs`, the end of
// the pulse channel, or before `startMs` (the pulse detector reports nothing
// closer to the start than the shortest period).
struct PulseScore {
  std::size_t beats = 0;       // EKG beats scored
  std::size_t found = 0;       // ... with their pulse
  std::size_t extra = 0;       // scored pulses without a beat
  std::int64_t transitMs = 0;  // median R-to-pulse delay
  double intervalRmsMs = 0;    // pulse intervals against RR intervals
  std::size_t intervals = 0;
};

inline PulseScore scorePulses(const std::vector<std::int64_t>& beats, const std::vector<std::int64_t>& pulses,
                              const std::vector<std::pair<std::int64_t, std::int64_t>>& dead,
                              const std::vector<std::int64_t>& excluded = {}, std::int64_t endMs = INT64_MAX,
                              std::int64_t startMs = 0) {
  PulseScore s;
  std::vector<std::int64_t> delays;
  std::size_t j = 0;
  for (auto r : beats) {
    while (j < pulses.size() && pulses[j] < r) ++j;
    if (j < pulses.size() && pulses[j] - r < 600) delays.push_back(pulses[j] - r);
  }
  std::sort(delays.begin(), delays.end());
  s.transitMs = delays.empty() ? 0 : delays[delays.size() / 2];
  constexpr std::int64_t kTolerance = 150;
  std::vector<bool> pulseUsed(pulses.size(), false);
  std::int64_t prevBeat = -1, prevPulse = -1;
  double sq = 0;
  j = 0;
  for (std::size_t k = 0; k < beats.size(); ++k) {
    const std::int64_t r = beats[k];
    const std::int64_t expect = r + s.transitMs;
    while (j < pulses.size() && pulses[j] < expect - kTolerance) ++j;
    const bool hit = j < pulses.size() && pulses[j] <= expect + kTolerance;
    const double rr = k >= 2 ? static_cast<double>(r - beats[k - 1]) : 0.0;
    const double before = k >= 2 ? static_cast<double>(beats[k - 1] - beats[k - 2]) : 0.0;
    const double after = k + 1 < beats.size() ? static_cast<double>(beats[k + 1] - r) : 0.0;
    const bool premature = k >= 2 && (rr < 0.85 * before || (rr < 0.9 * before && after > 1.1 * rr));
    const bool unusual = std::binary_search(excluded.begin(), excluded.end(), r);
    const bool scored = !within(dead, r) && !within(dead, expect) && !premature && !unusual &&
                        expect + kTolerance < endMs && expect - kTolerance >= startMs;
    if (hit) pulseUsed[j] = true;
    if (scored) {
      ++s.beats;
      if (hit)
        ++s.found;
      else if (std::getenv("RC_DETECT_LIST"))
        std::printf("    missed beat %.2f s  rr/before %.2f after/rr %.2f\n", r / 1000.0, rr / before,
                    after / rr);
    }
    if (hit && scored && prevBeat >= 0 && r - prevBeat < 2000) {
      const double diff = static_cast<double>(pulses[j] - prevPulse) - static_cast<double>(r - prevBeat);
      sq += diff * diff;
      ++s.intervals;
    }
    prevBeat = hit && scored ? r : -1;
    prevPulse = hit ? pulses[j] : -1;
    if (hit) ++j;
  }
  for (std::size_t k = 0; k < pulses.size(); ++k)
    if (!pulseUsed[k] && !within(dead, pulses[k] - s.transitMs) && !within(dead, pulses[k])) {
      ++s.extra;
      if (std::getenv("RC_DETECT_LIST")) std::printf("    extra pulse %.2f s\n", pulses[k] / 1000.0);
    }
  s.intervalRmsMs = s.intervals ? std::sqrt(sq / static_cast<double>(s.intervals)) : 0.0;
  return s;
}

// One EKG lead scored against the reference annotations (150 ms window).
struct LeadScore {
  bool loaded = false;
  std::size_t reference = 0;
  MatchScore score;
  double offsetMs = 0.0;  // mean detection - reference of the matches
};

inline LeadScore scoreLead(const char* record, const char* lead, double rate, bool advanced,
                           std::uint32_t blockRate) {
  LeadScore r;
  const auto x = loadChannel(record, lead);
  const auto ref = loadBeats(record);
  if (x.empty() || ref.empty()) return r;
  r.loaded = true;
  r.reference = ref.size();
  const auto found = samplesOf(runChannel(x, rate, kCodeEkg, beatParameters(advanced), blockRate));
  r.score = matchEvents(ref, found, std::llround(0.150 * rate));
  double sum = 0.0;
  for (auto o : r.score.offsets) sum += static_cast<double>(o);
  r.offsetMs =
      r.score.offsets.empty() ? 0.0 : sum / static_cast<double>(r.score.offsets.size()) * 1000.0 / rate;
  return r;
}

// Two detectors' beats (or pulses) of one heart compared without labels:
// after the median delay of b behind a, each beat of a is paired with one of
// b within 150 ms. Beats inside a stretch where either channel is unusable
// (dead, or of unsteady swing) are left out. Se: share of a's beats found in
// b; +P: share of b's beats found in a.
struct Agreement {
  std::size_t a = 0, b = 0;  // beats counted
  std::int64_t delayMs = 0;
  MatchScore score;
};

inline Agreement agreementOf(const std::vector<std::int64_t>& aMs, const std::vector<std::int64_t>& bMs,
                             const std::vector<std::pair<std::int64_t, std::int64_t>>& unusable) {
  Agreement g;
  std::vector<std::int64_t> delays;
  std::size_t j = 0;
  for (auto t : aMs) {
    while (j < bMs.size() && bMs[j] < t - 400) ++j;
    std::int64_t best = INT64_MAX;
    for (std::size_t k = j; k < bMs.size() && bMs[k] <= t + 400; ++k)
      if (std::llabs(bMs[k] - t) < std::llabs(best)) best = bMs[k] - t;
    if (best != INT64_MAX) delays.push_back(best);
  }
  if (!delays.empty()) {
    std::nth_element(delays.begin(), delays.begin() + static_cast<std::ptrdiff_t>(delays.size() / 2),
                     delays.end());
    g.delayMs = delays[delays.size() / 2];
  }
  std::vector<std::int64_t> a, b;
  for (auto t : aMs)
    if (!within(unusable, t)) a.push_back(t);
  for (auto t : bMs)
    if (!within(unusable, t - g.delayMs)) b.push_back(t);
  g.a = a.size();
  g.b = b.size();
  g.score = matchEvents(a, b, 150, g.delayMs);
  return g;
}

// The unusable stretches (ms) of an EKG lead: dead or of unsteady swing, 2 s around.
inline std::vector<std::pair<std::int64_t, std::int64_t>> unusableStretches(const std::vector<float>& x,
                                                                            double rate) {
  auto v = deadStretches(x, rate, 2000);
  for (const auto& d : unsteadyStretches(x, rate, 2000)) v.push_back(d);
  return v;
}

inline std::vector<std::int64_t> beatTimesMs(const std::vector<float>& x, double rate, std::int32_t code,
                                             bool advanced, std::uint32_t blockRate) {
  std::vector<std::int64_t> v;
  for (const Detection& d : runChannel(x, rate, code, beatParameters(advanced), blockRate))
    v.push_back(std::llround(static_cast<double>(d.sample) * 1000.0 / rate));
  return v;
}

// A pulse channel recorded beside an EKG.
struct PulseChannel {
  const char* record;
  const char* ekg;
  double ekgRate;  // Hz
  const char* pulse;
  double pulseRate;  // Hz
};

inline const std::vector<PulseChannel>& pulseChannels() {
  static const std::vector<PulseChannel> v = {{"mimicdb_03700181", "MCL1", 500.0, "ABP", 125.0},
                                              {"icu_mixedsignals", "II", 249.89, "Pleth", 124.945},
                                              {"icu_mixedsignals", "II", 249.89, "ABP", 124.945},
                                              {"cinc2015_a103l", "II", 250.0, "PLETH", 250.0}};
  return v;
}

struct PulseRun {
  bool loaded = false;
  std::size_t ekgBeats = 0;  // beats of the Advanced EKG detector
  std::size_t pulses = 0;    // pulses found
  std::size_t unusual = 0;   // beats left out for their QRS shape
  PulseScore score;
};

// Runs the Advanced EKG detector and the pulse detector (Advanced or Basic)
// over a pair and scores the pulses over the stretches where both channels
// are clean, leaving out beats of unusual QRS shape and beats whose pulse
// would fall after the end of the pulse channel.
inline PulseRun runPulseChannel(const PulseChannel& p, bool advanced, std::uint32_t blockRate) {
  PulseRun r;
  const auto ekg = loadChannel(p.record, p.ekg);
  const auto pulse = loadChannel(p.record, p.pulse);
  if (ekg.empty() || pulse.empty()) return r;
  r.loaded = true;
  auto toMs = [](const std::vector<Detection>& d, double rate) {
    std::vector<std::int64_t> v;
    for (const Detection& x : d) v.push_back(std::llround(x.sample * 1000.0 / rate));
    return v;
  };
  const auto beats = toMs(runChannel(ekg, p.ekgRate, kCodeEkg, beatParameters(true), blockRate), p.ekgRate);
  const auto pulses =
      toMs(runChannel(pulse, p.pulseRate, kCodeBvp, beatParameters(advanced), blockRate), p.pulseRate);
  auto dead = deadStretches(ekg, p.ekgRate, 3000);
  for (const auto& d : deadStretches(pulse, p.pulseRate, 3000)) dead.push_back(d);
  for (const auto& d : unsteadyStretches(pulse, p.pulseRate, 2000)) dead.push_back(d);
  for (const auto& d : unsteadyStretches(ekg, p.ekgRate, 2000)) dead.push_back(d);
  const auto unusual = unusualBeats(ekg, p.ekgRate, beats);
  const auto endMs = static_cast<std::int64_t>(pulse.size() * 1000.0 / p.pulseRate);
  r.ekgBeats = beats.size();
  r.pulses = pulses.size();
  r.unusual = unusual.size();
  // The shortest beat period of the program's parameter block.
  const auto startMs = static_cast<std::int64_t>(beatParameters(advanced).lowerBound());
  r.score = scorePulses(beats, pulses, dead, unusual, endMs, startMs);
  return r;
}

// Whether `events` (in time order) hold one within `tolerance` of t.
inline bool foundNear(const std::vector<std::int64_t>& events, std::int64_t t, std::int64_t tolerance) {
  const auto it = std::lower_bound(events.begin(), events.end(), t - tolerance);
  return it != events.end() && *it <= t + tolerance;
}

// Pauses cut into a pulse channel recorded beside an EKG, at the pulses its
// own detection (Advanced) finds: after every 20th pulse the pulses of
// `periods` - 1 periods are left out. The wave runs off as in a real pause:
// from the top of the pulse before the pause it decays to the foot of the
// pulse after it, with a little noise (1 % of the pulse's swing, the same on
// every run). Pauses near unsteady or dead signal, and pauses whose foot lies
// above the top before them (drift), are not cut. Scored with both types: the
// pulses found inside the pauses (50 ms in from either end), and the pulses
// of the unaltered channel more than 300 ms from any pause that are not found
// again within 100 ms.
struct PulsePauseScore {
  std::size_t pauses = 0;
  std::size_t inside = 0;   // pulses found within a pause
  std::size_t outside = 0;  // pulses away from the pauses
  std::size_t lost = 0;     // ... not found again
};

inline PulsePauseScore scorePulsePauses(const PulseChannel& p, int periods, bool advanced,
                                        std::uint32_t blockRate) {
  PulsePauseScore r;
  auto x = loadChannel(p.record, p.pulse);
  if (x.empty()) return r;
  const double rate = p.pulseRate;
  auto bad = deadStretches(x, rate, 1000);
  for (const auto& d : unsteadyStretches(x, rate, 1000)) bad.push_back(d);
  const auto found = samplesOf(runChannel(x, rate, kCodeBvp, beatParameters(true), blockRate));
  auto ms = [&](std::int64_t sample) {
    return static_cast<std::int64_t>(static_cast<double>(sample) * 1000.0 / rate);
  };
  std::uint32_t seed = 4321;
  auto gaussian = [&] {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) {
      seed = seed * 1664525u + 1013904223u;
      sum += static_cast<double>(seed) / 4294967296.0;
    }
    return sum - 6.0;
  };
  std::vector<std::pair<std::int64_t, std::int64_t>> pauses;  // samples
  const auto skip = static_cast<std::size_t>(periods - 1);
  const auto second = static_cast<std::int64_t>(rate);
  for (std::size_t i = 20; i + skip + 1 < found.size(); i += skip + 20) {
    const std::int64_t next = found[i + skip + 1];
    const std::int64_t before = found[i + 1] - found[i], after = next - found[i + skip];
    const auto top = std::max_element(x.begin() + found[i], x.begin() + found[i] + before / 2);
    const auto foot = std::min_element(x.begin() + (next - after / 3), x.begin() + next);
    const std::int64_t from = top - x.begin(), to = foot - x.begin();
    if (to <= from + 1 || from < second || *foot >= *top) continue;
    bool usable = true;
    for (std::int64_t t = ms(found[i]) - 1000; t <= ms(next) + 1000 && usable; t += 100)
      usable = !within(bad, t);
    if (!usable) continue;
    const auto [lo, hi] = std::minmax_element(x.begin() + (from - second), x.begin() + from);
    const double sigma = 0.01 * (static_cast<double>(*hi) - *lo);
    const double x0 = *top, x1 = *foot;
    for (std::int64_t k = from + 1; k < to; ++k) {
      const double u = static_cast<double>(k - from) / static_cast<double>(to - from);
      const double decay = (std::exp(-3.0 * u) - std::exp(-3.0)) / (1.0 - std::exp(-3.0));
      x[static_cast<std::size_t>(k)] = static_cast<float>(x1 + (x0 - x1) * decay + sigma * gaussian());
    }
    pauses.emplace_back(from, to);
  }
  r.pauses = pauses.size();
  const auto again = samplesOf(runChannel(x, rate, kCodeBvp, beatParameters(advanced), blockRate));
  const auto margin = std::llround(0.050 * rate), away = std::llround(0.300 * rate),
             near = std::llround(0.100 * rate);
  for (std::int64_t t : again)
    for (const auto& [a, b] : pauses)
      if (t > a + margin && t < b - margin) ++r.inside;
  for (std::int64_t t : found) {
    bool nearPause = false;
    for (const auto& [a, b] : pauses) nearPause = nearPause || (t > a - away && t < b + away);
    if (nearPause) continue;
    ++r.outside;
    if (!foundNear(again, t, near)) ++r.lost;
  }
  return r;
}

// Probe artefacts on a pulse channel recorded beside an EKG: every 20 s, in
// turn, a spike (12 ms) and a step of the baseline (up and down in turn), each
// `times` the channel's pulse swing (its 1st to 99th percentile). The
// channel's own pulses (its detection unaltered, same type) within 1.5 s of an
// artefact and away from them, and how many of each are not found again
// within 100 ms.
struct PulseArtefactScore {
  std::size_t artefacts = 0;
  std::size_t near = 0, lostNear = 0;
  std::size_t away = 0, lostAway = 0;
};

inline PulseArtefactScore scorePulseArtefacts(const PulseChannel& p, double times, bool advanced,
                                              std::uint32_t blockRate) {
  PulseArtefactScore r;
  auto x = loadChannel(p.record, p.pulse);
  if (x.empty()) return r;
  const double rate = p.pulseRate;
  std::vector<float> sorted;
  for (float v : x)
    if (std::isfinite(v)) sorted.push_back(v);
  if (sorted.size() < 100) return r;
  std::sort(sorted.begin(), sorted.end());
  const double swing = sorted[sorted.size() * 99 / 100] - sorted[sorted.size() / 100];
  const auto before = samplesOf(runChannel(x, rate, kCodeBvp, beatParameters(advanced), blockRate));
  std::vector<std::int64_t> at;
  for (double t = 17.3; (t + 5.0) * rate < static_cast<double>(x.size()); t += 20.0) {
    const auto a = static_cast<std::size_t>(t * rate);
    const bool spike = at.size() % 2 == 0;
    const double size = times * swing * (spike || at.size() % 4 == 1 ? 1.0 : -1.0);
    const std::size_t end =
        spike ? a + std::max<std::size_t>(1, static_cast<std::size_t>(0.012 * rate)) : x.size();
    for (std::size_t i = a; i < end; ++i) x[i] = static_cast<float>(x[i] + size);
    at.push_back(static_cast<std::int64_t>(a));
  }
  r.artefacts = at.size();
  const auto after = samplesOf(runChannel(x, rate, kCodeBvp, beatParameters(advanced), blockRate));
  const auto near = std::llround(1.5 * rate), again = std::llround(0.100 * rate);
  for (std::int64_t t : before) {
    const bool isNear =
        std::any_of(at.begin(), at.end(), [&](std::int64_t a) { return std::llabs(t - a) <= near; });
    const bool lost = !foundNear(after, t, again);
    (isNear ? r.near : r.away) += 1;
    (isNear ? r.lostNear : r.lostAway) += lost ? 1 : 0;
  }
  return r;
}

// Fingertip-on-camera pulse recordings: the mean red level of each video
// frame at about 30 frames per second, at irregular frame times, beside the
// RR intervals of a chest strap worn at the same time (the two start and end
// at about, not exactly, the same moment).
inline const std::vector<const char*>& cameraPulseRecords() {
  static const std::vector<const char*> v = {"welltory_s01", "welltory_s05", "welltory_s14"};
  return v;
}

struct CameraPulse {
  std::vector<float> samples;  // red level at `rate` Hz
  std::vector<double> rrMs;    // chest-strap RR intervals
};

// The red channel resampled to `rate` Hz (linear between frames, over their
// times; frames not later than the one before are skipped), and the RR
// intervals. Empty when a file is missing.
inline CameraPulse loadCameraPulse(const std::string& record, double rate) {
  CameraPulse c;
  const auto red = loadChannel(record, "R");
  const auto timeMs = loadChannel(record, "time_ms");
  std::ifstream in(realDir() + "/ibi/" + record + "_RR.txt");
  if (red.empty() || red.size() != timeMs.size() || !in) return c;
  for (double v; in >> v;) c.rrMs.push_back(v);
  std::vector<double> t, x;
  for (std::size_t i = 0; i < red.size(); ++i) {
    if (!std::isfinite(timeMs[i]) || !std::isfinite(red[i]) || (!t.empty() && timeMs[i] <= t.back()))
      continue;
    t.push_back(timeMs[i]);
    x.push_back(-red[i]);
  }
  if (t.size() < 2) return c;
  const double step = 1000.0 / rate;
  std::size_t k = 0;
  for (double now = t.front(); now <= t.back(); now += step) {
    while (k + 2 < t.size() && t[k + 1] < now) ++k;
    const double w = std::clamp((now - t[k]) / (t[k + 1] - t[k]), 0.0, 1.0);
    c.samples.push_back(static_cast<float>(x[k] + w * (x[k + 1] - x[k])));
  }
  return c;
}

// Pulse intervals against a reference RR series of the same heart that is not
// aligned in time: the pulse intervals are laid along the RR series at the
// offset (in beats) where most of them agree within `toleranceMs`. A missed
// pulse merges two intervals and an extra one splits one, so each costs one
// or two agreements.
struct IntervalAgreement {
  std::size_t pulseIntervals = 0;
  std::size_t overlap = 0;  // pulse intervals facing an RR interval at the best offset
  std::size_t agree = 0;    // ... that agree with it
  double pulseMeanMs = 0.0, rrMeanMs = 0.0;
};

inline IntervalAgreement agreeWithRr(const std::vector<double>& pulseMs, const std::vector<double>& rrMs,
                                     double toleranceMs = 60.0) {
  IntervalAgreement a;
  a.pulseIntervals = pulseMs.size();
  for (double v : pulseMs) a.pulseMeanMs += v / static_cast<double>(std::max<std::size_t>(1, pulseMs.size()));
  for (double v : rrMs) a.rrMeanMs += v / static_cast<double>(std::max<std::size_t>(1, rrMs.size()));
  const auto n = static_cast<std::ptrdiff_t>(pulseMs.size());
  const auto m = static_cast<std::ptrdiff_t>(rrMs.size());
  for (std::ptrdiff_t lag = -n + 1; lag < m; ++lag) {
    std::size_t overlap = 0, agree = 0;
    for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(0, -lag); i < n && i + lag < m; ++i) {
      ++overlap;
      if (std::abs(pulseMs[static_cast<std::size_t>(i)] - rrMs[static_cast<std::size_t>(i + lag)]) <=
          toleranceMs)
        ++agree;
    }
    if (agree > a.agree) {
      a.agree = agree;
      a.overlap = overlap;
    }
  }
  return a;
}

// Median peak-to-peak swing within 60 ms of each reference beat.
inline double qrsSwing(const std::vector<float>& x, const std::vector<std::int64_t>& beats, double rate) {
  const auto half = static_cast<std::int64_t>(0.060 * rate);
  std::vector<double> swings;
  for (std::int64_t b : beats) {
    const std::int64_t from = std::max<std::int64_t>(0, b - half);
    const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(x.size()), b + half);
    if (to <= from) continue;
    const auto [lo, hi] = std::minmax_element(x.begin() + from, x.begin() + to);
    swings.push_back(static_cast<double>(*hi) - static_cast<double>(*lo));
  }
  if (swings.empty()) return 0.0;
  std::nth_element(swings.begin(), swings.begin() + static_cast<std::ptrdiff_t>(swings.size() / 2),
                   swings.end());
  return swings[swings.size() / 2];
}

// The noise-stress record's electrode-motion noise: its 0 dB version less its
// 24 dB version, brought back to the 0 dB scale, with the QRS swing of the
// record it was added to.
struct StressNoise {
  std::vector<float> samples;
  double qrsSwing = 0.0;
};

inline StressNoise loadStressNoise() {
  StressNoise n;
  const auto e00 = loadChannel("nstdb_118e00", "MLII");
  const auto e24 = loadChannel("nstdb_118e24", "MLII");
  const auto beats = loadBeats("nstdb_118e24");
  if (e00.empty() || e00.size() != e24.size() || beats.empty()) return n;
  const double scale = 1.0 / (1.0 - std::pow(10.0, -24.0 / 20.0));
  n.samples.resize(e00.size());
  for (std::size_t i = 0; i < e00.size(); ++i)
    n.samples[i] = static_cast<float>((static_cast<double>(e00[i]) - e24[i]) * scale);
  n.qrsSwing = qrsSwing(e24, beats, 360.0);
  return n;
}

// The first lead (MLII, 360 Hz) of an arrhythmia record with the noise added
// at `db` dB: scaled by the record's QRS swing against the noise-stress
// record's, so that the ratio of QRS to noise is the stress record's.
inline std::vector<float> withStressNoise(const char* record, const StressNoise& noise, int db) {
  auto x = loadChannel(record, "MLII");
  const auto ref = loadBeats(record);
  if (x.empty() || ref.empty() || !(noise.qrsSwing > 0.0)) return {};
  const double k = qrsSwing(x, ref, 360.0) / noise.qrsSwing * std::pow(10.0, -db / 20.0);
  for (std::size_t i = 0; i < x.size() && i < noise.samples.size(); ++i)
    x[i] = static_cast<float>(x[i] + k * noise.samples[i]);
  return x;
}

// The arrhythmia records whose first lead (MLII, 360 Hz) the hum, artefact
// and pause tests alter.
inline const std::vector<const char*>& alteredRecords() {
  static const std::vector<const char*> v = {"mitdb_101", "mitdb_105", "mitdb_106",
                                             "mitdb_107", "mitdb_114", "mitdb_200"};
  return v;
}

// The first lead (MLII, 360 Hz) of an arrhythmia record with 60 Hz mains hum
// whose amplitude is `share` of the record's QRS swing.
inline std::vector<float> withMainsHum(const char* record, double share) {
  auto x = loadChannel(record, "MLII");
  const auto ref = loadBeats(record);
  if (x.empty() || ref.empty()) return {};
  const double amplitude = share * qrsSwing(x, ref, 360.0);
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(
        x[i] + amplitude * std::sin(2.0 * std::numbers::pi * 60.0 * static_cast<double>(i) / 360.0 + 0.3));
  return x;
}

// A lead with something done to it, and the beats it holds.
struct AlteredLead {
  std::vector<float> samples;
  std::vector<std::int64_t> beats;
};

// The first lead (MLII, 360 Hz) of an arrhythmia record with electrode
// artefacts: every minute a spike (three samples) at 17.3 s and a step of the
// baseline (up and down in turn) at 47.3 s, each `times` the record's QRS
// swing.
inline std::vector<float> withArtefacts(const char* record, double times) {
  auto x = loadChannel(record, "MLII");
  const auto ref = loadBeats(record);
  if (x.empty() || ref.empty()) return {};
  const double size = times * qrsSwing(x, ref, 360.0);
  int steps = 0;
  for (double minute = 0.0; (minute + 1.0) * 60.0 * 360.0 <= static_cast<double>(x.size()); minute += 1.0) {
    const auto spike = static_cast<std::size_t>((minute * 60.0 + 17.3) * 360.0);
    for (std::size_t i = spike; i < spike + 3; ++i) x[i] = static_cast<float>(x[i] + size);
    const auto step = static_cast<std::size_t>((minute * 60.0 + 47.3) * 360.0);
    const double jump = steps++ % 2 == 0 ? size : -size;
    for (std::size_t i = step; i < x.size(); ++i) x[i] = static_cast<float>(x[i] + jump);
  }
  return x;
}

// The first lead (MLII, 360 Hz) of an arrhythmia record with sinus pauses cut
// into it: after every 25th beat the beats of `periods` - 1 periods are left
// out, from 450 ms after the beat before the pause to 300 ms before the beat
// after it, replaced by the line between the two ends and a little noise (1 %
// of the QRS swing, the same on every run). The beats that remain are the
// reference.
inline AlteredLead withPauses(const char* record, int periods) {
  AlteredLead a;
  a.samples = loadChannel(record, "MLII");
  const auto ref = loadBeats(record);
  if (a.samples.empty() || ref.empty() || periods < 2) return {};
  constexpr double kRate = 360.0;
  const double sigma = 0.01 * qrsSwing(a.samples, ref, kRate);
  std::uint32_t seed = 12345;
  auto gaussian = [&] {  // sum of 12 uniforms, less 6
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) {
      seed = seed * 1664525u + 1013904223u;
      sum += static_cast<double>(seed) / 4294967296.0;
    }
    return sum - 6.0;
  };
  const auto skip = static_cast<std::size_t>(periods - 1);
  const auto n = static_cast<std::int64_t>(a.samples.size());
  std::size_t since = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    a.beats.push_back(ref[i]);
    if (++since < 25 || i + skip + 1 >= ref.size()) continue;
    const std::int64_t from = ref[i] + std::llround(0.450 * kRate);
    const std::int64_t to = ref[i + skip + 1] - std::llround(0.300 * kRate);
    if (to <= from + 1 || from < 0 || to >= n) continue;
    const double x0 = a.samples[static_cast<std::size_t>(from)], x1 = a.samples[static_cast<std::size_t>(to)];
    for (std::int64_t k = from; k < to; ++k) {
      const double w = static_cast<double>(k - from) / static_cast<double>(to - from);
      a.samples[static_cast<std::size_t>(k)] = static_cast<float>(x0 + w * (x1 - x0) + sigma * gaussian());
    }
    i += skip;
    since = 0;
  }
  return a;
}

}  // namespace rc::detect::testing
