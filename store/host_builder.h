#pragma once
// Creates host database files: the empty templates installed in the program
// folder (*.emp) and filled databases for tests and demonstration data.
//
// The layouts come from the schema texts (resources/schema/*.sql, installed in
// the program folder's "schema" folder). A database is built in memory and
// written through the atomic writer, so a failed build never leaves a
// half-written file behind.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/ado_database.h"
#include "store/records_base.h"
#include "support/status.h"

namespace rc {

enum class HostDbKind { Main, ChannelSet, Script, SessionProtocol, Module, EncoderUnit };

struct HostDbLayout {
  HostDbKind kind;
  const char* schemaFile;    // in the schema folder
  const char* templateName;  // empty template in the program folder; nullptr when none is installed
};

// Every layout: Main "main.sql" -> "Main.emp", ChannelSet "channel_set.sql" ->
// "ChannelSets.emp", Script and SessionProtocol "script.sql" -> "Protocols.emp"
// and "Protocol.emp", Module "module.sql" -> "HRVModule.emp", EncoderUnit
// "encoder_unit.sql" (no template).
const std::vector<HostDbLayout>& hostDbLayouts();
const HostDbLayout& hostDbLayout(HostDbKind kind);

// The program folder's "schema" folder.
std::filesystem::path defaultSchemaFolder();

// Writes every empty template into outFolder (created when missing).
Status makeTemplates(const std::filesystem::path& schemaFolder, const std::filesystem::path& outFolder);

class HostDbBuilder {
 public:
  // An empty database of the kind, in memory.
  static Result<HostDbBuilder> create(HostDbKind kind,
                                      const std::filesystem::path& schemaFolder = defaultSchemaFolder());

  // Appends a row to the row type's table. Automatically numbered keys are
  // assigned by the database. Throws CADOException.
  template <typename Row>
  HostDbBuilder& add(const Row& row) {
    CRecTable<Row> rec(*db_);
    rec.openForAppend();
    rec.addNew();
    rec.row() = row;
    rec.store();
    rec.update();
    return *this;
  }

  // Runs statements on the database being built (throws CADOException).
  HostDbBuilder& execute(const std::string& sql);

  CADODatabase& database() { return *db_; }
  // The database file as bytes.
  std::vector<std::uint8_t> bytes();
  // Writes the database file atomically (replacing an existing file).
  Status write(const std::filesystem::path& file);
  // Writes a channel-set file: the database followed by the version trailer
  // with the stored version number (see store/staging.h).
  Status writeChannelSet(const std::filesystem::path& file, std::uint32_t storedVersion);

 private:
  explicit HostDbBuilder(std::unique_ptr<CADODatabase> db) : db_(std::move(db)) {}
  std::unique_ptr<CADODatabase> db_;
};

}  // namespace rc
