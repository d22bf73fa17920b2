#include "store/recording.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "support/binary.h"
#include "support/format.h"

namespace rc {

namespace fs = std::filesystem;

double RecordingHeader::duration() const {
  if (totalRate == 0 || fileSize < dataOffset) return 0.0;
  return static_cast<double>(fileSize - dataOffset) / (4.0 * static_cast<double>(totalRate));
}

Result<RecordingHeader> parseRecordingHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
  ByteReader r(head);
  ByteCursor c(r);
  RecordingHeader h;
  h.fileSize = fileSize;
  std::uint32_t groups = c.u32();
  if (!c.ok()) return Status::error("the recording is too short for its header");
  if (groups > kMaxGroups) return Status::error(strprintf("the recording declares %u channel groups", groups));
  for (std::uint32_t g = 0; g < groups; ++g) {
    std::uint32_t n = c.u32();
    if (!c.ok()) return Status::error("the recording ends inside its header");
    if (n > kMaxChannels - h.channels.size())
      return Status::error("the recording declares more than 40 channels");
    h.groupCounts.push_back(n);
    for (std::uint32_t k = 0; k < n; ++k) {
      ChannelEntry e;
      e.id = c.u32();
      e.rate = c.u32();
      c.skip(4);
      e.kept = c.u32();
      c.skip(4);
      if (!c.ok()) return Status::error("the recording ends inside its channel table");
      h.channels.push_back(e);
    }
  }
  h.totalRate = c.u32();
  h.blockRate = c.u32();
  if (!c.ok()) return Status::error("the recording ends inside its header");
  h.dataOffset = c.pos();
  if (h.totalRate == 0) return Status::error("the recording's total sample rate is 0");
  if (h.blockRate == 0) return Status::error("the recording's block rate is 0");
  std::uint64_t perBlock = 0;
  for (const auto& e : h.channels) perBlock += e.rate / h.blockRate;
  if (perBlock == 0) return Status::error("the recording's blocks hold no samples");
  return h;
}

SampleBuffer::~SampleBuffer() {
  if (data_) ::munmap(data_, bytes_);
}

SampleBuffer& SampleBuffer::operator=(SampleBuffer&& o) noexcept {
  if (this != &o) {
    if (data_) ::munmap(data_, bytes_);
    data_ = o.data_;
    size_ = o.size_;
    bytes_ = o.bytes_;
    o.data_ = nullptr;
    o.size_ = o.bytes_ = 0;
  }
  return *this;
}

bool SampleBuffer::allocate(std::size_t count) {
  if (data_) ::munmap(data_, bytes_);
  data_ = nullptr;
  size_ = bytes_ = 0;
  if (count == 0) return true;
  if (count > SIZE_MAX / sizeof(float)) return false;
  std::size_t bytes = count * sizeof(float);
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  if (bytes >= (std::size_t(4) << 20)) (void)::madvise(p, bytes, MADV_HUGEPAGE);
#endif
  data_ = static_cast<float*>(p);
  size_ = count;
  bytes_ = bytes;
  return true;
}

bool SessionRecording::open(const fs::path& sessionFolder, const ExpectedLayout& expected) {
  return openFile(sessionFolder / "Session.dat", expected);
}

bool SessionRecording::openFile(const fs::path& file, const ExpectedLayout& expected) {
  return load(file, &expected);
}

bool SessionRecording::openFileUnchecked(const fs::path& file) { return load(file, nullptr); }

void SessionRecording::close() {
  header_ = {};
  buffers_.clear();
  buffers_.shrink_to_fit();
  open_ = false;
}

std::optional<std::size_t> SessionRecording::findChannel(std::uint32_t channelId) const {
  for (std::size_t i = 0; i < header_.channels.size(); ++i)
    if (header_.channels[i].id == channelId) return i;
  return std::nullopt;
}

namespace {
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to size bytes at offset; returns the count read (short at end of file).
std::int64_t readAt(int fd, std::uint8_t* buf, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, buf + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}
}  // namespace

