#pragma once
// Synthetic EKG, pulse and respiration signals with known event times:
// beat-to-beat variability, ectopic beats, white noise, mains hum, baseline
// wander and amplitude steps. Deterministic for a given seed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace rc::detect::testing {

struct Synthetic {
  std::vector<float> samples;
  std::vector<std::int64_t> events;  // sample of each R peak, pulse upstroke or breath peak
};

struct Disturbance {
  double noise = 0.0;   // white noise SD, as a share of the event amplitude
  double wander = 0.0;  // baseline wander amplitude, same scale
  double wanderHz = 0.3;
  bool amplitudeSteps = false;  // x0.4 over the second quarter, x2.5 over the third
  double hum = 0.0;             // mains hum amplitude, same scale
  double humHz = 50.0;
};

// A Gaussian bump of unit height and the given width (s) centred at `at`.
inline double bump(double u, double at, double width) { return std::exp(-0.5 * std::pow((u - at) / width, 2)); }

// Adds wave(u) to x over u = from .. to seconds around the instant `at` (s),
// within the signal.
template <typename Wave>
void addWave(std::vector<float>& x, double rate, double at, double from, double to, Wave wave) {
  const auto centre = std::llround(at * rate);
  const auto first = std::max<std::int64_t>(0, centre + std::llround(from * rate));
  const auto end = std::min<std::int64_t>(static_cast<std::int64_t>(x.size()), centre + std::llround(to * rate));
  for (auto i = first; i < end; ++i)
    x[static_cast<std::size_t>(i)] += static_cast<float>(wave(static_cast<double>(i - centre) / rate));
}

// White noise of SD `noise` and a sine of amplitude `wander` at `wanderHz`.
inline void addNoiseAndWander(std::vector<float>& x, double rate, double noise, double wander, double wanderHz,
                              std::mt19937& rng) {
  std::normal_distribution<double> white(0.0, noise);
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] += static_cast<float>(white(rng) + wander * std::sin(2.0 * std::numbers::pi * wanderHz *
                                                              static_cast<double>(i) / rate));
}

inline double amplitudeAt(double t, double duration, bool steps) {
  if (!steps) return 1.0;
  if (t >= duration * 0.25 && t < duration * 0.5) return 0.4;
  if (t >= duration * 0.5 && t < duration * 0.75) return 2.5;
  return 1.0;
}

// Beat times (s): mean RR with breathing-linked and random variability;
// every `ectopicEvery`-th beat (0: none) comes 35 % early with a full pause.
inline std::vector<double> beatTimes(double duration, double meanRr, int ectopicEvery, std::mt19937& rng,
                                     std::vector<bool>* ectopic = nullptr) {
  std::normal_distribution<double> jitter(0.0, 0.02 * meanRr);
  std::vector<double> t;
  double now = 0.5 + 0.3 * meanRr;
  int k = 0;
  while (now < duration - 0.6) {
    const bool early = ectopicEvery > 0 && k > 2 && k % ectopicEvery == 0;
    t.push_back(now);
    if (ectopic) ectopic->push_back(early);
    ++k;
    const bool nextEarly = ectopicEvery > 0 && k > 2 && k % ectopicEvery == 0;
    double rr = meanRr * (1.0 + 0.05 * std::sin(2 * std::numbers::pi * 0.25 * now)) + jitter(rng);
    if (nextEarly) rr *= 0.65;
    if (early) rr = 2.0 * meanRr - 0.65 * meanRr;  // compensatory pause
    now += rr;
  }
  return t;
}

inline void disturb(std::vector<float>& x, double rate, const Disturbance& d, std::mt19937& rng) {
  std::normal_distribution<double> white(0.0, 1.0);
  const double duration = static_cast<double>(x.size()) / rate;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = x[i] * amplitudeAt(t, duration, d.amplitudeSteps);
    v += d.noise * white(rng);
    v += d.wander *
         (std::sin(2 * std::numbers::pi * d.wanderHz * t) + 0.5 * std::sin(2 * std::numbers::pi * 0.05 * t));
    v += d.hum * std::sin(2 * std::numbers::pi * d.humHz * t);
    x[i] = static_cast<float>(v);
  }
}

