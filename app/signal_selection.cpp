#include "app/signal_selection.h"

#include <algorithm>

#include "store/records_channels.h"
#include "store/records_host.h"
#include "support/language.h"

namespace rc {

namespace {

constexpr int kMsgSelectOne = 117;
constexpr int kMsgSelectTwo = 116;
constexpr int kMsgCannotWrite = 189;

}  // namespace

int kindNameId(SignalKind k) {
  switch (k) {
    case SignalKind::Ekg:
      return 119;
    case SignalKind::Bvp:
      return 120;
    case SignalKind::Resp:
      return 195;
    case SignalKind::Sc:
      return 217;
    case SignalKind::Temp:
      return 196;
    case SignalKind::Emg:
      return 197;
  }
  return 0;
}

std::optional<SignalKind> signalKindOfSensor(int sensorType) {
  switch (sensorType) {
    case 4:
      return SignalKind::Ekg;
    case 5:
      return SignalKind::Bvp;
    case 8:
      return SignalKind::Resp;
    case 6:
      return SignalKind::Sc;
    case 7:
      return SignalKind::Temp;
    case 0:
    case 1:
    case 2:
    case 19:
      return SignalKind::Emg;
    default:
      return std::nullopt;
  }
}

int listCapacity(SignalKind kind) {
  return kind == SignalKind::Ekg || kind == SignalKind::Bvp || kind == SignalKind::Resp ? 1 : 2;
}

SignalSelectionModel::SignalSelectionModel(const std::vector<ChannelOption>& channelSet) {
  for (const ChannelOption& c : channelSet) {
    if (c.input < 1 || c.input > 40) continue;
    if (std::optional<SignalKind> k = signalKindOfSensor(c.sensorType)) lists_[index(*k)].push_back(c);
  }
  for (std::size_t k = 0; k < lists_.size(); ++k) selected_[k].assign(lists_[k].size(), false);
}

bool SignalSelectionModel::needsDialog() const {
  for (int k = 0; k < kSignalKindCount; ++k) {
    const auto kind = static_cast<SignalKind>(k);
    if (list(kind).size() > static_cast<std::size_t>(listCapacity(kind))) return true;
  }
  return false;
}

void SignalSelectionModel::selectAll() {
  for (auto& s : selected_) std::fill(s.begin(), s.end(), true);
}

void SignalSelectionModel::setSelected(SignalKind kind, std::size_t row, bool selected) {
  std::vector<bool>& s = selected_[index(kind)];
  if (row >= s.size()) return;
  if (selected && listCapacity(kind) == 1) std::fill(s.begin(), s.end(), false);
  s[row] = selected;
}

bool SignalSelectionModel::isSelected(SignalKind kind, std::size_t row) const {
  const std::vector<bool>& s = selected_[index(kind)];
  return row < s.size() && s[row];
}

std::size_t SignalSelectionModel::selectedCount(SignalKind kind) const {
  const std::vector<bool>& s = selected_[index(kind)];
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), true));
}

bool SignalSelectionModel::validate(UserInterface& ui) const {
  auto failing = [&](std::initializer_list<SignalKind> kinds, auto wrong) {
    std::string names;
    for (SignalKind k : kinds) {
      if (list(k).empty() || !wrong(k)) continue;
      if (!names.empty()) names += ", ";
      names += str(kindNameId(k));
    }
    return names;
  };
  const std::string single = failing({SignalKind::Ekg, SignalKind::Bvp, SignalKind::Resp},
                                     [&](SignalKind k) { return selectedCount(k) != 1; });
  if (!single.empty()) {
    ui.showMessage(MessageBuilder().idArg(kMsgSelectOne, single), Icon::Warning);
    return false;
  }
  const std::string multi = failing({SignalKind::Sc, SignalKind::Temp, SignalKind::Emg}, [&](SignalKind k) {
    return selectedCount(k) != (list(k).size() == 1 ? 1u : 2u);
  });
  if (!multi.empty()) {
    ui.showMessage(MessageBuilder().idArg(kMsgSelectTwo, multi), Icon::Warning);
    return false;
  }
  return true;
}

SignalPart SignalSelectionModel::signalPart() const {
  SignalPart part;
  for (std::size_t k = 0; k < lists_.size(); ++k) {
    for (std::size_t r = 0; r < lists_[k].size(); ++r) {
      if (!selected_[k][r]) continue;
      const ChannelOption& c = lists_[k][r];
      part[k].push_back({c.input, c.description, c.sensorType});
    }
  }
  return part;
}

SelectionStep configureWithoutDialog(SignalSelectionModel& model, const std::filesystem::path& configFile,
                                     Status* status) {
  if (model.needsDialog()) return SelectionStep::DialogNeeded;
  model.selectAll();
  Status s = writeSignalPart(configFile, model.signalPart(), false);
  const bool ok = s.isOk();
  if (status) *status = std::move(s);
  return ok ? SelectionStep::WrittenWithoutDialog : SelectionStep::WriteFailed;
}

bool acceptSelection(const SignalSelectionModel& model, const std::filesystem::path& configFile,
                     UserInterface& ui) {
  if (!model.validate(ui)) return false;
  if (!writeSignalPart(configFile, model.signalPart(), true)) {
    ui.showMessage(MessageBuilder().id(kMsgCannotWrite).text(" ").text(configFile.string()), Icon::Warning);
    return false;
  }
  return true;
}

std::vector<ChannelOption> readChannelOptions(CADODatabase& channelSet) {
  std::vector<ChannelOption> out;
  CRecPhysChan chan(channelSet);
  for (chan.open(true); !chan.isEOF(); chan.moveNext())
    out.push_back({chan.PChannelNumber, chan.SensorType, chan.Description});
  return out;
}

}  // namespace rc

namespace rc {

std::vector<std::string> listChooserFiles(const std::filesystem::path& folder, std::string_view extension) {
  auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  const std::string want = lower(std::string(extension));
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (lower(it->path().extension().string()) == want) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<EncoderProtocolInfo> readEncoderProtocols(CADODatabase& encoderUnit) {
  std::vector<EncoderProtocolInfo> out;
  CRecEncoderProtocol rec(encoderUnit);
  for (rec.openQuery(encoderProtocolQuery()); !rec.isEOF(); rec.moveNext())
    out.push_back({rec.ProtocolID, rec.ProtocolName});
  return out;
}

std::optional<int> channelSetProtocol(CADODatabase& channelSet) {
  CRecChannelSetInfo info(channelSet);
  info.open(true);
  if (info.isEOF()) return std::nullopt;
  return static_cast<int>(info.ProtocolID);
}

ChooserModel::ChooserModel(std::vector<EncoderProtocolInfo> protocols, std::vector<ChooserEntry> entries,
                           int protocol)
    : protocols_(std::move(protocols)), entries_(std::move(entries)) {
  setProtocol(protocol);
}

void ChooserModel::setProtocol(int id) {
  const bool known = std::any_of(protocols_.begin(), protocols_.end(),
                                 [&](const EncoderProtocolInfo& p) { return p.id == id; });
  protocol_ = known || protocols_.empty() ? id : protocols_.front().id;
}

std::vector<std::string> ChooserModel::names() const {
  std::vector<std::string> out;
  for (const ChooserEntry& e : entries_)
    if (!e.protocolId || *e.protocolId == protocol_) out.push_back(e.name);
  return out;
}

std::optional<std::string> ChooserModel::choose(std::size_t row) const {
  const std::vector<std::string> n = names();
  if (row >= n.size()) return std::nullopt;
  return n[row];
}

}  // namespace rc
