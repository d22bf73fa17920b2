// Pictures of page 3, the epoch viewer (open session with lines and with
// bars, scripted session), and of the 3D spectrum viewer, from the demo root:
//   shots_epochview OUTDIR DEMO_ROOT
// Also prints how long the next epoch's redraw and the 3D window's opening take.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QEventLoop>
#include <QSpinBox>
#include <QTimer>
#include <QtCharts/QChartView>
#include <QtDataVisualization/Q3DSurface>
#include <cstdio>
#include <ctime>

#include "support/language.h"
#include "support/paths.h"
#include "tests/ui/epoch_view_fixture.h"
#include "views/ui/epoch_view_page.h"
#include "views/ui/view3d.h"

using namespace rc;

namespace {

constexpr QSize kPageSize(1340, 640);  // the page area of the container at 1366 x 768

bool save(QWidget& w, const QString& out, const char* name) {
  const QString file = out + "/" + name;
  const bool ok = w.grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

// The 3D window with its OpenGL surface painted into the grab.
bool save3D(C3DView& v, const QString& out, const char* name) {
  QImage img = v.grab().toImage();
  QWidget* c = v.surfaceWidget();
  const QImage surface = v.surface()->renderToImage(0, c->size());
  {
    QPainter p(&img);
    p.drawImage(c->mapTo(&v, QPoint(0, 0)), surface);
  }
  const QString file = out + "/" + name;
  const bool ok = img.save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

// Waits for the 3D window's deferred drawing.
void waitForSurface(C3DView& v) {
  if (v.drawn()) return;
  QEventLoop loop;
  QObject::connect(&v, &C3DView::drawnSurface, &loop, &QEventLoop::quit);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  loop.exec();
}

// CPU seconds of this process (the machine may be shared).
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: shots_epochview OUTDIR DEMO_ROOT\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::filesystem::path root = argv[2];
  const std::filesystem::path program = programFolder();
  if (!loadLanguage(program).isOk()) {
    std::fprintf(stderr, "shots_epochview: the language table could not be loaded\n");
    return 1;
  }
  int failures = 0;

  testing_ui::LoadedReview open;
  if (!open.loadDemo(root, program, demo::kDemoMediumOpen.client, demo::kDemoMediumOpen.session)) {
    std::fprintf(stderr, "shots_epochview: the open demo session could not be loaded\n");
    return 1;
  }
  {
    CEpochView page(open.ctx);
    page.resize(kPageSize);
    page.show();
    page.moveTo(3);
    app.processEvents();
    failures += !save(page, out, "epochview_open_lines.png");

    // The next epoch, all three charts repainted.
    QElapsedTimer t;
    const int steps = 20;
    const double cpu0 = cpuSeconds();
    t.start();
    double moveCpu = 0.0;
    for (int i = 0; i < steps; ++i) {
      const double m0 = cpuSeconds();
      page.moveTo(3 + (i % 10));
      moveCpu += cpuSeconds() - m0;
      for (EpochChart c : {EpochChart::Tachogram, EpochChart::Poincare, EpochChart::Spectrum})
        page.chartView(c)->viewport()->repaint();
    }
    std::printf("next epoch series and axes: %.2f ms of CPU\n", moveCpu * 1e3 / steps);
    std::printf("next epoch redraw: %.2f ms elapsed, %.2f ms of CPU\n", t.nsecsElapsed() / 1e6 / steps,
                (cpuSeconds() - cpu0) * 1e3 / steps);

    page.toggleBars();
    page.moveTo(3);
    app.processEvents();
    failures += !save(page, out, "epochview_open_bars.png");
    page.toggleBars();

    QElapsedTimer t3;
    const double cpu3 = cpuSeconds();
    t3.start();
    C3DView v(page.viewData(), open.session->settings, kViewEkg, 3, &page);
    v.show();
    waitForSurface(v);
    v.surface()->renderToImage(0, QSize(64, 64));
    std::printf("3D window open with its surface: %.1f ms elapsed (with the 50 ms deferral), %.1f ms of CPU\n",
                t3.nsecsElapsed() / 1e6, (cpuSeconds() - cpu3) * 1e3);
    app.processEvents();
    failures += !save3D(v, out, "view3d_open.png");
    v.restore3DSettings();
  }

  testing_ui::LoadedReview scripted;
  if (scripted.loadDemo(root, program, demo::kDemoScripted.client, demo::kDemoScripted.session)) {
    CEpochView page(scripted.ctx);
    page.resize(kPageSize);
    page.show();
    page.moveTo(4);
    app.processEvents();
    failures += !save(page, out, "epochview_scripted.png");
    if (!page.viewData().stepEpochs3D().empty()) {
      C3DView v(page.viewData(), scripted.session->settings, kViewEkg, 2, &page);
      v.show();
      waitForSurface(v);
      app.processEvents();
      failures += !save3D(v, out, "view3d_scripted.png");
    }
  } else {
    std::fprintf(stderr, "shots_epochview: the scripted demo session could not be loaded\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
