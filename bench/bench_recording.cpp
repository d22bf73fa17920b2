// Opening and de-interleaving a one-hour recording of eight channels
// (two at 2048 Hz, six at 256 Hz; about 85 MB).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "store/recording.h"
#include "support/file_io.h"

namespace {

namespace fs = std::filesystem;

fs::path makeRecording() {
  static fs::path file;
  if (!file.empty()) return file;
  file = fs::temp_directory_path() / ("rc_bench_session_" + std::to_string(::getpid()) + ".dat");
  std::vector<rc::ChannelEntry> group{{1, 2048, 0}, {2, 2048, 0}, {3, 256, 0}, {4, 256, 0},
                                      {5, 256, 0},  {6, 256, 0},  {7, 256, 0}, {8, 256, 0}};
  std::vector<std::vector<float>> samples;
  for (const auto& c : group) {
    std::vector<float> s(static_cast<std::size_t>(c.rate) * 3600);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<float>(i % 977) * 0.001f;
    samples.push_back(std::move(s));
  }
  auto bytes = rc::buildRecording({group}, 32, samples);
  (void)rc::writeFileAtomic(file, bytes);
  return file;
}

void BM_OpenOneHourRecording(benchmark::State& state) {
  fs::path file = makeRecording();
  rc::ExpectedLayout layout{1, {8, 0, 0, 0}};
  std::uint64_t bytes = fs::file_size(file);
  for (auto _ : state) {
    rc::SessionRecording rec;
    if (!rec.openFile(file, layout)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(rec.samples(0).data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_OpenOneHourRecording)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::error_code ec;
  fs::remove(makeRecording(), ec);
  return 0;
}
