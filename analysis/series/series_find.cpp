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

}  // namespace

bool selectionUsesEkg(int ibiSource) { return ibiSource == 2 || ibiSource == 3; }
bool selectionUsesBvp(int ibiSource) { return ibiSource != 2; }

std::vector<SeriesFileOutcome> findOrCreateSeries(const FindOrCreateRequest& request,
                                                  const ChannelLookup& channels,
                                                  const DetectorLibraryFactory& makeLibrary,
                                                  UserInterface& ui, const ProgressFn& progress) {
  const SeriesSelection& sel = request.selection;
  const bool openSession = !request.timing.scripted();
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
    std::unique_ptr<DetectorLibrary> library = makeLibrary ? makeLibrary() : nullptr;
    Result<IntervalSeries> series =
        library ? generateIntervalSeries(kind, *channel, request.timing, request.settings, *library, progress)
                : Result<IntervalSeries>(Status::error("no detector library"));
    if (!series) {
      o.state = SeriesFileState::NotGenerated;
      outcomes.push_back(std::move(o));
      continue;
    }
    o.series = std::move(*series);
    o.state = saveIntervalSeries(o.path, *o.series, openSession, ui) ? SeriesFileState::Created
                                                                     : SeriesFileState::NotWritten;
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

}  // namespace rc
