#include "reports/definitions/definition_editor.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "reports/docx/docx_document.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

constexpr int kEpochChoices[] = {60, 180, 300, 600};

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

void warn(UserInterface& ui, int id) { ui.showMessage(messageOf(id), Icon::Warning); }

// New texts of the summary (see the language table).
constexpr int kSummaryTitleId = 6420;
constexpr int kEpochLengthId = 6421;
constexpr int kNnThresholdId = 6422;
constexpr int kUnitsId = 6423;
constexpr int kStepStatisticsId = 6424;
constexpr int kSignalTypeId = 6425;
constexpr int kHeaderId = 6426;
constexpr int kTextTypeId = 6427;
constexpr int kTimeColumnId = 6428;
constexpr int kIntegerIbiId = 6429;
constexpr int kFilePerEpochId = 6430;
constexpr int kIbiFileId = 6431;
constexpr int kPeriodicFileId = 6432;
constexpr int kStandardFileId = 6433;
constexpr int kSessionFileId = 6434;
constexpr int kYesId = 6435;
constexpr int kNoId = 6436;
constexpr int kUnitsAbsoluteId = 6437;
constexpr int kUnitsNormalisedId = 6438;
constexpr int kUnitsPercentId = 6439;
constexpr int kStepEpochsId = 6440;
constexpr int kStepAverageId = 6441;
constexpr int kSessionTypeId = 6442;

}  // namespace

std::string todayText() {
  char buf[64] = "";
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, "%x", &tm);
  return buf;
}

bool documentInUse(const fs::path& file) {
  std::error_code ec;
  const fs::path dir = file.parent_path();
  const std::string name = file.filename().string();
  return fs::exists(dir / (".~lock." + name + "#"), ec) || fs::exists(dir / ("~$" + name), ec) ||
         (name.size() > 2 && fs::exists(dir / ("~$" + name.substr(2)), ec));
}

DefinitionSettingsForm settingsFormOf(const ReportDefinition& d) {
  DefinitionSettingsForm f;
  f.ibi = d.ibiFileName;
  f.periodic = d.periodicStatFileName;
  f.standard = d.standStatFileName;
  f.session = d.sessionStatFileName;
  f.workbook = d.excelFileName;
  f.epochIndex = 2;
  for (int i = 0; i < 4; ++i)
    if (kEpochChoices[i] == d.epochTime) f.epochIndex = i;
  f.nnText = std::to_string(d.nnInterval);
  f.unitsChoice = d.units >= 0 && d.units <= 2 ? d.units : 0;
  f.statisticOptions = d.statisticOptions == 1 ? 1 : 0;
  f.header = d.header != 0;
  f.timeColumn = d.timeColumn != 0;
  f.integerIbi = d.integerIbi != 0;
  f.filePerEpoch = d.filePerEpoch != 0;
  f.signalType = d.signalType == 1 ? 1 : 0;
  f.textFileType = d.textFileType;
  return f;
}

