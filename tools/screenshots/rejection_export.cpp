// Screenshots of the rejection page (skin conductance with rejected
// stretches, and temperature) and of the export dialogs, on the demo root.
//   shots_rejection_export OUTDIR DEMO_ROOT
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <cstdio>
#include <filesystem>

#include "app/review_context.h"
#include "app/session_analysis_load.h"
#include "editors/ui/nonperiodic_page.h"
#include "reports/ui/export_dialogs.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/paths.h"

#undef slots  // AnalysisSession::slots

namespace fs = std::filesystem;
using namespace rc;

namespace {

QString out;

void settle(int ms = 200) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void shoot(QWidget* w, const char* name) {
  settle();
  const QString file = out + "/" + name + ".png";
  w->grab().save(file);
  std::printf("%s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: shots_rejection_export OUTDIR DEMO_ROOT\n");
    return 2;
  }
  out = argv[1];
  const fs::path root = argv[2];
  if (!loadLanguage(programFolder())) return 1;
  setDataRoot(root);
  SilentUi ui;
  auto session = loadSessionForAnalysis({root, programFolder(), 1, 1, {}}, ui);
  if (!session) {
    std::fprintf(stderr, "shots_rejection_export: the demo session could not be loaded\n");
    return 1;
  }
  // Shown stretches live in memory only: the session's file is left alone.
  const auto input = session->slots[3].input;
  session->rejected = {{20.0, 35.5, input}, {61.0, 64.0, input}, {150.0, 190.0, input}};
  EpochResults results;
  ReviewContext ctx;
  ctx.session = session.get();
  ctx.results = &results;
  ctx.ui = &ui;
  ctx.nonPeriodicSlot = 3;
  {
    CNonPeriodic page(ctx);
    page.resize(1366, 700);
    page.show();
    page.setView(0.0, 240.0);
    shoot(&page, "rejection_page_sc");
    page.showSignal(5);
    page.setView(0.0, 300.0);
    shoot(&page, "rejection_page_temp");
    CScaleSettings scale(-2.5, 40.0, false, ui, &page);
    scale.show();
    shoot(&scale, "rejection_scale_dialog");
  }
  {
    ExportTypeModel model(ExportableSeries::Both, false, 65001, true);
    CExportType dialog(model);
    dialog.show();
    shoot(&dialog, "export_options_ibi");
    dialog.kindList()->setCurrentRow(1);
    shoot(&dialog, "export_options_periodic");
    CPreferences prefs(1200);
    prefs.show();
    shoot(&prefs, "export_encoding");
  }
  return 0;
}
