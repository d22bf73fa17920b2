#pragma once
// The real recordings of the shared data folder used to score the detectors:
// raw float32 channels and the reference beat annotations.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

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
      {"mitdb_105", "MLII", 360.0, true},
      {"svdb_800", "ECG", 128.0, true},
      {"cinc2015_a103l", "II", 250.0, false},
      {"mimicdb_03700181", "MCL1", 500.0, false},
      {"icu_mixedsignals", "II", 249.89, false},
      {"ptb_s0010_re", "ii", 1000.0, false},
      {"biosppy_ecg", "ECG", 1000.0, false},
  };
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

}  // namespace rc::detect::testing
