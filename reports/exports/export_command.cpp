#include "reports/exports/export_command.h"

#include <system_error>

#include "analysis/series/series_find.h"
#include "reports/exports/export_text.h"
#include "reports/exports/ibi_writer.h"
#include "reports/exports/table_writer.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/xml_markup.h"

namespace rc {

namespace fs = std::filesystem;

int exportKindListText(ExportKind kind) {
  switch (kind) {
    case ExportKind::Ibi:
      return 252;
    case ExportKind::Periodic:
      return 332;
    case ExportKind::Standard:
      return 333;
    case ExportKind::Session:
      return 349;
  }
  return 252;
}

int exportKindTitle(ExportKind kind) { return kind == ExportKind::Session ? 333 : exportKindListText(kind); }

const char* exportKindName(ExportKind kind) {
  switch (kind) {
    case ExportKind::Ibi:
      return "ibi";
    case ExportKind::Periodic:
      return "periodic";
    case ExportKind::Standard:
      return "standard";
    case ExportKind::Session:
      return "session";
  }
  return "ibi";
}

ExportableSeries exportableSeries(int setting1, bool ekg, bool bvp) {
  if (ekg && bvp && setting1 == 3) return ExportableSeries::Both;
  if (ekg && (setting1 == 2 || setting1 == 3)) return ExportableSeries::Ekg;
  if (bvp && setting1 != 2) return ExportableSeries::Bvp;
  return ExportableSeries::None;
}

ExportableSeries exportableSeries(const AnalysisSession& s) {
  // A slot counts when its channel is configured and its series was loaded.
  return exportableSeries(s.settings.ibiSource, s.slots[0].input > 0 && s.ekg.has_value(),
                          s.slots[1].input > 0 && s.bvp.has_value());
}

ExportTypeModel::ExportTypeModel(ExportableSeries series, bool scripted, std::int32_t codePage, bool header)
    : series_(series), scripted_(scripted), codePage_(codePage), header_(header) {}

ExportOptions ExportTypeModel::accept() const {
  ExportOptions o;
  o.kind = kind_;
  o.header = header_;
  o.signal = series_ == ExportableSeries::Both ? signal_ : series_ == ExportableSeries::Bvp ? 1 : 0;
  if (kind_ == ExportKind::Ibi) {
    o.integerIbi = integerIbi_;
    o.timeColumn = timeColumn_;
    o.filePerEpoch = filePerEpoch_;
  }
  return o;
}

std::int32_t preferencesInitialCodePage(std::int32_t codePage) {
  for (std::int32_t cp : kPreferenceCodePages)
    if (cp == codePage) return cp;
  return kCodePageUtf8;
}

std::int32_t preferencesStoredCodePage(std::optional<std::int32_t> selected) {
  if (!selected) return 0;
  for (std::int32_t cp : kPreferenceCodePages)
    if (cp == *selected) return cp;
  return 0;
}

namespace {

std::optional<long long> childInteger(CXMLMarkup& doc, const char* name) {
  doc.ResetPos();
  if (!doc.FindElem()) return std::nullopt;
  if (!doc.FindChildElem(std::string_view(name))) return std::nullopt;
  return parseInteger(doc.GetChildDataUtf8());
}

void setChild(CXMLMarkup& doc, const char* name, long long value) {
  doc.ResetPos();
  if (!doc.FindElem()) return;
  const std::string text = std::to_string(value);
  if (doc.FindChildElem(std::string_view(name)))
    doc.SetChildData(std::string_view(text));
  else
    doc.AddChildElem(std::string_view(name), std::string_view(text));
}

}  // namespace

ExportPreferences readExportPreferences(CXMLMarkup& settings) {
  ExportPreferences p;
  if (auto cp = childInteger(settings, "TextFormat"); cp && *cp >= INT32_MIN && *cp <= INT32_MAX)
    p.codePage = effectiveCodePage(static_cast<std::int32_t>(*cp));
  if (auto h = childInteger(settings, "Header")) p.header = *h != 0;
  return p;
}

void writeExportPreferences(CXMLMarkup& settings, const ExportPreferences& prefs) {
  setChild(settings, "TextFormat", prefs.codePage);
  setChild(settings, "Header", prefs.header ? 1 : 0);
}

ExportPreferences currentExportPreferences() { return {exportCodePage(), exportHeaderFlag()}; }

void applyExportPreferences(const ExportPreferences& prefs) {
  setExportCodePage(prefs.codePage);
  setExportHeaderFlag(prefs.header);
}

RememberedFolders& rememberedExportFolders() {
  static RememberedFolders folders;
  return folders;
}

namespace {

bool anyNumberedFile(const fs::path& base) {
  std::error_code ec;
  const fs::path dir = base.parent_path().empty() ? fs::path(".") : base.parent_path();
  const std::string prefix = base.filename().string();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() >= prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - 4, 4, ".txt") == 0)
      return true;
  }
  return false;
}

}  // namespace

