#include "store/ado_recordset.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "store/ado_criteria.h"
#include "support/format.h"

namespace rc {

namespace {

bool isQuerySource(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return s.size() - i > 6 && equalsNoCase(std::string_view(s).substr(i, 6), "select") &&
         std::isspace(static_cast<unsigned char>(s[i + 6]));
}

DbValue columnValue(sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
      return sqlite3_column_double(st, i);
    case SQLITE_TEXT: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, i));
      return std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(st, i));
    }
    default:
      return std::monostate{};
  }
}

void bindValue(sqlite3_stmt* st, int i, const DbValue& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) {
    sqlite3_bind_int64(st, i, *p);
  } else if (auto p = std::get_if<double>(&v)) {
    sqlite3_bind_double(st, i, *p);
  } else if (auto p = std::get_if<std::string>(&v)) {
    sqlite3_bind_text(st, i, p->data(), static_cast<int>(p->size()), SQLITE_TRANSIENT);
  } else if (auto p = std::get_if<std::vector<std::uint8_t>>(&v)) {
    sqlite3_bind_blob(st, i, p->data(), static_cast<int>(p->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(st, i);
  }
}

std::optional<double> parseNumber(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double d = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
  if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return d;
}

// A finite number from an integer, real or numeric text field.
std::optional<double> numberOf(const DbValue& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return static_cast<double>(*p);
  if (auto p = std::get_if<double>(&v)) return *p;
  if (auto p = std::get_if<std::string>(&v)) return parseNumber(*p);
  return std::nullopt;
}

std::string fixed6(double d) {
  char buf[512];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
  if (ec != std::errc()) return strprintf("%f", d);
  return std::string(buf, p);
}

}  // namespace

CADORecordset::CADORecordset(CADODatabase& db) : db_(&db) { db_->attach(this); }

CADORecordset::~CADORecordset() {
  if (db_) db_->detach(this);
}

void CADORecordset::detachFromDatabase() {
  close();
  db_ = nullptr;
}

void CADORecordset::raise(std::uint32_t code, const std::string& description, const std::string& info) const {
  bool own = (code & 0xFFFF0000u) != kAdoSqliteFacility;
  lastErrorCode_ = code;
  lastErrorText_ = recordsetErrorText(code, own ? "CADORecordset" : "SQLite", description, source_, info);
  throw CADOException(code, lastErrorText_);
}

void CADORecordset::raiseSqlite(int rc, const std::string& info) const {
  sqlite3* h = db_ ? db_->handle() : nullptr;
  int ext = h ? sqlite3_extended_errcode(h) : rc;
  if ((ext & 0xFF) != (rc & 0xFF)) ext = rc;
  raise(adoCodeOfSqlite(ext), h ? sqlite3_errmsg(h) : sqlite3_errstr(rc), info);
}

void CADORecordset::requireOpen() const {
  if (!open_) raise(kAdoErrObjectClosed, "The recordset is not open.");
}

void CADORecordset::open(const std::string& source, bool readOnly) {
  close();
  source_ = source;
  if (!db_ || !db_->isOpen()) raise(kAdoErrObjectClosed, "The database is not open.");
  readOnly_ = readOnly || db_->isReadOnly();
  if (isQuerySource(source)) {
    load(source, false);
  } else {
    std::string table = stripBrackets(source);
    load("SELECT rowid, * FROM " + quoteIdentifier(table), true);
    table_ = table;
    findRowidColumn();
  }
  open_ = true;
  pos_ = 0;
  rowChanged();
}

void CADORecordset::openForAppend(const std::string& table) {
  close();
  source_ = table;
  if (!db_ || !db_->isOpen()) raise(kAdoErrObjectClosed, "The database is not open.");
  readOnly_ = db_->isReadOnly();
  std::string name = stripBrackets(table);
  load("SELECT rowid, * FROM " + quoteIdentifier(name) + " WHERE 0", true);
  table_ = name;
  findRowidColumn();
  open_ = true;
  pos_ = 0;
}

void CADORecordset::findRowidColumn() {
  rowidColumn_ = -1;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_->handle(), "SELECT name, upper(type) FROM pragma_table_info(?1) WHERE pk > 0",
                         -1, &st, nullptr) != SQLITE_OK)
    return;
  sqlite3_bind_text(st, 1, table_.c_str(), static_cast<int>(table_.size()), SQLITE_TRANSIENT);
  int keys = 0;
  std::string name;
  bool integer = false;
  while (sqlite3_step(st) == SQLITE_ROW) {
    ++keys;
    name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    const unsigned char* t = sqlite3_column_text(st, 1);
    integer = t && std::string(reinterpret_cast<const char*>(t)) == "INTEGER";
  }
  sqlite3_finalize(st);
  if (keys == 1 && integer) rowidColumn_ = columnIndex(name);
}

