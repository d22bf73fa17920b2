// The transform beside FFTW (when linked) for the spectral window lengths of
// the statistics (256, 1024, 2048), a viewer-style odd length and large primes,
// and the ratio of the two per power of two from 64 to 4096.
// Both sides copy the input first (RealFFT works in place); the FFTW side runs
// a real-to-complex plan made once with FFTW_MEASURE.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
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

// The processor time of this thread, so that time spent waiting for a core
// on a shared machine does not count.
double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// RealFFT and FFTW in alternating batches of the same length, so that both
// see the same load on a shared machine; the counter "vs_fftw" is RealFFT's
// processor time over FFTW's.
void BM_RatioToFftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> x = signal(n);
  std::vector<double> re(x.size()), im(x.size());
  double* in = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  const int batch = std::max(1, 65536 / n);
  double ours = 0.0, theirs = 0.0;
  for (auto _ : state) {
    const double t0 = threadSeconds();
    for (int b = 0; b < batch; ++b) {
      std::memcpy(re.data(), x.data(), x.size() * sizeof(double));
      rc::RealFFT(re.data(), im.data(), n);
      benchmark::DoNotOptimize(re.data());
    }
    const double t1 = threadSeconds();
    for (int b = 0; b < batch; ++b) {
      std::memcpy(in, x.data(), x.size() * sizeof(double));
      fftw_execute(plan);
      benchmark::DoNotOptimize(out);
    }
    const double t2 = threadSeconds();
    ours += t1 - t0;
    theirs += t2 - t1;
  }
  const double calls = static_cast<double>(state.iterations()) * batch;
  state.counters["us_ours"] = ours / calls * 1e6;
  state.counters["us_fftw"] = theirs / calls * 1e6;
  state.counters["vs_fftw"] = theirs > 0.0 ? ours / theirs : 0.0;
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}
#endif

void lengths(benchmark::internal::Benchmark* b) {
  for (int n : {256, 1024, 2048, 1000, 4099, 65521}) b->Arg(n);
}

#ifdef RC_HAVE_FFTW
void powersOfTwo(benchmark::internal::Benchmark* b) {
  for (int n = 64; n <= 4096; n *= 2) b->Arg(n);
}
#endif

}  // namespace

BENCHMARK(BM_RealFFT)->Apply(lengths);
#ifdef RC_HAVE_FFTW
BENCHMARK(BM_Fftw)->Apply(lengths);
BENCHMARK(BM_RatioToFftw)->Apply(powersOfTwo);
#endif
BENCHMARK(BM_AutoPowerSpectrum)->Arg(256)->Arg(1024)->Arg(2048);

BENCHMARK_MAIN();
