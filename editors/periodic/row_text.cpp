#include "editors/periodic/row_text.h"

#include <cmath>
#include <cstdint>

#include "support/format.h"
#include "support/locale.h"

namespace rc {

std::string formatRowTime(float seconds, char decimal) {
  double t = std::isfinite(seconds) && seconds > 0.0f ? static_cast<double>(seconds) : 0.0;
  // Clamp to what "%02d" of the hours can show sensibly (over 11 years).
  if (t > 1.0e8) t = 1.0e8;
  const auto w = static_cast<std::int64_t>(t);
  const auto hours = static_cast<int>(w / 3600);
  const auto minutes = static_cast<int>((w % 3600) / 60);
  const double secs = (t - static_cast<double>(w)) + static_cast<double>((w % 3600) % 60);
  std::string s = strprintf("%02d:%02d:%06.3f", hours, minutes, secs);
  if (decimal != '.') {
    for (char& c : s)
      if (c == '.') c = decimal;
  }
  return s;
}

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int digitPair(std::string_view t, std::size_t at) { return (t[at] - '0') * 10 + (t[at + 1] - '0'); }
}  // namespace

std::optional<float> parseRowTime(std::string_view text, char decimal) {
  if (text.size() < 8) return std::nullopt;
  if (text[2] != ':' || text[5] != ':') return std::nullopt;
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
    if (!isDigit(text[i])) return std::nullopt;
  double fraction = 0.0;
  if (text.size() > 8) {
    if (text[8] != decimal && text[8] != '.') return std::nullopt;
    double digits = 0.0;
    double scale = 1.0;
    for (std::size_t i = 9; i < text.size(); ++i) {
      if (!isDigit(text[i])) return std::nullopt;
      if (i < 9 + 15) {
        digits = digits * 10.0 + (text[i] - '0');
        scale *= 10.0;
      }
    }
    fraction = digits / scale;
  }
  const double value = digitPair(text, 0) * 3600.0 + digitPair(text, 3) * 60.0 + digitPair(text, 6) + fraction;
  return static_cast<float>(value);
}

std::string formatRowInterval(double milliseconds) { return strprintf("%.6f", milliseconds); }

std::optional<double> parseRowInterval(std::string_view text) {
  auto v = parseReal(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

}  // namespace rc
