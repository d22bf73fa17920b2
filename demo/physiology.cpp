#include "demo/physiology.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace rc::demo {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

bool inArtefact(const PhysiologyOptions& o, double t) {
  return o.artefactStart >= 0 && t >= o.artefactStart && t < o.artefactStart + o.artefactLength;
}

double breathRateAt(const PhysiologyOptions& o, double t) {
  for (const auto& s : o.paced)
    if (t >= s.start && t < s.end) return s.breathsPerMinute;
  return o.breathsPerMinute;
}
}  // namespace

Rng::Rng(std::uint64_t seed) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
  for (auto& s : s_) {  // splitmix64 seeding
    z += 0x9E3779B97F4A7C15ull;
    std::uint64_t x = z;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    s = x ^ (x >> 31);
  }
}

std::uint64_t Rng::next() {
  std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
  std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotl(s_[3], 45);
  return result;
}

double Rng::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Rng::normal() {
  if (haveSpare_) {
    haveSpare_ = false;
    return spare_;
  }
  double u = 0.0;
  while (u <= 1e-300) u = uniform();
  double v = uniform();
  double r = std::sqrt(-2.0 * std::log(u));
  spare_ = r * std::sin(kTwoPi * v);
  haveSpare_ = true;
  return r * std::cos(kTwoPi * v);
}

double Physiology::phaseAt(double t) const {
  if (breathPhase.empty()) return 0.0;
  double x = t * kPhaseRate;
  if (x <= 0) return breathPhase.front();
  std::size_t i = static_cast<std::size_t>(x);
  if (i + 1 >= breathPhase.size()) return breathPhase.back();
  double f = x - static_cast<double>(i);
  return breathPhase[i] * (1 - f) + breathPhase[i + 1] * f;
}

Physiology planPhysiology(const PhysiologyOptions& o) {
  Physiology p;
  p.options = o;
  Rng rng(o.seed);

  // Breathing: the phase advances at the momentary rate, each breath a little
  // irregular; paced stretches are regular.
  const std::size_t n = static_cast<std::size_t>(o.duration * Physiology::kPhaseRate) + 2;
  p.breathPhase.resize(n);
  double phase = 0.0, jitter = 1.0;
  double lastWhole = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / Physiology::kPhaseRate;
    p.breathPhase[i] = phase;
    bool paced = breathRateAt(o, t) != o.breathsPerMinute;
    double rate = breathRateAt(o, t) / 60.0 * (paced ? 1.0 : jitter);
    double next = phase + rate / Physiology::kPhaseRate;
    if (std::floor(next) > std::floor(phase)) {
      // Linear interpolation of the crossing of a whole cycle.
      double whole = std::floor(next);
      double frac = (whole - phase) / (next - phase);
      double bt = t + frac / Physiology::kPhaseRate;
      if (bt > 0 && whole > lastWhole) p.breaths.push_back(bt);
      lastWhole = whole;
      jitter = std::clamp(1.0 + 0.08 * rng.normal(), 0.8, 1.25);
    }
    phase = next;
  }

  // Beats: RR from a mean, respiratory sinus arrhythmia (shorter during
  // inspiration), a 0.1 Hz rhythm, a slow wander and beat-to-beat noise.
  double mayerPhase = rng.uniform(0, kTwoPi);
  double wander = 0.0;
  std::vector<double> ectopicAt;
  for (int k = 0; k < o.ectopicBeats; ++k) ectopicAt.push_back(o.duration * (k + 0.5) / std::max(1, o.ectopicBeats) + rng.uniform(-5, 5));
  std::sort(ectopicAt.begin(), ectopicAt.end());
  std::size_t nextEctopic = 0;
  double t = 0.35 + rng.uniform(0, 0.2);
  while (t < o.duration) {
    p.beats.push_back({t, false});
    wander = 0.995 * wander + 0.004 * rng.normal();
    double resp = std::sin(kTwoPi * p.phaseAt(t));
    double rr = o.meanRr + o.rsaAmplitude * resp + o.mayerAmplitude * std::sin(kTwoPi * 0.1 * t + mayerPhase) +
                wander + 0.008 * rng.normal();
    rr = std::clamp(rr, 0.45, 1.6);
    if (nextEctopic < ectopicAt.size() && t + rr > ectopicAt[nextEctopic]) {
      // A premature beat, then a compensatory pause.
      double early = t + 0.62 * rr;
      if (early < o.duration) p.beats.push_back({early, true});
      t += 2.0 * rr;
      ++nextEctopic;
      continue;
    }
    t += rr;
  }
  return p;
}

