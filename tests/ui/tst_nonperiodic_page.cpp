// The rejection page on a demo session: Shift-drag and Ctrl-drag
// rejections on the skin-conductance channel, right-click delete, Delete
// All, the file written at close and read again, and the signal table
// recomputed with the same stretches as `analyse` computes them.
#include <QChartView>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QValueAxis>
#include <QtTest/QtTest>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "demo/demo_root.h"
#include "editors/ui/nonperiodic_page.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/locale.h"

#undef slots  // AnalysisSession::slots

namespace fs = std::filesystem;
using namespace rc;

class NonPeriodicPageTest : public QObject {
  Q_OBJECT

  fs::path root_;
  bool ok_ = false;

  std::unique_ptr<AnalysisSession> load(ScriptedUi& ui) {
    setDataRoot(root_);
    return loadSessionForAnalysis({root_, fs::path(RC_PROGRAM_DIR), demo::kDemoShortOpen.client,
                                   demo::kDemoShortOpen.session, {}},
                                  ui);
  }

  // A point of the main chart at time t, in the viewport's coordinates.
  static QPoint at(CNonPeriodic& page, double t) {
    QChartView* v = page.mainView();
    const QRectF plot = v->chart()->plotArea();
    QPointF p = v->chart()->mapToPosition(QPointF(t, 0), v->chart()->series().front());
    p.setY(plot.center().y());
    return v->mapFromScene(p);
  }

  static std::vector<SignalTableRow> scRows(const EpochResults& r) {
    std::vector<SignalTableRow> out;
    for (const auto& row : r.signalRows)
      if (row.row.signal == kSignalSkinConductance1) out.push_back(row);
    return out;
  }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(loadLanguage(fs::path(RC_PROGRAM_DIR)));
    root_ = fs::temp_directory_path() / ("rc_page1_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    demo::DemoOptions o;
    o.skipLongSession = true;
    o.programFolder = fs::path(RC_PROGRAM_DIR);
    ok_ = demo::makeDemoDataRoot(root_, o).isOk();
  }
  void cleanupTestCase() { fs::remove_all(root_); }

