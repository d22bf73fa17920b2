#pragma once
// Files through a narrow seam: whole-file reads, an RAII read-only mapping,
// and the one atomic-replace writer that every rewritten file goes through.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "support/status.h"

namespace rc {

namespace fs = std::filesystem;

// Size limits of whole-file reads, by kind of file.
inline constexpr std::uint64_t kMaxTextFileBytes = 64ull << 20;     // XML, language table, templates
inline constexpr std::uint64_t kMaxSeriesFileBytes = 256ull << 20;  // IBI, respiration, events
inline constexpr std::uint64_t kMaxBulkFileBytes = 2ull << 30;      // RMS series, raw sample files

// Reads a whole regular file of at most maxBytes. Fails with a message naming
// the path: not a regular file (a folder, a device, a pipe), larger than the
// limit, or a read error.
Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path,
                                                std::uint64_t maxBytes = kMaxSeriesFileBytes);

// The reason of the last failed system call, as the system words it ("No
// space left on device").
std::string systemReason(int error);

// A read-only memory mapping of a whole file, unmapped in the destructor.
// An empty file maps to an empty span.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(MappedFile&& o) noexcept;
  MappedFile& operator=(MappedFile&& o) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  Status open(const fs::path& path);
  void close();
  bool isOpen() const { return open_; }
  std::span<const std::uint8_t> bytes() const {
    return {static_cast<const std::uint8_t*>(data_), size_};
  }
  std::uint64_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
  bool open_ = false;
};

// Writes a file by way of a temporary file in the same folder: the target is
// replaced only by commit(), after every write succeeded and the data was
// flushed. Destroying an uncommitted writer removes the temporary file and
// leaves the target as it was.
//
// The temporary file is unnamed (O_TMPFILE) where the file system allows it
// and gets its hidden name only at commit, just before the rename: a run
// killed while writing leaves nothing behind. Where unnamed files are not
// supported it is a named ".NAME.tmpXXXXXX" beside the target, and opening a
// writer first removes such leftovers of the same target that are older than
// a minute (a killed earlier run's).
class AtomicWriter {
 public:
  AtomicWriter() = default;
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  Status open(const fs::path& target);
  // Appends bytes; a failed write is remembered and reported by commit().
  void write(const void* data, std::size_t size);
  void write(std::span<const std::uint8_t> data) { write(data.data(), data.size()); }
  void write(const std::string& s) { write(s.data(), s.size()); }
  Status commit();
  void abandon();
  // Whether commit() waits for the data to reach the disk (fsync) before the
  // rename; on by default. Files the user can simply write again (text
  // exports) may leave it off: the rename still replaces the target whole.
  void setSync(bool sync) { sync_ = sync; }

 private:
  fs::path target_;
  fs::path temp_;  // empty while the temporary file is unnamed
  int fd_ = -1;
  bool failed_ = false;
  bool sync_ = true;
  int error_ = 0;  // errno of the first failed write
};

// Removes the named temporary files that killed runs of AtomicWriter left in
// a folder (".NAME.tmpXXXXXX", untouched for a minute); returns how many.
// Loading a session calls it for the session folder.
int removeStaleTemporaries(const fs::path& folder);

// One-call form of AtomicWriter.
Status writeFileAtomic(const fs::path& target, std::span<const std::uint8_t> data);
Status writeFileAtomic(const fs::path& target, const std::string& data);

namespace testing {
// Makes the next AtomicWriter::commit() (process-wide) fail before the rename,
// so tests can show that a failed rewrite keeps the old file.
void failNextAtomicCommit();
// Makes AtomicWriter use named temporary files, as on file systems without
// unnamed ones (restored by passing false).
void forceNamedTemporaries(bool on);
}  // namespace testing

}  // namespace rc
