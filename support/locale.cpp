#include "support/locale.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace rc {

namespace {
LocaleSeparators g_separators;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}
}  // namespace

LocaleSeparators readUserLocaleSeparators() {
  LocaleSeparators s;
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "")) {
    const lconv* lc = std::localeconv();
    if (lc && lc->decimal_point && lc->decimal_point[0] && !lc->decimal_point[1])
      s.decimal = lc->decimal_point[0];
    if (lc && lc->thousands_sep && lc->thousands_sep[0] && !lc->thousands_sep[1])
      s.thousands = lc->thousands_sep[0];
    else
      s.thousands = s.decimal == ',' ? '.' : ',';
  }
  std::setlocale(LC_NUMERIC, "C");
  (void)saved;
  s.list = s.decimal == ',' ? ';' : ',';
  return s;
}

const LocaleSeparators& localeSeparators() { return g_separators; }
void setLocaleSeparators(const LocaleSeparators& s) { g_separators = s; }

std::string localiseDecimal(std::string formatted, char decimal) {
  if (decimal == '.') return formatted;
  for (char& c : formatted)
    if (c == '.') c = decimal;
  return formatted;
}

std::string localiseDecimal(std::string formatted) {
  return localiseDecimal(std::move(formatted), g_separators.decimal);
}

std::optional<double> parseReal(std::string_view text) {
  text = trim(text);
  if (text.empty() || text.size() > 128) return std::nullopt;
  std::string buf(text);
  for (char& c : buf)
    if (c == ',') c = '.';
  if (buf.find('.') != buf.rfind('.')) return std::nullopt;
  const char* b = buf.c_str();
  if (*b == '+') ++b;
  double v = 0;
  auto [p, ec] = std::from_chars(b, buf.c_str() + buf.size(), v);
  if (ec != std::errc() || p != buf.c_str() + buf.size()) return std::nullopt;
  return v;
}

std::optional<long long> parseInteger(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace rc
