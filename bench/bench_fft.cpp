// The transform beside FFTW (when linked) for the spectral window lengths of
// the statistics (256, 1024, 2048), a viewer-style odd length and large primes,
// and the ratio of the two per power of two from 64 to 4096.
// Both sides copy the input first (RealFFT works in place); the FFTW side runs
// a real-to-complex plan made once with FFTW_MEASURE. The arrays of both sides
// are laid out alike (Arrays), so that the copy costs both the same.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "analysis/numeric/fft.h"
#include "analysis/numeric/numeric.h"

#ifdef RC_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

// `count` arrays of n doubles in one block, each starting 320 bytes further
// past a 4 KiB boundary than the one before. Arrays a multiple of 4 KiB apart
// plus a few bytes, as back-to-back heap blocks of a power-of-two size are,
// make the C library's block copy between them many times slower on some
// processors (on an AMD EPYC an 8 KiB copy took 4.2 us instead of 0.1 us),
// and that time would be counted as the transform's.
class Arrays {
 public:
  Arrays(int n, int count) {
    constexpr std::size_t kPage = 4096, kShift = 320;
    stride_ = (static_cast<std::size_t>(n) * sizeof(double) + kPage - 1) / kPage * kPage + kShift;
    block_.reset(static_cast<char*>(std::aligned_alloc(kPage, stride_ * static_cast<std::size_t>(count))));
  }
  double* operator[](int i) const {
    return reinterpret_cast<double*>(block_.get() + stride_ * static_cast<std::size_t>(i));
  }

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::size_t stride_ = 0;
  std::unique_ptr<char, Free> block_;
};

std::vector<double> signal(int n) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(gen);
  return x;
}

void BM_RealFFT(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Arrays a(n, 3);
  const std::vector<double> x = signal(n);
  std::copy(x.begin(), x.end(), a[0]);
  double* re = a[1];
  double* im = a[2];
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(double);
  for (auto _ : state) {
    std::memcpy(re, a[0], bytes);
    if (rc::RealFFT(re, im, n) != rc::kNumericOk) state.SkipWithError("RealFFT failed");
    benchmark::DoNotOptimize(re);
    benchmark::DoNotOptimize(im);
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
  const Arrays a(n + 2, 3);
  double* in = a[1];
  auto* out = reinterpret_cast<fftw_complex*>(a[2]);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  const std::vector<double> x = signal(n);
  std::copy(x.begin(), x.end(), a[0]);
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(double);
  for (auto _ : state) {
    std::memcpy(in, a[0], bytes);
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftw_destroy_plan(plan);
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
  const Arrays a(n + 2, 5);
  double* re = a[1];
  double* im = a[2];
  double* in = a[3];
  auto* out = reinterpret_cast<fftw_complex*>(a[4]);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  const std::vector<double> x = signal(n);
  std::copy(x.begin(), x.end(), a[0]);
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(double);
  const int batch = std::max(1, 65536 / n);
  double ours = 0.0, theirs = 0.0;
  for (auto _ : state) {
    const double t0 = threadSeconds();
    for (int b = 0; b < batch; ++b) {
      std::memcpy(re, a[0], bytes);
      rc::RealFFT(re, im, n);
      benchmark::DoNotOptimize(re);
    }
    const double t1 = threadSeconds();
    for (int b = 0; b < batch; ++b) {
      std::memcpy(in, a[0], bytes);
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
}
#endif

void lengths(benchmark::internal::Benchmark* b) {
  for (int n : {64, 128, 256, 512, 1024, 2048, 4096, 1000, 4099, 65521}) b->Arg(n);
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
