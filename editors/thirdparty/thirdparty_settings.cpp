#include "editors/thirdparty/thirdparty_settings.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <system_error>

#include "support/format.h"
#include "support/xml_markup.h"
#include "support/utf.h"

namespace rc {

namespace {

constexpr const char* kRootName = "ExternalIBIFileSettings";

// Leading blanks, an optional sign and the digits; text without digits is
// missing (the key keeps its default).
std::optional<long long> readInt(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  long long v = 0;
  bool digits = false;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    digits = true;
    v = std::min<long long>(v * 10 + (t[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (!digits) return std::nullopt;
  return negative ? -v : v;
}

int toSwitch(int v) { return v != 0 ? 1 : 0; }

struct Key {
  const char* name;
  int ThirdPartySettings::*field;
};

constexpr Key kIntKeys[] = {
    {"HeaderLines", &ThirdPartySettings::headerLines}, {"Columns", &ThirdPartySettings::columns},
    {"Position", &ThirdPartySettings::position},       {"TimeColumn", &ThirdPartySettings::timeColumn},
    {"IntegerIBI", &ThirdPartySettings::integerIbi},   {"Header", &ThirdPartySettings::header},
    {"EpochTime", &ThirdPartySettings::epochTime},     {"NNInterval", &ThirdPartySettings::nnInterval},
    {"BandUnits", &ThirdPartySettings::bandUnits},     {"StatOptions", &ThirdPartySettings::statOptions},
};

}  // namespace

ThirdPartySettings clampedSettings(ThirdPartySettings s) {
  const ThirdPartySettings d;
  s.headerLines = std::clamp(s.headerLines, 0, 100);
  s.columns = toSwitch(s.columns);
  s.position = toSwitch(s.position);
  if (s.separator != ',' && s.separator != '\t') s.separator = '\t';
  s.timeColumn = toSwitch(s.timeColumn);
  s.integerIbi = toSwitch(s.integerIbi);
  s.header = toSwitch(s.header);
  if (s.epochTime != 60 && s.epochTime != 180 && s.epochTime != 300 && s.epochTime != 600)
    s.epochTime = d.epochTime;
  if (s.nnInterval < 1) s.nnInterval = d.nnInterval;
  if (s.bandUnits < 0 || s.bandUnits > 2) s.bandUnits = d.bandUnits;
  s.statOptions = toSwitch(s.statOptions);
  return s;
}

std::filesystem::path thirdPartySettingsPath(const std::filesystem::path& programFolder) {
  return programFolder / kThirdPartySettingsFileName;
}

LoadedThirdPartySettings loadThirdPartySettings(const std::filesystem::path& file) {
  LoadedThirdPartySettings out;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return out;
  CXMLMarkup doc;
  if (!doc.Load(file)) return out;
  out.existed = true;
  doc.ResetPos();
  if (!doc.FindElem()) return out;
  ThirdPartySettings& s = out.settings;
  for (const Key& k : kIntKeys) {
    doc.ResetChildPos();
    if (!doc.FindChildElem(std::string_view(k.name))) continue;
    if (auto v = readInt(doc.GetChildDataUtf8()))
      s.*k.field = static_cast<int>(std::clamp<long long>(*v, INT_MIN, INT_MAX));
  }
  doc.ResetChildPos();
  if (doc.FindChildElem(std::string_view("ColumnSeparator")))
    s.separator = doc.GetChildDataUtf8() == "," ? ',' : '\t';
  s = clampedSettings(s);
  return out;
}

std::string thirdPartySettingsDocument(const ThirdPartySettings& in) {
  const ThirdPartySettings s = clampedSettings(in);
  std::string doc = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<") + kRootName + ">\n";
  auto line = [&doc](const char* key, const std::string& value) {
    doc += strprintf("  <%s>%s</%s>\n", key, value.c_str(), key);
  };
  line("HeaderLines", strprintf("%d", s.headerLines));
  line("Columns", strprintf("%d", s.columns));
  line("Position", strprintf("%d", s.position));
  line("ColumnSeparator", s.separator == ',' ? "," : "\t");
  line("TimeColumn", strprintf("%d", s.timeColumn));
  line("IntegerIBI", strprintf("%d", s.integerIbi));
  line("Header", strprintf("%d", s.header));
  line("EpochTime", strprintf("%d", s.epochTime));
  line("NNInterval", strprintf("%d", s.nnInterval));
  line("BandUnits", strprintf("%d", s.bandUnits));
  line("StatOptions", strprintf("%d", s.statOptions));
  doc += std::string("</") + kRootName + ">\n";
  return doc;
}

bool saveThirdPartySettings(const std::filesystem::path& file, const ThirdPartySettings& in) {
  const ThirdPartySettings s = clampedSettings(in);
  // Keys are written into the existing document, so whatever else it holds stays.
  CXMLMarkup doc;
  doc.Load(file);
  doc.ResetPos();
  if (!doc.FindElem()) return doc.SetDoc(fromUtf8(thirdPartySettingsDocument(s))) && doc.Save(file);
  const std::pair<const char*, std::string> values[] = {
      {"HeaderLines", strprintf("%d", s.headerLines)},
      {"Columns", strprintf("%d", s.columns)},
      {"Position", strprintf("%d", s.position)},
      {"ColumnSeparator", s.separator == ',' ? "," : "\t"},
      {"TimeColumn", strprintf("%d", s.timeColumn)},
      {"IntegerIBI", strprintf("%d", s.integerIbi)},
      {"Header", strprintf("%d", s.header)},
      {"EpochTime", strprintf("%d", s.epochTime)},
      {"NNInterval", strprintf("%d", s.nnInterval)},
      {"BandUnits", strprintf("%d", s.bandUnits)},
      {"StatOptions", strprintf("%d", s.statOptions)},
  };
  for (const auto& [key, value] : values) {
    if (!doc.WriteChildData(key, value)) return false;
  }
  return doc.Save(file);
}

}  // namespace rc
