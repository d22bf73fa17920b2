#pragma once
// Record classes of the host's main database ("csdb.zeb": Clients, Sessions,
// Settings) and of the module's database ("HRVModule.zeb": HRVSettings).
// Columns in binding order; dates are DbDateTime, texts UTF-8. Columns the
// module never uses are bound all the same.
#include <cstdint>
#include <string>

#include "store/ado_types.h"
#include "store/records_base.h"

namespace rc {

// One row of [Clients].
struct ClientsRow {
  static constexpr const char* kTable = "[Clients]";
  std::int32_t ClientID = 0;
  std::string FirstName;
  std::string LastName;
  DbDateTime BirthDate;
  std::string Sex;
  std::string Address;
  std::string City;
  std::string State;
  std::string PostalCode;
  std::string Country;
  std::string HomePhone;
  std::string WorkPhone;
  std::string SSN;
  std::string Diagnosis;
  std::string ReferredBy;
  std::string InsuranceType;
  std::string InsuranceCompany;
  std::string InsuranceAddress;
  std::string InsuranceCity;
  std::string InsuranceState;
  std::string InsuranceZIP;
  std::string InsuranceCountry;
  std::string InsurancePhone;
  std::string InsuranceContact;
  std::string InsuranceGroupClaimNum;
  std::string InsuredSSN;
  std::string MedicalHistory;
  std::string SurgicalHistory;
  std::string Medications;
  std::string Allergies;
  DbDateTime DateofOnset;
  std::string CourseSinceOnset;
  std::string Notes;
  std::int32_t LastSessionID = 0;
  DbDateTime LastSessionDate;
  DbDateTime DateCreated;
  DbDateTime DateModified;
  bool Archived = false;
  std::string ClinicID;
  std::string ArchivePath;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ClientID]", ClientID);
    v.field("[FirstName]", FirstName);
    v.field("[LastName]", LastName);
    v.field("[BirthDate]", BirthDate);
    v.field("[Sex]", Sex);
    v.field("[Address]", Address);
    v.field("[City]", City);
    v.field("[State]", State);
    v.field("[PostalCode]", PostalCode);
    v.field("[Country]", Country);
    v.field("[HomePhone]", HomePhone);
    v.field("[WorkPhone]", WorkPhone);
    v.field("[SSN]", SSN);
    v.field("[Diagnosis]", Diagnosis);
    v.field("[ReferredBy]", ReferredBy);
    v.field("[InsuranceType]", InsuranceType);
    v.field("[InsuranceCompany]", InsuranceCompany);
    v.field("[InsuranceAddress]", InsuranceAddress);
    v.field("[InsuranceCity]", InsuranceCity);
    v.field("[InsuranceState]", InsuranceState);
    v.field("[InsuranceZIP]", InsuranceZIP);
    v.field("[InsuranceCountry]", InsuranceCountry);
    v.field("[InsurancePhone]", InsurancePhone);
    v.field("[InsuranceContact]", InsuranceContact);
    v.field("[InsuranceGroupClaimNum]", InsuranceGroupClaimNum);
    v.field("[InsuredSSN]", InsuredSSN);
    v.field("[MedicalHistory]", MedicalHistory);
    v.field("[SurgicalHistory]", SurgicalHistory);
    v.field("[Medications]", Medications);
    v.field("[Allergies]", Allergies);
    v.field("[DateofOnset]", DateofOnset);
    v.field("[CourseSinceOnset]", CourseSinceOnset);
    v.field("[Notes]", Notes);
    v.field("[LastSessionID]", LastSessionID);
    v.field("[LastSessionDate]", LastSessionDate);
    v.field("[DateCreated]", DateCreated);
    v.field("[DateModified]", DateModified);
    v.field("[Archived]", Archived);
    v.field("[ClinicID]", ClinicID);
    v.field("[ArchivePath]", ArchivePath);
  }
  bool operator==(const ClientsRow&) const = default;
};
class CRecClients final : public CRecTable<ClientsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Sessions].
struct SessionsRow {
  static constexpr const char* kTable = "[Sessions]";
  std::int32_t ClientID = 0;
  std::int32_t SessionID = 0;
  DbDateTime DateTime;
  std::string FileName;
  float Duration = 0.0f;
  std::string CPTCode;
  bool FullSaving = false;
  bool OpenSession = false;
  std::string Description;
  std::string Screen1FileName;
  std::string Screen2FileName;
  std::string Screen3FileName;
  std::string Screen4FileName;
  std::string Screen5FileName;
  std::string Notes;
  bool FavouriteBased = false;
  std::string FavouriteFileName;
  std::int32_t PrescriptionID = 0;
  bool IsReported = false;
  std::int16_t TemporaryMarkerVChannel = 0;
  std::int16_t TemporaryMarkerCondition = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ClientID]", ClientID);
    v.field("[SessionID]", SessionID);
    v.field("[DateTime]", DateTime);
    v.field("[FileName]", FileName);
    v.field("[Duration]", Duration);
    v.field("[CPTCode]", CPTCode);
    v.field("[FullSaving]", FullSaving);
    v.field("[OpenSession]", OpenSession);
    v.field("[Description]", Description);
    v.field("[Screen1FileName]", Screen1FileName);
    v.field("[Screen2FileName]", Screen2FileName);
    v.field("[Screen3FileName]", Screen3FileName);
    v.field("[Screen4FileName]", Screen4FileName);
    v.field("[Screen5FileName]", Screen5FileName);
    v.field("[Notes]", Notes);
    v.field("[FavouriteBased]", FavouriteBased);
    v.field("[FavouriteFileName]", FavouriteFileName);
    v.field("[PrescriptionID]", PrescriptionID);
    v.field("[IsReported]", IsReported);
    v.field("[TemporaryMarkerVChannel]", TemporaryMarkerVChannel);
    v.field("[TemporaryMarkerCondition]", TemporaryMarkerCondition);
  }
  bool operator==(const SessionsRow&) const = default;
};
class CRecSessions final : public CRecTable<SessionsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [Settings].
struct SettingsRow {
  static constexpr const char* kTable = "[Settings]";
  std::int16_t InactivityPeriod = 0;
  bool Confidential = false;
  std::string ArchivePath;
  std::string ExportPath;
  std::uint8_t ODScreenNumber = 0;
  std::string ODChannelSetFileName;
  std::string ODScreen1FileName;
  std::string ODScreen2FileName;
  std::string ODScreen3FileName;
  std::string ODScreen4FileName;
  std::string ODScreen5FileName;
  std::uint8_t RRScreenNumber = 0;
  std::string RRChannelSetFileName;
  std::string RRScreen1FileName;
  std::string RRScreen2FileName;
  std::string RRScreen3FileName;
  std::string RRScreen4FileName;
  std::string RRScreen5FileName;
  bool TraceMode = false;
  bool Sound = false;
  bool TemperatureScale = false;
  std::string ClinicLabel;
  bool NotchFilters = false;
  bool NotchEEG = false;
  bool NotchEKG = false;
  bool NotchEMG = false;
  std::int32_t LastClientID = 0;
  bool ShowAll = false;
  bool PictureView = false;
  std::string ExportClientPath;
  std::string ScriptFileName;
  std::int32_t UserID = 0;
  std::int16_t AlgoUnits = 0;
  std::int16_t StimUnits = 0;
  bool ShowFileNames = false;
  std::uint8_t StartOption = 0;
  bool ShowVerificationOnStart = false;
  std::int16_t NumberOfEncoders = 0;
  std::int16_t EncoderProtocolID = 0;
  std::int16_t ChannelSetEncoderID = 0;
  std::int16_t EncoderID1 = 0;
  std::int16_t EncoderID2 = 0;
  std::int16_t EncoderID3 = 0;
  std::int16_t EncoderID4 = 0;
  bool ExportHeader = false;
  bool VideoSound = false;
  std::string ReviewScriptFileName;
  std::string FavouriteFileName;
  bool NotShowFileNamesPopup = false;
  std::int32_t FileTextFormat = 0;
  std::uint8_t Status = 0;
  std::int16_t GraphScale = 0;
  std::int16_t TrendScale = 0;
  std::int16_t GraphOriginalSize = 0;
  std::int16_t TrendOriginalSize = 0;
  std::int16_t GraphSideBySide = 0;
  std::int16_t TrendSideBySide = 0;
  std::int32_t ONColor = 0;
  std::int32_t OFFColor = 0;
  bool MultiSettingMessage = false;
  bool ODMultiSetting = false;
  std::int16_t UserEventStyle = 0;
  std::int16_t UserEventThickness = 0;
  std::int16_t ActivityEventStyle = 0;
  std::int16_t ActivityEventThickness = 0;
  std::int16_t StepEventStyle = 0;
  std::int16_t StepEventThickness = 0;
  std::int16_t PhaseEventStyle = 0;
  std::int16_t PhaseEventThickness = 0;
  std::int16_t PauseEventStyle = 0;
  std::int16_t PauseEventThickness = 0;
  std::int16_t ScreenChangeEventStyle = 0;
  std::int16_t ScreenChangeEventThickness = 0;
  std::int16_t TempONEventStyle = 0;
  std::int16_t TempONEventThickness = 0;
  std::int16_t TempOFFEventStyle = 0;
  std::int16_t TempOFFEventThickness = 0;
  std::int16_t AreaINEventStyle = 0;
  std::int16_t AreaINEventThickness = 0;
  std::int16_t AreaOUTEventStyle = 0;
  std::int16_t AreaOUTEventThickness = 0;
  std::int16_t NewSettingEventStyle = 0;
  std::int16_t NewSettingEventThickness = 0;
  std::int16_t AVSyncEventStyle = 0;
  std::int16_t AVSyncEventThickness = 0;
  float MinTimeBetweenIdenticalEvents = 0.0f;
  float MinTimeBetweenOppositeEvents = 0.0f;
  bool ShowPreDefinedLabelList = false;
  bool SwitchingWarning = false;
  bool ProcessingInPause = false;
  bool IncludeArrayItems = false;
  std::int16_t SEAScale = 0;
  std::int16_t SEAOriginalSize = 0;
  std::int32_t AColor = 0;
  std::int32_t BColor = 0;
  std::int32_t A2Color = 0;
  std::int32_t B2Color = 0;
  std::int32_t ScreenAutoResizing = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[InactivityPeriod]", InactivityPeriod);
    v.field("[Confidential]", Confidential);
    v.field("[ArchivePath]", ArchivePath);
    v.field("[ExportPath]", ExportPath);
    v.field("[ODScreenNumber]", ODScreenNumber);
    v.field("[ODChannelSetFileName]", ODChannelSetFileName);
    v.field("[ODScreen1FileName]", ODScreen1FileName);
    v.field("[ODScreen2FileName]", ODScreen2FileName);
    v.field("[ODScreen3FileName]", ODScreen3FileName);
    v.field("[ODScreen4FileName]", ODScreen4FileName);
    v.field("[ODScreen5FileName]", ODScreen5FileName);
    v.field("[RRScreenNumber]", RRScreenNumber);
    v.field("[RRChannelSetFileName]", RRChannelSetFileName);
    v.field("[RRScreen1FileName]", RRScreen1FileName);
    v.field("[RRScreen2FileName]", RRScreen2FileName);
    v.field("[RRScreen3FileName]", RRScreen3FileName);
    v.field("[RRScreen4FileName]", RRScreen4FileName);
    v.field("[RRScreen5FileName]", RRScreen5FileName);
    v.field("[TraceMode]", TraceMode);
    v.field("[Sound]", Sound);
    v.field("[TemperatureScale]", TemperatureScale);
    v.field("[ClinicLabel]", ClinicLabel);
    v.field("[NotchFilters]", NotchFilters);
    v.field("[NotchEEG]", NotchEEG);
    v.field("[NotchEKG]", NotchEKG);
    v.field("[NotchEMG]", NotchEMG);
    v.field("[LastClientID]", LastClientID);
    v.field("[ShowAll]", ShowAll);
    v.field("[PictureView]", PictureView);
    v.field("[ExportClientPath]", ExportClientPath);
    v.field("[ScriptFileName]", ScriptFileName);
    v.field("[UserID]", UserID);
    v.field("[AlgoUnits]", AlgoUnits);
    v.field("[StimUnits]", StimUnits);
    v.field("[ShowFileNames]", ShowFileNames);
    v.field("[StartOption]", StartOption);
    v.field("[ShowVerificationOnStart]", ShowVerificationOnStart);
    v.field("[NumberOfEncoders]", NumberOfEncoders);
    v.field("[EncoderProtocolID]", EncoderProtocolID);
    v.field("[ChannelSetEncoderID]", ChannelSetEncoderID);
    v.field("[EncoderID1]", EncoderID1);
    v.field("[EncoderID2]", EncoderID2);
    v.field("[EncoderID3]", EncoderID3);
    v.field("[EncoderID4]", EncoderID4);
    v.field("[ExportHeader]", ExportHeader);
    v.field("[VideoSound]", VideoSound);
    v.field("[ReviewScriptFileName]", ReviewScriptFileName);
    v.field("[FavouriteFileName]", FavouriteFileName);
    v.field("[NotShowFileNamesPopup]", NotShowFileNamesPopup);
    v.field("[FileTextFormat]", FileTextFormat);
    v.field("[Status]", Status);
    v.field("[GraphScale]", GraphScale);
    v.field("[TrendScale]", TrendScale);
    v.field("[GraphOriginalSize]", GraphOriginalSize);
    v.field("[TrendOriginalSize]", TrendOriginalSize);
    v.field("[GraphSideBySide]", GraphSideBySide);
    v.field("[TrendSideBySide]", TrendSideBySide);
    v.field("[ONColor]", ONColor);
    v.field("[OFFColor]", OFFColor);
    v.field("[MultiSettingMessage]", MultiSettingMessage);
    v.field("[ODMultiSetting]", ODMultiSetting);
    v.field("[UserEventStyle]", UserEventStyle);
    v.field("[UserEventThickness]", UserEventThickness);
    v.field("[ActivityEventStyle]", ActivityEventStyle);
    v.field("[ActivityEventThickness]", ActivityEventThickness);
    v.field("[StepEventStyle]", StepEventStyle);
    v.field("[StepEventThickness]", StepEventThickness);
    v.field("[PhaseEventStyle]", PhaseEventStyle);
    v.field("[PhaseEventThickness]", PhaseEventThickness);
    v.field("[PauseEventStyle]", PauseEventStyle);
    v.field("[PauseEventThickness]", PauseEventThickness);
    v.field("[ScreenChangeEventStyle]", ScreenChangeEventStyle);
    v.field("[ScreenChangeEventThickness]", ScreenChangeEventThickness);
    v.field("[TempONEventStyle]", TempONEventStyle);
    v.field("[TempONEventThickness]", TempONEventThickness);
    v.field("[TempOFFEventStyle]", TempOFFEventStyle);
    v.field("[TempOFFEventThickness]", TempOFFEventThickness);
    v.field("[AreaINEventStyle]", AreaINEventStyle);
    v.field("[AreaINEventThickness]", AreaINEventThickness);
    v.field("[AreaOUTEventStyle]", AreaOUTEventStyle);
    v.field("[AreaOUTEventThickness]", AreaOUTEventThickness);
    v.field("[NewSettingEventStyle]", NewSettingEventStyle);
    v.field("[NewSettingEventThickness]", NewSettingEventThickness);
    v.field("[AVSyncEventStyle]", AVSyncEventStyle);
    v.field("[AVSyncEventThickness]", AVSyncEventThickness);
    v.field("[MinTimeBetweenIdenticalEvents]", MinTimeBetweenIdenticalEvents);
    v.field("[MinTimeBetweenOppositeEvents]", MinTimeBetweenOppositeEvents);
    v.field("[ShowPreDefinedLabelList]", ShowPreDefinedLabelList);
    v.field("[SwitchingWarning]", SwitchingWarning);
    v.field("[ProcessingInPause]", ProcessingInPause);
    v.field("[IncludeArrayItems]", IncludeArrayItems);
    v.field("[SEAScale]", SEAScale);
    v.field("[SEAOriginalSize]", SEAOriginalSize);
    v.field("[AColor]", AColor);
    v.field("[BColor]", BColor);
    v.field("[A2Color]", A2Color);
    v.field("[B2Color]", B2Color);
    v.field("[ScreenAutoResizing]", ScreenAutoResizing);
  }
  bool operator==(const SettingsRow&) const = default;
};
class CRecSettings final : public CRecTable<SettingsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [HRVSettings].
struct HRVSettingsRow {
  static constexpr const char* kTable = "[HRVSettings]";
  std::string KestrelExportPath;
  std::string ThirdPartyExportPath;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[KestrelExportPath]", KestrelExportPath);
    v.field("[ThirdPartyExportPath]", ThirdPartyExportPath);
  }
  bool operator==(const HRVSettingsRow&) const = default;
};
class CRecHRVSettings final : public CRecTable<HRVSettingsRow> {
 public:
  using CRecTable::CRecTable;
};

}  // namespace rc
