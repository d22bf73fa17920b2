#include "app/main_dialog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <system_error>

#include "analysis/protocol/protocol.h"
#include "app/session_analysis_load.h"
#include "store/ado_database.h"
#include "store/ado_error.h"
#include "store/data_root.h"
#include "store/records.h"
#include "store/records_channels.h"
#include "store/records_host.h"
#include "store/records_script.h"
#include "store/staging.h"
#include "support/format.h"
#include "support/language.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::optional<int> positive(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v > 0 ? std::optional<int>(v) : std::nullopt;
}

// UTF-8 characters (code points) of a text.
std::vector<std::string> characters(const std::string& s) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = 1;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0xF0)
      n = 4;
    else if (c >= 0xE0)
      n = 3;
    else if (c >= 0xC0)
      n = 2;
    n = std::min(n, s.size() - i);
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

std::string mask(const std::string& name, std::size_t keep) {
  const auto chars = characters(name);
  if (chars.size() <= keep) return name;
  std::string out;
  for (std::size_t i = 0; i < keep; ++i) out += chars[i];
  out.append(chars.size() - keep, '*');
  return out;
}

int compareNoCase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i]));
    const int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

template <typename T>
int cmp(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

int readInt(CXMLMarkup& doc, const char* name) {
  doc.ResetPos();
  if (!doc.FindElem() || !doc.FindChildElem(std::string_view(name))) return 0;
  const std::string t = doc.GetChildDataUtf8();
  return std::atoi(t.c_str());
}

// The description stored in a channel-set or script file; empty when it
// cannot be read.
std::string storedDescription(const fs::path& dataRoot, const SessionEntry& s) {
  try {
    const auto path = hostFilePath(s.openSession ? dataRoot / "Channels" : dataRoot, s.fileName);
    const auto found = path ? findFileNoCase(*path) : std::nullopt;
    if (!found) return {};
    CADODatabase db;
    if (!db.open(*found, CADODatabase::Mode::ReadOnly)) return {};
    if (s.openSession) {
      CRecChannelSetInfo info(db);
      info.open(true);
      return info.isEOF() ? std::string() : info.Description;
    }
    CRecProtocol proto(db);
    proto.open(true);
    return proto.isEOF() ? std::string() : proto.Description;
  } catch (const CADOException&) {
    return {};
  }
}

}  // namespace

std::optional<std::pair<int, int>> parseDirectOpen(const std::string& line) {
  const auto blank = line.find(' ');
  if (blank == std::string::npos) return std::nullopt;
  const auto client = positive(line.substr(0, blank));
  const auto session = positive(line.substr(blank + 1));
  if (!client || !session) return std::nullopt;
  return std::make_pair(*client, *session);
}

InstanceLock::InstanceLock(const fs::path& file) {
  fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

fs::path instanceLockPath(const fs::path& dataRoot) { return dataRoot / ".rhythmcraft.lock"; }

std::string clientDisplayName(const std::string& last, const std::string& first, bool confidential) {
  if (!confidential) return last + ", " + first;
  return mask(last, 2) + ", " + mask(first, 1);
}

std::string durationText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const int h = static_cast<int>(seconds / 3600);
  const int m = static_cast<int>((seconds - h * 3600.0) / 60);
  const double s = seconds - h * 3600.0 - m * 60.0;
  return strprintf("%02d:%02d:%07.4f", h, m, s);
}

std::vector<ClientEntry> readClients(CADODatabase& db, bool confidential) {
  std::vector<ClientEntry> out;
  CRecClients rs(db);
  for (rs.openQuery(clientListQuery()); !rs.isEOF(); rs.moveNext())
    out.push_back({rs.ClientID, clientDisplayName(rs.LastName, rs.FirstName, confidential), rs.Sex});
  return out;
}

std::vector<std::string> clientCells(const ClientEntry& c) { return {c.name, strprintf("%d", c.id), c.sex}; }

std::vector<SessionEntry> readSessions(CADODatabase& db, const fs::path& dataRoot, int clientId) {
  std::vector<SessionEntry> out;
  CRecSessions rs(db);
  for (rs.openQuery(sessionListQuery(clientId)); !rs.isEOF(); rs.moveNext()) {
    SessionEntry e;
    e.sessionId = rs.SessionID;
    e.openSession = rs.OpenSession;
    e.dateTime = rs.DateTime;
    e.fileName = rs.FileName;
    e.duration = rs.Duration;
    e.description = rs.Description;
    e.fullSaving = rs.FullSaving;
    out.push_back(std::move(e));
  }
  for (SessionEntry& e : out) e.setOrScript = storedDescription(dataRoot, e);
  return out;
}

std::vector<std::string> sessionCells(const SessionEntry& s) {
  return {s.dateTime.text(),        s.setOrScript, str(s.openSession ? 373 : 111),
          durationText(s.duration), s.description, std::string()};
}

