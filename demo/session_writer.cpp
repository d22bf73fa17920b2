#include "demo/session_writer.h"

#include <algorithm>
#include <system_error>

#include "analysis/series/series_file.h"
#include "store/events.h"
#include "support/file_io.h"
#include "support/format.h"

namespace rc::demo {

namespace fs = std::filesystem;

std::vector<std::vector<ChannelEntry>> channelGroups(const std::vector<DemoChannel>& channels) {
  std::uint32_t maxGroup = 0;
  for (const auto& c : channels) maxGroup = std::max(maxGroup, (c.id - 1) / 10 + 1);
  std::vector<std::vector<ChannelEntry>> groups(maxGroup);
  for (const auto& c : channels) groups[(c.id - 1) / 10].push_back({c.id, c.rate, 0});
  return groups;
}

namespace {
std::string truthBeats(const Physiology& p) {
  std::string out = "time_s,kind\n";
  for (const auto& b : p.beats) out += strprintf("%.6f,%s\n", b.time, b.ectopic ? "ectopic" : "normal");
  return out;
}

std::string truthBreaths(const Physiology& p) {
  std::string out = "time_s\n";
  for (double t : p.breaths) out += strprintf("%.6f\n", t);
  return out;
}
}  // namespace

Status writeSessionFiles(const fs::path& folder, const DemoSessionFiles& files) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return Status::error("cannot create " + folder.string() + ": " + ec.message());

  // A demo written over an earlier one (another seed, another scale) gets a
  // new recording: whatever was derived from or added to the old one goes,
  // so nothing computed from the old recording is analysed with the new.
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    const bool derived = seriesKindFromPath(e.path()).has_value() || name == "Events.dat" ||
                         name == "ChannelSegments.dat";
    std::error_code ec2;
    if (derived && e.is_regular_file(ec2) && !fs::remove(e.path(), ec2) && ec2)
      return Status::error("cannot remove " + e.path().string() + ": " + ec2.message());
  }

  // Channels go into the file grouped by encoder, in id order within a group.
  std::vector<DemoChannel const*> ordered;
  for (const auto& c : files.channels) ordered.push_back(&c);
  std::stable_sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) { return a->id < b->id; });
  std::vector<std::span<const float>> samples;
  std::vector<DemoChannel> sortedMeta;
  for (auto* c : ordered) {
    samples.emplace_back(c->samples);
    sortedMeta.push_back({c->id, c->rate, c->sensorType, c->description, {}});
  }
  auto bytes = buildRecordingFromViews(channelGroups(sortedMeta), files.blockRate, samples);
  if (Status s = writeFileAtomic(folder / "Session.dat", bytes); !s) return s;

  EventList events;
  for (const auto& e : files.events) events.add(e.kind, e.time, e.name);
  if (!events.empty()) {
    // The host writes every kind; the program's own rewrite keeps only some.
    if (Status s = writeFileAtomic(folder / "Events.dat", events.serialise(true)); !s) return s;
  }

  if (files.truth) {
    if (Status s = writeFileAtomic(folder / "truth_beats.csv", truthBeats(*files.truth)); !s) return s;
    if (Status s = writeFileAtomic(folder / "truth_breaths.csv", truthBreaths(*files.truth)); !s) return s;
  }
  return Status::ok();
}

}  // namespace rc::demo
