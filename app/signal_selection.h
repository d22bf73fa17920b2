#pragma once
// The signal selection model: which recorded channel feeds each analysed
// signal. Six lists (EKG, BVP, respiration: one channel each; skin
// conductance, temperature, EMG: up to two each) are filled from the
// session's channel set by sensor type. When no list offers more channels
// than it can take, everything is selected without asking; otherwise the
// selection dialog (a thin widget over this model) lets the user choose.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/session_config.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

class CADODatabase;

// One physical channel of the session's channel set.
struct ChannelOption {
  std::int32_t input = 0;       // PChannelNumber, 1..40
  std::int32_t sensorType = 0;  // 4 EKG, 5 BVP, 8 respiration, 6 SC, 7 temperature, 0/1/2/19 EMG
  std::string description;
  bool operator==(const ChannelOption&) const = default;
};

// The list a sensor type belongs to; nullopt for sensors that are not analysed.
std::optional<SignalKind> signalKindOfSensor(int sensorType);
// The string id of a kind's name (119 EKG, 120 BVP, 195 respiration ...).
int kindNameId(SignalKind kind);
// 1 for EKG, BVP and respiration, 2 for the others.
int listCapacity(SignalKind kind);

class SignalSelectionModel {
 public:
  explicit SignalSelectionModel(const std::vector<ChannelOption>& channelSet);

  const std::vector<ChannelOption>& list(SignalKind kind) const { return lists_[index(kind)]; }
  // Some list holds more channels than it can take: the user must choose.
  bool needsDialog() const;

  void selectAll();
  // Selects or clears a row of a list (rows outside the list are ignored).
  void setSelected(SignalKind kind, std::size_t row, bool selected);
  bool isSelected(SignalKind kind, std::size_t row) const;
  std::size_t selectedCount(SignalKind kind) const;

  // The OK checks. A failing check shows its warning (117 for the
  // single-select lists, then 116 for the others, each naming the failing
  // kinds) and returns false: the dialog stays open.
  bool validate(UserInterface& ui) const;

  // The selected channels of each list, in list order.
  SignalPart signalPart() const;

 private:
  static std::size_t index(SignalKind k) { return static_cast<std::size_t>(k); }
  std::array<std::vector<ChannelOption>, kSignalKindCount> lists_;
  std::array<std::vector<bool>, kSignalKindCount> selected_;
};

enum class SelectionStep {
  WrittenWithoutDialog,  // every offered channel selected, "Reconfig" 0 written
  DialogNeeded,          // show the dialog over the model
  WriteFailed,           // the file could not be written (status says why)
};
// The first step of configuring a session's signals.
SelectionStep configureWithoutDialog(SignalSelectionModel& model, const std::filesystem::path& configFile,
                                     Status* status = nullptr);

// OK of the dialog: validates, then writes the signal part with "Reconfig" 1.
// False keeps the dialog open (a validation message, or message 189 with the
// path when the file could not be written).
bool acceptSelection(const SignalSelectionModel& model, const std::filesystem::path& configFile,
                     UserInterface& ui);

// The physical channels of an open channel-set database, in table order.
// Throws CADOException on a failing call.
std::vector<ChannelOption> readChannelOptions(CADODatabase& channelSet);

}  // namespace rc

namespace rc {

// The channel set and script choosers of the report editor: the files of a
// folder ("*.chs" in the data folder's "Channels", "*.prt" in its
// "Scripts"), grouped by the encoder protocol they were made for, with the
// protocols of the host's encoder unit file.
struct ChooserEntry {
  std::string name;               // file name with its extension
  std::optional<int> protocolId;  // nullopt: offered under every protocol
  bool operator==(const ChooserEntry&) const = default;
};

// The file names in folder whose extension (without case) is extension
// (".chs"), sorted. A missing folder gives no names.
std::vector<std::string> listChooserFiles(const std::filesystem::path& folder, std::string_view extension);

// The encoder protocols ("SELECT * FROM EncoderProtocol ORDER BY ProtocolID ASC").
// Throws CADOException on a failing call.
struct EncoderProtocolInfo {
  int id = 0;
  std::string name;
  bool operator==(const EncoderProtocolInfo&) const = default;
};
std::vector<EncoderProtocolInfo> readEncoderProtocols(CADODatabase& encoderUnit);

// The encoder protocol of an open channel-set database (its SetInfo row).
std::optional<int> channelSetProtocol(CADODatabase& channelSet);

class ChooserModel {
 public:
  // protocol: the one shown first (the last one used); the first protocol
  // when it is not among them.
  ChooserModel(std::vector<EncoderProtocolInfo> protocols, std::vector<ChooserEntry> entries, int protocol);

  const std::vector<EncoderProtocolInfo>& protocols() const { return protocols_; }
  int protocol() const { return protocol_; }
  void setProtocol(int id);
  // The names offered under the current protocol.
  std::vector<std::string> names() const;
  // OK with a row of names(): the chosen name, or nullopt for no valid row.
  std::optional<std::string> choose(std::size_t row) const;

 private:
  std::vector<EncoderProtocolInfo> protocols_;
  std::vector<ChooserEntry> entries_;
  int protocol_ = 0;
};

}  // namespace rc
