#pragma once
// One open host database file (an SQLite file holding the host's tables).
//
// Every failing call throws CADOException (store/ado_error.h) and keeps its
// text and code as the last error; only open(path) on a missing file returns
// false instead. Used on the user-interface thread only.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "store/ado_error.h"
#include "store/ado_types.h"

struct sqlite3;

namespace rc {

class CADORecordset;

class CADODatabase {
 public:
  enum class Mode { ReadWrite, ReadOnly };

  CADODatabase() = default;
  // Closes quietly; recordsets still attached are closed and detached.
  ~CADODatabase();
  CADODatabase(const CADODatabase&) = delete;
  CADODatabase& operator=(const CADODatabase&) = delete;

  // "Provider='Microsoft.Jet.OLEDB.4.0'; Data Source=\"<path>\";OLE DB Services = -2;",
  // with "Mode=Read;" appended for a read-only connection.
  static std::string connectionStringFor(const std::filesystem::path& path, Mode mode = Mode::ReadWrite);

  // Opens the database file at path. Returns false, without throwing, when no
  // regular file exists there. A file without owner write permission that the
  // user owns gets owner write added; a file that stays unwritable is opened
  // read-only. Mode::ReadOnly never touches the permissions. Throws on every
  // other failure (including a file that is not a database).
  bool open(const std::filesystem::path& path, Mode mode = Mode::ReadWrite);

  // Opens by connection string: "Data Source" names the file (its value may be
  // quoted with ' or "), "Mode=Read" asks for a read-only connection, other keys
  // are accepted and ignored. Closes an open connection first. Throws on failure,
  // a missing file included.
  void openConnection(const std::string& connectionString);

  // An empty database in memory (used to build database files, see serialize()).
  void openInMemory();

  // Closes the attached recordsets, then the connection. Quiet when not open.
  void close();
  bool isOpen() const { return db_ != nullptr; }
  bool isReadOnly() const { return readOnly_; }

  // Runs one or more statements that return no rows.
  void execute(const std::string& sql);

  // The user tables, in the order of the schema.
  std::vector<std::string> tables();
  // The column names of a table, in their order; throws when there is no such table.
  std::vector<std::string> columns(const std::string& table);
  // The columns with the type code and size derived from their declared types.
  std::vector<AdoColumn> columnInfo(const std::string& table);

  // The whole database file as bytes (e.g. to write it through an atomic writer).
  std::vector<std::uint8_t> serialize();

  // Seconds to wait for a lock held by another connection; 0 = SQLite's default (no wait).
  void setConnectionTimeout(int seconds) { timeoutSeconds_ = seconds; }

  const std::string& connectionString() const { return connectionString_; }
  const std::filesystem::path& path() const { return path_; }
  const std::string& lastErrorText() const { return lastErrorText_; }
  std::uint32_t lastErrorCode() const { return lastErrorCode_; }

  // For CADORecordset.
  sqlite3* handle() const { return db_; }
  void attach(CADORecordset* rs) { recordsets_.insert(rs); }
  void detach(CADORecordset* rs) { recordsets_.erase(rs); }
  // Throws the database-format exception for the last SQLite failure.
  [[noreturn]] void raiseSqlite(int rc);
  [[noreturn]] void raise(std::uint32_t code, const std::string& description);

 private:
  void openFile(const std::filesystem::path& path, bool readOnly, const std::string& connectionString);
  void ensureOpen();

  sqlite3* db_ = nullptr;
  std::set<CADORecordset*> recordsets_;
  std::string connectionString_;
  std::filesystem::path path_;
  std::string lastErrorText_;
  std::uint32_t lastErrorCode_ = 0;
  int timeoutSeconds_ = 0;
  bool readOnly_ = false;
};

}  // namespace rc
