#pragma once
// The two exports of the third-party editor: the IBI text file and the
// periodic statistics file. Both use the user's list separator between
// fields and decimal separator in numbers, CR LF line ends, and are written
// through the atomic writer (a failure leaves no half-written file).
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/ui.h"

namespace rc {

struct ThirdPartyIbiExport {
  bool integerIbi = false;  // whole numbers, 0.5 rounded up
  bool timeColumn = false;  // the start time of each interval, s
  bool header = true;
};

struct ThirdPartyStatsExport {
  int epochSeconds = 60;
  int nnInterval = 50;  // ms
  int bandUnits = 0;    // 0 absolute, 1 normalised, 2 percent
  bool averageRow = false;
  bool header = true;
};

// The whole-number form of an interval: truncated, plus 1 when the fraction
// is 0.5 or more.
long long integerIbi(double ms);

// The epoch lengths the statistics export offers for a series of this
// duration (s): 60 always; 180, 300 and 600 when the series is longer.
std::vector<int> thirdPartyEpochChoices(double durationSeconds);

std::string thirdPartyIbiExportText(std::span<const float> values, const ThirdPartyIbiExport& o, char separator,
                                    char decimal);

// nullopt when the series holds no complete epoch of the chosen length.
std::optional<std::string> thirdPartyStatsExportText(std::span<const float> values, const ThirdPartyStatsExport& o,
                                                     char separator, char decimal);

// The save dialog of exports: titled 342, all files or text files, ".txt"
// added after any extension is cut off; an existing file is replaced only
// after question 343 (No asks again). nullopt when cancelled.
std::optional<std::filesystem::path> chooseThirdPartyExportFile(UserInterface& ui,
                                                                const std::filesystem::path& folder,
                                                                const std::string& proposedName);

// Write the exports with the user's separators; 189 with the path when the
// file cannot be written, 283 (and no file) when no epoch is complete.
bool writeThirdPartyIbiExport(const std::filesystem::path& file, std::span<const float> values,
                              const ThirdPartyIbiExport& o, UserInterface& ui);
bool writeThirdPartyStatsExport(const std::filesystem::path& file, std::span<const float> values,
                                const ThirdPartyStatsExport& o, UserInterface& ui);

}  // namespace rc
