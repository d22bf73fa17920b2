// Page 3, the epoch viewer, and the 3D spectrum viewer over demo sessions:
// stepping through epochs, switching signals, bars and lines, the scale
// dialog, the step that is not in the script, drags with each modifier and
// the surface drawn under a real OpenGL context.
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QXYSeries>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtDataVisualization/Q3DSurface>
#include <QtTest/QtTest>
#include <cmath>
#include <unistd.h>

#include "support/language.h"
#include "tests/ui/epoch_view_fixture.h"
#include "views/ui/epoch_view_page.h"
#include "views/ui/scale_dialog.h"
#include "views/ui/view3d.h"

using namespace rc;
using rc::testing_ui::LoadedReview;

class EpochViewTest : public QObject {
  Q_OBJECT

 private:
  std::filesystem::path root_;

  static int distinctColours(const QImage& img) {
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 3)
      for (int x = 0; x < img.width(); x += 3) colours.insert(img.pixel(x, y));
    return colours.size();
  }
  static bool holdsColour(const QImage& img, QColor c) {
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QColor p = img.pixelColor(x, y);
        if (std::abs(p.red() - c.red()) < 30 && std::abs(p.green() - c.green()) < 30 &&
            std::abs(p.blue() - c.blue()) < 30)
          return true;
      }
    return false;
  }
  static std::vector<float> wave(double seconds, double base) {
    std::vector<float> x;
    double t = 0;
    while (t < seconds) {
      const double v = base + 60 * std::sin(2 * M_PI * 0.25 * t) + 25 * std::sin(2 * M_PI * 0.07 * t);
      x.push_back(static_cast<float>(v));
      t += v / 1000;
    }
    return x;
  }
  static QXYSeries* tachogramSeries(CEpochView& page) {
    for (QAbstractSeries* s : page.chartView(EpochChart::Tachogram)->chart()->series())
      if (s->isVisible()) return static_cast<QXYSeries*>(s);
    return nullptr;
  }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(loadLanguage(RC_PROGRAM_DIR).isOk());
    root_ = testing_ui::demoRootFor("rc_epochview_ui_" + std::to_string(::getpid()), RC_PROGRAM_DIR);
    if (root_.empty()) QSKIP("the demo data root could not be made");
  }
  void cleanupTestCase() {
    if (!root_.empty()) std::filesystem::remove_all(root_);
  }

  void stepsThroughOpenSessionEpochs() {
    LoadedReview r;
    QVERIFY(r.loadDemo(root_, RC_PROGRAM_DIR, demo::kDemoShortOpen.client, demo::kDemoShortOpen.session));
    CEpochView page(r.ctx);
    page.resize(1200, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const std::int64_t count = page.viewData().epochCount();
    QVERIFY(count >= 3);
    QCOMPARE(page.epochSpin()->value(), 1);
    QCOMPARE(page.epochSpin()->maximum(), static_cast<int>(count));
    QVERIFY(page.epochLabel()->text().contains(QString::number(count)));
    const double w1 = page.viewState().tachogramWindow.min;
    page.epochSpin()->setFocus();
    QTest::keyClick(page.epochSpin(), Qt::Key_Up);
    QCOMPARE(page.epochSpin()->value(), 2);
    QCOMPARE(page.viewState().epochNumber, std::int64_t(2));
    QCOMPARE(page.viewState().tachogramWindow.min, w1 + 60.0);
    QVERIFY(page.epochLabel()->text().startsWith(QString::fromStdString(substituteArgs(str(15017), 2LL, count))));
    // Past the last epoch the spin stays at the last.
    page.epochSpin()->setValue(static_cast<int>(count) + 5);
    QCOMPARE(page.viewState().epochNumber, count);
    // Every chart draws something.
    for (EpochChart c : {EpochChart::Tachogram, EpochChart::Poincare, EpochChart::Spectrum})
      QVERIFY(distinctColours(page.chartView(c)->grab().toImage()) > 5);
    QVERIFY(holdsColour(page.chartView(EpochChart::Tachogram)->grab().toImage(), QColor(255, 0, 0)));
    QVERIFY(page.viewState().spectrumMax > 0);
  }

  void switchesSignalAndRecolours() {
    LoadedReview r;
    QVERIFY(r.loadDemo(root_, RC_PROGRAM_DIR, demo::kDemoShortOpen.client, demo::kDemoShortOpen.session));
    CEpochView page(r.ctx);
    QVERIFY(page.signalButton(kViewBvp)->isEnabled());
    QSignalSpy chosen(&page, &ReviewPage::heartSignalChosen);
    page.signalButton(kViewBvp)->click();
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), kSlotBvp);
    QCOMPARE(page.viewState().signal, kViewBvp);
    QXYSeries* s = tachogramSeries(page);
    QVERIFY(s);
    QCOMPARE(s->color(), QColor(255, 0, 255));
    page.signalButton(kViewBvp)->click();  // no change, no signal
    QCOMPARE(chosen.count(), 1);
  }

  void signalNotRecordedIsDisabled() {
    LoadedReview r;
    QVERIFY(r.loadSynthetic(wave(200, 850)));
    CEpochView page(r.ctx);
    QVERIFY(page.signalButton(kViewEkg)->isEnabled());
    QVERIFY(!page.signalButton(kViewBvp)->isEnabled());
    page.chooseSignal(kViewBvp);
    QCOMPARE(page.viewState().signal, kViewEkg);
  }

  void togglesBarsAndLinesAndPoints() {
    LoadedReview r;
    QVERIFY(r.loadSynthetic(wave(200, 850)));
    r.ctx.barsOn2DGraph = false;
    CEpochView page(r.ctx);
    std::unique_ptr<QMenu> menu(page.makeChartMenu(EpochChart::Spectrum));
    QCOMPARE(menu->actions().at(0)->text(), QString::fromStdString(str(314)));
    QVERIFY(menu->actions().at(1)->isChecked());    // Auto Scale
    QVERIFY(!menu->actions().at(2)->isEnabled());   // Set Scale greyed
    menu->actions().at(0)->trigger();
    QVERIFY(r.ctx.barsOn2DGraph);  // the setting the program writes at exit
    menu.reset(page.makeChartMenu(EpochChart::Spectrum));
    QCOMPARE(menu->actions().at(0)->text(), QString::fromStdString(str(313)));
    QVERIFY(distinctColours(page.chartView(EpochChart::Spectrum)->grab().toImage()) > 3);
    menu->actions().at(0)->trigger();
    QVERIFY(!r.ctx.barsOn2DGraph);

    menu.reset(page.makeChartMenu(EpochChart::Tachogram));
    QCOMPARE(menu->actions().at(0)->text(), QString::fromStdString(str(311)));
    menu->actions().at(0)->trigger();
    QVERIFY(page.viewState().tachogramPoints);
    QVERIFY(tachogramSeries(page)->type() == QAbstractSeries::SeriesTypeScatter);
    menu.reset(page.makeChartMenu(EpochChart::Poincare));
    QCOMPARE(menu->actions().at(0)->text(), QString::fromStdString(str(375)));  // no toggle item
  }

  void autoScaleAndScaleDialog() {
    LoadedReview r;
    QVERIFY(r.loadSynthetic(wave(200, 850)));
    CEpochView page(r.ctx);
    page.setAutoScale(EpochChart::Poincare, false);
    std::unique_ptr<QMenu> menu(page.makeChartMenu(EpochChart::Poincare));
    QVERIFY(!menu->actions().at(0)->isChecked());
    QVERIFY(menu->actions().at(1)->isEnabled());

    CScaleDialog dlg(EpochChart::Poincare, page.viewState().poincareAxis, r.ui);
    dlg.minimumEdit()->setText("1200");
    dlg.maximumEdit()->setText("600");
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(r.ui.firstIds().back(), kScaleRangeId);
    dlg.minimumEdit()->setText("600,5");
    dlg.maximumEdit()->setText("1200");
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.range(), (AxisRange{600.5, 1200}));

    CScaleDialog spectrumScale(EpochChart::Spectrum, {0, 100}, r.ui);
    QVERIFY(!spectrumScale.minimumEdit());
    spectrumScale.maximumEdit()->setText("-3");
    spectrumScale.accept();
    QCOMPARE(r.ui.firstIds().back(), kScaleMaximumId);

    // Auto scale back on applies the automatic range at once.
    page.setAutoScale(EpochChart::Poincare, true);
    const PoincarePlot p = page.viewData().charts(kViewEkg, 1)->poincare;
    QCOMPARE(page.viewState().poincareAxis, p.autoRange);
  }

  void scriptedSessionStepsAndMissingStep() {
    LoadedReview r;
    QVERIFY(r.loadDemo(root_, RC_PROGRAM_DIR, demo::kDemoScripted.client, demo::kDemoScripted.session));
    CEpochView page(r.ctx);
    QVERIFY(page.viewData().scripted());
    const auto& steps = page.viewData().stepEpochs();
    QVERIFY(steps.size() >= 3);
    QCOMPARE(page.epochSpin()->value(), 1);
    page.epochSpin()->setValue(2);
    QCOMPARE(page.viewState().stepIndex, std::int64_t(1));
    QVERIFY(page.epochLabel()->text().contains(QString::fromStdString(steps[1].stepLabel)));
    // A step that is no longer in the script: warning 366 and no move.
    r.session->protocol->timeline.clear();
    const std::size_t before = r.ui.records().size();
    page.epochSpin()->setValue(3);
    QCOMPARE(r.ui.records().size(), before + 1);
    QCOMPARE(r.ui.firstIds().back(), kStepNotFoundId);
    QCOMPARE(page.viewState().stepIndex, std::int64_t(1));
    QCOMPARE(page.epochSpin()->value(), 2);
  }

  void viewer3DDrawsAndDragsWithEachModifier() {
    LoadedReview r;
    QVERIFY(r.loadDemo(root_, RC_PROGRAM_DIR, demo::kDemoShortOpen.client, demo::kDemoShortOpen.session));
    r.session->settings.horizOffset = 0;
    CEpochView page(r.ctx);
    page.epochSpin()->setValue(3);
    bool checked = false;
    connect(&page, &CEpochView::viewer3DOpened, this, [&](QWidget* w) {
      auto* v = static_cast<C3DView*>(w);
      QTimer::singleShot(0, v, [&, v] {
        QCOMPARE(v->position(), std::int64_t(3));
        QVERIFY(!v->drawn());  // the first drawing is deferred
        QSignalSpy drawn(v, &C3DView::drawnSurface);
        QVERIFY(drawn.wait(3000));
        QCOMPARE(v->rowsDrawn(), std::size_t(61));
        QVERIFY(v->largestPower() > 0);
        QTest::qWait(100);
        const QImage img = v->surface()->renderToImage(0, QSize(480, 360));
        QVERIFY(!img.isNull());
        QVERIFY(distinctColours(img) > 10);

        // Pan (Shift), zoom (Ctrl), rotate (no modifier): real mouse events on the chart.
        QWindow* win = v->surface();
        const View3DParams p0 = v->params();
        QTest::mousePress(win, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 200));
        QVERIFY(v->dragging());
        QTest::mouseMove(win, QPoint(230, 190));
        QTest::mouseRelease(win, Qt::LeftButton, Qt::ShiftModifier, QPoint(230, 190));
        QCOMPARE(v->params().horizOffset, p0.horizOffset + 30);
        QCOMPARE(v->params().vertOffset, p0.vertOffset - 10);
        QCOMPARE(r.session->settings.horizOffset, p0.horizOffset + 30);
        v->mousePress(kButtonPrimary, 2, QPoint(100, 100));
        v->mouseMove(QPoint(80, 100));
        v->mouseRelease();
        QCOMPARE(v->params().zoom, p0.zoom + 20);
        v->mousePress(kButtonPrimary, 4, QPoint(100, 100));
        v->mouseMove(QPoint(90, 120));
        v->mouseRelease();
        QCOMPARE(v->params().elevation, p0.elevation + 10);
        QCOMPARE(v->params().rotation, p0.rotation - 20);
        // A right drag and an unsupported modifier do nothing.
        const View3DParams p1 = v->params();
        v->mousePress(2, 4, QPoint(0, 0));
        v->mouseMove(QPoint(50, 50));
        v->mouseRelease();
        v->mousePress(kButtonPrimary, 3, QPoint(0, 0));
        v->mouseMove(QPoint(50, 50));
        v->mouseRelease();
        QCOMPARE(v->params(), p1);
        // Another signal is drawn after the deferral and handed back to the page.
        v->signalButton(kViewBvp)->click();
        QVERIFY(drawn.wait(3000));
        v->restoreButton()->click();
        checked = true;
        v->accept();
      });
    });
    page.open3DViewer();
    QVERIFY(checked);
    QCOMPARE(page.viewState().signal, kViewBvp);
    QCOMPARE(view3DParams(r.session->settings), kRestored3DParams);
    // What the container writes at close.
    QVERIFY(storeView3DParams(r.session->config, r.session->configFile, view3DParams(r.session->settings)).isOk());
    CXMLMarkup back;
    QVERIFY(back.Load(r.session->configFile));
    QCOMPARE(view3DParams(loadAnalysisSettings(back, true, true)), (View3DParams{4, -10, 70, 334, 327}));
  }

  void viewer3DOnAOneEpochSession() {
    LoadedReview r;
    QVERIFY(r.loadSynthetic(wave(80, 850)));
    CEpochView page(r.ctx);
    QCOMPARE(page.viewData().epochCount(), std::int64_t(1));
    QCOMPARE(page.epochSpin()->value(), 1);
    C3DView v(page.viewData(), r.session->settings, kViewEkg, 1);
    QCOMPARE(v.position(), std::int64_t(2));
    QVERIFY(!v.epochSpin()->isEnabled());
    v.show();
    QSignalSpy drawn(&v, &C3DView::drawnSurface);
    QVERIFY(drawn.wait(3000));
    QCOMPARE(v.rowsDrawn(), std::size_t(1));  // only window 0 fits
  }

  void rendersEpochChartsWithoutAWindow() {
    LoadedReview r;
    QVERIFY(r.loadSynthetic(wave(200, 850), wave(200, 860)));
    EpochViewData data;
    data.fill(*r.session, r.results, 60);
    EpochChartRequest req;
    req.signal = kViewBvp;
    req.position = 2;
    req.bars = true;
    req.size = QSize(500, 320);
    const EpochChartImages img = renderEpochCharts(data, req);
    QVERIFY(img.ok);
    QCOMPARE(img.tachogram.size(), QSize(500, 320));
    QVERIFY(distinctColours(img.tachogram) > 5);
    QVERIFY(distinctColours(img.poincare) > 5);
    QVERIFY(distinctColours(img.spectrum) > 5);
    QVERIFY(holdsColour(img.tachogram, QColor(255, 0, 255)));
  }
};

QTEST_MAIN(EpochViewTest)
#include "tst_epoch_view.moc"
