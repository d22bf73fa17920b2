// The periodic editor page over a demo session, driven with mouse and keyboard:
// select rows, Add, Split at a clicked time, Average, Undo, Save; then the
// session is opened again and its files and statistics are checked.
//
// The session's headers come before Qt's (they name a member "slots").
#include "analysis/series/series_file.h"
#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "demo/demo_root.h"
#include "editors/periodic/periodic_source.h"
#include "editors/periodic/segments.h"
#include "support/language.h"
#include "editors/ui/periodic_page.h"

#include <QtTest/QtTest>
#include <QMenu>
#include <QTimer>
#include <unistd.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace rc;

class PeriodicPageTest : public QObject {
  Q_OBJECT

 private:
  fs::path root_;
  std::unique_ptr<AnalysisSession> session_;
  EpochResults results_;
  ScriptedUi ui_;
  ReviewContext ctx_;

  bool open() {
    SessionLoadRequest req{root_, fs::path(RC_PROGRAM_DIR), demo::kDemoShortOpen.client, demo::kDemoShortOpen.session, {}};
    session_ = loadSessionForAnalysis(req, ui_);
    if (!session_) return false;
    EpochInputs in = session_->epochInputs();
    results_ = {};
    if (analyseLoadedSession(in, {&session_->config, session_->configFile}, results_, ui_) !=
        SessionAnalysisOutcome::Ready)
      return false;
    ctx_ = {};
    ctx_.session = session_.get();
    ctx_.results = &results_;
    ctx_.ui = &ui_;
    ctx_.heartSlot = kSlotEkg;
    return ctx_.selectedHeartSeries() != nullptr;
  }

  // The page on screen and active, listing the whole series (Session frame).
  bool showWholeSeries(CPeriodic& page) {
    page.resize(1300, 700);
    page.editor().setTimeFrame(TimeFrame::Session, ui_);
    page.reload();
    page.show();
    page.activateWindow();
    return QTest::qWaitForWindowActive(&page);
  }

