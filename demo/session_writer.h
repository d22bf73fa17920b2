#pragma once
// Writes the recording files of one demo session into its folder: the raw
// recording, the events and the generator's truth (beat and breath times,
// which the program itself never reads).
#include <filesystem>
#include <string>
#include <vector>

#include "demo/physiology.h"
#include "store/recording.h"
#include "store/session_files.h"
#include "support/status.h"

namespace rc::demo {

// Host sensor type codes of the channel table.
enum SensorType : int { kSensorEmg = 0, kSensorEkg = 4, kSensorBvp = 5, kSensorSc = 6, kSensorTemp = 7, kSensorResp = 8, kSensorEmgRaw = 19 };

struct DemoChannel {
  std::uint32_t id = 0;  // host channel number 1..40
  std::uint32_t rate = 0;
  int sensorType = 0;
  std::string description;
  std::vector<float> samples;
};

struct DemoSessionFiles {
  std::vector<DemoChannel> channels;  // in channel-id order
  std::uint32_t blockRate = 32;
  std::vector<TSessionEvent> events;  // written to Events.dat (kinds 0, 1, 5, 6)
  const Physiology* truth = nullptr;  // beats and breaths for "truth_*.csv"
};

// Groups of channels by encoder (ids 1-10, 11-20, ...), as the recording's header holds them.
std::vector<std::vector<ChannelEntry>> channelGroups(const std::vector<DemoChannel>& channels);

Status writeSessionFiles(const std::filesystem::path& folder, const DemoSessionFiles& files);

}  // namespace rc::demo
