#include "app/session_config.h"

#include <algorithm>
#include <system_error>

#include "analysis/protocol/settings.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/locale.h"
#include "support/xml_markup.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

constexpr int kMsgNotFound = 1044;
constexpr int kMsgEmpty = 1151;
constexpr int kMsgNotXml = 1152;
constexpr int kMsgCannotCreate = 198;

bool isMultiSource(SignalKind k) {
  return k == SignalKind::Sc || k == SignalKind::Temp || k == SignalKind::Emg;
}

int firstSlotOf(SignalKind k) {
  static constexpr int kFirst[kSignalKindCount] = {kSlotEkg, kSlotBvp,   kSlotResp,
                                                   kSlotSc1, kSlotTemp1, kSlotEmg1};
  return kFirst[static_cast<int>(k)];
}

std::optional<SignalKind> kindOfType(const std::string& type) {
  for (int k = 0; k < kSignalKindCount; ++k)
    if (type == signalTypeText(static_cast<SignalKind>(k))) return static_cast<SignalKind>(k);
  return std::nullopt;
}

int childInt(CXMLMarkup& doc, const char* name) {
  doc.ResetChildPos();
  if (!doc.FindChildElem(name)) return 0;
  return static_cast<int>(parseInteger(doc.GetChildDataUtf8()).value_or(0));
}

std::string childText(CXMLMarkup& doc, const char* name) {
  doc.ResetChildPos();
  return doc.FindChildElem(name) ? doc.GetChildDataUtf8() : std::string();
}

// Main position: the element holding Input and Description.
void assignSlot(CXMLMarkup& doc, SessionSignalSlot& slot, std::int32_t oldInput,
                const ChannelIndexLookup& lookup) {
  const int input = childInt(doc, "Input");
  if (input < 1 || input > 40) return;
  slot.input = input;
  slot.description = childText(doc, "Description");
  slot.label = channelLabelOf(input);
  if (lookup) {
    if (std::optional<std::size_t> i = lookup(static_cast<std::uint32_t>(input)))
      slot.channelIndex = static_cast<std::int32_t>(*i);
  }
  slot.changed = input != oldInput;
}

// Main position: a "Signal" element or one of its sources.
bool writeChannel(CXMLMarkup& doc, const ConfiguredChannel& c, bool withSensorType) {
  bool ok = doc.WriteChildData("Input", std::to_string(c.input));
  ok = doc.WriteChildData("Description", c.description) && ok;
  if (withSensorType) ok = doc.WriteChildData("SensorType", std::to_string(c.sensorType)) && ok;
  return ok;
}

}  // namespace

const char* signalTypeText(SignalKind kind) {
  static constexpr const char* kTypes[kSignalKindCount] = {"EKG", "BVP", "RESP", "SC", "TEMP", "MYO"};
  return kTypes[static_cast<int>(kind)];
}

std::string channelLabelOf(int input) {
  if (input < 1 || input > 40) return {};
  const int encoder = (input - 1) / 10;
  return strprintf("%d%c", encoder + 1, static_cast<char>(0x40 + input - 10 * encoder));
}

fs::path sessionConfigPath(const fs::path& dataFolder, int clientId, int sessionId) {
  return dataFolder / "Clients" / strprintf("%d", clientId) / strprintf("Sess%04d", sessionId) /
         kSessionConfigFileName;
}

bool checkSessionConfig(const fs::path& file, UserInterface& ui) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    ui.showMessage(MessageBuilder().id(kMsgNotFound).text(" ").text(file.string()), Icon::Warning);
    return false;
  }
  const auto size = fs::file_size(file, ec);
  if (ec || size == 0) {
    ui.showMessage(messageOf(kMsgEmpty), Icon::Warning);
    return false;
  }
  CXMLMarkup doc;
  if (!doc.Load(file)) {
    ui.showMessage(messageOf(kMsgEmpty), Icon::Warning);
    return false;
  }
  if (!doc.FindElem()) {
    ui.showMessage(MessageBuilder().id(kMsgNotXml).text(" ").text(file.string()), Icon::Warning);
    return false;
  }
  return true;
}

EnsureResult ensureSessionConfig(const fs::path& file, const fs::path& templateFile, UserInterface& ui) {
  std::error_code ec;
  if (fs::exists(file, ec)) {
    if (checkSessionConfig(file, ui)) return EnsureResult::Existing;
    // Keep whatever was there: it may be the only copy of the user's choices.
    fs::path bad = file;
    bad += ".bad";
    fs::rename(file, bad, ec);
  }
  Result<std::vector<std::uint8_t>> bytes = readWholeFile(templateFile);
  if (!bytes || !writeFileAtomic(file, *bytes)) {
    ui.showMessage(MessageBuilder().id(kMsgCannotCreate).text(" ").text(kSessionConfigFileName),
                   Icon::Warning);
    return EnsureResult::Failed;
  }
  return EnsureResult::CreatedFromTemplate;
}