void CADORecordset::load(const std::string& sql, bool isTable) {
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db_->handle(), sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc, sql);
  if (!st) raise(kAdoErrInvalidArgument, "The source holds no statement.", sql);
  int first = isTable ? 1 : 0;
  int n = sqlite3_column_count(st);
  for (int i = first; i < n; ++i) {
    names_.emplace_back(sqlite3_column_name(st, i));
    const char* decl = sqlite3_column_decltype(st, i);
    types_.push_back(adoTypeOfDeclared(decl ? decl : ""));
  }
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::vector<DbValue> row;
    row.reserve(static_cast<std::size_t>(n - first));
    for (int i = first; i < n; ++i) row.push_back(columnValue(st, i));
    rows_.push_back(std::move(row));
    if (isTable) rowids_.push_back(sqlite3_column_int64(st, 0));
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    names_.clear();
    types_.clear();
    rows_.clear();
    rowids_.clear();
    raiseSqlite(rc, sql);
  }
}

void CADORecordset::close() {
  open_ = false;
  names_.clear();
  types_.clear();
  rows_.clear();
  rowids_.clear();
  table_.clear();
  rowidColumn_ = -1;
  pos_ = 0;
  edit_ = EditMode::None;
  buffer_.clear();
  dirty_.clear();
}

void CADORecordset::rowChanged() {
  if (open_ && pos_ >= 0 && pos_ < recordCount()) onCurrentRowChanged();
}

void CADORecordset::moveFirst() {
  requireOpen();
  update();
  pos_ = 0;
  rowChanged();
}

void CADORecordset::moveNext() {
  requireOpen();
  update();
  if (isEOF()) raise(kAdoErrNoCurrentRecord, "Cannot move past the last row.");
  ++pos_;
  rowChanged();
}

void CADORecordset::movePrevious() {
  requireOpen();
  update();
  if (pos_ < 0) raise(kAdoErrNoCurrentRecord, "Cannot move before the first row.");
  --pos_;
  rowChanged();
}

void CADORecordset::moveLast() {
  requireOpen();
  update();
  pos_ = rows_.empty() ? 0 : recordCount() - 1;
  rowChanged();
}

bool CADORecordset::find(const std::string& criterion) {
  requireOpen();
  auto parsed = parseCriterion(criterion);
  if (!parsed) raise(kAdoErrInvalidArgument, parsed.status().message(), criterion);
  std::vector<int> cols;
  for (const CriterionTerm& t : parsed->terms) {
    int c = columnIndex(t.column);
    if (c < 0) raise(kAdoErrItemNotFound, "No column named " + t.column + ".", criterion);
    cols.push_back(c);
  }
  update();
  for (long r = std::max(pos_, 0L); r < recordCount(); ++r) {
    bool all = true;
    for (std::size_t i = 0; i < cols.size() && all; ++i)
      all = termMatches(parsed->terms[i],
                        rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(cols[i])]);
    if (all) {
      pos_ = r;
      rowChanged();
      return true;
    }
  }
  pos_ = recordCount();
  return false;
}

int CADORecordset::columnIndex(const std::string& column) const {
  std::string name = stripBrackets(column);
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (equalsNoCase(names_[i], name)) return static_cast<int>(i);
  return -1;
}

int CADORecordset::requireColumn(const std::string& column) const {
  requireOpen();
  int c = columnIndex(column);
  if (c < 0) raise(kAdoErrItemNotFound, "No column named " + stripBrackets(column) + ".", column);
  return c;
}

const DbValue& CADORecordset::field(const std::string& column) const {
  int c = requireColumn(column);
  if (edit_ != EditMode::None) return buffer_[static_cast<std::size_t>(c)];
  if (pos_ < 0 || pos_ >= recordCount()) raise(kAdoErrNoCurrentRecord, "There is no current row.", column);
  return rows_[static_cast<std::size_t>(pos_)][static_cast<std::size_t>(c)];
}

bool CADORecordset::isFieldNull(const std::string& column) const { return isNull(field(column)); }

AdoColumnType CADORecordset::fieldType(const std::string& column) const {
  return types_[static_cast<std::size_t>(requireColumn(column))];
}

namespace {

template <typename T>
bool integerOf(const DbValue& v, T& out) {
  if (isNull(v)) {
    out = 0;
    return true;
  }
  auto d = numberOf(v);
  if (!d || !std::isfinite(*d)) return false;
  double r = std::nearbyint(*d);
  if (auto p = std::get_if<std::int64_t>(&v)) r = static_cast<double>(*p);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max()))
    return false;
  if (auto p = std::get_if<std::int64_t>(&v)) {
    out = static_cast<T>(*p);
  } else {
    out = static_cast<T>(r);
  }
  return true;
}

}  // namespace

