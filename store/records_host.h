#pragma once
// What the shell reads from (and writes to) the host tables: the query texts,
// the channel-set counts, the host settings at start-up and the module's
// settings (export folders) kept in "HRVModule.zeb".
//
// The functions taking a CADODatabase throw CADOException on a failing call;
// the caller reports it (reportDatabaseError) and gives up its task.
#include <array>
#include <cstdint>
#include <string>

#include "store/ado_database.h"
#include "store/staging.h"

namespace rc {

// The queries of the host tables. Built from integers only.
std::string clientListQuery();                        // non-archived clients
std::string sessionListQuery(std::int32_t clientId);  // all sessions of a client
std::string directOpenSessionQuery(std::int32_t clientId, std::int32_t sessionId);  // one session, start-up
std::string sessionQuery(std::int32_t clientId, std::int32_t sessionId);            // one session, container
std::string clientCriterion(std::int32_t clientId);  // find() on the Clients table
std::string encoderProtocolQuery();                  // protocols by ProtocolID

// Encoder and channel counts of a channel set.
struct ChannelSetCounts {
  int encoders = 0;                 // SetInfo.NumberOfEncoders when the set has exactly one SetInfo row
  std::array<int, 4> perEncoder{};  // physical channels numbered 1-10, 11-20, 21-30, 31-40
  int total = 0;                    // physical channels numbered 1-40; others are not counted
  bool operator==(const ChannelSetCounts&) const = default;
};

// Reads the counts from an open channel-set database. Starts from zero, so a
// failure (thrown) never leaves counts of an earlier set behind.
ChannelSetCounts readChannelSetCounts(CADODatabase& channelSet);

// Opens the channel-set file through the stager and reads its counts. Any
// failure is shown to the user (message 1052 for a failing read) and gives
// all-zero counts, which later checks of the session refuse.
ChannelSetCounts loadChannelSetCounts(DatabaseStager& stager, const std::filesystem::path& file);

// Whether any physical channel of the set has the sensor type (4 EKG, 5 BVP ...).
bool channelSetHasSensor(CADODatabase& channelSet, std::int16_t sensorType);

// The host settings the module takes at start-up (first Settings row).
struct HostSettings {
  bool found = false;  // false: the table has no row, the defaults below stand
  bool confidential = false;
  std::string exportPath;
  std::string clinicLabel;
  std::int32_t lastClientId = 0;
  bool showFileNames = false;
  std::int16_t inactivityPeriod = 0;
  bool operator==(const HostSettings&) const = default;
};

HostSettings readHostSettings(CADODatabase& mainDatabase);

// The two export folders of the module (text exports, files from other software).
struct ExportFolders {
  std::string first;
  std::string second;
  bool operator==(const ExportFolders&) const = default;
};

// Start-up: the first HRVSettings row, when the table has one, replaces each
// folder by its stored path when that path is not empty.
void applyModuleSettings(CADODatabase& moduleDatabase, ExportFolders& folders);

// Exit: stores both folders into the first HRVSettings row; a row is added
// only when the table is empty, so extra rows never accumulate.
void storeModuleSettings(CADODatabase& moduleDatabase, const ExportFolders& folders);

}  // namespace rc
