#include "app/ui/rhythmcraft_app.h"

#include <QMessageBox>
#include <clocale>

#include "app/ui/main_screen.h"
#include "app/ui/rhythmcraft_dlg.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

namespace rc {

std::optional<int> CRhythmcraftApp::initInstance() {
  if (!loadLanguage(programFolder())) {
    QMessageBox box(QMessageBox::Warning, QString(), QString::fromUtf8(kBuiltinString1));
    box.exec();
    return 1;
  }
  setDataRoot(prepareDataRoot(programFolder()).path);
  lock_ = std::make_unique<InstanceLock>(instanceLockPath(dataRoot()));
  if (!lock_->acquired()) {
    ui_.showMessage(messageOf(kAlreadyRunningId), Icon::Warning);
    return 1;
  }
  // The user's separators for display; the C library stays neutral so that
  // numbers written for reading back never take a comma.
  setLocaleSeparators(readUserLocaleSeparators());
  std::setlocale(LC_NUMERIC, "C");
  return std::nullopt;
}

int CRhythmcraftApp::run(const std::string& commandLine) {
  CRhythmcraftDlg dialog(commandLine, ui_);
  if (!dialog.initialise()) {
    dialog.done(QDialog::Rejected);
    return 0;
  }
  if (!dialog.directOpen()) dialog.setWindowState(Qt::WindowMaximized);
  dialog.exec();
  return 0;
}

}  // namespace rc
