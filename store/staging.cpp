#include "store/staging.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "support/binary.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

// The result for the last kTrailerSize bytes of a file that is longer than that.
int trailerResult(std::span<const std::uint8_t> trailer) {
  ByteReader r(trailer);
  if (r.u32(0).value_or(0) != kTrailerMagic) return kTrailerMissing;
  std::uint32_t version = r.u32(8).value_or(0);
  if (version > kTrailerVersionOffset) version -= kTrailerVersionOffset;
  return version >= kCurrentChannelSetVersion ? kTrailerCurrent : kTrailerOlder;
}

}  // namespace

int versionTrailerOf(std::span<const std::uint8_t> file) {
  if (file.size() <= kTrailerSize) return kTrailerTooShort;
  return trailerResult(file.subspan(file.size() - kTrailerSize));
}

int checkVersionTrailer(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kTrailerUnreadable;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) return kTrailerUnreadable;
  if (static_cast<std::uint64_t>(size) <= kTrailerSize) return kTrailerTooShort;
  std::vector<std::uint8_t> tail(kTrailerSize);
  in.seekg(size - static_cast<std::streamoff>(kTrailerSize));
  in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  if (in.gcount() != static_cast<std::streamsize>(kTrailerSize)) return kTrailerMissing;
  return trailerResult(tail);
}

std::vector<std::uint8_t> versionTrailer(std::uint32_t storedVersion) {
  ByteWriter w;
  w.u32(kTrailerMagic);
  w.u32(0);
  w.u32(storedVersion);
  w.zeros(kTrailerSize - 12);
  return w.take();
}

const TemplateKind* templateKind(int kind) {
  static const TemplateKind kinds[] = {
      {1, "ChannelSets.emp", "Channels", "TempChSet"},
      {2, "Protocols.emp", "Scripts", "TempScript"},
      {3, "Presets.emp", "Presets", "TempPreset"},
      {4, "Screens.emp", "Screens", "TempScreen"},
      {5, "Settings.emp", "Clients", "TempSessionSettings"},
      {6, "Protocol.emp", "Clients", "TempSessionProtocol"},
      {7, nullptr, "", ""},
      {8, "Labels.emp", "", "TempLabels"},
      {9, "Main.emp", "", "TempMain"},
      {10, "HomeTrainer.emp", "", "TempHomeTrainer"},
      {11, "HRVModule.emp", "", "TempHRVModule"},
  };
  for (const TemplateKind& k : kinds)
    if (k.kind == kind) return &k;
  return nullptr;
}

