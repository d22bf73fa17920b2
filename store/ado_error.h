#pragma once
// The error of the database access layer, its 32-bit codes, and the message
// that callers show for it.
//
// Every failing call of CADODatabase and CADORecordset throws a CADOException
// by value; catch it by reference. Its text follows one of two layouts:
//
//   database:  "CADODataBase Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n"
//              "\tDescription = %s\nConnection String = <connection string>"
//   recordset: "CADORecordset Error!\nCode = %08lx\nCode meaning: %s\nSource: %s\n"
//              "Description: %s\nTable: %s\nOther Info: %s"
//
// Codes
//   SQLite failures: 0x8A510000 | (extended result code & 0xFFFF). Examples:
//     SQLITE_ERROR 1 -> 8a510001, SQLITE_BUSY 5 -> 8a510005, SQLITE_READONLY 8 -> 8a510008,
//     SQLITE_CANTOPEN 14 -> 8a51000e, SQLITE_CONSTRAINT 19 -> 8a510013, SQLITE_NOTADB 26 -> 8a51001a,
//     SQLITE_CONSTRAINT_UNIQUE 2067 -> 8a510813. The meaning is SQLite's text for the code,
//     the source "SQLite", the description SQLite's message for the failed call.
//   Failures found by the layer itself (source "CADODatabase" or "CADORecordset"):
//     kAdoErrInvalidArgument, kAdoErrNoCurrentRecord, kAdoErrNotAllowed,
//     kAdoErrItemNotFound, kAdoErrDataConversion, kAdoErrObjectClosed below.
//   Any other code means "IDispatch error #n" (n = code - 0x80040200) in the range
//   0x80040200..0x8004FFFF and "Unknown error 0x%0lX" otherwise.
#include <cstdint>
#include <exception>
#include <string>

#include "support/ui.h"

namespace rc {

inline constexpr std::uint32_t kAdoSqliteFacility = 0x8A510000u;
inline constexpr std::uint32_t kAdoErrInvalidArgument = 0x800A0BB9u;  // bad connection string or criterion
inline constexpr std::uint32_t kAdoErrNoCurrentRecord = 0x800A0BCDu;  // no row at the position (BOF or EOF)
inline constexpr std::uint32_t kAdoErrNotAllowed = 0x800A0CB3u;       // editing a read-only recordset
inline constexpr std::uint32_t kAdoErrItemNotFound = 0x800A0CC1u;     // no column of that name
inline constexpr std::uint32_t kAdoErrDataConversion = 0x800A0D5Du;   // value does not fit the asked type
inline constexpr std::uint32_t kAdoErrObjectClosed = 0x800A0E78u;     // database or recordset not open

inline constexpr int kDatabaseErrorStringId = 1052;

std::uint32_t adoCodeOfSqlite(int extendedResultCode);
// The meaning text of a code (see the table above).
std::string adoCodeMeaning(std::uint32_t code);

class CADOException : public std::exception {
 public:
  CADOException(std::uint32_t code, std::string text) : code_(code), text_(std::move(text)) {}
  ~CADOException() override = default;

  std::uint32_t code() const noexcept { return code_; }
  const std::string& text() const noexcept { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::uint32_t code_;
  std::string text_;
};

std::string databaseErrorText(std::uint32_t code, const std::string& source, const std::string& description,
                              const std::string& connectionString);
std::string recordsetErrorText(std::uint32_t code, const std::string& source, const std::string& description,
                               const std::string& table, const std::string& otherInfo);

// The message for a failed database task: language string 1052, a blank line
// and the exception's text.
Message databaseErrorMessage(const CADOException& e);
// Shows databaseErrorMessage(e) with the warning icon.
void reportDatabaseError(UserInterface& ui, const CADOException& e);

}  // namespace rc