bool SessionRecording::load(const fs::path& file, const ExpectedLayout* expected) {
  close();
  error_.clear();
  Fd f;
  f.fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a pipe must not block the open
  if (f.fd < 0) {
    error_ = "cannot open " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(f.fd, &st) != 0) {
    error_ = "cannot read " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = file.string() + (S_ISDIR(st.st_mode) ? ": a folder, not a file" : ": not a regular file");
    return false;
  }
  const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
  // The header is at most 4 + 4 * (4 + 40 * 20) + 8 bytes.
  std::vector<std::uint8_t> head(4 + kMaxGroups * 4 + kMaxChannels * kDescriptorSize + 8);
  std::int64_t got = readAt(f.fd, head.data(), head.size(), 0);
  if (got < 0) {
    error_ = "cannot read " + file.string();
    return false;
  }
  head.resize(static_cast<std::size_t>(got));
  auto parsed = parseRecordingHeader(head, fileSize);
  if (!parsed) {
    error_ = parsed.status().message();
    return false;
  }
  RecordingHeader h = std::move(*parsed);
  if (expected) {
    if (h.groupCounts.size() != expected->groups || expected->groups > kMaxGroups) {
      error_ = "the recording's channel groups differ from the channel set";
      return false;
    }
    for (std::size_t g = 0; g < h.groupCounts.size(); ++g) {
      if (h.groupCounts[g] != expected->perGroup[g]) {
        error_ = "the recording's channels differ from the channel set";
        return false;
      }
    }
  }

  // Samples per block of each channel and the block size, in 64 bits.
  const std::size_t nch = h.channels.size();
  std::vector<std::uint64_t> perBlock(nch);
  std::uint64_t blockFloats = 0;
  for (std::size_t i = 0; i < nch; ++i) {
    perBlock[i] = h.channels[i].rate / h.blockRate;
    blockFloats += perBlock[i];
  }
  const std::uint64_t blockBytes = blockFloats * 4;
  const std::uint64_t dataBytes = fileSize - h.dataOffset;
  const std::uint64_t blocks = dataBytes / blockBytes;
  const double duration = h.duration();

  std::vector<SampleBuffer> buffers(nch);
  for (std::size_t i = 0; i < nch; ++i) {
    double byDuration = static_cast<double>(h.channels[i].rate) * duration;
    std::uint64_t cap = byDuration >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(byDuration);
    cap = std::min(cap, blocks * perBlock[i]);
    if (!buffers[i].allocate(static_cast<std::size_t>(cap))) {
      error_ = "not enough memory for the recording";
      return false;
    }
  }

  // De-interleave in chunks of whole blocks.
  std::vector<std::uint64_t> fill(nch, 0);
  const std::uint64_t chunkBlocks = std::max<std::uint64_t>(1, (std::uint64_t(4) << 20) / blockBytes);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min(blocks, chunkBlocks) * blockBytes));
  std::uint64_t offset = h.dataOffset;
  bool full = false;
  for (std::uint64_t b = 0; b < blocks && !full;) {
    std::uint64_t n = std::min(chunkBlocks, blocks - b);
    std::int64_t got2 = readAt(f.fd, chunk.data(), static_cast<std::size_t>(n * blockBytes), offset);
    if (got2 < 0) {
      error_ = "cannot read " + file.string();
      return false;
    }
    // The file may have shrunk since it was measured: use whole blocks only.
    std::uint64_t have = static_cast<std::uint64_t>(got2) / blockBytes;
    const std::uint8_t* p = chunk.data();
    for (std::uint64_t k = 0; k < have && !full; ++k) {
      for (std::size_t i = 0; i < nch; ++i) {
        std::uint64_t count = perBlock[i];
        if (fill[i] + count > buffers[i].size()) {
          full = true;
          break;
        }
        if (count) {
          float* dst = buffers[i].data() + fill[i];
          if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(dst, p, static_cast<std::size_t>(count) * 4);
          } else {
            for (std::uint64_t k2 = 0; k2 < count; ++k2) dst[k2] = loadF32(p + 4 * k2);
          }
          fill[i] += count;
        }
        p += count * 4;
      }
    }
    if (have < n) break;
    b += n;
    offset += n * blockBytes;
  }
  for (std::size_t i = 0; i < nch; ++i) buffers[i].shrink(static_cast<std::size_t>(fill[i]));

  header_ = std::move(h);
  buffers_ = std::move(buffers);
  open_ = true;
  return true;
}

std::vector<std::uint8_t> buildRecording(const std::vector<std::vector<ChannelEntry>>& groups,
                                         std::uint32_t blockRate,
                                         const std::vector<std::vector<float>>& samples) {
  return buildRecordingFromViews(groups, blockRate,
                                 std::vector<std::span<const float>>(samples.begin(), samples.end()));
}

std::vector<std::uint8_t> buildRecordingFromViews(const std::vector<std::vector<ChannelEntry>>& groups,
                                                  std::uint32_t blockRate,
                                                  const std::vector<std::span<const float>>& samples) {
  ByteWriter w;
  w.u32(static_cast<std::uint32_t>(groups.size()));
  std::vector<ChannelEntry> all;
  std::uint32_t total = 0;
  for (const auto& g : groups) {
    w.u32(static_cast<std::uint32_t>(g.size()));
    for (const auto& e : g) {
      w.u32(e.id);
      w.u32(e.rate);
      w.u32(0);
      w.u32(e.kept);
      w.u32(0);
      all.push_back(e);
      total += e.rate;
    }
  }
  w.u32(total);
  w.u32(blockRate);
  if (blockRate == 0) return w.take();
  std::uint64_t blocks = UINT64_MAX;
  for (std::size_t i = 0; i < all.size() && i < samples.size(); ++i) {
    std::uint64_t per = all[i].rate / blockRate;
    if (per) blocks = std::min<std::uint64_t>(blocks, samples[i].size() / per);
  }
  if (blocks == UINT64_MAX) blocks = 0;
  for (std::uint64_t b = 0; b < blocks; ++b) {
    for (std::size_t i = 0; i < all.size(); ++i) {
      std::uint64_t per = all[i].rate / blockRate;
      if (per && i < samples.size()) w.f32Array(samples[i].data() + b * per, static_cast<std::size_t>(per));
      else if (per) w.zeros(static_cast<std::size_t>(per * 4));
    }
  }
  return w.take();
}

}  // namespace rc
