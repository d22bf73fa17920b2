#include "support/format.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace rc {

std::string vstrprintf(const char* fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::vector<char> big(static_cast<std::size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  return std::string(big.data(), static_cast<std::size_t>(n));
}

std::string strprintf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vstrprintf(fmt, ap);
  va_end(ap);
  return s;
}

namespace {

struct Conversion {
  std::size_t length = 0;  // characters of the conversion in the text
  std::string spec;        // flags, width, precision (sanitised)
  char conv = 0;           // d i u x X f F e E g G s c, or 'P' for a positional "%1" .. "%9"
  int position = 0;        // 0-based argument of a positional conversion
};

// Parses a conversion at text[pos] == '%'. Returns length 0 when it is none.
Conversion parseConversion(const std::string& t, std::size_t pos) {
  Conversion c;
  std::size_t i = pos + 1;
  if (i < t.size() && t[i] >= '1' && t[i] <= '9' &&
      (i + 1 >= t.size() || !std::isdigit(static_cast<unsigned char>(t[i + 1])))) {
    c.length = 2;
    c.conv = 'P';
    c.position = t[i] - '1';
    return c;
  }
  std::string spec;
  while (i < t.size() && std::strchr("-+ 0#", t[i])) spec += t[i++];
  int digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && digits < 3) {
    spec += t[i++];
    ++digits;
  }
  if (i < t.size() && t[i] == '.') {
    spec += t[i++];
    digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && digits < 2) {
      spec += t[i++];
      ++digits;
    }
  }
  while (i < t.size() && std::strchr("hlLqjzt", t[i])) ++i;  // length modifiers are ours to choose
  if (i < t.size() && std::strchr("diuxXfFeEgGsc", t[i])) {
    c.conv = t[i];
    c.spec = spec;
    c.length = i + 1 - pos;
  }
  return c;
}

std::string numberAsText(const FormatArg& arg) {
  if (auto p = std::get_if<long long>(&arg)) return strprintf("%lld", *p);
  if (auto p = std::get_if<double>(&arg)) return strprintf("%g", *p);
  return std::get<std::string>(arg);
}

std::string render(const Conversion& c, const FormatArg& arg) {
  const std::string& spec = c.spec;
  std::string fmt = "%" + spec;
  switch (c.conv) {
    case 'P':
      return numberAsText(arg);
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'c': {
      long long v;
      if (auto p = std::get_if<long long>(&arg)) v = *p;
      else if (auto q = std::get_if<double>(&arg)) v = static_cast<long long>(*q);
      else return std::get<std::string>(arg);
      if (c.conv == 'c') return std::string(1, static_cast<char>(v));
      fmt += "ll";
      fmt += (c.conv == 'i' || c.conv == 'u') ? 'd' : c.conv;
      return strprintf(fmt.c_str(), v);  // NOLINT: fmt is built here from checked parts
    }
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
      double v;
      if (auto p = std::get_if<double>(&arg)) v = *p;
      else if (auto q = std::get_if<long long>(&arg)) v = static_cast<double>(*q);
      else return std::get<std::string>(arg);
      fmt += c.conv;
      return strprintf(fmt.c_str(), v);  // NOLINT
    }
    case 's': {
      std::string s = numberAsText(arg);
      // Honour a width for strings ("%-20s"); precision truncates.
      fmt += 's';
      return strprintf(fmt.c_str(), s.c_str());  // NOLINT
    }
  }
  return {};
}

std::string substituteN(const std::string& text, const FormatArg* args, int count) {
  std::string out;
  out.reserve(text.size() + 16);
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    Conversion c = parseConversion(text, i);
    if (c.length && c.conv == 'P' && c.position < count) {
      out += render(c, args[c.position]);
      i += c.length;
      continue;
    }
    if (c.length && c.conv != 'P' && used < count) {
      out += render(c, args[used++]);
      i += c.length;
      continue;
    }
    out += text[i++];
  }
  return out;
}

}  // namespace

std::string substituteArg(const std::string& text, const FormatArg& arg) {
  return substituteN(text, &arg, 1);
}

std::string substituteArgs(const std::string& text, const FormatArg& a, const FormatArg& b) {
  FormatArg args[2] = {a, b};
  return substituteN(text, args, 2);
}

std::string substituteArgs(const std::string& text, std::initializer_list<FormatArg> args) {
  return substituteN(text, args.begin(), static_cast<int>(args.size()));
}

std::string collapsePercents(const std::string& text) { return substituteN(text, nullptr, 0); }

}  // namespace rc
