#pragma once
// A result set with a current row, opened on a CADODatabase.
//
// open() reads every row into memory (a client-side cursor), so no statement
// stays open on the database. A recordset opened on a table may be edited
// (setFieldValue, addNew, update, deleteCurrent); one opened on a query, or
// opened read-only, raises kAdoErrNotAllowed on any edit. Every failure throws
// CADOException in the recordset layout (store/ado_error.h).
//
// Column names are passed with or without square brackets ("[ClientID]" is
// column ClientID) and are matched without regard to case. Typed reads of a
// NULL field give 0, false, the empty text or the NULL date; a value that does
// not fit the asked type raises kAdoErrDataConversion.
#include <cstdint>
#include <string>
#include <vector>

#include "store/ado_database.h"
#include "store/ado_types.h"

namespace rc {

class CADORecordset {
 public:
  explicit CADORecordset(CADODatabase& db);
  virtual ~CADORecordset();
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // Closes itself first. A source that begins with "select" followed by a
  // blank (any case, after leading blanks) runs as a query; any other source
  // names a table ("Clients" or "[Clients]"), which opens editable unless
  // readOnly is set. Positions on the first row.
  void open(const std::string& source, bool readOnly = false);
  // Opens a table for adding rows without reading the rows it already holds.
  void openForAppend(const std::string& table);
  // Quiet when not open; a pending edit is dropped.
  void close();
  bool isOpen() const { return open_; }

  long recordCount() const { return static_cast<long>(rows_.size()); }
  bool isEOF() const { return !open_ || pos_ >= recordCount(); }
  bool isBOF() const { return !open_ || pos_ < 0 || rows_.empty(); }
  // Navigation commits a pending edit first, as update() does.
  void moveFirst();
  void moveNext();
  void movePrevious();
  void moveLast();
  long position() const { return pos_; }

  // Positions on the first row, from the current one on, that satisfies the
  // criterion (store/ado_criteria.h); false, at EOF, when none does. Call
  // moveFirst() first to search the whole set.
  bool find(const std::string& criterion);

  std::vector<std::string> fieldNames() const { return names_; }
  bool hasField(const std::string& column) const { return columnIndex(column) >= 0; }
  bool isFieldNull(const std::string& column) const;
  // The column's type derived from its declared type (adEmpty for expressions).
  AdoColumnType fieldType(const std::string& column) const;

  void getFieldValue(const std::string& column, std::int16_t& out) const;
  void getFieldValue(const std::string& column, std::int32_t& out) const;
  void getFieldValue(const std::string& column, std::uint8_t& out) const;
  void getFieldValue(const std::string& column, bool& out) const;
  void getFieldValue(const std::string& column, float& out) const;
  void getFieldValue(const std::string& column, double& out) const;
  void getFieldValue(const std::string& column, std::string& out) const;
  void getFieldValue(const std::string& column, DbDateTime& out) const;
  // Dates as "%Y-%m-%d %H:%M:%S", floating values as "%f" (always with "."),
  // integers in decimal, texts as they are, NULL as the empty text.
  std::string getFieldValueAsText(const std::string& column) const;

  void setFieldValue(const std::string& column, std::int16_t v);
  void setFieldValue(const std::string& column, std::int32_t v);
  void setFieldValue(const std::string& column, std::uint8_t v);
  void setFieldValue(const std::string& column, bool v);
  void setFieldValue(const std::string& column, float v);
  void setFieldValue(const std::string& column, double v);
  void setFieldValue(const std::string& column, const std::string& v);
  void setFieldValue(const std::string& column, const char* v) { setFieldValue(column, std::string(v)); }
  void setFieldValue(const std::string& column, const DbDateTime& v);  // the NULL date stores NULL
  void setFieldNull(const std::string& column);

  // Starts a new row; fields set before update() go into it, the others take
  // their column defaults (automatically numbered keys included).
  void addNew();
  // Writes the pending new or changed row; the row is then read back, so that
  // keys and defaults are visible. No-op without a pending edit.
  void update();
  void cancelUpdate();
  // Deletes the current row; the position then holds the next row (or EOF).
  void deleteCurrent();

  const std::string& source() const { return source_; }
  bool isReadOnly() const { return readOnly_ || table_.empty(); }
  const std::string& lastErrorText() const { return lastErrorText_; }
  std::uint32_t lastErrorCode() const { return lastErrorCode_; }

  // Called by the database when it is destroyed before this recordset.
  void detachFromDatabase();

 protected:
  // Called whenever a row becomes current (after open, moves, find, update).
  virtual void onCurrentRowChanged() {}

 private:
  enum class EditMode { None, Edit, Add };

  int columnIndex(const std::string& column) const;
  int requireColumn(const std::string& column) const;
  const DbValue& field(const std::string& column) const;
  void requireOpen() const;
  void setValue(const std::string& column, DbValue v);
  void load(const std::string& sql, bool isTable);
  void findRowidColumn();
  void refreshRow(std::int64_t rowid, long at, bool append);
  void rowChanged();
  [[noreturn]] void raise(std::uint32_t code, const std::string& description,
                          const std::string& info = {}) const;
  [[noreturn]] void raiseSqlite(int rc, const std::string& info) const;

  CADODatabase* db_;
  bool open_ = false;
  bool readOnly_ = false;
  std::string source_;
  std::string table_;  // the table of an editable source, empty for queries
  std::vector<std::string> names_;
  std::vector<AdoColumnType> types_;
  std::vector<std::vector<DbValue>> rows_;
  std::vector<std::int64_t> rowids_;
  int rowidColumn_ = -1;  // the column that is the row id (INTEGER PRIMARY KEY), or -1
  long pos_ = 0;
  EditMode edit_ = EditMode::None;
  std::vector<DbValue> buffer_;
  std::vector<bool> dirty_;
  mutable std::string lastErrorText_;
  mutable std::uint32_t lastErrorCode_ = 0;
};

}  // namespace rc
