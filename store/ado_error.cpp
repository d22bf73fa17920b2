#include "store/ado_error.h"

#include <sqlite3.h>

#include "support/format.h"

namespace rc {

std::uint32_t adoCodeOfSqlite(int extendedResultCode) {
  return kAdoSqliteFacility | (static_cast<std::uint32_t>(extendedResultCode) & 0xFFFFu);
}

std::string adoCodeMeaning(std::uint32_t code) {
  if ((code & 0xFFFF0000u) == kAdoSqliteFacility) return sqlite3_errstr(static_cast<int>(code & 0xFFFFu));
  switch (code) {
    case kAdoErrInvalidArgument:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             "another.";
    case kAdoErrNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted.";
    case kAdoErrNotAllowed:
      return "The operation is not allowed on a read-only recordset.";
    case kAdoErrItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name.";
    case kAdoErrDataConversion:
      return "The value cannot be converted to the requested type.";
    case kAdoErrObjectClosed:
      return "Operation is not allowed when the object is closed.";
    default:
      break;
  }
  if (code >= 0x80040200u && code <= 0x8004FFFFu)
    return strprintf("IDispatch error #%d", static_cast<int>(code - 0x80040200u));
  return strprintf("Unknown error 0x%0lX", static_cast<unsigned long>(code));
}

std::string databaseErrorText(std::uint32_t code, const std::string& source, const std::string& description,
                              const std::string& connectionString) {
  return strprintf(
             "CADODataBase Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n",
             static_cast<unsigned long>(code), adoCodeMeaning(code).c_str(), source.c_str(),
             description.c_str()) +
         "Connection String = " + connectionString;
}

std::string recordsetErrorText(std::uint32_t code, const std::string& source, const std::string& description,
                               const std::string& table, const std::string& otherInfo) {
  return strprintf(
             "CADORecordset Error!\nCode = %08lx\nCode meaning: %s\nSource: %s\nDescription: %s\nTable: %s\n",
             static_cast<unsigned long>(code), adoCodeMeaning(code).c_str(), source.c_str(),
             description.c_str(), table.c_str()) +
         "Other Info: " + otherInfo;
}

Message databaseErrorMessage(const CADOException& e) {
  return MessageBuilder().id(kDatabaseErrorStringId).text("\n\n").text(e.text()).build();
}

void reportDatabaseError(UserInterface& ui, const CADOException& e) {
  ui.showMessage(databaseErrorMessage(e), Icon::Warning);
}

}  // namespace rc