namespace {

bool integerWidthMayDiffer(int kind, const std::string& table, const std::string& column) {
  if (kind != kMainTemplate) return false;
  if (equalsNoCase(table, "Sessions"))
    return equalsNoCase(column, "TemporaryMarkerVChannel") ||
           equalsNoCase(column, "TemporaryMarkerCondition");
  if (!equalsNoCase(table, "Settings")) return false;
  static const char* const kEvents[] = {"User",   "Activity",     "Step",       "Phase",
                                        "Pause",  "ScreenChange", "TempON",     "TempOFF",
                                        "AreaIN", "AreaOUT",      "NewSetting", "AVSync"};
  for (const char* e : kEvents) {
    std::string k = e;
    if (equalsNoCase(column, k + "EventStyle") || equalsNoCase(column, k + "EventThickness")) return true;
  }
  return false;
}

bool isInteger16or32(int type) { return type == adSmallInt || type == adInteger; }

// A uniquely named file, removed when the holder goes.
class TempCopy {
 public:
  ~TempCopy() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  bool create(const fs::path& folder, const std::string& stem, const std::vector<std::uint8_t>& bytes) {
    std::string pattern = (folder / (stem + "-XXXXXX.mdb")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemps(buf.data(), 4);
    if (fd < 0) return false;
    path_ = buf.data();
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    bool ok = ::close(fd) == 0 && done == bytes.size();
    return ok;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

int compareLayouts(CADODatabase& templateDb, CADODatabase& file, int kind) {
  std::vector<std::string> fileTables = file.tables();
  for (const std::string& table : templateDb.tables()) {
    const std::string* found = nullptr;
    for (const std::string& t : fileTables)
      if (equalsNoCase(t, table)) found = &t;
    if (!found) return kSchemaTableMissing;
    std::vector<AdoColumn> fileCols = file.columnInfo(*found);
    for (const AdoColumn& want : templateDb.columnInfo(table)) {
      const AdoColumn* have = nullptr;
      for (const AdoColumn& c : fileCols)
        if (equalsNoCase(c.name, want.name)) have = &c;
      if (!have) return kSchemaColumnMissing;
      if (have->type != want.type) {
        bool accepted = isInteger16or32(have->type) && isInteger16or32(want.type) &&
                        integerWidthMayDiffer(kind, table, want.name);
        if (!accepted) return kSchemaColumnType;
      } else if (want.type == adVarWChar && have->size < want.size) {
        return kSchemaTextTooShort;
      }
    }
  }
  return kSchemaMatches;
}

int compareSchema(const fs::path& file, int kind, const fs::path& programFolder, const fs::path& dataRoot) {
  const TemplateKind* k = templateKind(kind);
  if (!k || !k->templateName) return kSchemaTemplateNotCopied;
  auto bytes = readWholeFile(programFolder / k->templateName);
  TempCopy copy;
  if (!bytes || !copy.create(dataRoot / k->copyFolder, k->copyStem, *bytes)) return kSchemaTemplateNotCopied;
  try {
    CADODatabase templateDb;
    try {
      if (!templateDb.open(copy.path(), CADODatabase::Mode::ReadOnly)) return kSchemaCopyNotOpened;
    } catch (const CADOException&) {
      return kSchemaCopyNotOpened;
    }
    CADODatabase fileDb;
    try {
      if (!fileDb.open(file, CADODatabase::Mode::ReadOnly)) return kSchemaFileNotOpened;
    } catch (const CADOException&) {
      return kSchemaFileNotOpened;
    }
    return compareLayouts(templateDb, fileDb, kind);
  } catch (const CADOException&) {
    // A schema query failed on an open file: it cannot be read as the template asks.
    return kSchemaFileNotOpened;
  }
}

std::optional<fs::path> findFileNoCase(const fs::path& path) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) return path;
  fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::string name = path.filename().string();
  std::optional<fs::path> match;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!equalsNoCase(it->path().filename().string(), name) || !it->is_regular_file(ec)) continue;
    if (match) return std::nullopt;  // ambiguous
    match = it->path();
  }
  return match;
}

std::optional<std::pair<int, Message>> DatabaseStager::conversionMessage(const std::string& fileName) {
  struct Tool {
    const char* extension;  // or nullptr
    const char* name1;      // file names (nullptr when matched by extension)
    const char* name2;
    const char* tool;
    const char* log;
  };
  static const Tool kTools[] = {
      {"chs", nullptr, nullptr, "ModifyChannelSet.exe", "channels.log"},
      {"scr", nullptr, nullptr, "ModifyScreens.exe", "screens.log"},
      {"prt", nullptr, nullptr, "ModifyScripts.exe", "scripts.log"},
      {"fvr", nullptr, nullptr, "ModifyPresets", "presets.log"},
      {nullptr, "Protocol.dat", nullptr, "ModifySessionScript.exe", "session_script.log"},
      {nullptr, "Settings.dat", "SettingsTemp.dat", "ModifySessionSettings.exe", "SessionSettings.log"},
      {nullptr, "csdb.zeb", "BackupMain.zeb", "ModifySettings.exe", ""},
  };
  auto dot = fileName.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
  for (int i = 0; i < static_cast<int>(std::size(kTools)); ++i) {
    const Tool& t = kTools[i];
    bool hit = t.extension ? equalsNoCase(ext, t.extension)
                           : equalsNoCase(fileName, t.name1) || (t.name2 && equalsNoCase(fileName, t.name2));
    if (!hit) continue;
    std::string shown = equalsNoCase(fileName, "SettingsTemp.dat") ? "Settings.dat" : fileName;
    Message m;
    m.ids = {1421, 1451, kDatabaseErrorStringId};
    m.text =
        substituteArgs(str(1421), {shown, std::string(t.tool), std::string(t.log)}) + "\n" + str(1451) + ": " + str(kDatabaseErrorStringId);
    return std::make_pair(i, m);
  }
  if (equalsNoCase(fileName, "ZEBUnit.dat") || equalsNoCase(ext, "emp"))
    return std::make_pair(static_cast<int>(std::size(kTools)),
                          MessageBuilder().idArg(1422, fileName).build());
  return std::nullopt;
}