// EKG in mV (R about 1 mV); polarity -1 turns the complexes over.
inline Synthetic makeEkg(double rate, double duration, double meanRr, int ectopicEvery, const Disturbance& d,
                         unsigned seed, double polarity = 1.0) {
  std::mt19937 rng(seed);
  std::vector<bool> ectopic;
  const auto times = beatTimes(duration, meanRr, ectopicEvery, rng, &ectopic);
  Synthetic s;
  s.samples.assign(static_cast<std::size_t>(duration * rate), 0.0f);
  struct Wave {
    double at, width, height;
  };
  const Wave normal[] = {{-0.20, 0.025, 0.12},
                         {-0.03, 0.010, -0.12},
                         {0.0, 0.011, 1.0},
                         {0.03, 0.010, -0.25},
                         {0.28, 0.05, 0.30}};
  const Wave wide[] = {{0.0, 0.035, -1.4}, {0.08, 0.03, 0.4}, {0.32, 0.06, 0.45}};
  for (std::size_t b = 0; b < times.size(); ++b) {
    const double tb = times[b];
    const std::int64_t from = std::max<std::int64_t>(0, static_cast<std::int64_t>((tb - 0.35) * rate));
    const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(s.samples.size()),
                                                   static_cast<std::int64_t>((tb + 0.5) * rate));
    for (std::int64_t i = from; i < to; ++i) {
      const double t = static_cast<double>(i) / rate - tb;
      double v = 0.0;
      if (ectopic[b]) {
        for (const Wave& w : wide) v += w.height * std::exp(-0.5 * std::pow((t - w.at) / w.width, 2));
      } else {
        for (const Wave& w : normal) v += w.height * std::exp(-0.5 * std::pow((t - w.at) / w.width, 2));
      }
      s.samples[static_cast<std::size_t>(i)] += static_cast<float>(polarity * v);
    }
    s.events.push_back(std::llround(tb * rate));
  }
  disturb(s.samples, rate, d, rng);
  return s;
}

// Cuts pauses into a signal: after every `every`-th event the events of
// `periods` - 1 periods are left out, the stretch from 45 % of the period
// after the event before the pause to 25 % of the period before the event
// after it replaced by the line between its ends and white noise of SD
// `noise`.
inline void cutPauses(Synthetic& s, int every, int periods, double noise, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> white(0.0, noise);
  std::vector<std::int64_t> kept;
  const auto skip = static_cast<std::size_t>(periods - 1);
  int since = 0;
  for (std::size_t i = 0; i < s.events.size(); ++i) {
    kept.push_back(s.events[i]);
    if (++since < every || i + skip + 1 >= s.events.size()) continue;
    const double period = static_cast<double>(s.events[i + 1] - s.events[i]);
    const auto from = s.events[i] + static_cast<std::int64_t>(0.45 * period);
    const auto to = s.events[i + skip + 1] - static_cast<std::int64_t>(0.25 * period);
    const double x0 = s.samples[static_cast<std::size_t>(from)], x1 = s.samples[static_cast<std::size_t>(to)];
    for (std::int64_t k = from; k < to; ++k)
      s.samples[static_cast<std::size_t>(k)] = static_cast<float>(
          x0 + (x1 - x0) * static_cast<double>(k - from) / static_cast<double>(to - from) + white(rng));
    i += skip;
    since = 0;
  }
  s.events = kept;
}

// Pulse wave (amplitude about 1) following each beat by a transit time; the
// event is the steepest point of the upstroke.
inline Synthetic makePulse(double rate, double duration, double meanRr, const Disturbance& d, unsigned seed) {
  std::mt19937 rng(seed);
  const auto times = beatTimes(duration, meanRr, 0, rng);
  Synthetic s;
  s.samples.assign(static_cast<std::size_t>(duration * rate), 0.0f);
  constexpr double kRise = 0.12, kRiseWidth = 0.06;
  for (double tb : times) {
    const double onset = tb + 0.2;
    const std::int64_t from = static_cast<std::int64_t>(onset * rate);
    const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(s.samples.size()),
                                                   static_cast<std::int64_t>((onset + 1.2) * rate));
    for (std::int64_t i = std::max<std::int64_t>(0, from); i < to; ++i) {
      const double t = static_cast<double>(i) / rate - onset;
      // Fast systolic rise, slow decay, and a dicrotic wave.
      const double systole =
          t < kRise ? std::exp(-0.5 * std::pow((t - kRise) / kRiseWidth, 2)) : std::exp(-(t - kRise) / 0.25);
      const double dicrotic = 0.25 * std::exp(-0.5 * std::pow((t - 0.38) / 0.05, 2));
      s.samples[static_cast<std::size_t>(i)] += static_cast<float>(systole + dicrotic);
    }
    s.events.push_back(std::llround((onset + kRise - kRiseWidth) * rate));
  }
  disturb(s.samples, rate, d, rng);
  return s;
}

