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

// Reads a whole file. Fails with a message naming the path.
Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path);

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
  fs::path temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  bool sync_ = true;
};

// One-call form of AtomicWriter.
Status writeFileAtomic(const fs::path& target, std::span<const std::uint8_t> data);
Status writeFileAtomic(const fs::path& target, const std::string& data);

namespace testing {
// Makes the next AtomicWriter::commit() (process-wide) fail before the rename,
// so tests can show that a failed rewrite keeps the old file.
void failNextAtomicCommit();
}  // namespace testing

}  // namespace rc
