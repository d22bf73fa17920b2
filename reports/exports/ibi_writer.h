#pragma once
// The IBI series export in its three layouts: one file; one numbered file
// per activity of a scripted session; one numbered file per epoch of an open
// session. Each interval is one line: an optional time column (the time of
// the beat that opens the interval, "%.6f" and the column separator) and the
// interval in milliseconds ("%.3f", or a whole number rounded half up).
#include <cstdint>
#include <filesystem>
#include <string>

#include "analysis/series/series.h"
#include "reports/exports/export_text.h"
#include "support/ui.h"

namespace rc {

struct IbiLineFormat {
  bool integerIbi = false;
  bool timeColumn = false;
  char decimal = '.';  // the user's decimal separator
  char list = ',';     // the column separator
};

// The interval's whole-number text: truncated toward zero, plus 1 when the
// rest is at least 0.5.
std::int64_t roundIbi(float value);

// "<time><sep>" when the time column is on, then the interval, then "\n".
void appendIbiLine(std::string& out, double time, float value, const IbiLineFormat& f);

struct IbiExportInput {
  const IntervalSeries* series = nullptr;
  bool openSession = true;
  std::int32_t epochSeconds = 60;
  std::size_t recordedActivities = 0;  // scripted sessions
  int signal = 0;                      // 0 EKG (caption 119), 1 BVP (caption 120)
};

// The caption line: [156 + separator] + 119 or 120 + "\n".
std::string ibiCaptionLine(int signal, const IbiLineFormat& f);

// Layout 1: into the file the caller opened (byte order mark and header
// text already written). With the header flag the caption line comes first.
// An open session ends with the interval that completes its last whole epoch.
void writeIbiSingleFile(ExportFile& file, const IbiExportInput& in, bool header, const IbiLineFormat& f);

// Layouts 2 and 3: base + "%03d" + ".txt" for each activity (scripted) or
// epoch (open). Each file gets the byte order mark and, with the header flag,
// the header text and the caption line. A file that cannot be created or
// written shows message 189 with its path and ends the export; files already
// written stay. Returns true when every file was written.
bool writeIbiNumberedFiles(const std::filesystem::path& base, const std::string& headerText,
                           const IbiExportInput& in, bool header, const IbiLineFormat& f, UserInterface& ui,
                           std::int32_t codePage = exportCodePage());

// The numbered file name: base + "%03d" of number + ".txt".
std::filesystem::path numberedFile(const std::filesystem::path& base, int number);

}  // namespace rc
