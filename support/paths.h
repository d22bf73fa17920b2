#pragma once
// The program folder: where the language table, templates and the host's
// database images are found. Fixed once per run.
#include <filesystem>

namespace rc {

// The first of: $RHYTHMCRAFT_PROGRAM_DIR; the folder of the running executable
// when it holds the language table; its "../share/rhythmcraft" (an installed
// run); the current directory. Read once and kept.
const std::filesystem::path& programFolder();

// Overrides the program folder (tests, and the command line tool's --program-dir).
void setProgramFolder(const std::filesystem::path& folder);

}  // namespace rc
