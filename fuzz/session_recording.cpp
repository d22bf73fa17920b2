// Session.dat: header parsing and de-interleaving of arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/scratch_folder.h"
#include "store/recording.h"
#include "support/file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parsed = rc::parseRecordingHeader({data, size}, size);
  static const std::filesystem::path file = rc::fuzzing::scratchFile("session", "Session.dat");
  if (!rc::writeFileAtomic(file, std::span<const std::uint8_t>(data, size))) return 0;
  rc::SessionRecording rec;
  if (rec.openFileUnchecked(file)) {
    for (std::size_t i = 0; i < rec.channelCount(); ++i) {
      auto s = rec.samples(i);
      volatile float sink = s.empty() ? 0.0f : s.back();
      (void)sink;
    }
  }
  if (parsed) {
    rc::ExpectedLayout layout;
    layout.groups = static_cast<std::uint32_t>(parsed->groupCounts.size());
    for (std::size_t g = 0; g < parsed->groupCounts.size() && g < rc::kMaxGroups; ++g)
      layout.perGroup[g] = parsed->groupCounts[g];
    rc::SessionRecording checked;
    (void)checked.openFile(file, layout);
  }
  return 0;
}
