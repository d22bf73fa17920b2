#pragma once
// The rules of the main dialog without its window: the command line of
// direct-open mode, the one-copy lock, the client and session lists (with
// the confidentiality masking and the sort orders), the application settings
// file "Rhythmcraft.xml", the module database staging, and the preparation of
// a session's configuration file before the container opens it.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/signal_selection.h"
#include "store/ado_types.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

class CADODatabase;

inline constexpr int kAlreadyRunningId = 105;
inline constexpr int kNoMainDatabaseId = 106;
inline constexpr int kModuleDbNotCreatedId = 129;
inline constexpr int kNoSessionChosenId = 199;
inline constexpr int kConfigNotCreatedId = 198;
inline constexpr int kNoHeartChannelId = 115;
inline constexpr const char* kModuleDatabaseName = "HRVModule.zeb";
inline constexpr const char* kModuleTemplateName = "HRVModule.emp";
inline constexpr const char* kAppSettingsFileName = "Rhythmcraft.xml";

// "CLIENT SESSION": the text before the first blank is the client id, the
// text after it the session id. nullopt (normal start) without a blank or
// when either part is not a positive whole number.
std::optional<std::pair<int, int>> parseDirectOpen(const std::string& commandLine);

// The one running copy: an exclusive lock on a file, held until destroyed.
class InstanceLock {
 public:
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // False when another process holds the lock (message 105).
  bool acquired() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};
// The lock file of a data root.
std::filesystem::path instanceLockPath(const std::filesystem::path& dataRoot);

// "Last, First" with the masking of a confidential list: the last name keeps
// its first two characters and shows "*" for each further one (under three
// characters it is shown whole), the first name keeps one (under two whole).
std::string clientDisplayName(const std::string& lastName, const std::string& firstName, bool confidential);

// "%02d:%02d:%07.4f": hours, minutes, seconds with four decimals.
std::string durationText(double seconds);

struct ClientEntry {
  int id = 0;
  std::string name;  // masked when confidential
  std::string sex;
  bool operator==(const ClientEntry&) const = default;
};
// The non-archived clients. Throws CADOException.
std::vector<ClientEntry> readClients(CADODatabase& mainDb, bool confidential);
// Client list cells: name, id, sex.
std::vector<std::string> clientCells(const ClientEntry& c);

struct SessionEntry {
  int sessionId = 0;
  bool openSession = true;
  DbDateTime dateTime;
  std::string fileName;     // channel set (open) or script file (scripted)
  std::string setOrScript;  // the description stored in that file
  double duration = 0;
  std::string description;
  bool fullSaving = false;
  bool operator==(const SessionEntry&) const = default;
};
// The sessions of a client with the descriptions of their channel set or
// script files (empty when a file cannot be read). Throws CADOException.
std::vector<SessionEntry> readSessions(CADODatabase& mainDb, const std::filesystem::path& dataRoot,
                                       int clientId);
// Session list cells, columns 0 to 5 (column 5 is empty: a mark is drawn).
std::vector<std::string> sessionCells(const SessionEntry& s);
// Ascending order of a session list column: date and time, text, open
// sessions first, duration, text, marked rows first. Ties are equal.
int compareSessions(const SessionEntry& a, const SessionEntry& b, int column);
// Ascending order of a client list column: name and sex by text, id by number.
int compareClients(const ClientEntry& a, const ClientEntry& b, int column);

// The three settings of "Rhythmcraft.xml" (each 0 when missing or unreadable).
struct AppSettings {
  int textFormat = 0;
  int header = 0;
  int barsOn2DGraph = 0;
  bool operator==(const AppSettings&) const = default;
};
AppSettings readAppSettings(const std::filesystem::path& file);
// Exit: when the file exists, loads its current text (so values other parts
// of the program wrote during the run stay), sets the three values and saves
// it. Nothing happens when it does not exist.
Status writeAppSettingsAtExit(const std::filesystem::path& file, const AppSettings& values);

// Copies the module's empty database from the program folder when the data
// root has none; false when it cannot be had (message 129 with its name).
bool ensureModuleDatabase(const std::filesystem::path& dataRoot, const std::filesystem::path& programFolder,
                          UserInterface& ui);

// Opening a session: the configuration file exists and is usable, or has just
// been made from the template (it must then be configured).
struct ConfigPreparation {
  bool ok = false;
  bool createdNow = false;  // copied from the template in this attempt
};
ConfigPreparation prepareSessionConfig(const std::filesystem::path& configFile,
                                       const std::filesystem::path& templateFile, UserInterface& ui);
// Cancel of the selection dialog: a file this attempt made from the template
// is deleted; an existing configured file (forced reconfiguration) is kept.
void abandonSessionConfig(const std::filesystem::path& configFile, bool createdNow);

// The physical channels of a session's channel set (for a scripted session,
// the set its script names); nullopt after a message when it cannot be read.
std::optional<std::vector<ChannelOption>> readSessionChannels(const std::filesystem::path& dataRoot,
                                                              const std::filesystem::path& programFolder,
                                                              int clientId, int sessionId, UserInterface& ui);
// The channel-set file of a session, resolved as above.
std::optional<std::filesystem::path> sessionChannelSetFile(const std::filesystem::path& dataRoot,
                                                           int clientId, int sessionId);

// Direct-open mode's check: the channel set has a physical channel of
// sensor type 4 (EKG) or 5 (BVP). Throws CADOException.
bool channelSetHasHeartChannel(CADODatabase& channelSet);

}  // namespace rc
