#include "store/records_host.h"

#include "store/records.h"
#include "store/records_channels.h"
#include "support/format.h"

namespace rc {

std::string clientListQuery() { return "SELECT * FROM Clients WHERE Archived = FALSE"; }

std::string sessionListQuery(std::int32_t clientId) {
  return "SELECT * FROM Sessions WHERE ClientID = " + std::to_string(clientId);
}

std::string directOpenSessionQuery(std::int32_t clientId, std::int32_t sessionId) {
  return strprintf("SELECT * FROM Sessions WHERE ClientID = %d and SessionID = %d", clientId, sessionId);
}

std::string sessionQuery(std::int32_t clientId, std::int32_t sessionId) {
  return strprintf("SELECT * FROM Sessions WHERE ClientID = %d AND SessionID = %d", clientId, sessionId);
}

std::string clientCriterion(std::int32_t clientId) { return strprintf("ClientID = %d", clientId); }

std::string encoderProtocolQuery() { return "SELECT * FROM EncoderProtocol ORDER BY ProtocolID ASC"; }

ChannelSetCounts readChannelSetCounts(CADODatabase& channelSet) {
  ChannelSetCounts counts;
  CRecChannelSetInfo info(channelSet);
  info.open(true);
  if (info.recordCount() == 1) counts.encoders = info.NumberOfEncoders;
  info.close();

  CRecPhysChan chan(channelSet);
  for (chan.open(true); !chan.isEOF(); chan.moveNext()) {
    int n = chan.PChannelNumber;
    if (n < 1 || n > 40) continue;
    ++counts.perEncoder[static_cast<std::size_t>((n - 1) / 10)];
    ++counts.total;
  }
  return counts;
}

ChannelSetCounts loadChannelSetCounts(DatabaseStager& stager, const std::filesystem::path& file) {
  CADODatabase db;
  if (!stager.openDatabase(db, file, CADODatabase::Mode::ReadOnly)) return {};
  try {
    return readChannelSetCounts(db);
  } catch (const CADOException& e) {
    reportDatabaseError(stager.ui(), e);
    return {};
  }
}

bool channelSetHasSensor(CADODatabase& channelSet, std::int16_t sensorType) {
  CRecPhysChan chan(channelSet);
  for (chan.open(true); !chan.isEOF(); chan.moveNext())
    if (chan.SensorType == sensorType) return true;
  return false;
}

HostSettings readHostSettings(CADODatabase& mainDatabase) {
  HostSettings s;
  CRecSettings rec(mainDatabase);
  rec.open(true);
  if (rec.isEOF()) return s;
  s.found = true;
  s.confidential = rec.Confidential;
  s.exportPath = rec.ExportPath;
  s.clinicLabel = rec.ClinicLabel;
  s.lastClientId = rec.LastClientID;
  s.showFileNames = rec.ShowFileNames;
  s.inactivityPeriod = rec.InactivityPeriod;
  return s;
}

void applyModuleSettings(CADODatabase& moduleDatabase, ExportFolders& folders) {
  CRecHRVSettings rec(moduleDatabase);
  rec.open(true);
  if (rec.isEOF()) return;
  if (!rec.KestrelExportPath.empty()) folders.first = rec.KestrelExportPath;
  if (!rec.ThirdPartyExportPath.empty()) folders.second = rec.ThirdPartyExportPath;
}

void storeModuleSettings(CADODatabase& moduleDatabase, const ExportFolders& folders) {
  CRecHRVSettings rec(moduleDatabase);
  rec.open(false);
  if (rec.isEOF()) rec.addNew();
  rec.KestrelExportPath = folders.first;
  rec.ThirdPartyExportPath = folders.second;
  rec.store();
  rec.update();
  rec.close();
}

}  // namespace rc
