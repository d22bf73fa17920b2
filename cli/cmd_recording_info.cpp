#include <cstdio>

#include "cli/command.h"
#include "store/recording.h"

namespace rc::cli {
namespace {

int run(const std::vector<std::string>& args) {
  if (args.size() != 1) return usageError("usage: recording-info FILE");
  SessionRecording rec;
  if (!rec.openFileUnchecked(args[0])) {
    // The reader's own messages may already name the file.
    const std::string& e = rec.error();
    return e.find(args[0]) != std::string::npos ? failure(e) : fileFailure(args[0], e);
  }
  const auto& h = rec.header();
  std::printf("file: %s\n", args[0].c_str());
  std::printf("groups: %zu\n", h.groupCounts.size());
  for (std::size_t g = 0; g < h.groupCounts.size(); ++g)
    std::printf("  group %zu: %u channels\n", g, h.groupCounts[g]);
  std::printf("channels:\n  index,id,rate_hz,samples\n");
  for (std::size_t i = 0; i < rec.channelCount(); ++i)
    std::printf("  %zu,%u,%u,%zu\n", i, rec.channel(i).id, rec.channel(i).rate, rec.samples(i).size());
  std::printf("total_rate: %u\nblock_rate: %u\nduration_s: %.6f\n", h.totalRate, h.blockRate, h.duration());
  return 0;
}

const CommandRegistrar reg({"recording-info", "FILE",
                            "prints a Session.dat's groups, channel table, total and block rates and duration",
                            run});

}  // namespace
}  // namespace rc::cli
