// The text report of the demo's two-hour open session, with graphs and
// statistics: built from the rows and written as a .docx (charts drawn as
// PNG pictures) and as a PDF. The session is loaded and analysed once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "bench/bench_demo.h"
#include "reports/report/text_report.h"
#include "reports/ui/report_render.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/paths.h"

namespace {

namespace fs = std::filesystem;

struct Loaded {
  std::unique_ptr<rc::AnalysisSession> session;
  rc::EpochResults results;
  rc::ReportHeaderTexts header;
  fs::path root;
};

Loaded* loaded() {
  static Loaded* l = [] {
    auto* x = new Loaded;
    x->root = rc::bench::demoRoot();
    if (x->root.empty()) return x;
    rc::setProgramFolder(RC_PROGRAM_DIR);
    rc::loadLanguage(RC_PROGRAM_DIR);
    rc::setDataRoot(x->root);
    rc::SilentUi ui;
    x->session = rc::loadSessionForAnalysis(
        rc::SessionLoadRequest{x->root, RC_PROGRAM_DIR, rc::demo::kDemoLongOpen.client, rc::demo::kDemoLongOpen.session, {}},
        ui);
    if (!x->session) return x;
    rc::EpochInputs in = x->session->epochInputs();
    if (rc::analyseLoadedSession(in, {}, x->results, ui) != rc::SessionAnalysisOutcome::Ready) {
      x->session.reset();
      return x;
    }
    x->session->settings.epochTime = in.epochSeconds;
    x->header = rc::readReportHeaderTexts(x->root, x->session->clientId, x->session->sessionId);
    return x;
  }();
  return l;
}

void report(benchmark::State& state, bool pdf) {
  Loaded* l = loaded();
  if (!l->session) {
    state.SkipWithError("the two-hour demo session cannot be loaded");
    return;
  }
  rc::SilentUi ui;
  const fs::path out = fs::temp_directory_path() / (pdf ? "rc_bench_report.pdf" : "rc_bench_report.docx");
  const fs::path templ = fs::path(RC_PROGRAM_DIR) / rc::kPrintTemplatesFolder / rc::kReportTemplateName;
  const rc::ChartRenderer render = rc::reportChartRenderer();
  for (auto _ : state) {
    auto rep = rc::buildTextReport(*l->session, l->results, rc::ReportOptions{}, l->header, ui);
    const rc::Status st = pdf ? rc::writeTextReportPdf(*rep, out) : rc::writeTextReportDocx(*rep, templ, out, render);
    if (!st) state.SkipWithError(st.message().c_str());
  }
  state.counters["epochs"] = static_cast<double>(l->results.epochCount);
  state.counters["bytes"] = static_cast<double>(fs::file_size(out));
  fs::remove(out);
}

void BM_TextReportTwoHoursDocx(benchmark::State& state) { report(state, false); }
void BM_TextReportTwoHoursPdf(benchmark::State& state) { report(state, true); }
BENCHMARK(BM_TextReportTwoHoursDocx)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_TextReportTwoHoursPdf)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