// Finger pulse with a dicrotic wave of `dicroticHeight` (1: as high as the
// pulse itself) after each pulse. The timing follows the heart rate: the
// dicrotic peak comes about 0.3 s after the systolic peak at 60 per minute,
// less at faster rates, and the decay is quicker when beats are closer.
// The event is the steepest point of the systolic upstroke. Every
// `ectopicEvery`-th beat (0: none) is premature and ejects 60 % of the usual
// pulse. With `irregularity` above 0 the rhythm is that of atrial
// fibrillation instead: each period drawn evenly within that share of the
// mean either way, and each pulse the smaller the shorter the period before
// it.
inline Synthetic makeFingerPulse(double rate, double duration, double meanRr, double dicroticHeight,
                                 const Disturbance& d, unsigned seed, int ectopicEvery = 0,
                                 double irregularity = 0.0) {
  std::mt19937 rng(seed);
  std::vector<bool> ectopic;
  auto times = beatTimes(duration, meanRr, ectopicEvery, rng, &ectopic);
  std::vector<double> filled(times.size(), 1.0);  // pulse size
  if (irregularity > 0.0) {
    std::uniform_real_distribution<double> share(-irregularity, irregularity);
    times.clear();
    filled.clear();
    double before = meanRr;
    for (double t = 0.5; t < duration - 0.6;) {
      times.push_back(t);
      filled.push_back(std::clamp(0.4 + 0.6 * before / meanRr, 0.3, 1.4));
      before = meanRr * (1.0 + share(rng));
      t += before;
    }
    ectopic.assign(times.size(), false);
  }
  Synthetic s;
  s.samples.assign(static_cast<std::size_t>(duration * rate), 0.0f);
  constexpr double kRise = 0.12, kRiseWidth = 0.06, kDicroticWidth = 0.05;
  const double decay = 0.25 * std::sqrt(meanRr);
  const double dicroticAt = kRise + 0.3 * std::pow(meanRr, 0.75);
  for (std::size_t b = 0; b < times.size(); ++b) {
    const double onset = times[b] + 0.2;
    const double amplitude = (ectopic[b] ? 0.6 : 1.0) * filled[b];
    const std::int64_t from = static_cast<std::int64_t>(onset * rate);
    const std::int64_t to =
        std::min<std::int64_t>(static_cast<std::int64_t>(s.samples.size()),
                               static_cast<std::int64_t>((onset + 6.0 * decay + 0.6) * rate));
    for (std::int64_t i = std::max<std::int64_t>(0, from); i < to; ++i) {
      const double t = static_cast<double>(i) / rate - onset;
      const double systole =
          t < kRise ? std::exp(-0.5 * std::pow((t - kRise) / kRiseWidth, 2)) : std::exp(-(t - kRise) / decay);
      const double dicrotic =
          dicroticHeight * std::exp(-0.5 * std::pow((t - dicroticAt) / kDicroticWidth, 2));
      s.samples[static_cast<std::size_t>(i)] += static_cast<float>(amplitude * (systole + dicrotic));
    }
    s.events.push_back(std::llround((onset + kRise - kRiseWidth) * rate));
  }
  disturb(s.samples, rate, d, rng);
  return s;
}

// Breathing at `perMinute` breaths per minute with 10 % cycle-to-cycle
// variation; events at the peaks of inspiration.
inline Synthetic makeBreathing(double rate, double duration, double perMinute, const Disturbance& d,
                               unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> vary(0.9, 1.1);
  Synthetic s;
  s.samples.assign(static_cast<std::size_t>(duration * rate), 0.0f);
  double cycleStart = 0.0;
  while (cycleStart < duration) {
    const double period = 60.0 / perMinute * vary(rng);
    // Inspiration takes 40 % of the cycle: a raised cosine up, then down.
    const double rise = 0.4 * period;
    const auto from = static_cast<std::size_t>(cycleStart * rate);
    const auto to = std::min(s.samples.size(), static_cast<std::size_t>((cycleStart + period) * rate));
    for (std::size_t i = from; i < to; ++i) {
      const double t = static_cast<double>(i) / rate - cycleStart;
      const double phase = t < rise ? t / rise : 1.0 + (t - rise) / (period - rise);
      s.samples[i] = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * phase));
    }
    const double peak = cycleStart + rise;
    if (peak < duration - 0.5 * period && peak > 0.5 * period) s.events.push_back(std::llround(peak * rate));
    cycleStart += period;
  }
  disturb(s.samples, rate, d, rng);
  return s;
}

}  // namespace rc::detect::testing
