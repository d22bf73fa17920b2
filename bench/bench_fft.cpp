// The transform beside FFTW (when linked) for the spectral window lengths of
// the statistics (256, 1024, 2048), a viewer-style odd length and large primes.
// Both sides copy the input first (RealFFT works in place); the FFTW side runs
// a real-to-complex plan made once with FFTW_MEASURE.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "analysis/numeric/fft.h"
#include "analysis/numeric/numeric.h"

#ifdef RC_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

std::vector<double> signal(int n) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

void BM_RealFFT(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> x = signal(n);
  std::vector<double> re(x.size()), im(x.size());
  for (auto _ : state) {
    std::memcpy(re.data(), x.data(), x.size() * sizeof(double));
    if (rc::RealFFT(re.data(), im.data(), n) != rc::kNumericOk) state.SkipWithError("RealFFT failed");
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_AutoPowerSpectrum(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> x = signal(n);
  std::vector<double> p(x.size() / 2 + 1);
  double df = 0;
  for (auto _ : state) {
    rc::AutoPowerSpectrum(x.data(), n, 0.234375, p.data(), &df);
    benchmark::DoNotOptimize(p.data());
  }
}

#ifdef RC_HAVE_FFTW
void BM_Fftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> x = signal(n);
  double* in = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  for (auto _ : state) {
    std::memcpy(in, x.data(), x.size() * sizeof(double));
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}
#endif

void lengths(benchmark::internal::Benchmark* b) {
  for (int n : {256, 1024, 2048, 1000, 4099, 65521}) b->Arg(n);
}

}  // namespace

BENCHMARK(BM_RealFFT)->Apply(lengths);
#ifdef RC_HAVE_FFTW
BENCHMARK(BM_Fftw)->Apply(lengths);
#endif
BENCHMARK(BM_AutoPowerSpectrum)->Arg(256)->Arg(1024)->Arg(2048);

BENCHMARK_MAIN();