#define RC_GET_INTEGER(T)                                                                             \
  void CADORecordset::getFieldValue(const std::string& column, T& out) const {                        \
    const DbValue& v = field(column);                                                                 \
    if (!integerOf(v, out)) raise(kAdoErrDataConversion, "The value does not fit the type.", column); \
  }
RC_GET_INTEGER(std::int16_t)
RC_GET_INTEGER(std::int32_t)
RC_GET_INTEGER(std::uint8_t)
#undef RC_GET_INTEGER

void CADORecordset::getFieldValue(const std::string& column, bool& out) const {
  const DbValue& v = field(column);
  out = false;
  if (isNull(v)) return;
  if (auto p = std::get_if<std::string>(&v)) {
    if (equalsNoCase(*p, "true") || equalsNoCase(*p, "yes")) {
      out = true;
      return;
    }
    if (equalsNoCase(*p, "false") || equalsNoCase(*p, "no")) return;
  }
  auto d = numberOf(v);
  if (!d || std::isnan(*d)) raise(kAdoErrDataConversion, "The value is not a truth value.", column);
  out = *d != 0;
}

void CADORecordset::getFieldValue(const std::string& column, double& out) const {
  const DbValue& v = field(column);
  out = 0;
  if (isNull(v)) return;
  auto d = numberOf(v);
  if (!d) raise(kAdoErrDataConversion, "The value is not a number.", column);
  out = *d;
}

void CADORecordset::getFieldValue(const std::string& column, float& out) const {
  double d = 0;
  getFieldValue(column, d);
  if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max()))
    raise(kAdoErrDataConversion, "The value does not fit a 32-bit float.", column);
  out = static_cast<float>(d);
}

void CADORecordset::getFieldValue(const std::string& column, std::string& out) const {
  out = getFieldValueAsText(column);
}

void CADORecordset::getFieldValue(const std::string& column, DbDateTime& out) const {
  const DbValue& v = field(column);
  out = DbDateTime{};
  if (isNull(v)) return;
  const auto* s = std::get_if<std::string>(&v);
  auto d = s ? DbDateTime::parse(*s) : std::nullopt;
  if (!d) raise(kAdoErrDataConversion, "The value is not a date.", column);
  out = *d;
}

std::string CADORecordset::getFieldValueAsText(const std::string& column) const {
  const DbValue& v = field(column);
  int type = types_[static_cast<std::size_t>(requireColumn(column))].type;
  if (isNull(v)) return {};
  if (auto p = std::get_if<std::string>(&v)) {
    if (type == adDate)
      if (auto d = DbDateTime::parse(*p)) return d->text();
    return *p;
  }
  if (auto p = std::get_if<double>(&v)) return fixed6(*p);
  if (auto p = std::get_if<std::int64_t>(&v)) {
    if (type == adSingle || type == adDouble) return fixed6(static_cast<double>(*p));
    return std::to_string(*p);
  }
  const auto& b = std::get<std::vector<std::uint8_t>>(v);
  return std::string(b.begin(), b.end());
}

void CADORecordset::setValue(const std::string& column, DbValue v) {
  int c = requireColumn(column);
  if (isReadOnly()) raise(kAdoErrNotAllowed, "The recordset is read-only.", column);
  if (edit_ == EditMode::None) {
    if (pos_ < 0 || pos_ >= recordCount()) raise(kAdoErrNoCurrentRecord, "There is no current row.", column);
    buffer_ = rows_[static_cast<std::size_t>(pos_)];
    dirty_.assign(names_.size(), false);
    edit_ = EditMode::Edit;
  }
  buffer_[static_cast<std::size_t>(c)] = std::move(v);
  dirty_[static_cast<std::size_t>(c)] = true;
}

void CADORecordset::setFieldValue(const std::string& column, std::int16_t v) {
  setValue(column, std::int64_t{v});
}
void CADORecordset::setFieldValue(const std::string& column, std::int32_t v) {
  setValue(column, std::int64_t{v});
}
void CADORecordset::setFieldValue(const std::string& column, std::uint8_t v) {
  setValue(column, std::int64_t{v});
}
void CADORecordset::setFieldValue(const std::string& column, bool v) {
  setValue(column, std::int64_t{v ? 1 : 0});
}
void CADORecordset::setFieldValue(const std::string& column, float v) {
  setValue(column, static_cast<double>(v));
}
void CADORecordset::setFieldValue(const std::string& column, double v) { setValue(column, v); }
void CADORecordset::setFieldValue(const std::string& column, const std::string& v) { setValue(column, v); }
void CADORecordset::setFieldNull(const std::string& column) { setValue(column, std::monostate{}); }

