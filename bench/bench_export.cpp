// Text exports of a synthetic 24-hour open session: the IBI series (one
// file, and one file per epoch) and each statistics table, written to files
// in the temporary folder with the UTF-8 and UTF-16LE code pages.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "app/session_analysis_load.h"
#include "reports/exports/export_command.h"
#include "support/language.h"

namespace {

namespace fs = std::filesystem;
using namespace rc;

struct Day {
  AnalysisSession session;
  EpochResults results;
  fs::path dir;
};

IntervalSeries daySeries(std::uint32_t seed) {
  IntervalSeries s;
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 25.0f);
  double t = 0.0;
  while (t < 86400.0) {
    const float v = 850.0f + 60.0f * std::sin(static_cast<float>(t) * 0.3f) + noise(rng);
    s.values.push_back(v);
    t += v / 1000.0;
  }
  s.segments = {{0, 0.4f, 0.0f, static_cast<std::int32_t>(s.values.size())}};
  s.firstEventTime = 0.4f;
  return s;
}

Day& day() {
  static Day* d = [] {
    auto* x = new Day;
    loadLanguage(fs::path(RC_PROGRAM_DIR));
    x->dir = fs::temp_directory_path() / ("rc_bench_export_" + std::to_string(::getpid()));
    fs::create_directories(x->dir);
    // The folder goes when the benchmark ends.
    static const struct Cleanup {
      fs::path dir;
      ~Cleanup() {
        std::error_code ec;
        fs::remove_all(dir, ec);
      }
    } cleanup{x->dir};
    AnalysisSession& s = x->session;
    s.openSession = true;
    s.duration = 86400.0;
    s.folder = x->dir / "Clients" / "1" / "Sess0001";
    s.slots[0].input = 1;
    s.slots[1].input = 2;
    s.slots[0].description = "EKG chest";
    s.slots[1].description = "BVP finger";
    s.ekg = daySeries(1);
    s.bvp = daySeries(2);
    // 1,440 one-minute epochs: two HRV rows and seven signal rows each.
    for (std::int32_t e = 1; e <= 1440; ++e) {
      for (int src = 0; src < 2; ++src) {
        HrvTableRow r;
        r.id.epoch = e;
        r.row.source = static_cast<IbiSource>(src);
        r.row.nnCount = e % 50;
        r.row.sdnn = 40.0 + e * 0.01;
        r.row.pnn = 0.1;
        r.row.rmssd = 33.3;
        r.row.vlf = 1234.5;
        r.row.lf = 800.25;
        r.row.hf = 600.125;
        r.row.lfHf = 1.333;
        r.row.total = 2634.875;
        x->results.hrvRows.push_back(r);
      }
      for (std::int32_t sig : {0, 1, 2, 3, 4, 5, 7}) {
        SignalTableRow r;
        r.id.epoch = e;
        r.row.signal = sig;
        r.row.minimum = 1.5;
        r.row.maximum = 9.25;
        r.row.mean = 4.125;
        r.row.sd = 0.5;
        r.row.sdMean = 0.121;
        r.row.mode = 4.0;
        r.row.area = 247.5;
        x->results.signalRows.push_back(r);
      }
    }
    x->results.meanSdnn[0] = 41.5;
    x->results.meanSdnn[1] = 40.25;
    return x;
  }();
  return *d;
}

void BM_Export(benchmark::State& state) {
  Day& d = day();
  ExportOptions o;
  o.kind = static_cast<ExportKind>(state.range(0));
  o.header = true;
  o.timeColumn = o.kind == ExportKind::Ibi;
  o.filePerEpoch = state.range(2) != 0;
  const auto cp = static_cast<std::int32_t>(state.range(1));
  ExportSources src{&d.session, &d.results, exportSessionInfo(d.session)};
  SilentUi ui;
  for (auto _ : state) {
    const bool ok = writeExport(src, o, d.dir / "out", ui, cp);
    benchmark::DoNotOptimize(ok);
  }
  state.counters["intervals"] = static_cast<double>(d.session.ekg->values.size());
  state.SetLabel(std::string(exportKindName(o.kind)) + (o.filePerEpoch ? " per epoch" : "") + " cp " +
                 std::to_string(cp));
}

BENCHMARK(BM_Export)
    ->Args({0, 65001, 0})
    ->Args({0, 1200, 0})
    ->Args({0, 0, 1})
    ->Args({1, 65001, 0})
    ->Args({1, 1200, 0})
    ->Args({2, 65001, 0})
    ->Args({3, 65001, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
