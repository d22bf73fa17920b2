#pragma once
// The reader of IBI text files made by other software (chest straps, phone
// apps, other HRV programs).
//
// Encoding by the first bytes: EF BB BF is UTF-8, FF FE UTF-16 with the low
// byte first, FE FF UTF-16 with the high byte first; without a mark the bytes
// are Windows-1252. Only digits, separators and the characters of section
// names matter, so every character outside ASCII is simply "another
// character". CR LF is a line end like LF; a last line without a line end is
// read like the others.
//
// Layouts:
//  - Lines: the layout of the settings. The first HeaderLines lines are
//    skipped. A line of one character is skipped, and so is a line holding
//    anything but digits, ',', '.', tab and CR. With one column the line is
//    the value; with two, the text before the first separator (first
//    position) or after it (second position).
//  - Inline: after the header lines, values separated by blanks, tabs,
//    commas or semicolons, any number to a line (a phone app's one-line file).
//  - HrmSection: the lines of the "[HRData]" section of a heart-rate monitor
//    file, up to the next section; the first field of each line is the value.
//
// A value is a decimal number ("." is the decimal point, and "," is one too
// when it is not the column separator); reading stops at the first character
// that does not belong to it, whatever the locale. A field without a digit
// and a value of 0 are skipped. Values outside 200 .. 3000 ms are kept and
// counted (with the line of the first).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rc {

enum class IbiTextLayout { Lines, Inline, HrmSection };

struct IbiFileLayout {
  IbiTextLayout kind = IbiTextLayout::Lines;
  int headerLines = 0;
  bool twoColumns = false;
  bool secondPosition = false;
  char separator = ',';  // ',' or '\t'
  bool operator==(const IbiFileLayout&) const = default;
};

enum class IbiTextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

inline constexpr double kPlausibleIbiMin = 200.0;   // ms
inline constexpr double kPlausibleIbiMax = 3000.0;  // ms
// Files of this size or more are refused before anything is read.
inline constexpr std::uint64_t kIbiTextSizeLimit = std::uint64_t{4} << 30;

enum class IbiReadStatus {
  Ok,
  OpenFailed,  // message 189 with the path
  TooLarge,    // message 473
  NoData,      // message 486: no line after the header lines (or no "[HRData]" section)
};

struct IbiTextReadResult {
  IbiReadStatus status = IbiReadStatus::Ok;
  std::string error;  // the system's reason when the file could not be opened
  IbiTextEncoding encoding = IbiTextEncoding::Ansi;
  std::vector<float> values;  // ms, in file order
  std::size_t lineCount = 0;       // lines of the file (a last line without line end counted)
  std::size_t skippedLines = 0;    // data lines (or inline fields) that gave no value
  std::size_t outOfRange = 0;      // values outside 200 .. 3000 ms
  std::size_t firstOutOfRangeLine = 0;  // 1-based line of the first of them, 0 when none
};

// The encoding named by the first bytes.
IbiTextEncoding ibiTextEncoding(std::span<const std::uint8_t> bytes);

// Calls line(text, number) for every line of the text in order, numbers from
// 1, without its line end. ASCII characters are as they are; any other
// character is one or more bytes of 0x7F or above (UTF-8 and Windows-1252
// bytes as they stand, UTF-16 units as 0x7F). Stops when line returns false. A UTF-16 text of odd
// length ignores its last byte.
void forEachIbiTextLine(std::span<const std::uint8_t> bytes,
                        const std::function<bool(std::string_view, std::size_t)>& line);

// The value of one field: leading blanks and tabs, then digits with at most
// one decimal point ('.', or ',' when commaIsDecimal); nullopt when no digit
// starts the field or the value is not above 0 or is too small or too large
// for a single-precision interval.
std::optional<double> parseIbiValue(std::string_view field, bool commaIsDecimal);

// Reads the intervals of file bytes with a layout.
IbiTextReadResult readIbiText(std::span<const std::uint8_t> bytes, const IbiFileLayout& layout);

// Reads a file: its 64-bit size is checked against sizeLimit before anything
// is read, then the file is mapped (never copied or widened whole). An
// allocation failure while reading also gives TooLarge.
IbiTextReadResult readIbiTextFile(const std::filesystem::path& file, const IbiFileLayout& layout,
                                  std::uint64_t sizeLimit = kIbiTextSizeLimit);

namespace testing {
// Makes the next readIbiText (process-wide) fail as if memory ran out.
void failNextIbiTextAllocation();
}  // namespace testing

}  // namespace rc
