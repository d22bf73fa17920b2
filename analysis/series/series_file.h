#pragma once
// The series files of a session folder.
//
// IBI and respiration period files (little-endian, no other header):
//   int32 S; S segment records of 16 bytes (int32 number, float32 first-beat
//   offset s, float32 segment start s, int32 interval count); then N float32
//   intervals in ms, N = the sum of the records' counts. Trailing bytes are
//   ignored. Every interval is a number above 0 and at most kMaxIntervalMs;
//   segment times lie within kMaxSegmentTimeS of the recording start. A file
//   breaking either is refused with the interval or segment named, so a few
//   absurd bytes can never stretch a series over years of empty epochs.
// RMS files: int32 M, then M float32 values.
//
// Readers validate every count against the file size before allocating, and
// leave the caller's series untouched unless the whole file was read. Writers
// go through the atomic writer, so a failed save keeps the previous file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/series/series.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr int kFileNotCreatedId = 189;  // the file could not be created; a blank and the path follow
inline constexpr std::size_t kSegmentRecordSize = 16;
// The longest interval a series file may hold: 60 s (a heart beat or a
// breath longer than that is no physiology).
inline constexpr double kMaxIntervalMs = 60000.0;
// Segment times (start, first-beat offset) beyond a week are refused.
inline constexpr double kMaxSegmentTimeS = 7.0 * 24.0 * 3600.0;

// "IBIFromEKG_", "IBIFromBVP_", "RespPeriod_" or "RMS_".
const char* seriesFilePrefix(SeriesKind kind);

// prefix + channelText + ".dat" (channelText is a channel label such as "1A").
std::string seriesFileName(SeriesKind kind, std::string_view channelText);
std::filesystem::path seriesFilePath(const std::filesystem::path& sessionFolder, SeriesKind kind,
                                     std::string_view channelText);

// The kind of a series file, recognised from the start of its file name (not
// the folder part): "IBIFromEKG" is an EKG series, else "IBIFromBVP" a BVP
// series; "RespPeriod" and "RMS_" name the others.
std::optional<SeriesKind> seriesKindFromPath(const std::filesystem::path& path);

// Decodes an IBI or respiration period file. For an open session the table is
// one record (a file with no records gets a zeroed one; several records are
// folded into the first) and the first event time is the record's first-beat
// offset. For a scripted session the table is kept as read and the first event
// time is that of record 1 (0 without records).
Result<IntervalSeries> parseIntervalSeries(std::span<const std::uint8_t> bytes, bool openSession);

// Encodes exactly the layout above. Precondition: the records' counts add up to
// values.size() (prepareForWrite checks it).
std::vector<std::uint8_t> encodeIntervalSeries(const IntervalSeries& series);

// Brings the table in step with the values before a write: for an open session
// the single record takes the whole count and the first event time; for a
// scripted session the records' counts must add up to the number of values.
Status prepareForWrite(IntervalSeries& series, bool openSession);

// Reads a series file into `series`. On any failure (missing, short or
// inconsistent file) `series` keeps what it held and the status says why.
Status readIntervalSeries(const std::filesystem::path& path, bool openSession, IntervalSeries& series);

// prepareForWrite, then an atomic replace of the file.
Status writeIntervalSeries(const std::filesystem::path& path, IntervalSeries& series, bool openSession);

// The message shown when a file cannot be created: string 189, a blank and
// the path.
Message fileNotCreatedMessage(const std::filesystem::path& path);

// writeIntervalSeries, showing the file-not-created message (warning) on
// failure. Returns whether the file was written; the series stays in memory
// either way.
bool saveIntervalSeries(const std::filesystem::path& path, IntervalSeries& series, bool openSession,
                        UserInterface& ui);

Result<RmsSeries> parseRmsSeries(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encodeRmsSeries(const RmsSeries& series);
Status readRmsSeries(const std::filesystem::path& path, RmsSeries& series);
Status writeRmsSeries(const std::filesystem::path& path, const RmsSeries& series);
bool saveRmsSeries(const std::filesystem::path& path, const RmsSeries& series, UserInterface& ui);

}  // namespace rc
