#include "analysis/protocol/settings.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "support/locale.h"
#include "support/xml_markup.h"
#include "support/xml_utf8.h"

namespace rc {

namespace {

// Decimal conversion as the configuration file has always been read: leading
// blanks, an optional sign and the digits; anything after them is ignored and
// text without digits reads as 0. Values beyond the int range saturate.
int readInt(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  long long v = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    v = v * 10 + (t[i] - '0');
    if (v > INT_MAX) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

double readReal(std::string_view t) {
  const std::optional<double> v = parseReal(t);
  return v ? *v : 0.0;
}

// Makes "Settings" of the root element the main position; creates the
// element when create is set and it is missing.
bool enterSettings(CXMLMarkup& doc, bool create) {
  doc.ResetPos();
  if (!doc.FindElem()) return false;
  if (!doc.FindChildElem(u"Settings")) {
    if (!create || !doc.AddChildElem(u"Settings")) return false;
  }
  return doc.IntoElem();
}

std::string readKey(CXMLMarkup& doc, std::string_view key) {
  doc.ResetChildPos();
  return doc.FindChildElem(key) ? doc.GetChildDataUtf8() : std::string();
}

bool writeKey(CXMLMarkup& doc, std::string_view key, const std::string& text) {
  return enterSettings(doc, true) && doc.WriteChildData(key, text);
}

double validResolution(double v) { return std::isfinite(v) && v > 0.0 ? v : 0.0; }

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

int deriveIbiSource(bool ekgSelected, bool bvpSelected) {
  if (ekgSelected && bvpSelected) return kSourceBoth;
  return ekgSelected ? kSourceEkg : kSourceBvp;
}

std::string formatSettingReal(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 3);
  if (ec != std::errc()) return "0.000";
  return std::string(buf, end);
}

AnalysisSettings loadAnalysisSettings(CXMLMarkup& doc, bool ekgSelected, bool bvpSelected) {
  AnalysisSettings s;
  const bool found = enterSettings(doc, false);
  auto i = [&](std::string_view key) { return found ? readInt(readKey(doc, key)) : 0; };
  auto r = [&](std::string_view key) { return found ? readReal(readKey(doc, key)) : 0.0; };

  s.ibiFromEkgType = i("IBIFromEKGType");
  s.ibiFromBvpType = i("IBIFromBVPType");
  s.respirationOption = i("RespirationOption");
  s.averagingFactor = i("AveragingFactor");
  s.timeFrame = i("TimeFrame");
  s.epochTime = i("EpochTime");
  s.nnInterval = i("NNInterval");
  s.bandUnits = i("BandUnits");
  s.horizOffset = i("HorizOffset");
  s.vertOffset = i("VertOffset");
  s.zoom = i("Zoom");
  s.elevation = i("Elevation");
  s.rotation = i("Rotation");
  s.resolutions.heartRate = r("HeartRateResolution");
  s.resolutions.respRate = r("RespRateResolution");
  s.resolutions.maxMin = r("MaxMinResolution");
  s.resolutions.sc = r("SCResolution");
  s.resolutions.temp = r("TempResolution");
  s.resolutions.emg = r("EMGResolution");
  s.statisticOption = i("StatisticOption");
  s.variation = r("Variation");
  s.ibiSource = i("Setting1");
  doc.ResetPos();

  if (!inRange(s.ibiFromEkgType, 0, 1)) s.ibiFromEkgType = 0;
  if (!inRange(s.ibiFromBvpType, 0, 1)) s.ibiFromBvpType = 0;
  if (!inRange(s.respirationOption, 0, 1)) s.respirationOption = 0;
  s.averagingFactor = std::clamp(s.averagingFactor, 1, 256);
  if (s.timeFrame < 0) s.timeFrame = 0;
  if (std::find(std::begin(kEpochLengths), std::end(kEpochLengths), s.epochTime) == std::end(kEpochLengths))
    s.epochTime = kDefaultEpochTime;
  if (s.nnInterval < 0) s.nnInterval = 0;
  if (!inRange(s.bandUnits, 0, 2)) s.bandUnits = 0;
  ModeResolutions& m = s.resolutions;
  for (double* v : {&m.heartRate, &m.respRate, &m.maxMin, &m.sc, &m.temp, &m.emg}) *v = validResolution(*v);
  if (!inRange(s.statisticOption, 0, 1)) s.statisticOption = 0;
  if (!std::isfinite(s.variation) || s.variation < 10.0 || s.variation > 100.0)
    s.variation = kDefaultVariation;
  if (!inRange(s.ibiSource, 1, 3)) s.ibiSource = deriveIbiSource(ekgSelected, bvpSelected);
  return s;
}

SettingsEffects effectsOfChange(const AnalysisSettings& a, const AnalysisSettings& b) {
  SettingsEffects e;
  e.regenerateEkgIbi = a.ibiFromEkgType != b.ibiFromEkgType;
  e.regenerateBvpIbi = a.ibiFromBvpType != b.ibiFromBvpType;
  e.regenerateRespiration = a.respirationOption != b.respirationOption;
  e.regenerateRms = a.averagingFactor != b.averagingFactor;
  e.reloadSources = a.ibiSource != b.ibiSource;
  e.recompute = !(a == b);
  return e;
}

bool writeSettingInt(CXMLMarkup& doc, std::string_view key, int value) {
  return writeKey(doc, key, std::to_string(value));
}

bool writeSettingReal(CXMLMarkup& doc, std::string_view key, double value) {
  return writeKey(doc, key, formatSettingReal(value));
}

SettingsSaveOutcome saveChangedSettings(CXMLMarkup& doc, const std::filesystem::path& file,
                                        const AnalysisSettings& a, const AnalysisSettings& b) {
  SettingsSaveOutcome out;
  out.effects = effectsOfChange(a, b);
  if (!out.effects.recompute) return out;
  bool ok = true;
  auto wi = [&](const char* key, int x, int y) {
    if (x != y) ok = writeSettingInt(doc, key, y) && ok;
  };
  auto wr = [&](const char* key, double x, double y) {
    if (x != y) ok = writeSettingReal(doc, key, y) && ok;
  };
  wi("IBIFromEKGType", a.ibiFromEkgType, b.ibiFromEkgType);
  wi("IBIFromBVPType", a.ibiFromBvpType, b.ibiFromBvpType);
  wi("RespirationOption", a.respirationOption, b.respirationOption);
  wi("AveragingFactor", a.averagingFactor, b.averagingFactor);
  wi("TimeFrame", a.timeFrame, b.timeFrame);
  wi("EpochTime", a.epochTime, b.epochTime);
  wi("NNInterval", a.nnInterval, b.nnInterval);
  wi("BandUnits", a.bandUnits, b.bandUnits);
  wi("HorizOffset", a.horizOffset, b.horizOffset);
  wi("VertOffset", a.vertOffset, b.vertOffset);
  wi("Zoom", a.zoom, b.zoom);
  wi("Elevation", a.elevation, b.elevation);
  wi("Rotation", a.rotation, b.rotation);
  wr("HeartRateResolution", a.resolutions.heartRate, b.resolutions.heartRate);
  wr("RespRateResolution", a.resolutions.respRate, b.resolutions.respRate);
  wr("MaxMinResolution", a.resolutions.maxMin, b.resolutions.maxMin);
  wr("SCResolution", a.resolutions.sc, b.resolutions.sc);
  wr("TempResolution", a.resolutions.temp, b.resolutions.temp);
  wr("EMGResolution", a.resolutions.emg, b.resolutions.emg);
  wi("StatisticOption", a.statisticOption, b.statisticOption);
  wr("Variation", a.variation, b.variation);
  wi("Setting1", a.ibiSource, b.ibiSource);
  doc.ResetPos();
  if (!ok) {
    out.saved = Status::error("the configuration document has no root element");
    return out;
  }
  if (!doc.Save(file)) out.saved = Status::error(doc.GetErrorUtf8());
  return out;
}

}  // namespace rc
