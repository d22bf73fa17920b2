#pragma once
// The analysis settings of a session: the values of the "Settings" element of
// the session's configuration file (HRVConfig.xml), their defaults and ranges,
// and what a change of each one requires of the loaded session.
//
// Values are written as "C" text ("%d", reals "%.3f" with a "." whatever the
// locale) and read back accepting "." or "," as the decimal separator.
#include <filesystem>
#include <string>
#include <string_view>

#include "support/status.h"

namespace rc {

class CXMLMarkup;

inline constexpr int kEpochLengths[] = {60, 180, 300, 600};  // s
inline constexpr int kDefaultEpochTime = 60;                 // s
inline constexpr double kDefaultVariation = 20.0;            // % of the IBI mode

// "Setting1": the IBI sources analysed.
inline constexpr int kSourceBvp = 1;
inline constexpr int kSourceEkg = 2;
inline constexpr int kSourceBoth = 3;

// 3 when an EKG and a BVP channel are selected, 2 with an EKG channel only, else 1.
int deriveIbiSource(bool ekgSelected, bool bvpSelected);

// The six histogram bin widths of the mode statistic (0 = no mode).
struct ModeResolutions {
  double heartRate = 0.0;  // beats per minute
  double respRate = 0.0;   // breaths per minute
  double maxMin = 0.0;     // beats per minute of heart-rate swing per breath
  double sc = 0.0;         // microsiemens
  double temp = 0.0;       // degrees
  double emg = 0.0;        // microvolts
  bool operator==(const ModeResolutions&) const = default;
};

struct AnalysisSettings {
  int ibiFromEkgType = 0;     // 0 Basic, 1 Advanced
  int ibiFromBvpType = 0;     // 0 Basic, 1 Advanced
  int respirationOption = 0;  // 0 Fast, 1 Slow
  int averagingFactor = 1;    // samples per RMS value, 1 to 256
  int timeFrame = 0;          // s, visible span of the editor charts
  int epochTime = kDefaultEpochTime;
  int nnInterval = 0;  // ms
  int bandUnits = 0;   // 0 absolute, 1 normalised units, 2 percentage of total power
  int horizOffset = 0;
  int vertOffset = 0;
  int zoom = 0;
  int elevation = 0;
  int rotation = 0;
  ModeResolutions resolutions;
  int statisticOption = 0;  // 0 epochs within steps, 1 average of epochs for whole step
  double variation = kDefaultVariation;
  int ibiSource = kSourceBoth;  // "Setting1"
  bool operator==(const AnalysisSettings&) const = default;
};

// Reads "Settings" of the document's root element. Missing keys read as 0;
// then the defaults apply, and a value outside its range takes its default
// (averaging factor clamped to 1..256), so a damaged file never yields an
// unusable value. The document is not changed.
AnalysisSettings loadAnalysisSettings(CXMLMarkup& doc, bool ekgSelected, bool bvpSelected);

// What the loaded session must do after a settings change.
struct SettingsEffects {
  bool regenerateEkgIbi = false;       // delete and regenerate the IBI-from-EKG files
  bool regenerateBvpIbi = false;       // the same for the IBI-from-BVP files
  bool regenerateRespiration = false;  // the same for the respiration period files
  bool regenerateRms = false;          // the same for the RMS files ("RMS_*.dat")
  bool reloadSources = false;          // read the series of the newly selected IBI sources
  bool recompute = false;              // recompute the statistics and refresh the pages
  bool operator==(const SettingsEffects&) const = default;
};

SettingsEffects effectsOfChange(const AnalysisSettings& before, const AnalysisSettings& after);

// Writes every value of after that differs from before into "Settings"
// (elements that are missing are added) and saves the document to file.
// Nothing is written or saved when nothing changed. The effects are returned
// even when the save fails; the status tells the caller to report it.
struct SettingsSaveOutcome {
  SettingsEffects effects;
  Status saved;
};
SettingsSaveOutcome saveChangedSettings(CXMLMarkup& doc, const std::filesystem::path& file,
                                        const AnalysisSettings& before, const AnalysisSettings& after);

// Writes one key of "Settings" ("%d" / "%.3f" with "."), adding the element
// (and "Settings" itself) when missing. False when the document has no root.
bool writeSettingInt(CXMLMarkup& doc, std::string_view key, int value);
bool writeSettingReal(CXMLMarkup& doc, std::string_view key, double value);

// "%.3f" in the C locale.
std::string formatSettingReal(double value);

}  // namespace rc
