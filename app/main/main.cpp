#include <QApplication>
#include <QStringList>

#include "app/ui/rhythmcraft_app.h"
#include "support/ui/qt_user_interface.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  rc::QtUserInterface ui;
  rc::CRhythmcraftApp rhythmcraft(ui);
  if (auto code = rhythmcraft.initInstance()) return *code;
  QStringList args = QApplication::arguments();
  args.removeFirst();
  return rhythmcraft.run(args.join(' ').toStdString());
}
