// shots_reports OUTDIR DEMO_ROOT: the text report's options dialog, the
// spreadsheet report editor with its settings and save dialogs, and the
// first two pages of a generated report (its PDF, drawn by pdftoppm when
// poppler-utils is installed).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "reports/ui/report_dialogs.h"
#include "reports/ui/report_render.h"
#include "store/data_root.h"
#include "support/language.h"
#include "support/paths.h"

#include <QApplication>
#include <QTimer>

namespace fs = std::filesystem;
using namespace rc;

namespace {

void shoot(QWidget& w, const fs::path& file) {
  w.show();
  QApplication::processEvents();
  w.adjustSize();
  QApplication::processEvents();
  w.grab().save(QString::fromStdString(file.string()));
  w.hide();
}

void definition(const fs::path& folder, const std::string& file, const std::string& description,
                const std::string& category, int type, const std::string& workbook) {
  std::ofstream(folder / file) << "<HRVExcelReport><Description>" << description << "</Description><Category>"
                               << category << "</Category><SessionType>" << type << "</SessionType><FileName>" << file
                               << "</FileName><IBIFileName>ibi.txt</IBIFileName><PeriodicStatFileName>periodic.txt"
                               << "</PeriodicStatFileName><StandStatFileName></StandStatFileName>"
                               << "<SessionStatFileName>session.txt</SessionStatFileName><ExcelFileName>" << workbook
                               << "</ExcelFileName><EpochTime>300</EpochTime><NNInterval>50</NNInterval><Units>0</Units>"
                               << "<StatisticOptions>0</StatisticOptions><DateModified>12/01/26</DateModified>"
                               << "<SignalType>0</SignalType><Header>1</Header><TextFileType>0</TextFileType>"
                               << "<TimeColumn>1</TimeColumn><IntegerIBI>0</IntegerIBI><FilePerEpoch>0</FilePerEpoch>"
                               << "</HRVExcelReport>";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  const fs::path out = argv[1], demo = argv[2];
  setProgramFolder(fs::path(argv[0]).parent_path());
  loadLanguage(programFolder());
  // Nothing may wait for an answer here: messages go nowhere.
  SilentUi ui;

  CReportOptions options(ReportSeries{true, true}, ui);
  shoot(options, out / "reports_options.png");

  // A data root of its own, so the demo root keeps no definitions.
  const fs::path root = fs::temp_directory_path() / "rc_shots_reports";
  fs::remove_all(root);
  fs::create_directories(root / kReportsFolderName);
  std::error_code ec;
  fs::copy(demo / "Channels", root / "Channels", fs::copy_options::recursive, ec);
  fs::copy(demo / "Scripts", root / "Scripts", fs::copy_options::recursive, ec);
  std::ofstream(root / kAppSettingsName) << "<Rhythmcraft><CommProtocol>0</CommProtocol></Rhythmcraft>";
  std::ofstream(root / kReportsFolderName / "Weekly HRV.xlsx") << "x";
  std::ofstream(root / kReportsFolderName / "Breathing course.ods") << "x";
  definition(root / kReportsFolderName, "weekly.xml", "Weekly HRV follow-up", "Standard", 1, "Weekly HRV.xlsx");
  definition(root / kReportsFolderName, "breathing.xml", "Paced breathing course, all steps", "Paced Breathing", 2,
             "Breathing course.ods");
  QtDefinitionDialogs dialogs(root, ui, nullptr);
  ExcelReportEditorModel model(programFolder(), root, EditorMode::Editing, std::nullopt, ui, dialogs);
  {
    CExcelReportEditor editor(model);
    shoot(editor, out / "reports_editor.png");
  }
  model.refill();
  ReportDefinition d = model.records().empty() ? ReportDefinition{} : model.records()[0].definition;
  CExcelReportSettings settings(d, model.workbooks(), ui);
  shoot(settings, out / "reports_settings.png");
  CSaveExcelReport save(d, model.reportsFolder(), ui);
  shoot(save, out / "reports_save.png");
  CReportProtocolChooser chooser(root, d);
  shoot(chooser, out / "reports_protocol.png");

  // The first two pages of the scripted demo session's report.
  setDataRoot(demo);
  SilentUi silent;
  auto s = loadSessionForAnalysis(SessionLoadRequest{demo, programFolder(), 1, 3, {}}, silent);
  if (s) {
    EpochInputs inputs = s->epochInputs();
    EpochResults results;
    if (analyseLoadedSession(inputs, {}, results, silent) == SessionAnalysisOutcome::Ready) {
      s->settings.epochTime = inputs.epochSeconds;
      auto rep = buildTextReport(*s, results, ReportOptions{}, readReportHeaderTexts(demo, 1, 3), silent);
      const fs::path pdf = root / "report.pdf";
      if (rep && writeTextReportPdf(*rep, pdf)) {
        const std::string cmd = "pdftoppm -r 80 -f 1 -l 2 -png '" + pdf.string() + "' '" +
                                (out / "reports_page").string() + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "shots_reports: pdftoppm is not installed\n");
      }
      // The charts' pages: one page of charts as well.
      const std::string charts = "pdftoppm -r 80 -f 6 -l 6 -png '" + pdf.string() + "' '" +
                                 (out / "reports_charts").string() + "' 2>/dev/null";
      [[maybe_unused]] int rc = std::system(charts.c_str());
    }
  }
  fs::remove_all(root);
  return 0;
}
