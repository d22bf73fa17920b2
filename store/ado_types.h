#pragma once
// Values, dates and column types of the database access layer.
//
// Host databases are SQLite files whose declared column types carry the
// desktop-database type and size ("SMALLINT", "VARCHAR(50)", "DATETIME" ...).
// The layer reports columns with the type codes and sizes below, derived from
// the declared type alone, so that layouts can be compared column by column.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rc {

// Column type codes.
enum AdoTypeCode : int {
  adEmpty = 0,             // no declared type, or one the layer does not know
  adSmallInt = 2,          // SMALLINT, SHORT: 16-bit integer, size 2
  adInteger = 3,           // INTEGER, INT, LONG, COUNTER: 32-bit integer, size 4
  adSingle = 4,            // REAL, SINGLE: 32-bit float, size 4
  adDouble = 5,            // DOUBLE, FLOAT: 64-bit float, size 8
  adCurrency = 6,          // CURRENCY, MONEY: size 8
  adDate = 7,              // DATETIME, DATE, TIME, TIMESTAMP: size 8
  adBoolean = 11,          // BIT, BOOLEAN, YESNO, LOGICAL: size 2
  adUnsignedTinyInt = 17,  // BYTE, TINYINT: size 1
  adBigInt = 20,           // BIGINT: size 8
  adGUID = 72,             // GUID, UNIQUEIDENTIFIER: size 16
  adNumeric = 131,         // DECIMAL, NUMERIC: size 19
  adWChar = 130,           // CHAR(n), NCHAR(n): fixed text of n characters
  adVarWChar = 202,        // VARCHAR(n), NVARCHAR(n), TEXT(n): text of at most n characters
  adLongVarWChar = 203,    // MEMO, LONGTEXT, NOTE, and TEXT without a size
  adLongVarBinary = 205,   // BLOB, LONGBINARY, IMAGE, OLEOBJECT
};

struct AdoColumnType {
  int type = adEmpty;
  long size = 0;  // characters for text types, bytes otherwise
  bool operator==(const AdoColumnType&) const = default;
};

// Type code and size of a declared SQLite column type (case-insensitive).
// VARCHAR without a size is 255 characters long.
AdoColumnType adoTypeOfDeclared(std::string_view declared);

struct AdoColumn {
  std::string name;
  int type = adEmpty;
  long size = 0;
  bool operator==(const AdoColumn&) const = default;
};

// A calendar date and time of day, stored in the databases as the text
// "YYYY-MM-DD HH:MM:SS". The all-zero value is the NULL date.
struct DbDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;

  bool isNull() const { return year == 0 && month == 0 && day == 0; }
  // "%Y-%m-%d %H:%M:%S"; the empty text for the NULL date.
  std::string text() const;
  // Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" (or "T"
  // between date and time) with optional fractional seconds, which are dropped.
  // Fields out of their calendar range are refused.
  static std::optional<DbDateTime> parse(std::string_view text);
  bool operator==(const DbDateTime&) const = default;
};

// One field value as SQLite holds it.
using DbValue = std::variant<std::monostate, std::int64_t, double, std::string, std::vector<std::uint8_t>>;

inline bool isNull(const DbValue& v) { return std::holds_alternative<std::monostate>(v); }

// Case-insensitive comparison of ASCII names (columns, tables, file names).
bool equalsNoCase(std::string_view a, std::string_view b);

// "[ClientID]" -> "ClientID"; a name without the brackets is returned as it is.
std::string stripBrackets(std::string_view name);

// An SQL identifier in double quotes, embedded quotes doubled.
std::string quoteIdentifier(std::string_view name);

}  // namespace rc