std::optional<std::string> truncatedDatabaseReason(const fs::path& path) {
  static const char kMagic[] = "SQLite format 3";  // and its terminating zero: 16 bytes
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::uint8_t head[100] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got == 0) return "the file is empty";
  const std::size_t magicBytes = std::min<std::size_t>(got, 16);
  if (std::memcmp(head, kMagic, magicBytes) != 0) return std::nullopt;  // not this kind of database
  if (got < sizeof head) return "the file ends inside its database header";
  std::uint32_t pageSize = (static_cast<std::uint32_t>(head[16]) << 8) | head[17];
  if (pageSize == 1) pageSize = 65536;
  auto be32 = [&](std::size_t at) {
    return (static_cast<std::uint32_t>(head[at]) << 24) | (static_cast<std::uint32_t>(head[at + 1]) << 16) |
           (static_cast<std::uint32_t>(head[at + 2]) << 8) | head[at + 3];
  };
  // The page count in the header is valid only when it was written together
  // with the change counter.
  const std::uint32_t pages = be32(28);
  if (be32(24) != be32(92) || pages == 0) return std::nullopt;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  const std::uint64_t needed = static_cast<std::uint64_t>(pageSize) * pages;
  if (size < needed)
    return strprintf("the file holds %llu bytes of its %llu (%u pages of %u bytes)",
                     static_cast<unsigned long long>(size), static_cast<unsigned long long>(needed), pages,
                     pageSize);
  return std::nullopt;
}

void DatabaseStager::report(int result, const fs::path& path) {
  switch (result) {
    case 1:
      ui_.showMessage(MessageBuilder().id(1044).text(" ").text(path.string()), Icon::Warning);
      return;
    case 4:
      ui_.showMessage(MessageBuilder().id(6285).text(" ").text(path.string()), Icon::Warning);
      return;
    case 5:
      ui_.showMessage(MessageBuilder().id(1452).text(" ").text(path.string()), Icon::Warning);
      return;
    case 8:
      ui_.showMessage(MessageBuilder().idArg(1444, path.filename().string()), Icon::Warning);
      return;
    default:
      break;
  }
  auto m = conversionMessage(path.filename().string());
  if (!m) return;
  auto index = static_cast<std::size_t>(m->first);
  if (conversionShown_[index]) return;
  conversionShown_[index] = true;
  ui_.showMessage(m->second, Icon::Warning);
}

bool DatabaseStager::openDatabase(CADODatabase& db, const fs::path& requested, CADODatabase::Mode mode) {
  auto found = findFileNoCase(requested);
  if (!found) {
    ui_.showMessage(MessageBuilder().id(1452).text(" ").text(requested.string()), Icon::Warning);
    return false;
  }
  const fs::path& path = *found;
  std::string name = path.filename().string();
  auto dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  int result = 0;
  if (equalsNoCase(ext, "chs")) {
    // A database cut short is damaged: no conversion of an older layout helps.
    if (auto damage = truncatedDatabaseReason(path)) {
      ui_.showMessage(
          MessageBuilder().id(kDamagedDatabaseId).text(" ").text(path.string()).text(": ").text(*damage),
          Icon::Warning);
      return false;
    }
    // The trailer sits where a growing database would write its next page.
    mode = CADODatabase::Mode::ReadOnly;
    result = checkVersionTrailer(path);
    if (result != kTrailerCurrent && result != kTrailerOlder)
      result = compareSchema(path, kChannelSetTemplate, programFolder_, dataRoot_);
  } else if (equalsNoCase(name, "HRVModule.zeb")) {
    result = compareSchema(path, kModuleTemplate, programFolder_, dataRoot_);
  }
  if (result != 0) {
    report(result, path);
    return false;
  }
  try {
    if (db.open(path, mode)) return true;
    ui_.showMessage(MessageBuilder().id(1452).text(" ").text(path.string()), Icon::Warning);
  } catch (const CADOException& e) {
    reportDatabaseError(ui_, e);
  }
  return false;
}

}  // namespace rc
