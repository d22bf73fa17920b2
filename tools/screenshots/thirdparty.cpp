// Screenshots of the third-party IBI file windows: the layout dialog after
// Detect on a heart-rate monitor file, the editor over a day of intervals,
// and the two export option dialogs.
#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "editors/thirdparty/file_layout.h"
#include "editors/ui/thirdparty_editor.h"
#include "editors/ui/thirdparty_layout_dialog.h"
#include "support/language.h"
#include "support/paths.h"

using namespace rc;

namespace {

void shoot(QWidget& w, const QString& out, const char* name) {
  w.show();
  QApplication::processEvents();
  QApplication::processEvents();
  w.grab().save(QDir(out).filePath(name));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const QString out = argv[1];
  loadLanguage(programFolder());
  const std::filesystem::path tmp = std::filesystem::temp_directory_path() / "rc_shots_thirdparty";
  std::filesystem::create_directories(tmp);

  // A heart-rate monitor file: a header of sections, then the intervals.
  const auto hrm = tmp / "exercise.hrm";
  {
    std::ofstream f(hrm, std::ios::binary);
    f << "[Params]\r\nVersion=106\r\nMonitor=13\r\nSMode=000000000\r\nInterval=238\r\n\r\n[IntTimes]\r\n"
         "00:00:00.0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\r\n\r\n[HRData]\r\n";
    for (int k = 0; k < 100000; ++k) f << 820 + (k * 37) % 90 - 45 + static_cast<int>(40 * ((k / 300) % 3)) << "\r\n";
  }
  SilentUi ui;
  ThirdPartyLayoutDialog layout(ThirdPartySettings{}, ui);
  layout.setFile(hrm);
  layout.detect();
  shoot(layout, out, "thirdparty_layout_dialog.png");

  auto read = readThirdPartyFile(hrm, layout.model().layout(), ui);
  if (!read) return 1;
  CThirdPartyEditor editor(std::move(*read), ThirdPartySettings{}, ui);
  editor.resize(1366 - 40, 768 - 80);
  editor.scrollBar()->setValue(3600);
  shoot(editor, out, "thirdparty_editor.png");

  ThirdPartyIbiExportDialog ibi(ThirdPartyIbiExport{}, &editor);
  shoot(ibi, out, "thirdparty_ibi_export.png");
  ThirdPartyStatsExportDialog stats(ThirdPartyStatsExport{}, {60, 180, 300, 600}, &editor);
  shoot(stats, out, "thirdparty_stats_export.png");
  std::filesystem::remove_all(tmp);
  return 0;
}
