#pragma once
// printf-style formatting for texts the program itself composes, and safe
// substitution of one argument into texts that come from outside (the
// language table): such texts are never used as printf formats.
#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

namespace rc {

// printf into a std::string. The format must be a literal of the program.
std::string strprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* fmt, va_list ap);

using FormatArg = std::variant<long long, double, std::string>;

// Replaces the first conversion of text (a printf conversion such as "%d",
// "%s", "%.2f", "%5u") or the positional "%1" by arg, formatted as that
// conversion asks; "%%" becomes "%"; every other "%" stays as it is.
// A mismatch between conversion and argument type converts the argument
// (an integer for "%s" prints in decimal, a string for "%d" prints as is).
std::string substituteArg(const std::string& text, const FormatArg& arg);

// Replaces the first two conversions in order, or "%1" and "%2" wherever they stand.
std::string substituteArgs(const std::string& text, const FormatArg& a, const FormatArg& b);

// Replaces the first conversions in order (or "%1".."%9" wherever they
// stand) by the arguments. Arguments are never scanned for conversions.
std::string substituteArgs(const std::string& text, std::initializer_list<FormatArg> args);

// "%%" -> "%" without any argument (headers such as "LF (%%)").
std::string collapsePercents(const std::string& text);

}  // namespace rc