std::optional<fs::path> chooseExportBase(UserInterface& ui, RememberedFolders& folders, int which, bool numbered) {
  const std::size_t slot = which == 1 ? 1 : 0;
  for (;;) {
    FileDialogRequest rq;
    rq.save = true;
    rq.title = str(342);
    rq.folder = folders.folders[slot];
    rq.filters = {{str(340), "*"}, {str(341), "*.txt"}};
    rq.selectedFilter = 1;
    rq.defaultSuffix = "txt";
    rq.overwritePrompt = false;  // asked below, for the name the export really writes
    std::optional<fs::path> chosen = ui.chooseFile(rq);
    if (!chosen) return std::nullopt;
    fs::path base = *chosen;
    if (!base.parent_path().empty()) folders.folders[slot] = base.parent_path();
    if (base.has_extension()) base.replace_extension();
    std::error_code ec;
    const bool exists = numbered ? anyNumberedFile(base) : fs::exists(fs::path(base.string() + ".txt"), ec);
    if (!exists) return base;
    if (ui.askYesNo(MessageBuilder().idArg(numbered ? 344 : 343, base.string()), false, Icon::Question))
      return base;
  }
}

ExportSessionInfo exportSessionInfo(const AnalysisSession& session) {
  ExportSessionInfo info;
  // The session folder is <root>/Clients/<client>/Sess<nnnn>.
  info.dataRoot = session.folder.parent_path().parent_path().parent_path();
  info.clientId = session.clientId;
  info.sessionId = session.sessionId;
  info.openSession = session.openSession;
  if (!session.openSession) info.scriptName = sessionScriptName(info.dataRoot, info.clientId, info.sessionId);
  return info;
}

bool writeExport(const ExportSources& src, const ExportOptions& o, const fs::path& base, UserInterface& ui,
                 std::int32_t codePage) {
  if (!src.session) return false;
  const AnalysisSession& s = *src.session;
  const std::int32_t cp = codePage < 0 ? exportCodePage() : effectiveCodePage(codePage);
  const LocaleSeparators& sep = localeSeparators();
  const bool numbered = o.kind == ExportKind::Ibi && o.filePerEpoch;
  const std::string headerText = o.header ? exportHeaderText(o.titleId != 0 ? o.titleId : exportKindTitle(o.kind), src.info) : std::string();

  IbiLineFormat f;
  f.integerIbi = o.integerIbi;
  f.timeColumn = o.timeColumn;
  f.decimal = sep.decimal;
  f.list = sep.list;
  IbiExportInput in;
  in.series = o.signal == 1 ? (s.bvp ? &*s.bvp : nullptr) : (s.ekg ? &*s.ekg : nullptr);
  in.openSession = s.openSession;
  in.epochSeconds = s.settings.epochTime;
  in.recordedActivities = s.protocol ? s.protocol->activities.size() : 0;
  in.signal = o.signal;

  if (numbered) return writeIbiNumberedFiles(base, headerText, in, o.header, f, ui, cp);

  const fs::path path(base.string() + ".txt");
  ExportFile file(cp);
  if (!file.open(path)) {
    showCannotCreate(ui, path);
    return false;
  }
  file.WriteByteOrderMark();
  if (o.header) file.WriteExportLine(std::string_view(headerText));
  static const EpochResults kNoResults;
  const EpochResults& r = src.results ? *src.results : kNoResults;
  switch (o.kind) {
    case ExportKind::Ibi:
      writeIbiSingleFile(file, in, o.header, f);
      break;
    case ExportKind::Periodic:
      writeTableExport(file, hrvTextTable(s, r, sep.decimal), o.header, !s.openSession,
                       s.settings.statisticOption, sep.list);
      break;
    case ExportKind::Standard:
      writeTableExport(file, signalTextTable(s, r, sep.decimal), o.header, !s.openSession,
                       s.settings.statisticOption, sep.list);
      break;
    case ExportKind::Session:
      writeSessionExport(file, sessionTextTable(s, r, sep.decimal), o.header, sep.list);
      break;
  }
  if (!file.close()) {
    showCannotCreate(ui, path);
    return false;
  }
  return true;
}

bool runExportCommand(const ExportSources& src, UserInterface& ui, const ExportOptionsDialog& dialog) {
  if (!src.session) return false;
  const ExportableSeries series = exportableSeries(*src.session);
  if (series == ExportableSeries::None) {
    // Nothing could be written after the file is made: say so before asking.
    ui.showMessage(messageOf(kNoSeriesId), Icon::Warning);
    return false;
  }
  ExportTypeModel model(series, !src.session->openSession, exportCodePage(), exportHeaderFlag());
  std::optional<ExportOptions> options = dialog(model);
  if (!options) return false;
  setExportCodePage(model.codePage());
  setExportHeaderFlag(options->header);
  const bool numbered = options->kind == ExportKind::Ibi && options->filePerEpoch;
  std::optional<fs::path> base = chooseExportBase(ui, rememberedExportFolders(), 0, numbered);
  if (!base) return false;
  return writeExport(src, *options, *base, ui);
}

}  // namespace rc
