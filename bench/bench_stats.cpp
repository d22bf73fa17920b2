// A 24-hour open session: resampling of the whole series and the spectra of
// all 60 s epochs (about 100,000 intervals, 1,440 epochs), and the same with
// the other epoch lengths. The intervals come from a real day-long recording
// of beat times when the shared data is present, else from a synthetic series.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/stats/hrv_stats.h"
#include "analysis/epochs/resample.h"

namespace {

std::vector<float> loadDay() {
  std::vector<float> ibi;
  std::ifstream in(std::string(RC_SHARED_DIR) + "/data/real/nsr2db_nsr001_beats.csv");
  std::string line;
  double prev = -1;
  if (in && std::getline(in, line)) {
    while (std::getline(in, line)) {
      std::stringstream ss(line);
      std::string sample, time, symbol;
      std::getline(ss, sample, ',');
      std::getline(ss, time, ',');
      std::getline(ss, symbol, ',');
      if (symbol.empty() || symbol == "~" || symbol == "+" || symbol == "|" || symbol == "\"") continue;
      const double t = std::stod(time);
      if (prev >= 0) ibi.push_back(static_cast<float>((t - prev) * 1000.0));
      prev = t;
    }
  }
  if (ibi.size() > 50000) return ibi;
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0, 20);
  ibi.clear();
  double t = 0;
  while (t < 24 * 3600 * 1000.0) {
    const float v = static_cast<float>(860 + 50 * std::sin(t / 1000 * 0.6) + noise(gen));
    ibi.push_back(v);
    t += v;
  }
  return ibi;
}

const std::vector<float>& day() {
  static const std::vector<float> ibi = loadDay();
  return ibi;
}

std::int32_t epochCount(const std::vector<float>& ibi, std::int32_t epochSeconds) {
  double sum = 0;
  for (float v : ibi) sum += v;
  return static_cast<std::int32_t>(sum / (epochSeconds * 1000.0));
}

void BM_OpenSessionResampleAndSpectra(benchmark::State& state) {
  const std::int32_t epochSeconds = static_cast<std::int32_t>(state.range(0));
  const std::vector<float>& ibi = day();
  const rc::SpectralGrid grid = rc::spectralGrid(epochSeconds);
  const std::int32_t epochs = epochCount(ibi, epochSeconds);
  for (auto _ : state) {
    const std::vector<double> all = rc::resampleOpenSession(ibi, epochs, grid);
    double sum = 0;
    for (std::int32_t k = 0; k < epochs; ++k) {
      const auto window = std::span<const double>(all).subspan(static_cast<std::size_t>(k) * grid.n, grid.n);
      const auto b = rc::bandPowers(window, grid);
      sum += b ? rc::applyBandUnits(*b, rc::BandUnits::Normalised).lf.value_or(0) : 0;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["intervals"] = static_cast<double>(ibi.size());
  state.counters["epochs"] = epochs;
}

void BM_OpenSessionResampleOnly(benchmark::State& state) {
  const std::vector<float>& ibi = day();
  const rc::SpectralGrid grid = rc::spectralGrid(60);
  const std::int32_t epochs = epochCount(ibi, 60);
  for (auto _ : state) {
    const std::vector<double> all = rc::resampleOpenSession(ibi, epochs, grid);
    benchmark::DoNotOptimize(all.data());
  }
}

void BM_TimeDomainWholeDay(benchmark::State& state) {
  const std::vector<float>& ibi = day();
  for (auto _ : state) {
    const auto st = rc::timeDomainStats(ibi, 50.0);
    benchmark::DoNotOptimize(st);
  }
}

}  // namespace

BENCHMARK(BM_OpenSessionResampleAndSpectra)
    ->Arg(60)
    ->Arg(180)
    ->Arg(300)
    ->Arg(600)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSessionResampleOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeDomainWholeDay)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