bool acceptDefinitionSettings(DefinitionSettingsForm& f, ReportDefinition& d, UserInterface& ui) {
  std::string* names[] = {&f.ibi, &f.periodic, &f.standard, &f.session};
  for (std::string* n : names) *n = trim(*n);
  if (std::all_of(std::begin(names), std::end(names), [](const std::string* n) { return n->empty(); })) {
    warn(ui, kNoExportNameId);
    return false;
  }
  for (std::string* n : names)
    if (!n->empty() && hasForbiddenNameChar(*n)) {
      warn(ui, kForbiddenCharId);
      return false;
    }
  for (std::string* n : names)
    if (!n->empty()) *n = normaliseExportName(*n, n == &f.ibi && f.filePerEpoch);
  if (trim(f.workbook).empty()) {
    warn(ui, kNoWorkbookId);
    return false;
  }
  const auto nn = parseInteger(f.nnText);
  if (!nn || *nn < 10 || *nn > 2000) {
    warn(ui, kNnRangeId);
    return false;
  }
  d.ibiFileName = f.ibi;
  d.periodicStatFileName = f.periodic;
  d.standStatFileName = f.standard;
  d.sessionStatFileName = f.session;
  d.excelFileName = trim(f.workbook);
  d.epochTime = kEpochChoices[std::clamp(f.epochIndex, 0, 3)];
  d.nnInterval = static_cast<int>(*nn);
  d.units = f.unitsChoice == 2 ? 2 : f.unitsChoice == 1 ? 1 : 0;
  d.statisticOptions = f.statisticOptions == 1 ? 1 : 0;
  d.header = f.header ? 1 : 0;
  if (!f.ibi.empty()) {
    d.timeColumn = f.timeColumn ? 1 : 0;
    d.integerIbi = f.integerIbi ? 1 : 0;
    d.filePerEpoch = f.filePerEpoch ? 1 : 0;
  } else {
    d.timeColumn = 0;
    d.integerIbi = 0;
    d.filePerEpoch = 1;
  }
  d.signalType = f.signalType == 1 ? 1 : 0;
  d.textFileType = f.textFileType;
  return true;
}

std::optional<std::string> acceptSaveDefinition(SaveDefinitionForm& f, const fs::path& reportsFolder,
                                                UserInterface& ui) {
  if (trim(f.description).empty()) {
    warn(ui, kNoDescriptionId);
    return std::nullopt;
  }
  std::string name = trim(f.fileName);
  if (hasForbiddenNameChar(name)) {
    warn(ui, kForbiddenCharId);
    return std::nullopt;
  }
  if (name.empty() || name.front() == '.') {
    warn(ui, kBadFileNameId);
    return std::nullopt;
  }
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    name += ".xml";
  } else if (lower(name.substr(dot)) != ".xml") {
    name = name.substr(0, dot) + ".xml";
    ui.showMessage(messageOf(kExtensionChangedId), Icon::Information);
  }
  f.fileName = name;
  if (auto existing = findNoCase(reportsFolder, name)) {
    if (!ui.askYesNo(MessageBuilder().idArg(kReplaceFileId, name).build(), false, Icon::Question))
      return std::nullopt;
    name = existing->filename().string();  // the file of the same name is replaced, whatever its case
  }
  return name;
}

ExcelReportEditorModel::ExcelReportEditorModel(fs::path programFolder, fs::path dataRoot, EditorMode mode,
                                               std::optional<std::string> filter, UserInterface& ui,
                                               DefinitionEditorDialogs& dialogs)
    : programFolder_(std::move(programFolder)),
      dataRoot_(std::move(dataRoot)),
      mode_(mode),
      filter_(std::move(filter)),
      ui_(ui),
      dialogs_(dialogs) {}

void ExcelReportEditorModel::refill() {
  if (mode_ == EditorMode::Editing) {
    const fs::path settings = dataRoot_ / kAppSettingsName;
    std::error_code ec;
    if (!fs::exists(settings, ec)) {
      ui_.showMessage(MessageBuilder().id(kFileNotOpenedId).text(" ").text(settings.string()).build(), Icon::Warning);
    } else {
      CXMLMarkup doc;
      doc.Load(settings);
      if (doc.FindElem()) {
        if (doc.FindChildElem("CommProtocol")) {
          const auto v = parseInteger(doc.GetChildDataUtf8());
          commProtocol_ = v && *v >= 0 && *v <= 0x7FFFFFFF ? static_cast<int>(*v) : 0;
        }
        doc.ResetChildPos();
        if (doc.FindChildElem("Category")) lastCategory_ = doc.GetChildDataUtf8();
      }
    }
  }
  scan_ = scanReportsFolder(reportsFolder(), mode_ == EditorMode::Selection ? filter_ : std::nullopt);
}

std::vector<std::string> ExcelReportEditorModel::columnHeaders() {
  return {str(114), str(127), str(190), str(112) + " / " + str(111), str(406)};
}

