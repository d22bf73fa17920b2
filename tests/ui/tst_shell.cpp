// The desktop program driven through its widgets on a copy of the demo data
// root: client and session lists, opening a session into the review window,
// the statistics page compared cell by cell with "rhythmcraft-cli analyse",
// the epoch length list, direct-open mode, the one-copy lock, the masking of
// confidential names, the session list's sort, and the load failures.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QtTest>
#include <filesystem>

#include "app/main_dialog.h"
#include "app/session_config.h"
#include "app/ui/main_screen.h"
#include "app/ui/rhythmcraft_app.h"
#include "app/ui/rhythmcraft_dlg.h"
#include "store/ado_database.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/paths.h"
#include "support/xml_markup.h"
#include "views/ui/statistics_page.h"

namespace fs = std::filesystem;
using namespace rc;

namespace {

const QString kProgramDir = QStringLiteral(RC_PROGRAM_DIR);

// A list of CSV rows; quoted fields keep their commas.
using Csv = std::vector<std::vector<QString>>;

Csv parseCsv(const QString& text) {
  Csv out;
  for (const QString& line : text.split('\n')) {
    if (line.isEmpty()) {
      out.push_back({});
      continue;
    }
    std::vector<QString> fields;
    QString f;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
      const QChar c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          f += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          f += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        fields.push_back(f);
        f.clear();
      } else {
        f += c;
      }
    }
    fields.push_back(f);
    out.push_back(fields);
  }
  return out;
}

// The header text as analyse prints it: single blanks, none at the ends.
QString tidy(QString s) { return s.simplified(); }

QString cliPath() { return kProgramDir + "/rhythmcraft-cli"; }

void clickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void clickHeader(QHeaderView* header, int section) {
  const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

QTreeWidgetItem* itemWithId(QTreeWidget* tree, int id) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == id) return tree->topLevelItem(i);
  return nullptr;
}

// The table of a view: headers, then the rows as shown, sorted so that the
// order of rows does not matter; the display decimal separator made ".".
Csv viewTable(QTableView* view) {
  QAbstractItemModel* m = view->model();
  Csv rows;
  for (int r = 0; r < m->rowCount(); ++r) {
    std::vector<QString> cells;
    for (int c = 0; c < m->columnCount(); ++c) cells.push_back(m->index(r, c).data().toString());
    rows.push_back(cells);
  }
  return rows;
}

std::vector<QString> viewHeaders(QTableView* view) {
  std::vector<QString> h;
  for (int c = 0; c < view->model()->columnCount(); ++c)
    h.push_back(tidy(view->model()->headerData(c, Qt::Horizontal).toString()));
  return h;
}