std::vector<float> synthEkg(const Physiology& p, double rate) {
  // A dynamical beat model: the phase theta runs once round the cycle from
  // one R peak to the next, and the voltage z follows
  //   dz/dt = -sum_i a_i dtheta_i exp(-dtheta_i^2 / (2 b_i^2)) * omega - (z - z0),
  // with P, Q, R, S and T events at fixed angles; z0 carries the respiratory
  // baseline. Integrated with RK4 at the sample rate.
  struct Wave {
    double theta, a, b;
  };
  static constexpr Wave normal[5] = {{-1.2217, 1.2, 0.25}, {-0.2618, -5.0, 0.1}, {0.0, 30.0, 0.1},
                                     {0.2618, -7.5, 0.1},  {1.7453, 0.75, 0.4}};
  static constexpr Wave ectopic[5] = {{-1.2217, 0.0, 0.25}, {-0.35, -3.0, 0.2}, {0.0, 22.0, 0.22},
                                      {0.45, -9.0, 0.2},    {1.9, -1.5, 0.45}};
  const auto& beats = p.beats;
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n);
  Rng rng(p.options.seed ^ 0xE6Cull);
  if (beats.size() < 2) return out;

  std::size_t k = 0;  // beat interval [beats[k], beats[k+1])
  auto thetaOmega = [&](double t, std::size_t& kk, double& omega) {
    while (kk + 2 < beats.size() && t >= beats[kk + 1].time) ++kk;
    double t0 = beats[kk].time, t1 = beats[kk + 1].time;
    double span = t1 - t0;
    if (t < t0) span = beats[1].time - beats[0].time, t1 = t0, t0 = t0 - span;
    omega = kTwoPi / span;
    double th = kTwoPi * (t - t0) / span;
    if (th > std::numbers::pi) th -= kTwoPi;  // late in the cycle: approaching the next R
    return th;
  };
  auto deriv = [&](double t, double z, std::size_t& kk) {
    double omega;
    double th = thetaOmega(t, kk, omega);
    // The waves before the next R (theta < 0) belong to the next beat.
    bool nextIsEctopic = th < 0 ? (kk + 1 < beats.size() && beats[kk + 1].ectopic) : beats[kk].ectopic;
    const Wave* w = nextIsEctopic ? ectopic : normal;
    double dz = 0.0;
    for (int i = 0; i < 5; ++i) {
      double d = std::remainder(th - w[i].theta, kTwoPi);
      if (std::fabs(d) > 5.0 * w[i].b) continue;
      dz -= w[i].a * d * std::exp(-d * d / (2 * w[i].b * w[i].b)) * omega;
    }
    double z0 = 0.005 * std::sin(kTwoPi * p.phaseAt(t));
    return dz - (z - z0);
  };

  const double h = 1.0 / rate;
  double z = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) * h;
    std::size_t kk = k;
    double k1 = deriv(t, z, kk);
    double k2 = deriv(t + h / 2, z + h / 2 * k1, kk);
    double k3 = deriv(t + h / 2, z + h / 2 * k2, kk);
    double k4 = deriv(t + h, z + h * k3, kk);
    k = kk;
    out[i] = static_cast<float>(z);
    z += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
  }

  // Scale to about 1.2 mV R waves, then add baseline wander, mains hum,
  // noise and the motion artefact.
  float peak = 0.0f;
  for (std::size_t i = 0; i < std::min(n, static_cast<std::size_t>(10 * rate)); ++i) peak = std::max(peak, out[i]);
  const double scale = peak > 0 ? 1.2 / peak : 1.0;
  double artefact = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) * h;
    double v = out[i] * scale;
    v += 0.12 * std::sin(kTwoPi * p.phaseAt(t)) + 0.05 * std::sin(kTwoPi * 0.03 * t);
    v += 0.015 * std::sin(kTwoPi * 50.0 * t) + 0.012 * rng.normal();
    if (inArtefact(p.options, t)) {
      artefact = 0.995 * artefact + 0.08 * rng.normal();
      v += artefact + (rng.uniform() < 0.002 ? rng.uniform(-1.5, 1.5) : 0.0);
    }
    out[i] = static_cast<float>(v);
  }
  return out;
}

