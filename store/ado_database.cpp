#include "store/ado_database.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "store/ado_recordset.h"
#include "support/format.h"

namespace rc {

namespace {

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// "key=value;" pairs; values may be quoted with ' or " (and then hold ';').
struct ConnectionOptions {
  std::string dataSource;
  bool hasDataSource = false;
  bool readOnly = false;
};

ConnectionOptions parseConnectionString(const std::string& s) {
  ConnectionOptions o;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t eq = s.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = trim(s.substr(i, eq - i));
    std::size_t j = eq + 1;
    while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
    std::string value;
    if (j < s.size() && (s[j] == '"' || s[j] == '\'')) {
      char q = s[j];
      std::size_t close = s.find(q, j + 1);
      if (close == std::string::npos) close = s.size();
      value = s.substr(j + 1, close - j - 1);
      j = close + 1;
      std::size_t semi = s.find(';', std::min(j, s.size()));
      i = semi == std::string::npos ? s.size() : semi + 1;
    } else {
      std::size_t semi = s.find(';', j);
      value = trim(s.substr(j, semi == std::string::npos ? std::string::npos : semi - j));
      i = semi == std::string::npos ? s.size() : semi + 1;
    }
    if (equalsNoCase(key, "Data Source")) {
      o.dataSource = value;
      o.hasDataSource = true;
    } else if (equalsNoCase(key, "Mode")) {
      o.readOnly = equalsNoCase(trim(value), "Read");
    }
  }
  return o;
}

}  // namespace

CADODatabase::~CADODatabase() {
  for (CADORecordset* rs : std::set<CADORecordset*>(recordsets_)) rs->detachFromDatabase();
  recordsets_.clear();
  if (db_) sqlite3_close_v2(db_);
}

std::string CADODatabase::connectionStringFor(const std::filesystem::path& path, Mode mode) {
  std::string s =
      "Provider='Microsoft.Jet.OLEDB.4.0'; Data Source=\"" + path.string() + "\";" + "OLE DB Services = -2;";
  if (mode == Mode::ReadOnly) s += "Mode=Read;";
  return s;
}

bool CADODatabase::open(const std::filesystem::path& path, Mode mode) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  bool readOnly = mode == Mode::ReadOnly;
  if (!readOnly) {
    // A read-only file of our own gets owner write back; group and other
    // permissions are never widened, and a file of another user is only read.
    if (!(st.st_mode & S_IWUSR) && st.st_uid == ::geteuid())
      ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
    if (::access(path.c_str(), W_OK) != 0) readOnly = true;
  }
  std::string cs = connectionStringFor(path, readOnly ? Mode::ReadOnly : Mode::ReadWrite);
  close();
  openFile(path, readOnly, cs);
  return true;
}

void CADODatabase::openConnection(const std::string& connectionString) {
  close();
  ConnectionOptions o = parseConnectionString(connectionString);
  connectionString_ = connectionString;
  if (!o.hasDataSource || o.dataSource.empty())
    raise(kAdoErrInvalidArgument, "The connection string names no data source.");
  openFile(o.dataSource, o.readOnly, connectionString);
}

void CADODatabase::openFile(const std::filesystem::path& path, bool readOnly, const std::string& cs) {
  connectionString_ = cs;
  path_ = path;
  readOnly_ = readOnly;
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string description = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close_v2(db);
    raise(adoCodeOfSqlite(ext), description);
  }
  sqlite3_extended_result_codes(db, 1);
  if (timeoutSeconds_ > 0) sqlite3_busy_timeout(db, timeoutSeconds_ * 1000);
  // SQLite reads the file lazily: touch the schema so that a file that is not
  // a database fails here and not at the first query.
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    std::string description = sqlite3_errmsg(db);
    int ext = sqlite3_extended_errcode(db);
    sqlite3_close_v2(db);
    raise(adoCodeOfSqlite(ext), description);
  }
  db_ = db;
}

void CADODatabase::openInMemory() {
  close();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  connectionString_ = connectionStringFor(":memory:");
  path_.clear();
  readOnly_ = false;
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    raise(adoCodeOfSqlite(rc), sqlite3_errstr(rc));
  }
  sqlite3_extended_result_codes(db, 1);
  db_ = db;
}

void CADODatabase::close() {
  for (CADORecordset* rs : std::set<CADORecordset*>(recordsets_)) rs->close();
  if (!db_) return;
  int rc = sqlite3_close(db_);
  if (rc != SQLITE_OK) {
    // Statements of the layer never outlive a call, so this is a handle held
    // elsewhere; let SQLite finish the close when it is released.
    sqlite3_close_v2(db_);
  }
  db_ = nullptr;
}

void CADODatabase::ensureOpen() {
  if (!db_) raise(kAdoErrObjectClosed, "The database is not open.");
}

void CADODatabase::execute(const std::string& sql) {
  ensureOpen();
  char* err = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
  sqlite3_free(err);
  if (rc != SQLITE_OK) raiseSqlite(rc);
}

std::vector<std::string> CADODatabase::tables() {
  ensureOpen();
  std::vector<std::string> names;
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(
      db_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
      -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc);
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) raiseSqlite(rc);
  return names;
}

std::vector<AdoColumn> CADODatabase::columnInfo(const std::string& table) {
  ensureOpen();
  std::string name = stripBrackets(table);
  std::vector<AdoColumn> cols;
  sqlite3_stmt* st = nullptr;
  int rc =
      sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid", -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc);
  sqlite3_bind_text(st, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const char* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    AdoColumnType type = adoTypeOfDeclared(t ? t : "");
    cols.push_back({n ? n : "", type.type, type.size});
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) raiseSqlite(rc);
  if (cols.empty()) raise(adoCodeOfSqlite(SQLITE_ERROR), "no such table: " + name);
  return cols;
}

std::vector<std::string> CADODatabase::columns(const std::string& table) {
  std::vector<std::string> names;
  for (const AdoColumn& c : columnInfo(table)) names.push_back(c.name);
  return names;
}

std::vector<std::uint8_t> CADODatabase::serialize() {
  ensureOpen();
  sqlite3_int64 size = 0;
  unsigned char* data = sqlite3_serialize(db_, "main", &size, 0);
  if (!data) raise(adoCodeOfSqlite(SQLITE_NOMEM), "The database could not be serialised.");
  std::vector<std::uint8_t> bytes(data, data + size);
  sqlite3_free(data);
  return bytes;
}

void CADODatabase::raiseSqlite(int rc) {
  int ext = db_ ? sqlite3_extended_errcode(db_) : rc;
  if ((ext & 0xFF) != (rc & 0xFF)) ext = rc;
  raise(adoCodeOfSqlite(ext), db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
}

void CADODatabase::raise(std::uint32_t code, const std::string& description) {
  bool own = (code & 0xFFFF0000u) != kAdoSqliteFacility;
  lastErrorCode_ = code;
  lastErrorText_ = databaseErrorText(code, own ? "CADODatabase" : "SQLite", description, connectionString_);
  throw CADOException(code, lastErrorText_);
}

}  // namespace rc
