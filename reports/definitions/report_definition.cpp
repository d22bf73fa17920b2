#include "reports/definitions/report_definition.h"

#include <algorithm>
#include <cctype>

#include "support/locale.h"
#include "support/utf.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string textOf(CXMLMarkup& doc, const char* key) {
  doc.ResetPos();
  if (!doc.FindElem() || !doc.FindChildElem(std::string_view(key))) return {};
  return doc.GetChildDataUtf8();
}

int intOf(CXMLMarkup& doc, const char* key) {
  const auto v = parseInteger(textOf(doc, key));
  return v && *v >= -0x7FFFFFFF && *v <= 0x7FFFFFFF ? static_cast<int>(*v) : 0;
}

}  // namespace

const std::vector<std::string>& definitionKeys() {
  static const std::vector<std::string> keys = {
      "Description",    "Category",  "SessionType",  "FileName",         "IBIFileName",
      "PeriodicStatFileName", "StandStatFileName", "SessionStatFileName", "ExcelFileName", "EpochTime",
      "NNInterval",     "Units",     "StatisticOptions", "DateModified", "SignalType",
      "Header",         "TextFileType", "TimeColumn", "IntegerIBI",       "FilePerEpoch"};
  return keys;
}

ReportDefinition readDefinition(CXMLMarkup& doc) {
  ReportDefinition d;
  d.description = textOf(doc, "Description");
  d.category = textOf(doc, "Category");
  d.sessionType = intOf(doc, "SessionType");
  d.fileName = textOf(doc, "FileName");
  d.ibiFileName = textOf(doc, "IBIFileName");
  d.periodicStatFileName = textOf(doc, "PeriodicStatFileName");
  d.standStatFileName = textOf(doc, "StandStatFileName");
  d.sessionStatFileName = textOf(doc, "SessionStatFileName");
  d.excelFileName = textOf(doc, "ExcelFileName");
  d.epochTime = intOf(doc, "EpochTime");
  d.nnInterval = intOf(doc, "NNInterval");
  d.units = intOf(doc, "Units");
  d.statisticOptions = intOf(doc, "StatisticOptions");
  d.dateModified = textOf(doc, "DateModified");
  d.signalType = intOf(doc, "SignalType");
  d.header = intOf(doc, "Header");
  d.textFileType = intOf(doc, "TextFileType");
  d.timeColumn = intOf(doc, "TimeColumn");
  d.integerIbi = intOf(doc, "IntegerIBI");
  d.filePerEpoch = intOf(doc, "FilePerEpoch");
  return d;
}

ReportDefinition loadDefinition(const fs::path& file) {
  CXMLMarkup doc;
  doc.Load(file);
  return readDefinition(doc);
}

bool writeDefinition(CXMLMarkup& doc, const ReportDefinition& d) {
  doc.ResetPos();
  if (!doc.FindElem()) return false;
  auto put = [&](const char* key, const std::string& v) { return doc.WriteChildData(key, v); };
  auto num = [&](const char* key, int v) { return doc.WriteChildData(key, std::to_string(v)); };
  return put("Description", d.description) && put("Category", d.category) && num("SessionType", d.sessionType) &&
         put("FileName", d.fileName) && put("IBIFileName", d.ibiFileName) &&
         put("PeriodicStatFileName", d.periodicStatFileName) && put("StandStatFileName", d.standStatFileName) &&
         put("SessionStatFileName", d.sessionStatFileName) && put("ExcelFileName", d.excelFileName) &&
         num("EpochTime", d.epochTime) && num("NNInterval", d.nnInterval) && num("Units", d.units) &&
         num("StatisticOptions", d.statisticOptions) && put("DateModified", d.dateModified) &&
         num("SignalType", d.signalType) && num("Header", d.header) && num("TextFileType", d.textFileType) &&
         num("TimeColumn", d.timeColumn) && num("IntegerIBI", d.integerIbi) && num("FilePerEpoch", d.filePerEpoch);
}

bool isWorkbookName(const std::string& name) {
  const std::string l = lower(name);
  const std::size_t dot = l.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string ext = l.substr(dot);
  return ext.rfind(".xls", 0) == 0 || ext == ".ods";
}

ReportsFolderScan scanReportsFolder(const fs::path& folder, const std::optional<std::string>& filter) {
  ReportsFolderScan scan;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return scan;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    if (isWorkbookName(name)) {
      scan.workbooks.push_back(name);
    } else if (lower(it->path().extension().string()) == ".xml") {
      DefinitionRecord r{it->path(), loadDefinition(it->path())};
      if (filter && r.definition.category != *filter) continue;
      scan.definitions.push_back(std::move(r));
    }
  }
  std::sort(scan.workbooks.begin(), scan.workbooks.end());
  std::sort(scan.definitions.begin(), scan.definitions.end(),
            [](const DefinitionRecord& a, const DefinitionRecord& b) { return a.file < b.file; });
  return scan;
}

bool hasForbiddenNameChar(const std::string& name) {
  for (unsigned char c : name)
    if (c < 0x20 || std::string_view("\\/:*?\"<>%|").find(static_cast<char>(c)) != std::string_view::npos)
      return true;
  return false;
}

std::string normaliseExportName(const std::string& name, bool perEpochIbi) {
  const std::size_t dot = name.rfind('.');
  if (perEpochIbi) return dot == std::string::npos ? name : name.substr(0, dot);
  if (dot == std::string::npos) return name + ".txt";
  return name.substr(0, dot + 1) + "txt";
}

std::optional<std::string> safeExportName(const std::string& raw, bool perEpochIbi) {
  const std::string name = trim(raw);
  if (name.empty() || name == "." || name == ".." || name.front() == '.' || hasForbiddenNameChar(name))
    return std::nullopt;
  std::string n = normaliseExportName(name, perEpochIbi);
  if (n.empty() || n.front() == '.') return std::nullopt;
  return n;
}

std::optional<fs::path> findNoCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  if (fs::exists(folder / name, ec)) return folder / name;
  const std::string l = lower(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (lower(it->path().filename().string()) == l) return it->path();
  return std::nullopt;
}

std::optional<fs::path> workbookToOpen(const fs::path& folder, const std::string& raw) {
  const std::string name = trim(raw);
  if (name.empty() || name.front() == '.' || hasForbiddenNameChar(name) || !isWorkbookName(name)) return std::nullopt;
  auto found = findNoCase(folder, name);
  std::error_code ec;
  // A link could lead anywhere: only a plain file of the folder is opened.
  if (!found || fs::is_symlink(*found, ec) || !fs::is_regular_file(*found, ec)) return std::nullopt;
  return found;
}

int definitionEpochSeconds(int epochTime) {
  return epochTime == 60 || epochTime == 180 || epochTime == 600 ? epochTime : 300;
}

}  // namespace rc
