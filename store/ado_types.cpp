#include "store/ado_types.h"

#include <cctype>
#include <charconv>

#include "support/format.h"

namespace rc {

namespace {

std::string upperTrimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  std::string out;
  out.reserve(e - b);
  for (std::size_t i = b; i < e; ++i)
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
  return out;
}

bool isOneOf(const std::string& s, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (s == n) return true;
  return false;
}

// Reads exactly `width` decimal digits at s[pos].
std::optional<int> digits(std::string_view s, std::size_t pos, std::size_t width) {
  if (pos + width > s.size()) return std::nullopt;
  int v = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

AdoColumnType adoTypeOfDeclared(std::string_view declared) {
  std::string d = upperTrimmed(declared);
  std::optional<long> size;
  if (auto open = d.find('('); open != std::string::npos) {
    auto close = d.find(')', open);
    std::string inner =
        upperTrimmed(d.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
    long n = 0;
    auto [p, ec] = std::from_chars(inner.data(), inner.data() + inner.size(), n);
    if (ec == std::errc() && n >= 0) size = n;
    d = upperTrimmed(d.substr(0, open));
  }
  if (isOneOf(d, {"SMALLINT", "SHORT", "INTEGER2", "INT2"})) return {adSmallInt, 2};
  if (isOneOf(d, {"INTEGER", "INT", "LONG", "INTEGER4", "INT4", "COUNTER", "AUTOINCREMENT"}))
    return {adInteger, 4};
  if (isOneOf(d, {"REAL", "SINGLE", "FLOAT4", "IEEESINGLE"})) return {adSingle, 4};
  if (isOneOf(d, {"DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT8", "IEEEDOUBLE", "NUMBER"}))
    return {adDouble, 8};
  if (isOneOf(d, {"CURRENCY", "MONEY"})) return {adCurrency, 8};
  if (isOneOf(d, {"DATETIME", "DATE", "TIME", "TIMESTAMP"})) return {adDate, 8};
  if (isOneOf(d, {"BIT", "BOOLEAN", "YESNO", "LOGICAL", "LOGICAL1"})) return {adBoolean, 2};
  if (isOneOf(d, {"BYTE", "TINYINT", "INTEGER1"})) return {adUnsignedTinyInt, 1};
  if (isOneOf(d, {"BIGINT"})) return {adBigInt, 8};
  if (isOneOf(d, {"GUID", "UNIQUEIDENTIFIER"})) return {adGUID, 16};
  if (isOneOf(d, {"DECIMAL", "NUMERIC", "DEC"})) return {adNumeric, 19};
  if (isOneOf(d, {"CHAR", "NCHAR", "CHARACTER"})) return {adWChar, size.value_or(1)};
  if (isOneOf(d, {"VARCHAR", "NVARCHAR", "CHARACTER VARYING", "VARYING CHARACTER", "STRING"}))
    return {adVarWChar, size.value_or(255)};
  if (d == "TEXT") {
    if (size) return {adVarWChar, *size};
    return {adLongVarWChar, 536870910};
  }
  if (isOneOf(d, {"MEMO", "LONGTEXT", "LONGCHAR", "NOTE", "NTEXT", "CLOB"}))
    return {adLongVarWChar, 536870910};
  if (isOneOf(d, {"BLOB", "LONGBINARY", "IMAGE", "OLEOBJECT", "GENERAL"}))
    return {adLongVarBinary, 1073741823};
  return {adEmpty, 0};
}

std::string DbDateTime::text() const {
  if (isNull()) return {};
  return strprintf("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
}

std::optional<DbDateTime> DbDateTime::parse(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  DbDateTime t;
  auto y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
  if (!y || !mo || !d || s[4] != '-' || s[7] != '-') return std::nullopt;
  t.year = *y;
  t.month = *mo;
  t.day = *d;
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month))
    return std::nullopt;
  if (s.size() == 10) return t;
  if (s[10] != ' ' && s[10] != 'T') return std::nullopt;
  auto h = digits(s, 11, 2), mi = digits(s, 14, 2);
  if (!h || !mi || s[13] != ':') return std::nullopt;
  t.hour = *h;
  t.minute = *mi;
  std::size_t end = 16;
  if (s.size() > 16) {
    auto sec = digits(s, 17, 2);
    if (s[16] != ':' || !sec) return std::nullopt;
    t.second = *sec;
    end = 19;
    if (s.size() > 19) {
      if (s[19] != '.') return std::nullopt;
      end = 20;
      while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
    }
  }
  if (end != s.size() || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string stripBrackets(std::string_view name) {
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  return std::string(name);
}

std::string quoteIdentifier(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

}  // namespace rc
