#include "app/ui/qt_user_interface.h"

#include <QInputDialog>
#include <QMessageBox>

#include "support/language.h"

namespace rc {

namespace {
QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString caption() { return QString::fromStdString(str(kAppTitleId)); }
}  // namespace

void QtUserInterface::showMessage(const Message& m, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtUserInterface::askYesNo(const Message& m, bool defaultYes, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtUserInterface::askOkCancel(const Message& m, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Ok | QMessageBox::Cancel,
                  parent_);
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> QtUserInterface::enterString(const Message& prompt, const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent_, caption(), QString::fromStdString(prompt.text), QLineEdit::Normal,
                                       QString::fromStdString(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

}  // namespace rc