std::vector<std::string> ExcelReportEditorModel::rowTexts(std::size_t row) const {
  if (row >= scan_.definitions.size()) return {};
  const ReportDefinition& d = scan_.definitions[row].definition;
  return {d.description, d.fileName, d.sessionType == kOpenSessionType ? str(373) : str(111), d.category,
          d.dateModified};
}

bool ExcelReportEditorModel::add() { return editFlow(programFolder_ / kDefinitionTemplateName); }

bool ExcelReportEditorModel::edit(std::size_t row) {
  if (row >= scan_.definitions.size()) return false;
  return editFlow(scan_.definitions[row].file);
}

bool ExcelReportEditorModel::editFlow(const fs::path& source) {
  const fs::path working = dataRoot_ / kDefinitionWorkingName;
  auto bytes = readWholeFile(source);
  if (!bytes || !writeFileAtomic(working, std::span<const std::uint8_t>(*bytes))) {
    ui_.showMessage(MessageBuilder().id(kFileNotOpenedId).text(" ").text(source.string()).build(), Icon::Warning);
    return false;
  }
  CXMLMarkup doc;
  doc.Load(working);
  ReportDefinition d = readDefinition(doc);

  const auto choice = dialogs_.chooseProtocol(d, commProtocol_);
  if (!choice) return false;
  if (choice->ekgChannels == 0 && choice->bvpChannels == 0) {
    warn(ui_, kDefinitionNoHeartChannelId);
    return false;
  }
  d.sessionType = choice->sessionType;
  d.category = choice->name;

  std::error_code ec;
  fs::create_directories(reportsFolder(), ec);
  scan_.workbooks = scanReportsFolder(reportsFolder()).workbooks;
  if (!dialogs_.editSettings(d, scan_.workbooks)) return false;
  const auto fileName = dialogs_.saveAs(d, reportsFolder());
  if (!fileName) return false;
  d.fileName = *fileName;
  d.dateModified = todayText();

  if (!doc.FindElem() && !doc.SetDoc(u"<HRVExcelReport/>")) return false;
  if (!writeDefinition(doc, d) || !doc.Save(working)) {
    warn(ui_, kCannotSaveDefinitionId);
    return false;
  }
  auto saved = readWholeFile(working);
  if (!saved || !writeFileAtomic(reportsFolder() / *fileName, std::span<const std::uint8_t>(*saved))) {
    warn(ui_, kCannotSaveDefinitionId);
    return false;
  }
  // The choice is remembered for the next definition (the file is read now,
  // so nothing else written to it meanwhile is lost).
  commProtocol_ = choice->protocolNumber;
  lastCategory_ = choice->name;
  const fs::path settings = dataRoot_ / kAppSettingsName;
  if (fs::exists(settings, ec)) {
    CXMLMarkup app;
    if (app.Load(settings) && app.FindElem()) {
      app.WriteChildData("CommProtocol", strprintf("%d", choice->protocolNumber));
      app.WriteChildData("Category", choice->name);
      if (!app.Save(settings))
        ui_.showMessage(MessageBuilder().id(kFileNotOpenedId).text(" ").text(settings.string()).build(),
                        Icon::Warning);
    }
  }
  refill();
  return true;
}

bool ExcelReportEditorModel::remove(const std::vector<std::size_t>& rows) {
  std::vector<std::size_t> valid;
  for (std::size_t r : rows)
    if (r < scan_.definitions.size() && std::find(valid.begin(), valid.end(), r) == valid.end()) valid.push_back(r);
  if (valid.empty()) {
    warn(ui_, kNothingSelectedId);
    return false;
  }
  if (!ui_.askYesNo(MessageBuilder().idArg(kDeleteQuestionId, static_cast<long long>(valid.size())).build(), false,
                    Icon::Question))
    return false;
  for (std::size_t r : valid) {
    std::error_code ec;
    fs::remove(scan_.definitions[r].file, ec);  // the file the scan found, never the "FileName" key
  }
  refill();
  return true;
}

