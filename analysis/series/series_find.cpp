#include "analysis/series/series_find.h"

#include <system_error>

#include "analysis/series/series_file.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

// A channel text becomes part of a file name: it must not leave the folder.
bool usableChannelText(const std::string& text) {
  if (text.empty() || text == "." || text == "..") return false;
  return text.find('/') == std::string::npos && text.find('\0') == std::string::npos;
}

bool fileExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Detects the interval series of o's channel and writes its file.
void generateInto(SeriesFileOutcome& o, const ChannelInput& channel, const FindOrCreateRequest& request,
                  const DetectorLibraryFactory& makeLibrary, UserInterface& ui, const ProgressFn& progress) {
  const bool openSession = !request.timing.scripted();
  std::unique_ptr<DetectorLibrary> library = makeLibrary ? makeLibrary() : nullptr;
  Result<IntervalSeries> series =
      library ? generateIntervalSeries(o.kind, channel, request.timing, request.settings, *library, progress)
              : Result<IntervalSeries>(Status::error("no detector library"));
  if (!series) {
    o.state = SeriesFileState::NotGenerated;
    return;
  }
  o.series = std::move(*series);
  o.state = saveIntervalSeries(o.path, *o.series, openSession, ui) ? SeriesFileState::Created
                                                                   : SeriesFileState::NotWritten;
}

// The reason of a failed read without the path the reader put in front.
std::string reasonOf(const Status& st, const fs::path& path) {
  const std::string prefix = path.string() + ": ";
  const std::string& m = st.message();
  return m.rfind(prefix, 0) == 0 ? m.substr(prefix.size()) : m;
}

bool setAside(const fs::path& file, const fs::path& aside) {
  std::error_code ec;
  fs::rename(file, aside, ec);
  return !ec;
}

}  // namespace

fs::path setAsidePath(const fs::path& file) { return fs::path(file.string() + ".damaged"); }

Status loadSeriesFile(const FindOrCreateRequest& request, const ChannelLookup& channels,
                      const DetectorLibraryFactory& makeLibrary, SeriesFileOutcome& o, UserInterface& ui,
                      const ProgressFn& progress) {
  if (o.state != SeriesFileState::Existing) return Status::ok();
  const bool openSession = !request.timing.scripted();
  const fs::path aside = setAsidePath(o.path);
  if (o.kind == SeriesKind::Rms) {
    RmsSeries rms;
    const Status st = readRmsSeries(o.path, rms);
    if (st) {
      o.rms = std::move(rms);
      return Status::ok();
    }
    std::optional<ChannelInput> channel = channels ? channels(o.channelText) : std::nullopt;
    const std::string reason = reasonOf(st, o.path);
    if (!channel || !setAside(o.path, aside)) {
      ui.showMessage(MessageBuilder().idArg(kFileUnusableId, o.path.string()).text(" ").text(reason),
                     Icon::Warning);
      return Status::error(o.path.string() + ": " + reason);
    }
    ui.showMessage(MessageBuilder()
                       .idArg(kFileUnusableId, o.path.string())
                       .text(" ")
                       .text(reason)
                       .text("\n")
                       .idArg(kSetAsideRebuiltId, aside.string()),
                   Icon::Information);
    o.rms = computeRms(channel->samples, request.settings.averagingFactor);
    o.state = saveRmsSeries(o.path, *o.rms, ui) ? SeriesFileState::Created : SeriesFileState::NotWritten;
    return Status::ok();
  }
  IntervalSeries series;
  const Status st = readIntervalSeries(o.path, openSession, series);
  if (st) {
    o.series = std::move(series);
    return Status::ok();
  }
  const std::string reason = reasonOf(st, o.path);
  const Status failed = Status::error(o.path.string() + ": " + reason);
  std::optional<ChannelInput> channel = channels ? channels(o.channelText) : std::nullopt;
  const Message unusable = MessageBuilder().idArg(kFileUnusableId, o.path.string()).text(" ").text(reason);
  if (!channel) {
    ui.showMessage(unusable, Icon::Warning);
    return failed;
  }
  Message question = unusable;
  const Message ask = MessageBuilder().idArg(kAskRegenerateId, aside.string());
  question.ids.insert(question.ids.end(), ask.ids.begin(), ask.ids.end());
  question.text += "\n" + ask.text;
  if (!ui.askYesNo(question, false, Icon::Warning)) return failed;
  if (!setAside(o.path, aside)) {
    ui.showMessage(fileNotCreatedMessage(aside), Icon::Warning);
    return failed;
  }
  generateInto(o, *channel, request, makeLibrary, ui, progress);
  if (!o.series) return failed;
  return Status::ok();
}

bool selectionUsesEkg(int ibiSource) { return ibiSource == 2 || ibiSource == 3; }
bool selectionUsesBvp(int ibiSource) { return ibiSource != 2; }

std::vector<SeriesFileOutcome> findOrCreateSeries(const FindOrCreateRequest& request,
                                                  const ChannelLookup& channels,
                                                  const DetectorLibraryFactory& makeLibrary,
                                                  UserInterface& ui, const ProgressFn& progress) {
  const SeriesSelection& sel = request.selection;
  std::vector<std::pair<SeriesKind, std::string>> wanted;
  if (selectionUsesEkg(sel.ibiSource) && !sel.ekgChannel.empty())
    wanted.emplace_back(SeriesKind::IbiFromEkg, sel.ekgChannel);
  if (selectionUsesBvp(sel.ibiSource) && !sel.bvpChannel.empty())
    wanted.emplace_back(SeriesKind::IbiFromBvp, sel.bvpChannel);
  if (!sel.respChannel.empty()) wanted.emplace_back(SeriesKind::RespPeriod, sel.respChannel);
  for (const std::string& c : sel.rmsChannels) {
    if (!c.empty()) wanted.emplace_back(SeriesKind::Rms, c);
  }

  std::vector<SeriesFileOutcome> outcomes;
  for (const auto& [kind, text] : wanted) {
    if (!usableChannelText(text)) continue;
    std::optional<ChannelInput> channel = channels ? channels(text) : std::nullopt;
    if (!channel) continue;
    SeriesFileOutcome o;
    o.kind = kind;
    o.channelText = text;
    o.path = seriesFilePath(request.sessionFolder, kind, text);
    if (fileExists(o.path)) {
      o.state = SeriesFileState::Existing;
      outcomes.push_back(std::move(o));
      continue;
    }
    if (kind == SeriesKind::Rms) {
      o.rms = computeRms(channel->samples, request.settings.averagingFactor);
      o.state = saveRmsSeries(o.path, *o.rms, ui) ? SeriesFileState::Created : SeriesFileState::NotWritten;
      outcomes.push_back(std::move(o));
      continue;
    }
    generateInto(o, *channel, request, makeLibrary, ui, progress);
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

}  // namespace rc
