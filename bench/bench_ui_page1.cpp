// Drawing the rejection page with a 24-hour skin-conductance channel at 256
// samples per second (22 million samples): the main chart decimated to its
// pixel width (minimum and maximum per column) and rendered, over the whole
// day and over a 5-minute window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "app/review_context.h"
#include "demo/session_writer.h"
#include "editors/ui/nonperiodic_page.h"
#include "support/language.h"

#undef slots  // AnalysisSession::slots

namespace {

namespace fs = std::filesystem;
using namespace rc;

struct Fixture {
  AnalysisSession session;
  ReviewContext ctx;
  SilentUi ui;
  CNonPeriodic* page = nullptr;
};

Fixture& fixture() {
  static Fixture* f = [] {
    auto* x = new Fixture;
    loadLanguage(fs::path(RC_PROGRAM_DIR));
    const fs::path dir = fs::temp_directory_path() / ("rc_bench_page1_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    demo::DemoSessionFiles files;
    demo::DemoChannel sc;
    sc.id = 4;
    sc.rate = 256;
    sc.sensorType = demo::kSensorSc;
    sc.description = "Skin conductance";
    const std::size_t n = 86400u * 256u;
    sc.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      sc.samples[i] = 5.0f + 2.0f * std::sin(static_cast<float>(i) * 1e-5f) + 0.1f * std::sin(static_cast<float>(i) * 0.01f);
    files.channels.push_back(std::move(sc));
    if (!demo::writeSessionFiles(dir, files)) std::abort();
    if (!x->session.recording.openFileUnchecked(dir / "Session.dat")) std::abort();
    fs::remove_all(dir);
    x->session.duration = 86400.0;
    x->session.slots[3].input = 4;
    x->session.slots[3].index = 0;
    x->session.slots[3].label = "1D";
    for (int k = 0; k < 200; ++k) x->session.rejected.push_back({k * 400.0, k * 400.0 + 60.0, 4});
    x->ctx.session = &x->session;
    x->ctx.ui = &x->ui;
    x->ctx.nonPeriodicSlot = 3;
    x->page = new CNonPeriodic(x->ctx);
    x->page->resize(1366, 700);
    x->page->show();
    QApplication::processEvents();
    return x;
  }();
  return *f;
}

void BM_Page1Draw(benchmark::State& state) {
  Fixture& f = fixture();
  const double span = static_cast<double>(state.range(0));
  for (auto _ : state) {
    f.page->setView(0.0, span);
    QImage img = f.page->mainView()->grab().toImage();
    benchmark::DoNotOptimize(img.bits());
  }
  state.SetLabel(span >= 86400 ? "whole day" : "window");
}
BENCHMARK(BM_Page1Draw)->Arg(86400)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_Page1Decimate(benchmark::State& state) {
  Fixture& f = fixture();
  const auto s = f.session.recording.samples(0);
  for (auto _ : state) {
    auto cols = decimateMinMax(s.data(), static_cast<std::int64_t>(s.size()), 256.0, 0.0, 86400.0, 1300);
    benchmark::DoNotOptimize(cols.data());
  }
}
BENCHMARK(BM_Page1Decimate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
