#pragma once
// Synthetic physiology for the demo data: beat and breath timelines with
// respiratory sinus arrhythmia, a 0.1 Hz rhythm, ectopic beats and paced
// breathing, and the signals a host suite would record from them.
// Everything is deterministic for a given seed.
#include <cstdint>
#include <vector>

namespace rc::demo {

// A small deterministic generator (xoshiro256**), identical on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed);
  std::uint64_t next();
  double uniform();              // [0, 1)
  double uniform(double a, double b) { return a + (b - a) * uniform(); }
  double normal();               // mean 0, SD 1

 private:
  std::uint64_t s_[4];
  bool haveSpare_ = false;
  double spare_ = 0.0;
};

struct PacedStretch {
  double start = 0.0;  // s
  double end = 0.0;    // s
  double breathsPerMinute = 6.0;
};

struct PhysiologyOptions {
  double duration = 300.0;          // s
  std::uint64_t seed = 1;
  double meanRr = 0.85;             // s
  double rsaAmplitude = 0.045;      // s, peak RR swing with breathing
  double mayerAmplitude = 0.025;    // s, the 0.1 Hz rhythm
  double breathsPerMinute = 14.0;   // spontaneous breathing
  std::vector<PacedStretch> paced;  // stretches of slow paced breathing
  int ectopicBeats = 3;
  double artefactStart = -1.0;      // s; < 0 for none
  double artefactLength = 8.0;      // s
  double pulseTransit = 0.22;       // s, R peak to pulse foot
};

struct Beat {
  double time = 0.0;  // s, R peak
  bool ectopic = false;
};

struct Physiology {
  PhysiologyOptions options;
  std::vector<Beat> beats;
  std::vector<double> breaths;  // s, start of each inspiration
  // Breath phase (cycles since start) sampled at kPhaseRate.
  std::vector<double> breathPhase;
  static constexpr double kPhaseRate = 64.0;
  double phaseAt(double t) const;
};

Physiology planPhysiology(const PhysiologyOptions& options);

// Signals at the given sample rate over the whole duration.
std::vector<float> synthEkg(const Physiology& p, double rate);          // mV
std::vector<float> synthBvp(const Physiology& p, double rate);          // relative units
std::vector<float> synthRespiration(const Physiology& p, double rate);  // belt stretch units
std::vector<float> synthSkinConductance(const Physiology& p, double rate, std::uint64_t seed);  // uS
std::vector<float> synthTemperature(const Physiology& p, double rate, std::uint64_t seed);      // deg C
std::vector<float> synthEmg(const Physiology& p, double rate, std::uint64_t seed);              // uV

}  // namespace rc::demo
