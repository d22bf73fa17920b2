// Speed of IBI text files from other software: reading a 24-hour RR file of
// about 100,000 lines and filling the editor's list (the shared edit model's
// rows: every time and interval text), and the layout proposal.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "editors/thirdparty/ibi_text_detect.h"
#include "editors/thirdparty/ibi_text_reader.h"
#include "editors/periodic/edit_model.h"

namespace {

namespace fs = std::filesystem;

// 24 hours of intervals around 864 ms, one a line with CR LF, after a header.
const fs::path& dayFile() {
  static const fs::path path = [] {
    fs::path p = fs::temp_directory_path() / ("rc_bench_rr_" + std::to_string(::getpid()) + ".txt");
    std::ofstream out(p, std::ios::binary);
    out << "RR intervals (ms)\r\n";
    double t = 0.0;
    for (int k = 0; t < 86400.0; ++k) {
      const int v = 864 + (k * 37) % 61 - 30;
      out << v << "\r\n";
      t += v / 1000.0;
    }
    return p;
  }();
  return path;
}

void BM_ReadAndListDay(benchmark::State& state) {
  const rc::IbiFileLayout layout{rc::IbiTextLayout::Lines, 1, false, false, ','};
  std::size_t n = 0;
  for (auto _ : state) {
    rc::IbiTextReadResult r = rc::readIbiTextFile(dayFile(), layout);
    rc::PeriodicEditModel rows(0, '.');
    rows.setRows(r.values, 0.0);
    n = rows.rowCount();
    benchmark::DoNotOptimize(rows.rows().data());
  }
  state.counters["lines"] = static_cast<double>(n);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_ReadAndListDay)->Unit(benchmark::kMillisecond);

void BM_ReadDay(benchmark::State& state) {
  const rc::IbiFileLayout layout{rc::IbiTextLayout::Lines, 1, false, false, ','};
  for (auto _ : state) benchmark::DoNotOptimize(rc::readIbiTextFile(dayFile(), layout));
}
BENCHMARK(BM_ReadDay)->Unit(benchmark::kMillisecond);

void BM_DetectDay(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(rc::detectIbiLayoutOfFile(dayFile()));
}
BENCHMARK(BM_DetectDay)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::error_code ec;
  fs::remove(dayFile(), ec);
  return 0;
}