std::optional<fs::path> ExcelReportEditorModel::chosenFile(std::size_t row) const {
  if (row >= scan_.definitions.size()) return std::nullopt;
  return scan_.definitions[row].file;
}

std::vector<std::string> definitionSummaryGroups(const ReportDefinition& d) {
  auto line = [](const std::string& caption, const std::string& value) { return caption + ": " + value + "\n"; };
  auto yesNo = [](int v) { return str(v ? kYesId : kNoId); };
  std::string g1 = line(str(114), d.description) + line(str(112) + " / " + str(111), d.category) +
                   line(str(kSessionTypeId), d.sessionType == kOpenSessionType ? str(373) : str(111)) +
                   line(str(127), d.fileName);
  std::string g2 = line(str(kIbiFileId), d.ibiFileName) + line(str(kPeriodicFileId), d.periodicStatFileName) +
                   line(str(kStandardFileId), d.standStatFileName) + line(str(kSessionFileId), d.sessionStatFileName) +
                   line(str(388), d.excelFileName);
  const std::string units = d.units == 2   ? str(kUnitsPercentId) + " (%)"
                            : d.units == 1 ? str(kUnitsNormalisedId)
                                           : str(kUnitsAbsoluteId);
  std::string g3 = line(str(kEpochLengthId), strprintf("%d s", d.epochTime)) +
                   line(str(kNnThresholdId), strprintf("%d ms", d.nnInterval)) + line(str(kUnitsId), units) +
                   line(str(kStepStatisticsId), str(d.statisticOptions == 1 ? kStepAverageId : kStepEpochsId)) +
                   line(str(406), d.dateModified) + line(str(kSignalTypeId), str(d.signalType == 1 ? 120 : 119)) +
                   line(str(kHeaderId), yesNo(d.header)) + line(str(kTextTypeId), strprintf("%d", d.textFileType)) +
                   line(str(kTimeColumnId), yesNo(d.timeColumn)) + line(str(kIntegerIbiId), yesNo(d.integerIbi)) +
                   line(str(kFilePerEpochId), yesNo(d.filePerEpoch));
  for (std::string* g : {&g1, &g2, &g3})
    if (!g->empty()) g->pop_back();
  return {g1, g2, g3};
}

Status ExcelReportEditorModel::showSummary(std::size_t row) {
  if (row >= scan_.definitions.size()) {
    warn(ui_, kNothingSelectedId);
    return Status::error(str(kNothingSelectedId));
  }
  const fs::path templ = programFolder_ / "PrintTemplates" / kSummaryTemplateName;
  const fs::path working = dataRoot_ / "Temp" / kSummaryTemplateName;
  if (documentInUse(working)) {
    ui_.showMessage(MessageBuilder().idArg(421, working.string()).build(), Icon::Error);
    return Status::error(str(421));
  }
  auto doc = DocxDocument::open(templ);
  if (!doc) {
    warn(ui_, 348);
    return doc.status();
  }
  const ReportDefinition& d = scan_.definitions[row].definition;
  doc->setBookmarkText("ReportType", str(kSummaryTitleId));
  doc->setBookmarkText("Date", todayText());
  const std::vector<std::string> groups = definitionSummaryGroups(d);
  const char* marks[] = {"Bookmark1", "Bookmark2", "Bookmark3"};
  for (int i = 0; i < 3; ++i) doc->setBookmarkText(marks[i], groups[static_cast<std::size_t>(i)]);
  std::error_code ec;
  fs::create_directories(working.parent_path(), ec);
  if (Status s = doc->save(working); !s) {
    ui_.showMessage(MessageBuilder().idArg(129, working.string()).build(), Icon::Warning);
    return s;
  }
  if (ui_.openDocument(working) != OpenResult::Opened) {
    warn(ui_, 348);
    return Status::error(str(348));
  }
  return Status::ok();
}

}  // namespace rc
