#pragma once
// The record classes of the host tables: one row type per table (a plain,
// equality-comparable struct whose exchange() visits its columns in binding
// order) and one recordset class over it, CRecTable<Row>, which is both the
// open recordset and the members of its current row.
//
// Row requirements: a static `kTable` (the bracketed table name) and
//   template <typename V> void exchange(V& v);
// calling v.field("[Column]", member) for every column and v.key(...) for an
// automatically numbered key, which is loaded but never stored.
#include <string>

#include "store/ado_recordset.h"

namespace rc {

// Loads the members of a row from the current row of a recordset.
class FieldLoader {
 public:
  explicit FieldLoader(const CADORecordset& rs) : rs_(rs) {}
  template <typename T>
  void field(const char* column, T& member) {
    rs_.getFieldValue(column, member);
  }
  template <typename T>
  void key(const char* column, T& member) {
    rs_.getFieldValue(column, member);
  }

 private:
  const CADORecordset& rs_;
};

// Stores the members of a row into the current (or new) row of a recordset.
class FieldStorer {
 public:
  explicit FieldStorer(CADORecordset& rs) : rs_(rs) {}
  template <typename T>
  void field(const char* column, const T& member) {
    rs_.setFieldValue(column, member);
  }
  template <typename T>
  void key(const char*, const T&) {}

 private:
  CADORecordset& rs_;
};

template <typename Row>
class CRecTable : public CADORecordset, public Row {
 public:
  explicit CRecTable(CADODatabase& db) : CADORecordset(db) {}

  static constexpr const char* tableName() { return Row::kTable; }

  // Opens the record's table; the members hold the first row, or their
  // defaults when the table is empty.
  void open(bool readOnly = false) { openSource(Row::kTable, readOnly); }
  // Opens the table for adding rows only (see CADORecordset::openForAppend).
  void openForAppend() {
    row() = Row{};
    CADORecordset::openForAppend(Row::kTable);
  }
  // Opens a query over the table (read-only); members follow the current row.
  void openQuery(const std::string& sql) { openSource(sql, true); }

  // Field exchange, in either direction.
  void load() {
    FieldLoader loader(*this);
    Row::exchange(loader);
  }
  void store() {
    FieldStorer storer(*this);
    Row::exchange(storer);
  }

  const Row& row() const { return *this; }
  Row& row() { return *this; }

 protected:
  void onCurrentRowChanged() override { load(); }

 private:
  void openSource(const std::string& source, bool readOnly) {
    row() = Row{};
    CADORecordset::open(source, readOnly);
  }
};

}  // namespace rc
