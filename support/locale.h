#pragma once
// The user's number separators, read once at start. Numbers shown to the user
// and written to exports use them; numbers the program reads back (settings,
// row times, third-party files) are written with "." and parsed in either form.
#include <optional>
#include <string>
#include <string_view>

namespace rc {

struct LocaleSeparators {
  char decimal = '.';
  char thousands = ',';
  char list = ',';  // ";" when the decimal separator is ","
  bool operator==(const LocaleSeparators&) const = default;
};

// Reads the separators of the user's locale (LC_ALL/LC_NUMERIC from the
// environment) and then puts the C library's numeric locale back to "C", so
// that printf and strtod inside the program always use ".".
LocaleSeparators readUserLocaleSeparators();

// The process-wide separators (defaults until set at start-up or by a test).
const LocaleSeparators& localeSeparators();
void setLocaleSeparators(const LocaleSeparators& s);

// Replaces the "." of a number formatted by printf with the user's decimal separator.
std::string localiseDecimal(std::string formatted);
std::string localiseDecimal(std::string formatted, char decimal);

// Parses a real written with "." or "," as the decimal separator, whatever the
// locale; leading and trailing blanks allowed; nothing else may follow.
std::optional<double> parseReal(std::string_view text);

// Parses a decimal integer (optional sign, blanks around).
std::optional<long long> parseInteger(std::string_view text);

}  // namespace rc