std::vector<float> synthBvp(const Physiology& p, double rate) {
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n, 0.0f);
  Rng rng(p.options.seed ^ 0xB7Full);
  // Each beat adds a pulse after the transit delay: a systolic wave and a
  // smaller dicrotic wave; a premature beat ejects less.
  for (const auto& b : p.beats) {
    double ptt = p.options.pulseTransit + 0.01 * std::sin(kTwoPi * p.phaseAt(b.time));
    double onset = b.time + ptt;
    double amp = (b.ectopic ? 0.55 : 1.0) * (1.0 + 0.08 * std::sin(kTwoPi * p.phaseAt(b.time)));
    std::size_t i0 = static_cast<std::size_t>(std::max(0.0, onset * rate));
    std::size_t i1 = std::min(n, static_cast<std::size_t>((onset + 0.9) * rate));
    for (std::size_t i = i0; i < i1; ++i) {
      double tau = static_cast<double>(i) / rate - onset;
      if (tau < 0) continue;
      double sys = std::exp(-std::pow((tau - 0.13) / 0.055, 2) / 2);
      double dic = 0.35 * std::exp(-std::pow((tau - 0.36) / 0.08, 2) / 2);
      out[i] += static_cast<float>(amp * 20.0 * (sys + dic));
    }
  }
  double drift = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    drift = 0.9999 * drift + 0.01 * rng.normal();
    double v = out[i] + 30.0 + 2.0 * std::sin(kTwoPi * p.phaseAt(t)) + drift + 0.15 * rng.normal();
    if (inArtefact(p.options, t)) v += 6.0 * std::sin(kTwoPi * 1.7 * t) + 1.5 * rng.normal();
    out[i] = static_cast<float>(v);
  }
  return out;
}

std::vector<float> synthRespiration(const Physiology& p, double rate) {
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n);
  Rng rng(p.options.seed ^ 0x4E5Full);
  double drift = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    double ph = p.phaseAt(t);
    // Inspiration starts at whole cycles: the belt stretch is lowest there.
    double depth = breathRateAt(p.options, t) < 9 ? 9.0 : 5.0;
    drift = 0.99995 * drift + 0.005 * rng.normal();
    double v = 30.0 - depth * std::cos(kTwoPi * ph) + 0.6 * std::sin(kTwoPi * 2 * ph) + drift + 0.08 * rng.normal();
    out[i] = static_cast<float>(v);
  }
  return out;
}

std::vector<float> synthSkinConductance(const Physiology& p, double rate, std::uint64_t seed) {
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n);
  Rng rng(seed);
  std::vector<std::pair<double, double>> responses;  // onset, amplitude
  for (double t = rng.uniform(5, 25); t < p.options.duration; t += rng.uniform(15, 60))
    responses.push_back({t, rng.uniform(0.1, 0.8)});
  double tonic = rng.uniform(2.5, 6.0);
  double wander = 0.0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    wander = 0.99999 * wander + 0.0004 * rng.normal();
    double v = tonic + 0.3 * std::sin(kTwoPi * t / 900.0) + wander;
    while (first < responses.size() && t - responses[first].first > 60) ++first;
    for (std::size_t r = first; r < responses.size() && responses[r].first <= t; ++r) {
      double tau = t - responses[r].first;
      v += responses[r].second * 1.6 * (std::exp(-tau / 6.0) - std::exp(-tau / 0.9));
    }
    out[i] = static_cast<float>(v + 0.002 * rng.normal());
  }
  return out;
}

std::vector<float> synthTemperature(const Physiology& p, double rate, std::uint64_t seed) {
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n);
  Rng rng(seed);
  double start = rng.uniform(30.5, 32.0);
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    double v = start + 1.4 * (1.0 - std::exp(-t / 1500.0)) + 0.05 * std::sin(kTwoPi * t / 240.0) + 0.004 * rng.normal();
    out[i] = static_cast<float>(v);
  }
  return out;
}

std::vector<float> synthEmg(const Physiology& p, double rate, std::uint64_t seed) {
  const std::size_t n = static_cast<std::size_t>(p.options.duration * rate);
  std::vector<float> out(n);
  Rng rng(seed);
  std::vector<std::pair<double, double>> bursts;  // start, length
  for (double t = rng.uniform(5, 20); t < p.options.duration; t += rng.uniform(20, 45))
    bursts.push_back({t, rng.uniform(1.5, 5.0)});
  std::size_t b = 0;
  double prev = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    while (b < bursts.size() && t > bursts[b].first + bursts[b].second) ++b;
    double sd = 2.0;
    if (b < bursts.size() && t >= bursts[b].first) {
      double x = (t - bursts[b].first) / bursts[b].second;
      sd += 35.0 * std::sin(std::numbers::pi * x);
    }
    double w = sd * rng.normal();
    out[i] = static_cast<float>(w - 0.6 * prev);  // a little high-pass colour
    prev = w;
  }
  return out;
}

}  // namespace rc::demo
