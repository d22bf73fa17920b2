#pragma once
// The two texts of an edit-list row: the start time of the interval as
// "hh:mm:ss.fff" and the interval in milliseconds as "%.6f".
//
// The time text is written and read back with the same decimal separator
// (the user's, read once at start), so a row always reads back whatever the
// C library's numeric locale is. Interval texts are written with "." and read
// with "." or ",".
#include <optional>
#include <string>
#include <string_view>

namespace rc {

// "%02d:%02d:%06.3f" from hours, minutes and seconds: with w the time
// truncated to whole seconds, hours = w / 3600, minutes = (w mod 3600) / 60,
// seconds = (time - w) + (w mod 3600) mod 60. Times below 0 are written as 0.
std::string formatRowTime(float seconds, char decimal);

// Reads a row time text back: at least 8 characters, ':' at the 3rd and 6th,
// digits at characters 1, 2, 4, 5, 7 and 8; a longer text has the decimal
// separator (or '.') 9th and only digits after it. The value is hours x 3600
// + minutes x 60 + seconds + the fraction, as a 32-bit float of seconds.
std::optional<float> parseRowTime(std::string_view text, char decimal);

// "%.6f" of an interval in milliseconds (C locale).
std::string formatRowInterval(double milliseconds);

// Column 1 read as a number (either separator); nullopt when it is none or not finite.
std::optional<double> parseRowInterval(std::string_view text);

}  // namespace rc
