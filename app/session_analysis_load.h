#pragma once
// A session loaded for analysis without a window, in the order the review
// container loads it: the session's row and channel set, the configuration
// file, the script protocol, the recording, the signal slots and analysis
// settings, the interval series (read from their files or generated), the
// rejected stretches and the events. Used by the command-line analysis.
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/epochs/epochs.h"
#include "analysis/protocol/protocol.h"
#include "analysis/protocol/settings.h"
#include "analysis/series/series.h"
#include "analysis/series/series_gen.h"
#include "store/events.h"
#include "store/recording.h"
#include "support/ui.h"
#include "support/xml_markup.h"

namespace rc {

inline constexpr const char* kMainDatabaseName = "csdb.zeb";
inline constexpr const char* kConfigFileName = "HRVConfig.xml";
// Follows the unusable-file message of a damaged configuration file.
inline constexpr int kDefaultSettingsUsedId = 7004;
// A host-stored file name that would lead outside the data root ("%s" the name).
inline constexpr int kNameRefusedId = 7006;

// Slots: 0 EKG, 1 BVP, 2 respiration, 3-4 SC, 5-6 temperature, 7-8 EMG.
inline constexpr int kSlotCount = 9;

struct SignalSlot {
  int input = 0;      // host channel number, 0 = none
  int index = -1;     // channel index in the recording, -1 = none
  std::string label;  // "1A" .. "4J"
  std::string description;
  bool rawEmg = false;  // EMG analysed through its RMS series
  bool used() const { return input > 0 && index >= 0; }
};

// Qt's "slots" keyword macro would swallow the member name below when this
// header follows a Qt header; widget code that reads the member writes
// "#undef slots" after its includes (and uses Q_SLOTS).
#pragma push_macro("slots")
#undef slots
struct AnalysisSession {
  int clientId = 0;
  int sessionId = 0;
  bool openSession = true;
  double duration = 0.0;  // s, the session's Duration
  std::filesystem::path folder;
  std::filesystem::path configFile;
  CXMLMarkup config;
  bool configFromFile = false;  // false: built from the template in memory
  std::optional<ScriptProtocol> protocol;
  SessionRecording recording;
  std::array<SignalSlot, kSlotCount> slots;
  AnalysisSettings settings;
  std::optional<IntervalSeries> ekg, bvp, resp;
  std::array<std::optional<RmsSeries>, 2> rms;  // EMG slots 7 and 8
  std::vector<TSessionSegment> rejected;
  EventList events;
  // Inputs that were there but could not be used (a damaged series file the
  // user chose not to replace ...), each naming the file and the reason: the
  // results of the session are incomplete while this is not empty.
  std::vector<std::string> problems;

  // The inputs of the statistics at the settings' epoch length.
  EpochInputs epochInputs() const;
  // Column 5 texts: the analysed channel's description, or its kind.
  std::string sourceName(IbiSource source) const;
  std::string signalName(std::int32_t signal) const;
};
#pragma pop_macro("slots")

struct SessionLoadRequest {
  std::filesystem::path dataRoot;
  std::filesystem::path programFolder;
  int clientId = 0;
  int sessionId = 0;
  // Reports the detection of series that have to be generated (samples done
  // of the samples to go); empty for none.
  ProgressFn progress;
};

// Loads the session; every failure has been shown through ui when it returns nullptr.
std::unique_ptr<AnalysisSession> loadSessionForAnalysis(const SessionLoadRequest& request, UserInterface& ui);

// Finds or generates the session's series for its slots and settings (series
// files are read when present), replacing the series held.
void findOrCreateSessionSeries(AnalysisSession& session, UserInterface& ui, const ProgressFn& progress = {});

// The interval series of a heart slot (kSlotEkg or kSlotBvp) detected again
// from its raw channel with the session's settings, in memory only; nullopt
// when the slot has no recorded channel or the detection cannot run.
std::optional<IntervalSeries> detectSeriesAgain(const AnalysisSession& session, int slot,
                                                const ProgressFn& progress = {});

// The series file of a heart slot detected again from the raw channel and
// written; the session's series are read again (Undo all segments).
void regenerateHeartSeries(AnalysisSession& session, int slot, UserInterface& ui, const ProgressFn& progress = {});

// An IBI series file analysed as an open session: its kind (EKG or BVP) from
// the file name, EKG when the name says neither.
std::unique_ptr<AnalysisSession> loadIbiFileForAnalysis(const std::filesystem::path& file, UserInterface& ui);

}  // namespace rc
