#pragma once
// The per-session configuration file "HRVConfig.xml": its creation from the
// shipped template, the check of an existing file, and the signal part that
// ties each analysed signal to a recorded channel (nine signal slots).
//
// Layout (root element name not checked):
//   Reconfig            1: signal part last written from the selection dialog, 0: without asking
//   Signal (x6)         Type EKG|BVP|RESP|SC|TEMP|MYO, Count, then
//                         EKG/BVP/RESP: Input, Description
//                         SC/TEMP/MYO:  Source1 [, Source2] each with Input, Description (+ SensorType for
//                         MYO)
//   Settings            the analysis settings (analysis/settings.h)
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/status.h"
#include "support/ui.h"

namespace rc {

class CXMLMarkup;

inline constexpr const char* kSessionConfigFileName = "HRVConfig.xml";

// The nine signal slots, in this fixed order.
enum SignalSlotIndex : int {
  kSlotEkg = 0,
  kSlotBvp = 1,
  kSlotResp = 2,
  kSlotSc1 = 3,
  kSlotSc2 = 4,
  kSlotTemp1 = 5,
  kSlotTemp2 = 6,
  kSlotEmg1 = 7,
  kSlotEmg2 = 8,
};
inline constexpr int kSignalSlotCount = 9;

struct SessionSignalSlot {
  std::int32_t input = 0;          // input channel number 1..40; 0 = no channel
  std::int32_t channelIndex = -1;  // index in the recording's channel table; -1 = none
  std::string label;               // "1A" .. "4J"; names the series files
  std::string description;         // the channel's name
  bool rawEmg = false;             // EMG slots: the series is the RMS of the raw signal
  bool changed = false;            // the input differs from the one held before the last reading
  bool operator==(const SessionSignalSlot&) const = default;
};
using SessionSignalSlots = std::array<SessionSignalSlot, kSignalSlotCount>;

// The six signal kinds of the file, in template order.
enum class SignalKind { Ekg = 0, Bvp = 1, Resp = 2, Sc = 3, Temp = 4, Emg = 5 };
inline constexpr int kSignalKindCount = 6;
const char* signalTypeText(SignalKind kind);  // "EKG" .. "MYO"

// "%d%c": encoder number and channel letter, 1 -> "1A", 40 -> "4J"; empty
// outside 1..40.
std::string channelLabelOf(int input);

// data folder + "Clients/<client>/Sess<nnnn>/HRVConfig.xml".
std::filesystem::path sessionConfigPath(const std::filesystem::path& dataFolder, int clientId, int sessionId);

// Whether an existing file is usable: found (else message 1044 + path), not
// empty (else 1151), and parsed with a root element (else 1152 + path).
bool checkSessionConfig(const std::filesystem::path& file, UserInterface& ui);

enum class EnsureResult {
  Existing,             // a usable file was there; nothing changed
  CreatedFromTemplate,  // the template was copied in this call
  Failed,               // the copy failed (message 198 + file name shown)
};
// Makes sure a usable configuration file exists. An unusable file is kept
// beside it as "HRVConfig.xml.bad" before the template replaces it.
EnsureResult ensureSessionConfig(const std::filesystem::path& file, const std::filesystem::path& templateFile,
                                 UserInterface& ui);

// The index of a channel id in the recording's channel table.
using ChannelIndexLookup = std::function<std::optional<std::size_t>(std::uint32_t channelId)>;

// Refills the slots from the document's "Signal" elements; the changed flags
// compare with the inputs the slots held before. An input outside 1..40 leaves
// its slot empty.
void readSignalPart(CXMLMarkup& doc, SessionSignalSlots& slots, const ChannelIndexLookup& lookup);
// "Reconfig" is non-zero.
bool readReconfig(CXMLMarkup& doc);

// One selected channel as the signal part stores it.
struct ConfiguredChannel {
  std::int32_t input = 0;
  std::string description;
  std::int32_t sensorType = 0;  // written for EMG ("SensorType")
  bool operator==(const ConfiguredChannel&) const = default;
};
// The channels chosen for each kind, in list order (at most 1 for EKG, BVP
// and RESP, at most 2 for the others).
using SignalPart = std::array<std::vector<ConfiguredChannel>, kSignalKindCount>;

// Writes "Reconfig", every "Signal" element's Count and sources, and
// "Settings"/"Setting1" into the document; missing elements are added.
// False when the document has no root element.
bool setSignalPart(CXMLMarkup& doc, const SignalPart& part, bool reconfig);
// Loads the file, sets the signal part and saves it.
Status writeSignalPart(const std::filesystem::path& file, const SignalPart& part, bool reconfig);

}  // namespace rc