  static void clickRow(QTableView* view, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    view->scrollTo(view->model()->index(row, 0));
    const QRect r = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, r.center());
  }

 private Q_SLOTS:
  void initTestCase() {
    root_ = fs::temp_directory_path() / ("rc_periodic_page_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    QVERIFY(loadLanguage(fs::path(RC_PROGRAM_DIR)).isOk());
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.timeScale = 0.5;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    QVERIFY(demo::makeDemoDataRoot(root_, o).isOk());
    QVERIFY(open());
  }
  void cleanupTestCase() { fs::remove_all(root_); }

  void editSaveAndReopen() {
    const std::vector<float> loaded = ctx_.selectedHeartSeries()->values;
    const auto rowsBefore = static_cast<int>(loaded.size());
    const std::vector<HrvTableRow> statsBefore = results_.hrvRows;
    const PeriodicSource src = periodicSourceOf(ctx_);
    {
      CPeriodic page(ctx_);
      QVERIFY(showWholeSeries(page));
      QTableView* rows = page.rowView();
      QCOMPARE(rows->model()->rowCount(), rowsBefore);

      // Add: rows 10 and 11, selected with a click and a shift-click.
      clickRow(rows, 10);
      clickRow(rows, 11, Qt::ShiftModifier);
      QTest::mouseClick(page.button(1018), Qt::LeftButton);
      QCOMPARE(rows->model()->rowCount(), rowsBefore - 1);
      QVERIFY(page.button(1023)->isEnabled());

      // Split row 20 at a time clicked on the tachogram, 40% into the interval.
      const double t0 = *page.editor().model().rowTime(20);
      const double iv = *page.editor().model().rowInterval(20);
      clickRow(rows, 20);
      TachogramView* chart = page.tachogram();
      const QPointF scene = chart->chart()->mapToPosition(QPointF(t0 + 0.4 * iv / 1000.0, iv));
      QTest::mouseClick(chart->viewport(), Qt::LeftButton, Qt::NoModifier, chart->mapFromScene(scene));
      QVERIFY(std::abs(page.editor().cursorTime() - (t0 + 0.4 * iv / 1000.0)) < 0.05);
      ui_.answerText(std::string());  // keep the proposed first part
      QTest::mouseClick(page.button(1019), Qt::LeftButton);
      QCOMPARE(rows->model()->rowCount(), rowsBefore);
      const double first = *page.editor().model().rowInterval(20);
      QVERIFY(std::abs(first - 0.4 * iv) < 50.0);

      // Average rows 30 to 32, then undo it with the keyboard.
      const auto before = page.editor().model().rows();
      clickRow(rows, 30);
      clickRow(rows, 32, Qt::ShiftModifier);
      QTest::mouseClick(page.button(1020), Qt::LeftButton);
      QCOMPARE(page.editor().pendingEdits(), 3);
      rows->setFocus();
      QTest::keyClick(rows, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(page.editor().pendingEdits(), 2);
      QVERIFY(page.editor().model().rows() == before);

      // Save with the keyboard.
      QTest::keyClick(rows, Qt::Key_S, Qt::ControlModifier);
      QCOMPARE(page.editor().pendingEdits(), 0);
      QVERIFY(!page.button(1010)->isEnabled());
    }
    const std::vector<float> saved = ctx_.selectedHeartSeries()->values;
    QCOMPARE(static_cast<int>(saved.size()), rowsBefore);
    QVERIFY(saved != loaded);

    // The files, read again with the session.
    PeriodicSegmentList segments;
    QVERIFY(readPeriodicSegments(periodicSegmentsPath(src.sessionFolder), segments).isOk());
    QCOMPARE(static_cast<int>(segments.countFor(src.sourceChannel)), 2);
    QVERIFY(open());
    QCOMPARE(ctx_.selectedHeartSeries()->values, saved);
    // The statistics of the reopened session are those of the saved series, not the loaded one.
    QVERIFY(results_.hrvRows != statsBefore);
    EpochResults fromSaved;
    EpochInputs in = session_->epochInputs();
    in.epochSeconds = 60;
    QCOMPARE(recomputeEpochs(in, fromSaved, ui_), kRecomputeOk);
    QVERIFY(fromSaved.hrvRows == results_.hrvRows);
  }

  void chartMenuUndoesTheSavedSegments() {
    // After editSaveAndReopen the session holds two segments of saved edits:
    // Jump (Shift + right-click) goes to one, Undo segment puts the detected
    // intervals back; with both undone the series is the detected one again.
    const std::optional<IntervalSeries> detected = detectSeriesAgain(*session_, kSlotEkg);
    QVERIFY(detected.has_value());
    QVERIFY(ctx_.selectedHeartSeries()->values != detected->values);
    CPeriodic page(ctx_);
    QVERIFY(showWholeSeries(page));
    const PeriodicSource src = periodicSourceOf(ctx_);
    const auto segs = page.editor().segments().segmentsOf(src.sourceChannel);
    QCOMPARE(static_cast<int>(segs.size()), 2);
    const double t = 0.5 * (segs[0].start + segs[0].end);
    TachogramView* chart = page.tachogram();
    const QPointF scene = chart->chart()->mapToPosition(QPointF(t, 900.0));
    QTest::mouseClick(chart->viewport(), Qt::RightButton, Qt::ShiftModifier, chart->mapFromScene(scene));
    QVERIFY(std::abs(page.editor().cursorTime() - t) < 0.1);
    QVERIFY(page.canUndoSegmentAt(t));
    QVERIFY(!page.canUndoSegmentAt(segs[1].end + 5.0));
    QVERIFY(page.canUndoAllSegments() == false);  // no container here to carry it out
    // The same menu from the keyboard, at the selected row.
    clickRow(page.rowView(), static_cast<int>(page.editor().model().rowAtTime(t)));
    QStringList offered;
    QTimer::singleShot(200, [&offered] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        for (QAction* a : menu->actions()) offered << a->text() + (a->isEnabled() ? "+" : "-");
        menu->close();
      }
    });
    QTest::keyClick(page.rowView(), Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(offered, (QStringList{QString::fromStdString(str(237)) + "+", QString::fromStdString(str(238)) + "+",
                                   QString::fromStdString(str(297)) + "-"}));
    for (const TPeriodicSegment& seg : segs) {
      ui_.answer(true);
      QVERIFY(page.undoSegmentAt(0.5 * (seg.start + seg.end)));
    }
    QVERIFY(page.editor().segments().segmentsOf(src.sourceChannel).empty());
    QCOMPARE(ctx_.selectedHeartSeries()->values, detected->values);
    QCOMPARE(page.rowView()->model()->rowCount(), static_cast<int>(detected->values.size()));
  }

  void longSeriesLoadsAndScrolls() {
    // A day of intervals: the page fills its list and chart, and a row deep in the list selects.
    IntervalSeries& s = *ctx_.selectedHeartSeries();
    const IntervalSeries keep = s;
    s.values.assign(100000, 860.0f);
    s.segments[0].intervalCount = 100000;
    CPeriodic page(ctx_);
    page.resize(1300, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // Speed figures (reported, not asserted): one load of the page, one redraw of the whole day.
    QElapsedTimer timer;
    timer.start();
    page.reload();
    QCoreApplication::processEvents();
    qInfo("page loaded with 100000 rows in %lld ms", static_cast<long long>(timer.elapsed()));
    timer.restart();
    page.frameButton(TimeFrame::Session)->click();
    QCoreApplication::processEvents();
    qInfo("Session frame (whole day) drawn in %lld ms, %zu points plotted", static_cast<long long>(timer.elapsed()),
          page.tachogram()->plottedPoints());
    QCOMPARE(page.rowView()->model()->rowCount(), 100000);
    QVERIFY(page.tachogram()->plottedPoints() < 20000);
    clickRow(page.rowView(), 99990);
    QCOMPARE(page.rowView()->selectionModel()->selectedRows().size(), 1);
    page.editor().dropPendingEdits();
    s = keep;
  }
};

QTEST_MAIN(PeriodicPageTest)
#include "tst_periodic_page.moc"