  void rejectDeleteCloseAndReopen() {
    if (!ok_) QSKIP("demo data root could not be made");
    ScriptedUi ui;
    auto session = load(ui);
    QVERIFY(session);
    QVERIFY(session->slots[3].used());
    fs::remove(session->folder / "ChannelSegments.dat");
    session->rejected.clear();
    EpochResults results;
    ReviewContext ctx;
    ctx.session = session.get();
    ctx.results = &results;
    ctx.ui = &ui;
    ctx.nonPeriodicSlot = 3;
    ctx.recompute = [&] {
      EpochInputs in = session->epochInputs();
      return recomputeEpochs(in, results, ui);
    };
    QCOMPARE(ctx.recompute(), 0);
    const auto before = scRows(results);
    QVERIFY(!before.empty());

    CNonPeriodic page(ctx);
    page.resize(1200, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.setView(0.0, 120.0);
    QCOMPARE(page.shownSlot(), 3);
    QVERIFY(page.labelText().contains(QString::fromStdString(str(217))));
    QSignalSpy spy(&page, &CNonPeriodic::statisticsOutOfDate);
    QWidget* vp = page.mainView()->viewport();

    // Shift-drag, then Set Rejection from the menu at the release point.
    int menus = 0;
    page.setMenuChooser([&](QMenu& m, const QPoint&) {
      ++menus;
      return m.actions().size() == 1 ? kCmdSetRejection : 0;
    });
    QTest::mousePress(vp, Qt::LeftButton, Qt::ShiftModifier, at(page, 10));
    QTest::mouseMove(vp, at(page, 20));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::ShiftModifier, at(page, 30));
    QCOMPARE(menus, 1);
    QCOMPARE(session->rejected.size(), std::size_t(1));
    QVERIFY(std::fabs(session->rejected[0].start - 10) < 0.5);
    QVERIFY(std::fabs(session->rejected[0].end - 30) < 0.5);
    QCOMPARE(session->rejected[0].channel, session->slots[3].input);
    QVERIFY(ctx.rejectionsChanged);
    QCOMPARE(spy.count(), 1);

    // Ctrl-drag from right to left: set at once, ends in order.
    QTest::mousePress(vp, Qt::LeftButton, Qt::ControlModifier, at(page, 90));
    QTest::mouseMove(vp, at(page, 70));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::ControlModifier, at(page, 60));
    QCOMPARE(session->rejected.size(), std::size_t(2));
    QVERIFY(session->rejected[1].start < session->rejected[1].end);
    QVERIFY(std::fabs(session->rejected[1].start - 60) < 0.5);
    // A drag past the visible range is cut at the chart's edge.
    QTest::mousePress(vp, Qt::LeftButton, Qt::ControlModifier, at(page, 100));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::ControlModifier, at(page, 500));
    QCOMPARE(session->rejected.size(), std::size_t(3));
    QVERIFY(session->rejected[2].end <= 120.0 + 1e-9);

    // Right-click inside the second stretch: Delete Rejection.
    bool deleteEnabled = false;
    page.setMenuChooser([&](QMenu& m, const QPoint&) {
      for (QAction* a : m.actions())
        if (a->data().toInt() == kCmdDeleteRejection) deleteEnabled = a->isEnabled();
      return kCmdDeleteRejection;
    });
    {
      QContextMenuEvent e(QContextMenuEvent::Mouse, at(page, 75), vp->mapToGlobal(at(page, 75)));
      QApplication::sendEvent(vp, &e);
    }
    QVERIFY(deleteEnabled);
    QCOMPARE(session->rejected.size(), std::size_t(2));
    // Nothing under the pointer: Delete Rejection is greyed.
    {
      QContextMenuEvent e(QContextMenuEvent::Mouse, at(page, 50), vp->mapToGlobal(at(page, 50)));
      QApplication::sendEvent(vp, &e);
    }
    QVERIFY(!deleteEnabled);
    QCOMPARE(session->rejected.size(), std::size_t(2));

    // Delete All: No keeps the stretches.
    ui.answer(false);
    page.deleteAllRejections();
    QCOMPARE(session->rejected.size(), std::size_t(2));
    QVERIFY(ui.shown(309));

    // The statistics change as analyse computes them from the same file.
    QCOMPARE(ctx.recompute(), 0);
    const auto after = scRows(results);
    QCOMPARE(after.size(), before.size());
    QVERIFY(!(after[0].row == before[0].row));
    const auto kept = session->rejected;
    page.sessionClosing();
    QVERIFY(fs::exists(session->folder / "ChannelSegments.dat"));

    ScriptedUi ui2;
    auto reopened = load(ui2);
    QVERIFY(reopened);
    QCOMPARE(reopened->rejected, kept);

    const std::string cmd = std::string(RC_PROGRAM_DIR) + "/rhythmcraft-cli analyse --data-root " + root_.string() +
                            " --client 1 --session 1 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    QVERIFY(p);
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    QCOMPARE(::pclose(p), 0);
    const std::string name = session->signalName(kSignalSkinConductance1);
    std::vector<std::string> analyseMeans;
    std::size_t at = out.find("\n\n");
    QVERIFY(at != std::string::npos);
    std::istringstream sig(out.substr(at + 2));
    std::string line;
    std::getline(sig, line);
    while (std::getline(sig, line)) {
      std::vector<std::string> f;
      std::string cell;
      std::istringstream l(line);
      while (std::getline(l, cell, ',')) f.push_back(cell);
      if (f.size() == 13 && f[5] == name) analyseMeans.push_back(f[8]);
    }
    QCOMPARE(analyseMeans.size(), after.size());
    for (std::size_t i = 0; i < after.size(); ++i)
      QCOMPARE(QString::fromStdString(analyseMeans[i]), QString::fromStdString(cellText(after[i].row.mean, '.')));

    // Delete All answered Yes removes the channel's stretches.
    ui.answer(true);
    page.deleteAllRejections();
    QVERIFY(session->rejected.empty());
    page.sessionClosing();
    QVERIFY(!fs::exists(session->folder / "ChannelSegments.dat"));
  }

  void scaleCommands() {
    if (!ok_) QSKIP("demo data root could not be made");
    ScriptedUi ui;
    auto session = load(ui);
    QVERIFY(session);
    ReviewContext ctx;
    ctx.session = session.get();
    ctx.ui = &ui;
    ctx.nonPeriodicSlot = 5;  // temperature 1
    CNonPeriodic page(ctx);
    page.resize(1000, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.autoScale(0));
    page.setScale(0);  // greyed while auto scale is on: nothing happens
    page.toggleAutoScale(0);
    QVERIFY(!page.autoScale(0));
    // An entry out of range is refused with 377 and the dialog stays open.
    int rounds = 0;
    page.setScaleDialogRunner([&](CScaleSettings& d) {
      d.setValues(5, 2);
      d.accept();
      ++rounds;
      if (d.result() == QDialog::Accepted) return true;
      d.setValues(20, 40);
      d.accept();
      return d.result() == QDialog::Accepted;
    });
    page.setScale(0);
    QCOMPARE(rounds, 1);
    QVERIFY(ui.shown(377));
    auto* axis = page.mainView()->chart()->axes(Qt::Vertical).front();
    QCOMPARE(static_cast<QValueAxis*>(axis)->min(), 20.0);
    QCOMPARE(static_cast<QValueAxis*>(axis)->max(), 40.0);
    page.toggleAutoScale(0);
    QVERIFY(page.autoScale(0));
    QVERIFY(static_cast<QValueAxis*>(axis)->max() != 40.0);
    // The small charts have their own switches.
    page.toggleAutoScale(2);
    QVERIFY(!page.autoScale(2));
    QVERIFY(page.autoScale(1));
  }
};

QTEST_MAIN(NonPeriodicPageTest)
#include "tst_nonperiodic_page.moc"
