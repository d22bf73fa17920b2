#include "analysis/protocol/settings_dialog.h"

#include <cmath>

#include "support/format.h"
#include "support/locale.h"
#include "support/xml_markup.h"

namespace rc {

namespace {

// A whole number in [lo, hi], written with or without a zero fraction.
std::optional<int> wholeNumber(const std::string& text, int lo, int hi) {
  const std::optional<double> v = parseReal(text);
  if (!v || !std::isfinite(*v) || *v != std::floor(*v) || *v < lo || *v > hi) return std::nullopt;
  return static_cast<int>(*v);
}

std::string displayReal(double v) {
  std::string t = formatSettingReal(v);
  while (!t.empty() && t.back() == '0') t.pop_back();
  if (!t.empty() && t.back() == '.') t.pop_back();
  return localiseDecimal(t);
}

}  // namespace

SettingsDialogModel SettingsDialogModel::fromSettings(const AnalysisSettings& s) {
  SettingsDialogModel m;
  m.ekgType = s.ibiFromEkgType;
  m.bvpType = s.ibiFromBvpType;
  m.respirationOption = s.respirationOption;
  m.averagingFactor = std::to_string(s.averagingFactor);
  m.nnInterval = std::to_string(s.nnInterval);
  m.variation = displayReal(s.variation);
  if (s.bandUnits >= 2) {
    m.percentOfTotal = true;
    m.unitButton = -1;
  } else {
    m.percentOfTotal = false;
    m.unitButton = s.bandUnits < 0 ? 0 : s.bandUnits;
  }
  m.statisticOption = s.statisticOption;
  m.sourceChoice = s.ibiSource >= 1 && s.ibiSource <= 3 ? s.ibiSource - 1 : 2;
  return m;
}

std::optional<AnalysisSettings> SettingsDialogModel::accept(const AnalysisSettings& loaded,
                                                            UserInterface& ui) const {
  const std::optional<int> averaging = wholeNumber(averagingFactor, 1, 256);
  if (!averaging) {
    ui.showMessage(messageOf(kMsgAveragingFactor), Icon::Warning);
    return std::nullopt;
  }
  const std::optional<int> nn = wholeNumber(nnInterval, 10, 2000);
  if (!nn) {
    ui.showMessage(messageOf(kMsgNnThreshold), Icon::Warning);
    return std::nullopt;
  }
  const std::optional<double> var = parseReal(variation);
  if (!var || !std::isfinite(*var) || *var < 10.0 || *var > 100.0) {
    ui.showMessage(MessageBuilder().idArg(kMsgVariation, 100LL), Icon::Warning);
    return std::nullopt;
  }
  AnalysisSettings s = loaded;
  s.ibiFromEkgType = ekgType;
  s.ibiFromBvpType = bvpType;
  s.respirationOption = respirationOption;
  s.averagingFactor = *averaging;
  s.nnInterval = *nn;
  s.variation = *var;
  s.bandUnits = percentOfTotal ? 2 : (unitButton == 1 ? 1 : 0);
  s.statisticOption = statisticOption;
  s.ibiSource = sourceChoice + 1;
  return s;
}

EpochChangeOutcome changeEpochLength(int seconds, int& epochTime, const std::function<bool()>& recompute,
                                     CXMLMarkup& doc, const std::filesystem::path& file) {
  EpochChangeOutcome out;
  const int previous = epochTime;
  epochTime = seconds;
  if (!recompute()) {
    epochTime = previous;
    recompute();
    return out;
  }
  out.applied = true;
  out.refreshEditor = true;
  if (seconds != previous) {
    out.written = writeSettingInt(doc, "EpochTime", seconds);
    if (!out.written)
      out.saved = Status::error("the configuration document has no root element");
    else if (!doc.Save(file))
      out.saved = Status::error(doc.GetErrorUtf8());
    doc.ResetPos();
  }
  return out;
}

ModeResolutionModel::ModeResolutionModel(const ModeResolutions& current, bool resp, bool sc, bool temp,
                                         bool emg)
    : values_(current) {
  rows_.push_back({ModeSignal::HeartRate, current.heartRate});
  if (resp) rows_.push_back({ModeSignal::RespRate, current.respRate});
  rows_.push_back({ModeSignal::Swing, current.maxMin});
  if (sc) rows_.push_back({ModeSignal::SkinConductance, current.sc});
  if (temp) rows_.push_back({ModeSignal::Temperature, current.temp});
  if (emg) rows_.push_back({ModeSignal::Emg, current.emg});
}

bool ModeResolutionModel::edit(std::size_t row, const std::string& text) {
  if (row >= rows_.size()) return false;
  const std::optional<double> v = parseReal(text);
  if (!v || !std::isfinite(*v) || *v <= 0.0) return false;
  rows_[row].resolution = *v;
  return true;
}

ModeResolutions ModeResolutionModel::values() const {
  ModeResolutions m = values_;
  for (const ModeResolutionRow& r : rows_) {
    switch (r.signal) {
      case ModeSignal::HeartRate:
        m.heartRate = r.resolution;
        break;
      case ModeSignal::RespRate:
        m.respRate = r.resolution;
        break;
      case ModeSignal::Swing:
        m.maxMin = r.resolution;
        break;
      case ModeSignal::SkinConductance:
        m.sc = r.resolution;
        break;
      case ModeSignal::Temperature:
        m.temp = r.resolution;
        break;
      case ModeSignal::Emg:
        m.emg = r.resolution;
        break;
    }
  }
  return m;
}

Status saveModeResolutions(CXMLMarkup& doc, const std::filesystem::path& file, const ModeResolutions& v,
                           AnalysisSettings& settings) {
  settings.resolutions = v;
  bool ok = writeSettingReal(doc, "HeartRateResolution", v.heartRate);
  ok = writeSettingReal(doc, "RespRateResolution", v.respRate) && ok;
  ok = writeSettingReal(doc, "MaxMinResolution", v.maxMin) && ok;
  ok = writeSettingReal(doc, "SCResolution", v.sc) && ok;
  ok = writeSettingReal(doc, "TempResolution", v.temp) && ok;
  ok = writeSettingReal(doc, "EMGResolution", v.emg) && ok;
  doc.ResetPos();
  if (!ok) return Status::error("the configuration document has no root element");
  if (!doc.Save(file)) return Status::error(doc.GetErrorUtf8());
  return Status::ok();
}

}  // namespace rc