void CADORecordset::setFieldValue(const std::string& column, const DbDateTime& v) {
  if (v.isNull()) {
    setValue(column, std::monostate{});
  } else {
    setValue(column, v.text());
  }
}

void CADORecordset::addNew() {
  requireOpen();
  if (isReadOnly()) raise(kAdoErrNotAllowed, "The recordset is read-only.");
  update();
  buffer_.assign(names_.size(), std::monostate{});
  dirty_.assign(names_.size(), false);
  edit_ = EditMode::Add;
}

void CADORecordset::cancelUpdate() {
  edit_ = EditMode::None;
  buffer_.clear();
  dirty_.clear();
}

void CADORecordset::update() {
  if (edit_ == EditMode::None) return;
  requireOpen();
  std::string sql;
  std::vector<std::size_t> cols;
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (dirty_[i]) cols.push_back(i);
  if (edit_ == EditMode::Edit && cols.empty()) {
    cancelUpdate();
    return;
  }
  std::string table = quoteIdentifier(table_);
  if (edit_ == EditMode::Add) {
    if (cols.empty()) {
      sql = "INSERT INTO " + table + " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (std::size_t i = 0; i < cols.size(); ++i) {
        names += (i ? ", " : "") + quoteIdentifier(names_[cols[i]]);
        marks += i ? ", ?" : "?";
      }
      sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    }
  } else {
    sql = "UPDATE " + table + " SET ";
    for (std::size_t i = 0; i < cols.size(); ++i)
      sql += (i ? ", " : "") + quoteIdentifier(names_[cols[i]]) + " = ?";
    sql += " WHERE rowid = ?";
  }
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db_->handle(), sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc, sql);
  int n = 1;
  for (std::size_t c : cols) bindValue(st, n++, buffer_[c]);
  if (edit_ == EditMode::Edit) sqlite3_bind_int64(st, n, rowids_[static_cast<std::size_t>(pos_)]);
  rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) raiseSqlite(rc, sql);
  if (edit_ == EditMode::Add) {
    std::int64_t rowid = sqlite3_last_insert_rowid(db_->handle());
    cancelUpdate();
    refreshRow(rowid, recordCount(), true);
  } else {
    if (sqlite3_changes(db_->handle()) == 0) raise(kAdoErrNoCurrentRecord, "The row no longer exists.", sql);
    std::int64_t rowid = rowids_[static_cast<std::size_t>(pos_)];
    // A changed INTEGER PRIMARY KEY column is the row id itself.
    if (rowidColumn_ >= 0 && dirty_[static_cast<std::size_t>(rowidColumn_)])
      if (auto p = std::get_if<std::int64_t>(&buffer_[static_cast<std::size_t>(rowidColumn_)])) rowid = *p;
    cancelUpdate();
    refreshRow(rowid, pos_, false);
  }
  rowChanged();
}

void CADORecordset::refreshRow(std::int64_t rowid, long at, bool append) {
  std::string sql = "SELECT * FROM " + quoteIdentifier(table_) + " WHERE rowid = ?";
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db_->handle(), sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc, sql);
  sqlite3_bind_int64(st, 1, rowid);
  std::vector<DbValue> row;
  rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(st); ++i) row.push_back(columnValue(st, i));
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_ROW || row.size() != names_.size())
    raiseSqlite(rc == SQLITE_ROW ? SQLITE_SCHEMA : rc, sql);
  if (append) {
    rows_.push_back(std::move(row));
    rowids_.push_back(rowid);
  } else {
    rows_[static_cast<std::size_t>(at)] = std::move(row);
    rowids_[static_cast<std::size_t>(at)] = rowid;
  }
  pos_ = at;
}

void CADORecordset::deleteCurrent() {
  requireOpen();
  if (isReadOnly()) raise(kAdoErrNotAllowed, "The recordset is read-only.");
  if (edit_ == EditMode::Add) {
    cancelUpdate();
    return;
  }
  cancelUpdate();
  if (pos_ < 0 || pos_ >= recordCount()) raise(kAdoErrNoCurrentRecord, "There is no current row.");
  sqlite3_stmt* st = nullptr;
  std::string sql = "DELETE FROM " + quoteIdentifier(table_) + " WHERE rowid = ?";
  int rc = sqlite3_prepare_v2(db_->handle(), sql.c_str(), -1, &st, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(rc, sql);
  sqlite3_bind_int64(st, 1, rowids_[static_cast<std::size_t>(pos_)]);
  rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) raiseSqlite(rc, sql);
  if (sqlite3_changes(db_->handle()) == 0) raise(kAdoErrNoCurrentRecord, "The row no longer exists.", sql);
  rows_.erase(rows_.begin() + pos_);
  rowids_.erase(rowids_.begin() + pos_);
  rowChanged();
}

}  // namespace rc
