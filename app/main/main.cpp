#include <QApplication>
#include <QMessageBox>

#include <clocale>

#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  rc::setLocaleSeparators(rc::readUserLocaleSeparators());
  std::setlocale(LC_NUMERIC, "C");
  if (!rc::loadLanguage(rc::programFolder())) {
    QMessageBox box(QMessageBox::Warning, QString(), QString::fromUtf8(rc::kBuiltinString1));
    box.exec();
    return 1;
  }
  QMessageBox::information(nullptr, QString::fromStdString(rc::str(rc::kAppTitleId)),
                           QStringLiteral("The main window arrives with the application shell."));
  return 0;
}
