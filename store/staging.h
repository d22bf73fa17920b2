#pragma once
// Opening a host database by its path, with the checks that keep the module
// away from files of another layout: the version trailer of channel-set files
// and the comparison of a file with the empty template of its kind. A file
// that fails is not opened and the user is told which conversion tool of the
// host suite brings it up to date; the module never converts a file itself.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/ado_database.h"
#include "support/ui.h"

namespace rc {

// "The database file is damaged, not of an older layout:" (a blank, the path
// and the reason follow).
inline constexpr int kDamagedDatabaseId = 7007;

// Why a database file is damaged rather than of another layout: empty, cut
// inside its header, or shorter than the pages its header counts. nullopt
// for a whole file or one that is no database of this kind.
std::optional<std::string> truncatedDatabaseReason(const std::filesystem::path& path);

// Version trailer of channel-set files: the last 1580 bytes of the file.
//   offset 0: uint32 magic 0xB919B002; offset 8: uint32 version, stored with an
//   offset of 100000000 when above it; other bytes are not interpreted.
inline constexpr std::size_t kTrailerSize = 1580;
inline constexpr std::uint32_t kTrailerMagic = 0xB919B002u;
inline constexpr std::uint32_t kTrailerVersionOffset = 100000000u;
inline constexpr std::uint32_t kCurrentChannelSetVersion = 670000u;

enum TrailerResult : int {
  kTrailerCurrent = 0,
  kTrailerOlder = 1,
  kTrailerMissing = 2,     // wrong magic
  kTrailerUnreadable = 3,  // the file cannot be opened or read
  kTrailerTooShort = 4,    // the file is not longer than the trailer
};

// The trailer of a whole file's bytes (never kTrailerUnreadable).
int versionTrailerOf(std::span<const std::uint8_t> file);
// Reads the trailer of the file at path.
int checkVersionTrailer(const std::filesystem::path& path);
// A trailer holding the magic and the stored version number (zeros elsewhere).
std::vector<std::uint8_t> versionTrailer(std::uint32_t storedVersion);

// Schema comparison results. A column mismatch gives 17 (missing), 18 (other
// type) or 19 (a variable-length text column shorter than the template's).
enum SchemaResult : int {
  kSchemaMatches = 0,
  kSchemaTemplateNotCopied = 11,
  kSchemaCopyNotOpened = 12,
  kSchemaFileNotOpened = 13,
  kSchemaTableMissing = 14,
  kSchemaColumnMissing = 17,
  kSchemaColumnType = 18,
  kSchemaTextTooShort = 19,
};

// Template kinds 1-11: the template in the program folder and the name of its
// temporary copy in the data root (folder, stem and extension). Kind 7 has none.
struct TemplateKind {
  int kind;
  const char* templateName;  // nullptr for kind 7
  const char* copyFolder;    // relative to the data root, "" for the root itself
  const char* copyStem;
};
const TemplateKind* templateKind(int kind);
inline constexpr int kChannelSetTemplate = 1;
inline constexpr int kMainTemplate = 9;
inline constexpr int kModuleTemplate = 11;

// Compares two open databases: every table and column of the template must be
// in the file (see SchemaResult). For kind 9 (main database) a 16/32-bit
// integer difference is accepted in Sessions.TemporaryMarkerVChannel and
// .TemporaryMarkerCondition and in every Settings.<event>EventStyle and
// <event>EventThickness column. Throws CADOException when a schema query fails.
int compareLayouts(CADODatabase& templateDb, CADODatabase& file, int kind);

// Copies the template of the kind to a uniquely named temporary file beside
// its usual place in the data root, compares the file with it and removes the
// copy again, whatever the outcome. Both databases are opened read-only.
int compareSchema(const std::filesystem::path& file, int kind, const std::filesystem::path& programFolder,
                  const std::filesystem::path& dataRoot);

// The file at path or, when there is none, the one file in the same folder
// whose name matches without regard to case.
std::optional<std::filesystem::path> findFileNoCase(const std::filesystem::path& path);

// Opens host databases for the rest of the program. Keeps, for the whole run,
// which conversion messages were shown (one per kind of file).
class DatabaseStager {
 public:
  DatabaseStager(std::filesystem::path programFolder, std::filesystem::path dataRoot, UserInterface& ui)
      : programFolder_(std::move(programFolder)), dataRoot_(std::move(dataRoot)), ui_(ui) {}

  // True when db is open on the file. Every failure is shown to the user
  // (warning) and gives false; the file is left untouched. Channel-set files
  // are always opened read-only: writing could overwrite their trailer.
  bool openDatabase(CADODatabase& db, const std::filesystem::path& path,
                    CADODatabase::Mode mode = CADODatabase::Mode::ReadWrite);

  UserInterface& ui() { return ui_; }

  // The conversion message for a file name and the index of its kind, or
  // nullopt when the name belongs to no kind with a message.
  static std::optional<std::pair<int, Message>> conversionMessage(const std::string& fileName);

 private:
  void report(int result, const std::filesystem::path& path);

  std::filesystem::path programFolder_;
  std::filesystem::path dataRoot_;
  UserInterface& ui_;
  std::array<bool, 9> conversionShown_{};
};

}  // namespace rc
