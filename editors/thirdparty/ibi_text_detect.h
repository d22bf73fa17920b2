#pragma once
// "Detect": a proposal of a file's layout from its first lines, shown to the
// user in the layout dialog before the file is read (nothing is guessed
// silently).
//  - A "[HRData]" line makes it the section of a heart-rate monitor file.
//  - Otherwise the header lines are those before the first line that holds a
//    number and nothing but digits, '.', ',', ';', blanks and tabs.
//  - Several values on a line separated by blanks, semicolons or (three or
//    more) commas: the one-line layout.
//  - A tab or a comma: the reading with the most values in 200 .. 3000 ms
//    of one column (comma as decimal point), two columns first and two columns
//    second; a tie keeps the earlier one.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "editors/thirdparty/ibi_text_reader.h"
#include "support/status.h"

namespace rc {

struct IbiLayoutProposal {
  bool recognised = false;  // false: no line of values in the part looked at
  IbiFileLayout layout;
  std::size_t dataLine = 0;      // 1-based line of the first value (0 when none)
  std::vector<float> firstValues;  // up to 5 values read with the proposal
};

// Lines looked at, and bytes read from the start of a file.
inline constexpr std::size_t kDetectLines = 2000;
inline constexpr std::size_t kDetectBytes = 256 * 1024;

IbiLayoutProposal detectIbiLayout(std::span<const std::uint8_t> bytes);
// Reads at most kDetectBytes from the start of the file.
Result<IbiLayoutProposal> detectIbiLayoutOfFile(const std::filesystem::path& file);

// What the proposal says, for the dialog and the command line: one or more
// lines from the language table.
std::string describeIbiLayout(const IbiLayoutProposal& p);

}  // namespace rc
