#pragma once
// The settings of IBI text files from other software: the layout of the file
// and the switches of its two exports. They live in "ExternalIBIFileSettings.xml"
// in the program folder, one element per key under the root element. The file
// is read when the command starts and rewritten when the editor closes, but
// only when it existed at the start: this command never creates it.
#include <filesystem>
#include <string>

namespace rc {

inline constexpr const char* kThirdPartySettingsFileName = "ExternalIBIFileSettings.xml";

struct ThirdPartySettings {
  int headerLines = 0;     // 0 .. 100
  int columns = 0;         // 0 one column, 1 two columns
  int position = 0;        // 0 first, 1 second (two columns only)
  char separator = ',';    // ',' or '\t'
  int timeColumn = 0;      // IBI export: write the time column
  int integerIbi = 0;      // IBI export: whole-number intervals
  int header = 1;          // both exports: write the header block
  int epochTime = 60;      // statistics export: 60, 180, 300 or 600 s
  int nnInterval = 50;     // statistics export: NN threshold, ms
  int bandUnits = 0;       // 0 absolute, 1 normalised, 2 percent
  int statOptions = 0;     // 0 a row per epoch, 1 the average row
  bool operator==(const ThirdPartySettings&) const = default;
};

// Brings every value into its range: header lines clamped to 0 .. 100, the
// switches to 0 / 1, an epoch length that is none of the four and band units
// outside 0 .. 2 to their defaults, the NN threshold to 1 .. 1000 ms.
ThirdPartySettings clampedSettings(ThirdPartySettings s);

struct LoadedThirdPartySettings {
  ThirdPartySettings settings;
  bool existed = false;  // the file was there (and is to be rewritten at close)
};

// The settings file of a program folder.
std::filesystem::path thirdPartySettingsPath(const std::filesystem::path& programFolder);

// Reads the file; a missing or unreadable file gives the defaults and
// existed = false. Missing keys keep their defaults; values out of range are
// clamped (clampedSettings).
LoadedThirdPartySettings loadThirdPartySettings(const std::filesystem::path& file);

// Rewrites the file with all eleven keys (atomically; the old file stays when
// writing fails). Returns false on failure.
bool saveThirdPartySettings(const std::filesystem::path& file, const ThirdPartySettings& s);

// The document text as written (the root element and the eleven keys).
std::string thirdPartySettingsDocument(const ThirdPartySettings& s);

}  // namespace rc
