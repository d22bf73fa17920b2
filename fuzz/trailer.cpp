// Fuzzes the channel-set checks that run before a database is opened: the
// version trailer and the damaged-database test.
//
// The input is used twice: as a whole file (as it is found on disk, also
// read back through the file-based readers), and as the trailer of a file
// that is long enough to have one, so that every input reaches the magic and
// version fields; the result is checked against the trailer's layout.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/scratch_folder.h"
#include "store/staging.h"
#include "support/file_io.h"

namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// What the trailer of these bytes (exactly kTrailerSize of them) must give.
int expected(const std::uint8_t* trailer) {
  if (le32(trailer) != rc::kTrailerMagic) return rc::kTrailerMissing;
  std::uint32_t version = le32(trailer + 8);
  if (version > rc::kTrailerVersionOffset) version -= rc::kTrailerVersionOffset;
  return version >= rc::kCurrentChannelSetVersion ? rc::kTrailerCurrent : rc::kTrailerOlder;
}

const std::filesystem::path& scratch() {
  static const std::filesystem::path file = rc::fuzzing::scratchFile("trailer", "Standard.chs");
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const std::uint8_t> whole(data, size);
  const int r = rc::versionTrailerOf(whole);
  if (r < 0 || r > 4 || r == rc::kTrailerUnreadable) std::abort();
  if (size <= rc::kTrailerSize && r != rc::kTrailerTooShort) std::abort();
  if (size > rc::kTrailerSize && r != expected(data + size - rc::kTrailerSize)) std::abort();

  // The input as the trailer: one byte of database in front, the trailer
  // padded with zeros.
  std::vector<std::uint8_t> file(1 + rc::kTrailerSize, 0);
  std::memcpy(file.data() + 1, data, std::min(size, rc::kTrailerSize));
  if (rc::versionTrailerOf(file) != expected(file.data() + 1)) std::abort();

  // The same bytes through the file readers.
  if (!rc::writeFileAtomic(scratch(), whole)) return 0;
  if (rc::checkVersionTrailer(scratch()) != r) std::abort();
  (void)rc::truncatedDatabaseReason(scratch());
  return 0;
}
