#pragma once
// Find-or-create of a session's series files: each series the analysis needs
// is looked for in the session folder; an existing file is left as it is (it
// is read when the series is needed), a missing one is generated from its raw
// channel and written.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/series/series.h"
#include "analysis/series/series_gen.h"
#include "support/ui.h"

namespace rc {

// What is selected for analysis. Channel texts are the channel labels ("1A")
// that name the files; an empty text means no channel is selected.
struct SeriesSelection {
  int ibiSource = 3;  // "Setting1": 1 BVP only, 2 EKG only, 3 both
  std::string ekgChannel;
  std::string bvpChannel;
  std::string respChannel;
  std::vector<std::string> rmsChannels;  // raw channels that get an RMS series
};

// The samples and rate of a recorded channel, or nullopt when the session did
// not record it. The samples must stay valid until findOrCreateSeries returns.
using ChannelLookup = std::function<std::optional<ChannelInput>(const std::string& channelText)>;

enum class SeriesFileState {
  Existing,      // the file was there and was left unchanged
  Created,       // generated and written
  NotWritten,    // generated, but the file could not be written (message shown); series in memory only
  NotGenerated,  // the channel could not be processed (unusable rate or block rate); no series
};

struct SeriesFileOutcome {
  SeriesKind kind = SeriesKind::IbiFromEkg;
  std::string channelText;
  std::filesystem::path path;
  SeriesFileState state = SeriesFileState::Existing;
  std::optional<IntervalSeries> series;  // generated interval series (Created, NotWritten)
  std::optional<RmsSeries> rms;          // generated RMS series (Created, NotWritten)
};

struct FindOrCreateRequest {
  std::filesystem::path sessionFolder;
  SeriesSelection selection;
  SessionTiming timing;
  DetectionSettings settings;
};

// Whether the IBI source selection analyses the EKG (2, 3) and the BVP (every value but 2).
bool selectionUsesEkg(int ibiSource);
bool selectionUsesBvp(int ibiSource);

// Goes through EKG, BVP, respiration and the RMS channels in that order. Kinds
// that are not selected, whose channel text is unusable as part of a file
// name, or whose channel is not recorded are skipped and get no outcome. A
// file that cannot be written shows message 189 with its path.
std::vector<SeriesFileOutcome> findOrCreateSeries(const FindOrCreateRequest& request,
                                                  const ChannelLookup& channels,
                                                  const DetectorLibraryFactory& makeLibrary,
                                                  UserInterface& ui, const ProgressFn& progress = {});

// The same with the production detector library.
std::vector<SeriesFileOutcome> findOrCreateSeries(const FindOrCreateRequest& request,
                                                  const ChannelLookup& channels, UserInterface& ui,
                                                  const ProgressFn& progress = {});

// Message ids of the damaged-file rule.
inline constexpr int kFileUnusableId = 7001;     // "The file %s cannot be used:", the reason follows
inline constexpr int kSetAsideRebuiltId = 7002;  // the RMS file was set aside as %s and is built again
inline constexpr int kAskRegenerateId = 7003;    // question: detect the series again (Restore All)?

// The name a damaged file is set aside under: NAME.damaged beside it.
std::filesystem::path setAsidePath(const std::filesystem::path& file);

// Reads the file of an outcome in state Existing into o.series or o.rms.
// A file that cannot be used is never taken for an empty or shorter series:
// - an RMS file (written only by the program) is set aside under
//   setAsidePath, built again from its channel and written, with a message
//   naming the file and the reason (the outcome becomes Created or
//   NotWritten);
// - an IBI or respiration period file may hold a clinician's edits: the user
//   is asked, naming the file and the reason, whether to detect the series
//   again (No by default). Yes sets the file aside and regenerates it; No
//   leaves it as it is, and the returned status names the file and reason.
// Outcomes in other states are left as they are.
Status loadSeriesFile(const FindOrCreateRequest& request, const ChannelLookup& channels,
                      const DetectorLibraryFactory& makeLibrary, SeriesFileOutcome& outcome, UserInterface& ui,
                      const ProgressFn& progress = {});
Status loadSeriesFile(const FindOrCreateRequest& request, const ChannelLookup& channels,
                      SeriesFileOutcome& outcome, UserInterface& ui, const ProgressFn& progress = {});

}  // namespace rc
