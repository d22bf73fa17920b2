#pragma once
// The raw multi-channel recording of a session ("Session.dat"), read into one
// contiguous float buffer per channel.
//
// Layout (little-endian):
//   u32 G groups; per group: u32 n_g, then n_g descriptors of 20 bytes
//   {u32 channel id, u32 sample rate, u32 unused, u32 kept, u32 unused};
//   u32 T total samples per second; u32 R blocks per second; then blocks,
//   each holding (rate / R) float32 samples per channel in descriptor order.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/status.h"

namespace rc {

inline constexpr std::size_t kMaxChannels = 40;
inline constexpr std::size_t kMaxGroups = 4;
inline constexpr std::size_t kDescriptorSize = 20;

struct ChannelEntry {
  std::uint32_t id = 0;    // host channel number 1..40
  std::uint32_t rate = 0;  // samples per second
  std::uint32_t kept = 0;  // the descriptor's word at offset 12
  bool operator==(const ChannelEntry&) const = default;
};

// What the session's channel set says the file must hold.
struct ExpectedLayout {
  std::uint32_t groups = 0;                          // encoder count
  std::array<std::uint32_t, kMaxGroups> perGroup{};  // descriptors per group
};

// The header as found in a file, before any check against a channel set.
struct RecordingHeader {
  std::vector<std::uint32_t> groupCounts;
  std::vector<ChannelEntry> channels;
  std::uint32_t totalRate = 0;  // T
  std::uint32_t blockRate = 0;  // R
  std::uint64_t dataOffset = 0;
  std::uint64_t fileSize = 0;
  double duration() const;      // s: (file size - data offset) / (4 T)
};

// Parses and checks a header from its first bytes: every read is bounded by
// the bytes given; a header declaring more than 40 descriptors, more than four
// groups, T = 0, R = 0 or no channel with rate / R >= 1 is refused.
Result<RecordingHeader> parseRecordingHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// A channel's samples: uninitialised on allocation (every sample is written
// by the reader), backed by huge pages where the system offers them.
class SampleBuffer {
 public:
  SampleBuffer() = default;
  ~SampleBuffer();
  SampleBuffer(SampleBuffer&& o) noexcept : data_(o.data_), size_(o.size_), bytes_(o.bytes_) {
    o.data_ = nullptr;
    o.size_ = o.bytes_ = 0;
  }
  SampleBuffer& operator=(SampleBuffer&& o) noexcept;
  SampleBuffer(const SampleBuffer&) = delete;
  SampleBuffer& operator=(const SampleBuffer&) = delete;

  bool allocate(std::size_t count);  // false when out of memory
  void shrink(std::size_t count) { size_ = count < size_ ? count : size_; }
  float* data() { return data_; }
  std::size_t size() const { return size_; }
  std::span<const float> span() const { return {data_, size_}; }

 private:
  float* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t bytes_ = 0;
};

class SessionRecording {
 public:
  // Opens <folder>/Session.dat, checks the header against the expected layout
  // and reads every channel. False (no message) when the file is missing,
  // unreadable or does not match; the object is then empty.
  bool open(const std::filesystem::path& sessionFolder, const ExpectedLayout& expected);
  bool openFile(const std::filesystem::path& file, const ExpectedLayout& expected);
  // Reads without comparing to a channel set (inspection tools).
  bool openFileUnchecked(const std::filesystem::path& file);
  void close();
  bool isOpen() const { return open_; }

  const RecordingHeader& header() const { return header_; }
  std::size_t channelCount() const { return header_.channels.size(); }
  const ChannelEntry& channel(std::size_t index) const { return header_.channels[index]; }
  // The channel's whole signal; empty for a channel whose rate is below R.
  std::span<const float> samples(std::size_t index) const { return buffers_[index].span(); }
  std::uint32_t totalRate() const { return header_.totalRate; }
  std::uint32_t blockRate() const { return header_.blockRate; }
  double duration() const { return header_.duration(); }
  // Index of the first channel with this id.
  std::optional<std::size_t> findChannel(std::uint32_t channelId) const;
  const std::string& error() const { return error_; }

 private:
  bool load(const std::filesystem::path& file, const ExpectedLayout* expected);
  RecordingHeader header_;
  std::vector<SampleBuffer> buffers_;
  std::string error_;
  bool open_ = false;
};

// Builds the bytes of a Session.dat (tests, demo data). Channels are given per
// group; samples[i] holds channel i's signal in the same order.
std::vector<std::uint8_t> buildRecordingFromViews(const std::vector<std::vector<ChannelEntry>>& groups,
                                                  std::uint32_t blockRate,
                                                  const std::vector<std::span<const float>>& samples);
std::vector<std::uint8_t> buildRecording(const std::vector<std::vector<ChannelEntry>>& groups,
                                         std::uint32_t blockRate,
                                         const std::vector<std::vector<float>>& samples);

}  // namespace rc
