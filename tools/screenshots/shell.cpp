// Screenshots of the desktop program on the demo data root: the main dialog,
// the review window on each of its pages (open and scripted session), and the
// dialogs of the shell. Also prints the time from start to the main dialog
// shown and the time to open the two-hour session once its series exist.
//   shots_shell OUTDIR DEMO_ROOT
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "app/main_dialog.h"
#include "app/ui/main_screen.h"
#include "app/ui/rhythmcraft_dlg.h"
#include "app/ui/shell_dialogs.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

namespace fs = std::filesystem;
using namespace rc;

namespace {

QString out;

void settle(int ms = 150) {
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

void selectSession(CRhythmcraftDlg& dlg, int client, int session) {
  for (int i = 0; i < dlg.clientList()->topLevelItemCount(); ++i)
    if (dlg.clientList()->topLevelItem(i)->data(0, Qt::UserRole).toInt() == client)
      dlg.clientList()->setCurrentItem(dlg.clientList()->topLevelItem(i));
  for (int i = 0; i < dlg.sessionList()->topLevelItemCount(); ++i)
    if (dlg.sessionList()->topLevelItem(i)->data(0, Qt::UserRole).toInt() == session)
      dlg.sessionList()->setCurrentItem(dlg.sessionList()->topLevelItem(i));
}

// Opens a session from the main dialog; nullptr when it did not load.
CMainScreen* open(CRhythmcraftDlg& dlg, int client, int session) {
  selectSession(dlg, client, session);
  dlg.openSession();
  settle();
  return dlg.container();
}

void closeContainer(CRhythmcraftDlg& dlg) {
  if (dlg.container()) dlg.container()->close();
  settle();
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer started;
  started.start();
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: shots_shell OUTDIR DEMO_ROOT\n");
    return 2;
  }
  out = QString::fromLocal8Bit(argv[1]);
  if (!loadLanguage(programFolder())) return 1;
  setLocaleSeparators(readUserLocaleSeparators());
  std::setlocale(LC_NUMERIC, "C");
  setDataRoot(fs::path(argv[2]));
  SilentUi ui;

  CRhythmcraftDlg dlg("", ui);
  if (!dlg.initialise()) return 1;
  dlg.showMaximized();
  QApplication::processEvents();
  std::printf("start to main dialog shown: %lld ms\n", static_cast<long long>(started.elapsed()));
  selectSession(dlg, 1, 2);
  shoot(&dlg, "main_dialog");

  if (CMainScreen* s = open(dlg, 1, 2)) {
    for (int p = 0; p < 4; ++p) {
      s->switchPage(p);
      shoot(s, qPrintable(QString("review_page%1").arg(p)));
    }
    AnalysisSettingsDialog settings(s->model().session().settings, ui);
    settings.show();
    shoot(&settings, "analysis_settings");
    const AnalysisSession& a = s->model().session();
    ModeResolutionDialog mode(ModeResolutionModel(a.settings.resolutions, true, true, true, true), ui);
    mode.show();
    shoot(&mode, "mode_resolution");
    closeContainer(dlg);
  }
  if (CMainScreen* s = open(dlg, 1, 3)) {
    s->switchPage(2);
    shoot(s, "review_scripted_statistics");
    closeContainer(dlg);
  }
  const auto channels = readSessionChannels(dataRoot(), programFolder(), 3, 1, ui);
  if (channels) {
    CHRVConfiguration sel(*channels, fs::temp_directory_path() / "rc_shots_HRVConfig.xml", ui, &dlg);
    sel.show();
    shoot(&sel, "signal_selection");
  }
  AboutDialog about(&dlg);
  about.show();
  shoot(&about, "about");

  // The two-hour session: the first opening generates its series, the second
  // is the one a clinician waits for.
  if (open(dlg, 2, 1)) {
    closeContainer(dlg);
    selectSession(dlg, 2, 1);
    QElapsedTimer t;
    t.start();
    dlg.openSession();
    QApplication::processEvents();
    const long long ms = t.elapsed();
    if (dlg.container()) {
      std::printf("two-hour session opened (series present): %lld ms\n", ms);
      closeContainer(dlg);
    }
  }
  dlg.done(0);
  return 0;
}
