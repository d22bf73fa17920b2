#pragma once
// The analysis part of loading a session for review: the epoch grid is first
// formed with 60-second epochs (so that every session with a minute of data
// can be shown), the stored epoch length is put back, and the statistics are
// computed with the load's handling of a session that holds no epoch of the
// stored length.
#include <filesystem>
#include <functional>

#include "analysis/epochs/epochs.h"
#include "support/ui.h"

namespace rc {

class CXMLMarkup;

inline constexpr int kCannotAnalyseId = 307;    // "this session cannot be analysed"
inline constexpr int kUnderAMinuteId = 363;     // follows 307 after ": "
inline constexpr int kNoEpochOfLengthId = 232;  // question, followed by a blank and 214
inline constexpr int kUseMinuteEpochsId = 214;

// The outcome, in the values of the container's load(): 0 failed, 1 ready,
// 2 the session holds no interval at all (the caller tells the user).
enum class SessionAnalysisOutcome : int { Failed = 0, Ready = 1, NoIntervals = 2 };

// The epoch grid at 60 s. Fewer than one epoch gives NoIntervals when the
// analysed series hold no interval at all (no message), else Failed after
// the warning "307: 363". inputs.epochSeconds is not used.
SessionAnalysisOutcome checkMinuteEpochGrid(const EpochInputs& inputs, UserInterface& ui);

using RecomputeFn = std::function<int(const EpochInputs&, EpochResults&, UserInterface&)>;

// Where "EpochTime" = 60 is stored when the user accepts 60-second epochs.
struct EpochTimeStore {
  CXMLMarkup* config = nullptr;  // the session's loaded configuration document
  std::filesystem::path file;    // its file
};

// Computes the statistics at inputs.epochSeconds. When no epoch exists: with
// 60 s or less the load fails; with a longer epoch the user is asked
// ("232 214", Yes/No, No by default) whether to use 60-second epochs: No
// fails, Yes sets inputs.epochSeconds to 60, stores "EpochTime" = 60 (a save
// that fails is shown as message 189 with the path; the load goes on) and
// computes again. A missing series, or any other result, fails the load.
SessionAnalysisOutcome recomputeForLoad(EpochInputs& inputs, const EpochTimeStore& store, EpochResults& out,
                                        UserInterface& ui, const RecomputeFn& recompute = recomputeEpochs);

// Both steps in order, putting the stored epoch length back in between.
SessionAnalysisOutcome analyseLoadedSession(EpochInputs& inputs, const EpochTimeStore& store,
                                            EpochResults& out, UserInterface& ui,
                                            const RecomputeFn& recompute = recomputeEpochs);

}  // namespace rc
