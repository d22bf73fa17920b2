#pragma once
// The rejected stretches of the non-periodic channels of a session (skin
// conductance, temperature, EMG): one list for all channels, the merge rule
// that keeps each channel's stretches ascending and apart, deletion, the
// test the statistics use, and the file "ChannelSegments.dat" read at load
// and written at close.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "store/channel_segments.h"
#include "store/session_files.h"
#include "support/ui.h"

namespace rc {

// Commands of the rejection page's context menus.
inline constexpr int kCmdSetRejection = 32827;
inline constexpr int kCmdDeleteRejection = 32828;
inline constexpr int kCmdDeleteAllRejections = 32830;
inline constexpr int kCmdAutoScale = 32846;
inline constexpr int kCmdSetScale = 32847;
inline constexpr int kCmdRestoreAll = 32837;
inline constexpr int kDeleteAllQuestionId = 309;

// Results of the merge rule.
enum class MergeResult : int { Unchanged = 0, Inserted = 1, Merged = 2 };

// The list is the loaded session's (AnalysisSession::rejected): all
// stretches of all non-periodic channels; for one channel they stand in
// ascending order of start and do not overlap.

// Set Rejection: adds [start, end] for the channel by the merge rule (ends
// taken in order; exact comparisons; no limit on the records).
MergeResult addRejection(std::vector<TSessionSegment>& list, double start, double end, std::int32_t channel);

// The stretches of one channel, in list order.
std::vector<TSessionSegment> rejectionsOf(const std::vector<TSessionSegment>& list, std::int32_t channel);
bool hasRejections(const std::vector<TSessionSegment>& list, std::int32_t channel);

// The stretch of the channel that holds time t (start <= t <= end).
std::optional<TSessionSegment> rejectionAt(const std::vector<TSessionSegment>& list, std::int32_t channel,
                                           double t);

// Delete Rejection: removes the first record equal to the selected one;
// false when none matches (nothing changes).
bool removeRejection(std::vector<TSessionSegment>& list, const TSessionSegment& selected);

// Delete All Rejections: question 309 (Yes/No, No by default); Yes removes
// every stretch of the channel. Returns the answer.
bool removeAllRejectionsAsking(std::vector<TSessionSegment>& list, std::int32_t channel, UserInterface& ui);
void removeChannelRejections(std::vector<TSessionSegment>& list, const std::set<std::int32_t>& channels);

// Whether the sample of the channel at time t is rejected.
bool isRejected(const std::vector<TSessionSegment>& list, std::int32_t channel, double t);

// A dragged range on the chart: ends in order, then clamped to the chart's
// visible range and to [0, duration]; nullopt when nothing is left.
struct DragRange {
  double start = 0.0;
  double end = 0.0;
};
std::optional<DragRange> dragRange(double pressX, double releaseX, double chartMin, double chartMax,
                                   double duration);

// At close: the list is written to "ChannelSegments.dat" (atomically; an
// empty list deletes the file) when the user changed it; an unchanged list
// leaves the file as it was (also one that could not be read).
void saveRejectionsAtClose(const std::filesystem::path& sessionFolder, const std::vector<TSessionSegment>& list,
                           bool changed, UserInterface& ui);

// The scale dialog's checks (CScaleSettings): in the normal mode min < max,
// min >= -10000 and max <= 10000, else message 377 with -10000 and 10000; in
// the maximum-only mode 0 <= max <= 10000, else message 378 with 10000.
inline constexpr double kRejectionScaleLimit = 10000.0;
std::optional<Message> checkScale(double minimum, double maximum, bool maximumOnly);

// The page's label: string 448, the signal's name (217 SC, 449 TEMP, 326
// EMG) and " 1" or " 2", for slots 3..8.
std::string nonPeriodicLabel(int slot);
// Line colours of slots 3..8 as 0xRRGGBB.
std::uint32_t nonPeriodicColour(int slot);

// One pixel column of the overview: the smallest and largest finite sample
// whose time falls in it, with the column's time. Columns without samples
// are left out.
struct MinMaxColumn {
  double time = 0.0;
  float minimum = 0.0f;
  float maximum = 0.0f;
};
// Samples k at k / rate; the span [t0, t1) cut into `columns` columns.
std::vector<MinMaxColumn> decimateMinMax(const float* samples, std::int64_t count, double rate, double t0,
                                         double t1, int columns);

}  // namespace rc