int compareSessions(const SessionEntry& a, const SessionEntry& b, int column) {
  switch (column) {
    case 0: {
      const auto& x = a.dateTime;
      const auto& y = b.dateTime;
      return cmp(std::tie(x.year, x.month, x.day, x.hour, x.minute, x.second),
                 std::tie(y.year, y.month, y.day, y.hour, y.minute, y.second));
    }
    case 1:
      return compareNoCase(a.setOrScript, b.setOrScript);
    case 2:
      return cmp(!a.openSession, !b.openSession);
    case 3:
      return cmp(a.duration, b.duration);
    case 4:
      return compareNoCase(a.description, b.description);
    case 5:
      return cmp(!a.fullSaving, !b.fullSaving);
    default:
      return 0;
  }
}

int compareClients(const ClientEntry& a, const ClientEntry& b, int column) {
  switch (column) {
    case 0:
      return compareNoCase(a.name, b.name);
    case 1:
      return cmp(a.id, b.id);
    case 2:
      return compareNoCase(a.sex, b.sex);
    default:
      return 0;
  }
}

AppSettings readAppSettings(const fs::path& file) {
  AppSettings s;
  std::error_code ec;
  if (!fs::exists(file, ec)) return s;
  CXMLMarkup doc;
  if (!doc.Load(file) || !doc.IsWellFormed()) return s;
  s.textFormat = readInt(doc, "TextFormat");
  s.header = readInt(doc, "Header");
  s.barsOn2DGraph = readInt(doc, "BarsOn2DGraph");
  return s;
}

Status writeAppSettingsAtExit(const fs::path& file, const AppSettings& v) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return Status::ok();
  CXMLMarkup doc;
  if (!doc.Load(file) || !doc.IsWellFormed()) return Status::error("the settings file could not be read");
  doc.ResetPos();
  if (!doc.FindElem()) return Status::error("the settings file has no root element");
  doc.WriteChildData("TextFormat", strprintf("%d", v.textFormat));
  doc.WriteChildData("Header", strprintf("%d", v.header));
  doc.WriteChildData("BarsOn2DGraph", strprintf("%d", v.barsOn2DGraph));
  if (!doc.Save(file)) return Status::error("the settings file could not be written");
  return Status::ok();
}

bool ensureModuleDatabase(const fs::path& dataRoot, const fs::path& programFolder, UserInterface& ui) {
  const fs::path target = dataRoot / kModuleDatabaseName;
  std::error_code ec;
  if (fs::exists(target, ec)) return true;
  if (fs::copy_file(programFolder / kModuleTemplateName, target, ec) && !ec) return true;
  ui.showMessage(MessageBuilder().idArg(kModuleDbNotCreatedId, std::string(kModuleDatabaseName)),
                 Icon::Warning);
  return false;
}

ConfigPreparation prepareSessionConfig(const fs::path& configFile, const fs::path& templateFile,
                                       UserInterface& ui) {
  switch (ensureSessionConfig(configFile, templateFile, ui)) {
    case EnsureResult::Existing:
      return {true, false};
    case EnsureResult::CreatedFromTemplate:
      return {true, true};
    case EnsureResult::Failed:
      break;
  }
  return {false, false};
}

void abandonSessionConfig(const fs::path& configFile, bool createdNow) {
  if (!createdNow) return;
  std::error_code ec;
  fs::remove(configFile, ec);
}

std::optional<fs::path> sessionChannelSetFile(const fs::path& dataRoot, int clientId, int sessionId) {
  try {
    CADODatabase main;
    if (!main.open(dataRoot / kMainDatabaseName, CADODatabase::Mode::ReadOnly)) return std::nullopt;
    CRecSessions row(main);
    row.openQuery(sessionQuery(clientId, sessionId));
    if (row.isEOF()) return std::nullopt;
    std::string setName = row.FileName;
    if (!row.OpenSession) {
      const auto script = hostFilePath(dataRoot, row.FileName);
      const auto found = script ? findFileNoCase(*script) : std::nullopt;
      CADODatabase db;
      if (!found || !db.open(*found, CADODatabase::Mode::ReadOnly)) return std::nullopt;
      CRecProtocol proto(db);
      proto.open(true);
      setName = proto.ChannelSet;
    }
    const auto set = hostFilePath(dataRoot / "Channels", setName);
    if (!set) return std::nullopt;
    const auto found = findFileNoCase(*set);
    return found ? found : set;
  } catch (const CADOException&) {
    return std::nullopt;
  }
}

std::optional<std::vector<ChannelOption>> readSessionChannels(const fs::path& dataRoot,
                                                              const fs::path& programFolder, int clientId,
                                                              int sessionId, UserInterface& ui) {
  const auto file = sessionChannelSetFile(dataRoot, clientId, sessionId);
  if (!file) {
    ui.showMessage(
        MessageBuilder().id(1044).text(" ").text(sessionFolder(dataRoot, clientId, sessionId).string()),
        Icon::Warning);
    return std::nullopt;
  }
  try {
    CADODatabase db;
    DatabaseStager stager(programFolder, dataRoot, ui);
    if (!stager.openDatabase(db, *file, CADODatabase::Mode::ReadOnly)) return std::nullopt;
    return readChannelOptions(db);
  } catch (const CADOException& e) {
    reportDatabaseError(ui, e);
    return std::nullopt;
  }
}

bool channelSetHasHeartChannel(CADODatabase& channelSet) {
  return channelSetHasSensor(channelSet, 4) || channelSetHasSensor(channelSet, 5);
}

}  // namespace rc
