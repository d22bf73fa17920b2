#include "reports/definitions/definition_generate.h"

#include "reports/definitions/definition_editor.h"
#include "reports/definitions/report_definition.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

// Passes everything on but the messages, which the caller shows itself.
class QuietMessages final : public UserInterface {
 public:
  explicit QuietMessages(UserInterface& ui) : ui_(ui) {}
  void showMessage(const Message&, Icon) override {}
  bool askYesNo(const Message& m, bool defaultYes, Icon icon) override { return ui_.askYesNo(m, defaultYes, icon); }
  bool askOkCancel(const Message& m, Icon icon) override { return ui_.askOkCancel(m, icon); }
  std::optional<std::string> enterString(const Message& prompt, const std::string& initial) override {
    return ui_.enterString(prompt, initial);
  }
  std::optional<fs::path> chooseFile(const FileDialogRequest& request) override { return ui_.chooseFile(request); }
  OpenResult openDocument(const fs::path& file) override { return ui_.openDocument(file); }
  std::optional<int> chooseOption(const ChoiceRequest& request) override { return ui_.chooseOption(request); }
  void beginProgress(const std::string& label, std::int64_t total) override { ui_.beginProgress(label, total); }
  bool reportProgress(std::int64_t done) override { return ui_.reportProgress(done); }
  void endProgress() override { ui_.endProgress(); }

 private:
  UserInterface& ui_;
};

}  // namespace

Status writeRequestedExport(const ExportSources& src, const ExportRequest& r, UserInterface& ui) {
  ExportOptions o;
  o.kind = r.kind;
  o.header = r.header;
  o.signal = r.signalType == 1 ? 1 : 0;
  o.integerIbi = r.kind == ExportKind::Ibi && r.integerIbi;
  o.timeColumn = r.kind == ExportKind::Ibi && r.timeColumn;
  o.filePerEpoch = r.kind == ExportKind::Ibi && r.filePerEpoch;
  o.titleId = r.titleId;
  // The writer adds ".txt" (or the numbers and ".txt") to the base.
  fs::path base = r.file;
  if (!o.filePerEpoch) base.replace_extension();
  QuietMessages quiet(ui);
  if (!writeExport(src, o, base, quiet, r.codePage)) return Status::error("cannot write " + r.file.string());
  return Status::ok();
}

Status generateExcelReport(const fs::path& definitionFile, const fs::path& reportsFolder, GenerationTarget target,
                           const GenerationHooks& hooks, UserInterface& ui) {
  if (!target.settings) return Status::error("no session");
  AnalysisSettings& s = *target.settings;
  const ReportDefinition d = loadDefinition(definitionFile);

  // Values out of the dialog's ranges keep what the session has.
  const bool codePageOk = d.textFileType == 0 || d.textFileType == 65001 || d.textFileType == 1200 ||
                          d.textFileType == 1201;
  if (codePageOk && target.exportCodePage) *target.exportCodePage = d.textFileType;
  const int codePage = target.exportCodePage ? *target.exportCodePage : 0;

  const bool optionOk = d.statisticOptions == 0 || d.statisticOptions == 1;
  const bool optionChanged = optionOk && d.statisticOptions != s.statisticOption;
  if (optionChanged) ui.showMessage(messageOf(kStepOptionDiffersId), Icon::Warning);
  const bool nnOk = d.nnInterval >= 10 && d.nnInterval <= 2000;
  const bool unitsOk = d.units >= 0 && d.units <= 2;
  const bool nnChanged = nnOk && d.nnInterval != s.nnInterval;
  const bool unitsChanged = unitsOk && d.units != s.bandUnits;
  if (nnOk) s.nnInterval = d.nnInterval;
  if (unitsOk) s.bandUnits = d.units;
  if (optionOk) s.statisticOption = d.statisticOptions;

  const int epoch = definitionEpochSeconds(d.epochTime);
  if (epoch != s.epochTime) {
    if (!hooks.setEpochLength || !hooks.setEpochLength(epoch)) return Status::error("the epoch length was not applied");
  } else if ((nnChanged || unitsChanged) && hooks.recompute) {
    hooks.recompute();
  }
  if (optionChanged && hooks.rebuildStepStatistics) hooks.rebuildStepStatistics();

  struct Name {
    ExportKind kind;
    const std::string* name;
  };
  const Name names[] = {{ExportKind::Ibi, &d.ibiFileName},
                        {ExportKind::Periodic, &d.periodicStatFileName},
                        {ExportKind::Standard, &d.standStatFileName},
                        {ExportKind::Session, &d.sessionStatFileName}};
  for (const Name& n : names) {
    if (n.name->empty()) continue;
    const bool perEpoch = n.kind == ExportKind::Ibi && d.filePerEpoch != 0;
    const auto safe = safeExportName(*n.name, perEpoch);
    if (!safe) {
      ui.showMessage(MessageBuilder().id(kForbiddenCharId).text(" ").text(*n.name).build(), Icon::Warning);
      continue;
    }
    ExportRequest r;
    r.kind = n.kind;
    r.file = reportsFolder / *safe;
    r.header = d.header != 0;
    r.signalType = d.signalType == 1 ? 1 : 0;
    r.integerIbi = d.integerIbi != 0;
    r.timeColumn = d.timeColumn != 0;
    r.filePerEpoch = perEpoch;
    r.statisticOption = s.statisticOption;
    r.codePage = codePage;
    const Status written = hooks.writeExport ? hooks.writeExport(r) : Status::error("no export writer");
    if (!written)
      ui.showMessage(MessageBuilder().id(kFileNotOpenedId).text(" ").text(r.file.string()).build(), Icon::Warning);
  }

  const auto workbook = workbookToOpen(reportsFolder, d.excelFileName);
  if (!workbook) {
    ui.showMessage(MessageBuilder().id(kForbiddenCharId).text(" ").text(d.excelFileName).build(), Icon::Warning);
    return Status::error("the workbook " + d.excelFileName + " cannot be opened");
  }
  const OpenResult opened = ui.openDocument(*workbook);
  if (opened != OpenResult::Opened) {
    ui.showMessage(messageOf(kNoSpreadsheetApplicationId), Icon::Error);
    return Status::error("no application opens the workbook");
  }
  return Status::ok();
}

}  // namespace rc