void setConfidential(const fs::path& root, bool on) {
  CADODatabase db;
  db.open(root / "csdb.zeb");
  db.execute(on ? "UPDATE Settings SET Confidential = 1" : "UPDATE Settings SET Confidential = 0");
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir work_;
  fs::path root_;

  // The demo data root is made once beside the build's programs and copied
  // for this run, so the tests never change it.
  bool prepareRoot() {
    const QString cache = kProgramDir + "/../test-demo-root";
    if (!QFile::exists(cache + "/csdb.zeb")) {
      QProcess make;
      make.start(cliPath(), {"make-demo", cache});
      if (!make.waitForFinished(280000) || make.exitCode() != 0) return false;
    }
    root_ = fs::path(work_.path().toStdString()) / "root";
    QProcess cp;
    cp.start("cp", {"-a", cache, QString::fromStdString(root_.string())});
    return cp.waitForFinished(120000) && cp.exitCode() == 0;
  }

  QString analyse(int client, int session, const QStringList& extra = {}) {
    QProcess p;
    p.start(cliPath(), QStringList{"analyse", "--data-root", QString::fromStdString(root_.string()), "--client",
                                   QString::number(client), "--session", QString::number(session)} +
                           extra);
    if (!p.waitForFinished(120000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
  }

  // Opens client/session through the lists and the "Review and Edit" button.
  CMainScreen* openThroughLists(CRhythmcraftDlg& dlg, int client, int session) {
    QTreeWidgetItem* c = itemWithId(dlg.clientList(), client);
    if (!c) return nullptr;
    clickItem(dlg.clientList(), c);
    QTreeWidgetItem* s = itemWithId(dlg.sessionList(), session);
    if (!s) return nullptr;
    clickItem(dlg.sessionList(), s);
    QTest::mouseClick(dlg.reviewButton(), Qt::LeftButton);
    return dlg.container();
  }

  // Every cell of the HRV and signal tables equals analyse's CSV.
  void compareWithAnalyse(CMainScreen* screen, int client, int session, const QStringList& extra) {
    auto* page = qobject_cast<CHRVStatistics*>(screen->page(2));
    QVERIFY(page);
    const Csv csv = parseCsv(analyse(client, session, extra));
    std::size_t blank = 0;
    while (blank < csv.size() && !csv[blank].empty()) ++blank;
    QVERIFY(blank > 1 && blank < csv.size());
    Csv cliHrv(csv.begin() + 1, csv.begin() + static_cast<long>(blank));
    Csv cliSig(csv.begin() + static_cast<long>(blank) + 2, csv.end());
    while (!cliSig.empty() && cliSig.back().empty()) cliSig.pop_back();
    QCOMPARE(viewHeaders(page->hrvView()), csv[0]);
    QCOMPARE(viewHeaders(page->signalView()), csv[blank + 1]);
    Csv hrv = viewTable(page->hrvView());
    Csv sig = viewTable(page->signalView());
    QVERIFY(!hrv.empty());
    std::sort(hrv.begin(), hrv.end());
    std::sort(sig.begin(), sig.end());
    std::sort(cliHrv.begin(), cliHrv.end());
    std::sort(cliSig.begin(), cliSig.end());
    QCOMPARE(hrv, cliHrv);
    QCOMPARE(sig, cliSig);
  }

  void chooseEpochLength(CMainScreen* screen, const QString& text) {
    QComboBox* combo = screen->epochLengthList();
    combo->setFocus();
    const int target = combo->findText(text);
    QVERIFY(target >= 0);
    while (combo->currentIndex() < target) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > target) QTest::keyClick(combo, Qt::Key_Up);
  }

 private Q_SLOTS:
  void initTestCase() {
    setProgramFolder(kProgramDir.toStdString());
    QVERIFY(loadLanguage(programFolder()));
    QVERIFY2(prepareRoot(), "the demo data root could not be made");
    setDataRoot(root_);
  }

  void openSessionMatchesAnalyse() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CMainScreen* screen = openThroughLists(dlg, 1, 1);
    QVERIFY2(screen, ui.records().empty() ? "no container" : ui.records().front().message.text.c_str());
    QVERIFY(!dlg.isEnabled());
    QVERIFY(screen->windowTitle().contains("Holt, Avery"));
    QTest::mouseClick(screen->pageButton(2), Qt::LeftButton);
    QCOMPARE(screen->currentPage(), 2);
    compareWithAnalyse(screen, 1, 1, {"--epoch", "60"});

    chooseEpochLength(screen, "3 min.");
    QCOMPARE(screen->model().session().settings.epochTime, 180);
    compareWithAnalyse(screen, 1, 1, {"--epoch", "180"});
    QFile file(QString::fromStdString((root_ / "Clients/1/Sess0001/HRVConfig.xml").string()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<EpochTime>180</EpochTime>"));

    // The same length again changes nothing.
    chooseEpochLength(screen, "3 min.");
    QCOMPARE(screen->model().session().settings.epochTime, 180);
    chooseEpochLength(screen, "1 min.");
    screen->close();
    QTRY_VERIFY(dlg.isEnabled());
    QVERIFY(!dlg.container());
  }

  void scriptedSessionMatchesAnalyse() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CMainScreen* screen = openThroughLists(dlg, 1, 3);
    QVERIFY(screen);
    QVERIFY(screen->timeFrameList()->findText(QString::fromStdString(str(215))) >= 0);
    QTest::mouseClick(screen->pageButton(2), Qt::LeftButton);
    compareWithAnalyse(screen, 1, 3, {"--epoch", "60"});
    auto* page = qobject_cast<CHRVStatistics*>(screen->page(2));
    QVERIFY(!page->hrvView()->isColumnHidden(0));
    screen->close();
    QTRY_VERIFY(dlg.isEnabled());
  }

  void statisticsColumnsSortByClicks() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    CMainScreen* screen = openThroughLists(dlg, 1, 2);
    QVERIFY(screen);
    QTest::mouseClick(screen->pageButton(2), Qt::LeftButton);
    auto* page = qobject_cast<CHRVStatistics*>(screen->page(2));
    QTableView* v = page->hrvView();
    QVERIFY(v->isColumnHidden(0));
    auto column = [&](int c) {
      std::vector<double> out;
      for (int r = 0; r < v->model()->rowCount(); ++r) out.push_back(v->model()->index(r, c).data().toString().toDouble());
      return out;
    };
    clickHeader(v->horizontalHeader(), 6);
    auto up = column(6);
    QVERIFY(std::is_sorted(up.begin(), up.end()));
    clickHeader(v->horizontalHeader(), 6);
    auto down = column(6);
    QVERIFY(std::is_sorted(down.rbegin(), down.rend()));
    clickHeader(v->horizontalHeader(), 7);
    auto nn = column(7);
    QVERIFY(std::is_sorted(nn.begin(), nn.end()));
    screen->close();
  }

  void keyboardAloneOpensAndClosesASession() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.activateWindow();
    dlg.clientList()->setFocus();
    QTest::keyClick(dlg.clientList(), Qt::Key_Home);
    QCOMPARE(dlg.clientList()->currentItem()->data(0, Qt::UserRole).toInt(), 1);
    QTest::keyClick(dlg.clientList(), Qt::Key_Tab);
    QCOMPARE(dlg.focusWidget(), dlg.sessionList());
    QTest::keyClick(dlg.sessionList(), Qt::Key_Home);
    QTest::keyClick(dlg.sessionList(), Qt::Key_Return);
    QTRY_VERIFY(dlg.container() != nullptr);
    CMainScreen* screen = dlg.container();
    screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    QTest::keyClick(screen, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(screen->currentPage(), 2);
    QTest::keyClick(screen, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(dlg.isEnabled());
    QVERIFY(!dlg.container());
  }

  void sessionListSortsByDuration() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    clickItem(dlg.clientList(), itemWithId(dlg.clientList(), 1));
    QTreeWidget* s = dlg.sessionList();
    QCOMPARE(s->topLevelItemCount(), 3);
    auto order = [&] {
      std::vector<int> ids;
      for (int i = 0; i < s->topLevelItemCount(); ++i) ids.push_back(s->topLevelItem(i)->data(0, Qt::UserRole).toInt());
      return ids;
    };
    clickHeader(s->header(), 3);  // durations 300, 1800, 1200
    QCOMPARE(order(), (std::vector<int>{1, 3, 2}));
    clickHeader(s->header(), 3);
    QCOMPARE(order(), (std::vector<int>{2, 3, 1}));
    clickHeader(s->header(), 2);  // open sessions first
    QCOMPARE(s->topLevelItem(2)->data(0, Qt::UserRole).toInt(), 3);
  }

  void confidentialNamesAreMasked() {
    setConfidential(root_, true);
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    setConfidential(root_, false);
    QStringList names;
    for (int i = 0; i < dlg.clientList()->topLevelItemCount(); ++i) names << dlg.clientList()->topLevelItem(i)->text(0);
    QVERIFY2(names.contains("Ho**, A****"), qPrintable(names.join("|")));
    QVERIFY2(names.contains("Ng, J*"), qPrintable(names.join("|")));
    QVERIFY(!names.join("|").contains("Holt"));
  }

  void directOpenShowsOnlyTheSession() {
    ScriptedUi ui;
    CRhythmcraftDlg dlg("1 1", ui);
    QVERIFY(dlg.directOpen());
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(dlg.clientList()->isHidden());
    QTRY_VERIFY(dlg.container() != nullptr);
    QVERIFY(dlg.isVisible());
    dlg.container()->close();
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
  }

  void secondCopyIsRefused() {
    qputenv("RHYTHMCRAFT_DATA_ROOT", QByteArray::fromStdString(root_.string()));
    InstanceLock first(instanceLockPath(root_));
    QVERIFY(first.acquired());
    ScriptedUi ui;
    CRhythmcraftApp app(ui);
    QCOMPARE(app.initInstance(), std::optional<int>(1));
    QCOMPARE(ui.firstIds(), std::vector<int>{kAlreadyRunningId});
    setDataRoot(root_);
  }

  void missingMainDatabaseLeavesEmptyLists() {
    QTemporaryDir empty;
    setDataRoot(empty.path().toStdString());
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    setDataRoot(root_);
    QCOMPARE(ui.firstIds(), std::vector<int>{kNoMainDatabaseId});
    QCOMPARE(dlg.clientList()->topLevelItemCount(), 0);
  }

  void missingModuleTemplateEndsTheDialog() {
    QTemporaryDir other, program;
    fs::copy_file(root_ / "csdb.zeb", fs::path(other.path().toStdString()) / "csdb.zeb");
    setDataRoot(other.path().toStdString());
    setProgramFolder(program.path().toStdString());
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    const bool ok = dlg.initialise();
    setProgramFolder(kProgramDir.toStdString());
    setDataRoot(root_);
    QVERIFY(!ok);
    QCOMPARE(ui.firstIds(), std::vector<int>{kModuleDbNotCreatedId});
  }

  void sessionWithoutIntervalsIsExplained() {
    // A configuration that selects no heart channel: the session has no
    // interval data, and the next opening asks for the signals again.
    const fs::path config = root_ / "Clients/1/Sess0002/HRVConfig.xml";
    CXMLMarkup doc;
    QVERIFY(doc.Load(programFolder() / kSessionConfigFileName));
    QVERIFY(setSignalPart(doc, SignalPart{}, false));
    QVERIFY(doc.Save(config));
    ScriptedUi ui;
    CRhythmcraftDlg dlg("", ui);
    QVERIFY(dlg.initialise());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(!openThroughLists(dlg, 1, 2));
    QTRY_VERIFY(ui.shown(248));
    QVERIFY(dlg.isEnabled());
    fs::remove(config);
  }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