void readSignalPart(CXMLMarkup& doc, SessionSignalSlots& slots, const ChannelIndexLookup& lookup) {
  std::array<std::int32_t, kSignalSlotCount> old{};
  for (int i = 0; i < kSignalSlotCount; ++i) {
    old[i] = slots[i].input;
    slots[i] = SessionSignalSlot{};
  }
  doc.ResetPos();
  if (!doc.FindElem() || !doc.IntoElem()) return;
  while (doc.FindElem("Signal")) {
    const std::optional<SignalKind> kind = kindOfType(childText(doc, "Type"));
    const int count = childInt(doc, "Count");
    if (!kind || count <= 0) continue;
    const int slot = firstSlotOf(*kind);
    if (!isMultiSource(*kind)) {
      assignSlot(doc, slots[slot], old[slot], lookup);
      continue;
    }
    for (int source = 0; source < (count == 2 ? 2 : 1); ++source) {
      doc.ResetChildPos();
      if (!doc.FindChildElem(source == 0 ? "Source1" : "Source2")) continue;
      doc.IntoElem();
      SessionSignalSlot& s = slots[slot + source];
      assignSlot(doc, s, old[slot + source], lookup);
      if (*kind == SignalKind::Emg && s.input != 0) {
        const int sensor = childInt(doc, "SensorType");
        s.rawEmg = sensor == 0 || sensor == 19;
      }
      doc.OutOfElem();
    }
  }
  doc.ResetPos();
}

bool readReconfig(CXMLMarkup& doc) {
  doc.ResetPos();
  const bool set = doc.FindElem() && childInt(doc, "Reconfig") != 0;
  doc.ResetPos();
  return set;
}

bool setSignalPart(CXMLMarkup& doc, const SignalPart& part, bool reconfig) {
  doc.ResetPos();
  if (!doc.FindElem()) return false;
  bool ok = doc.WriteChildData("Reconfig", reconfig ? "1" : "0");
  for (int k = 0; k < kSignalKindCount; ++k) {
    const SignalKind kind = static_cast<SignalKind>(k);
    const std::vector<ConfiguredChannel>& chosen = part[static_cast<std::size_t>(k)];
    // Main position: the root. Find this kind's "Signal" element, or add one.
    doc.ResetChildPos();
    bool found = false;
    while (!found && doc.FindChildElem("Signal")) {
      doc.IntoElem();
      found = childText(doc, "Type") == signalTypeText(kind);
      if (!found) doc.OutOfElem();
    }
    if (!found) {
      if (!doc.AddChildElem("Signal")) return false;
      doc.IntoElem();
      ok = doc.WriteChildData("Type", signalTypeText(kind)) && ok;
    }
    const std::size_t count = std::min<std::size_t>(chosen.size(), isMultiSource(kind) ? 2 : 1);
    ok = doc.WriteChildData("Count", std::to_string(count)) && ok;
    if (!isMultiSource(kind)) {
      if (!chosen.empty()) ok = writeChannel(doc, chosen.front(), false) && ok;
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        const char* name = i == 0 ? "Source1" : "Source2";
        doc.ResetChildPos();
        if (!doc.FindChildElem(name) && !doc.AddChildElem(name)) return false;
        doc.IntoElem();
        ok = writeChannel(doc, chosen[i], kind == SignalKind::Emg) && ok;
        doc.OutOfElem();
      }
    }
    doc.OutOfElem();
  }
  const bool ekg = !part[static_cast<int>(SignalKind::Ekg)].empty();
  const bool bvp = !part[static_cast<int>(SignalKind::Bvp)].empty();
  ok = writeSettingInt(doc, "Setting1", deriveIbiSource(ekg, bvp)) && ok;
  doc.ResetPos();
  return ok;
}

Status writeSignalPart(const fs::path& file, const SignalPart& part, bool reconfig) {
  CXMLMarkup doc;
  if (!doc.Load(file)) return Status::error(doc.GetErrorUtf8());
  if (!setSignalPart(doc, part, reconfig)) return Status::error("no root element in " + file.string());
  if (!doc.Save(file)) return Status::error(doc.GetErrorUtf8());
  return Status::ok();
}

}  // namespace rc
