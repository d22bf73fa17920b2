#include "app/session_analysis_load.h"

#include <algorithm>

#include "analysis/series/series_file.h"
#include "analysis/series/series_find.h"
#include "app/session_config.h"
#include "app/signal_selection.h"
#include "store/ado_database.h"
#include "store/channel_segments.h"
#include "store/data_root.h"
#include "store/records.h"
#include "store/records_channels.h"
#include "store/records_host.h"
#include "store/records_script.h"
#include "store/staging.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/utf.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

Message missing(const fs::path& path) {
  return MessageBuilder().id(kFileNotFoundId).text(" ").text(path.string());
}

// A file that is there but cannot be used: its name and the reader's reason.
Message unusable(const fs::path& path, const std::string& reason) {
  return MessageBuilder().idArg(kFileUnusableId, path.string()).text(" ").text(reason);
}

// The reason without the path the reader may have put in front of it.
std::string reasonOf(const std::string& message, const fs::path& path) {
  const std::string prefix = path.string() + ": ";
  return message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : message;
}

// The signal part of a session without a usable configuration file, as the
// program would write it: every offered channel when no list offers more than
// it takes, else the first channels of each list. Kept in memory only.
void configureInMemory(CADODatabase& channelSet, CXMLMarkup& doc) {
  SignalSelectionModel model(readChannelOptions(channelSet));
  if (model.needsDialog()) {
    for (int k = 0; k < kSignalKindCount; ++k) {
      const auto kind = static_cast<SignalKind>(k);
      for (std::size_t row = 0; row < model.list(kind).size(); ++row)
        model.setSelected(kind, row, static_cast<int>(row) < listCapacity(kind));
    }
  } else {
    model.selectAll();
  }
  setSignalPart(doc, model.signalPart(), false);
}

}  // namespace

namespace {

FindOrCreateRequest seriesRequest(const AnalysisSession& s) {
  FindOrCreateRequest req;
  req.sessionFolder = s.folder;
  req.timing.blockRate = s.recording.blockRate();
  req.timing.sessionLength = static_cast<float>(s.duration);
  req.timing.openSession = s.openSession;
  if (s.protocol) req.timing.segmentDurations = s.protocol->segmentDurations();
  req.settings.ekgType = static_cast<std::uint8_t>(s.settings.ibiFromEkgType);
  req.settings.bvpType = static_cast<std::uint8_t>(s.settings.ibiFromBvpType);
  req.settings.respOption = static_cast<std::uint8_t>(s.settings.respirationOption);
  req.settings.averagingFactor = s.settings.averagingFactor;
  return req;
}

}  // namespace

std::optional<IntervalSeries> detectSeriesAgain(const AnalysisSession& s, int slot, const ProgressFn& progress) {
  if (slot != kSlotEkg && slot != kSlotBvp) return std::nullopt;
  const SignalSlot& sl = s.slots[static_cast<std::size_t>(slot)];
  if (!sl.used() || sl.index < 0 || static_cast<std::size_t>(sl.index) >= s.recording.channelCount())
    return std::nullopt;
  const auto i = static_cast<std::size_t>(sl.index);
  const ChannelInput channel{s.recording.samples(i), static_cast<double>(s.recording.channel(i).rate)};
  const FindOrCreateRequest req = seriesRequest(s);
  auto library = makeSignalLibrary();
  Result<IntervalSeries> series =
      generateIntervalSeries(slot == kSlotEkg ? SeriesKind::IbiFromEkg : SeriesKind::IbiFromBvp, channel,
                             req.timing, req.settings, *library, progress);
  if (!series) return std::nullopt;
  return std::move(*series);
}

void regenerateHeartSeries(AnalysisSession& s, int slot, UserInterface& ui, const ProgressFn& progress) {
  if (slot != kSlotEkg && slot != kSlotBvp) return;
  const SignalSlot& sl = s.slots[static_cast<std::size_t>(slot)];
  if (!sl.used()) return;
  std::error_code ec;
  fs::remove(seriesFilePath(s.folder, slot == kSlotEkg ? SeriesKind::IbiFromEkg : SeriesKind::IbiFromBvp, sl.label),
             ec);
  findOrCreateSessionSeries(s, ui, progress);
}

void findOrCreateSessionSeries(AnalysisSession& s, UserInterface& ui, const ProgressFn& progress) {
  s.ekg.reset();
  s.bvp.reset();
  s.resp.reset();
  s.rms = {};
  SeriesSelection sel;
  sel.ibiSource = s.settings.ibiSource;
  if (s.slots[0].used()) sel.ekgChannel = s.slots[0].label;
  if (s.slots[1].used()) sel.bvpChannel = s.slots[1].label;
  if (s.slots[2].used()) sel.respChannel = s.slots[2].label;
  for (int k = 7; k <= 8; ++k)
    if (s.slots[k].used() && s.slots[k].rawEmg) sel.rmsChannels.push_back(s.slots[k].label);
  FindOrCreateRequest req = seriesRequest(s);
  req.selection = sel;
  auto lookup = [&](const std::string& label) -> std::optional<ChannelInput> {
    for (const SignalSlot& slot : s.slots)
      if (slot.used() && slot.label == label) {
        const std::size_t i = static_cast<std::size_t>(slot.index);
        return ChannelInput{s.recording.samples(i), static_cast<double>(s.recording.channel(i).rate)};
      }
    return std::nullopt;
  };
  std::vector<SeriesFileOutcome> outcomes = findOrCreateSeries(req, lookup, ui, progress);
  // The problems of an earlier look at these files are replaced by this one's.
  std::erase_if(s.problems, [&](const std::string& p) {
    return std::any_of(outcomes.begin(), outcomes.end(),
                       [&](const SeriesFileOutcome& o) { return p.rfind(o.path.string() + ":", 0) == 0; });
  });
  for (SeriesFileOutcome& o : outcomes) {
    if (Status st = loadSeriesFile(req, lookup, o, ui, progress); !st) s.problems.push_back(st.message());
    if (o.kind == SeriesKind::Rms) {
      for (int k = 0; k < 2; ++k)
        if (s.slots[7 + k].label == o.channelText) s.rms[k] = o.rms;
      continue;
    }
    if (o.kind == SeriesKind::IbiFromEkg)
      s.ekg = std::move(o.series);
    else if (o.kind == SeriesKind::IbiFromBvp)
      s.bvp = std::move(o.series);
    else
      s.resp = std::move(o.series);
  }
}

std::unique_ptr<AnalysisSession> loadSessionForAnalysis(const SessionLoadRequest& rq, UserInterface& ui) {
  auto s = std::make_unique<AnalysisSession>();
  s->clientId = rq.clientId;
  s->sessionId = rq.sessionId;
  s->folder = sessionFolder(rq.dataRoot, rq.clientId, rq.sessionId);
  s->configFile = s->folder / kConfigFileName;
  removeStaleTemporaries(s->folder);  // a killed earlier run's
  CADODatabase channelSet;
  try {
    CADODatabase main;
    const fs::path mainPath = rq.dataRoot / kMainDatabaseName;
    if (!main.open(mainPath, CADODatabase::Mode::ReadOnly)) {
      ui.showMessage(missing(mainPath), Icon::Warning);
      return nullptr;
    }
    CRecSessions row(main);
    row.openQuery(sessionQuery(rq.clientId, rq.sessionId));
    if (row.isEOF() || !fs::is_directory(s->folder)) {
      ui.showMessage(missing(s->folder), Icon::Warning);
      return nullptr;
    }
    s->openSession = row.OpenSession;
    s->duration = row.Duration;
    std::string setName = row.FileName;
    if (!s->openSession) {
      auto scriptPath = hostFilePath(rq.dataRoot, row.FileName);
      CADODatabase script;
      if (!scriptPath) {
        ui.showMessage(MessageBuilder().idArg(kNameRefusedId, row.FileName), Icon::Warning);
        return nullptr;
      }
      auto found = findFileNoCase(*scriptPath);
      if (!found || !script.open(*found, CADODatabase::Mode::ReadOnly)) {
        ui.showMessage(MessageBuilder().id(kFileNotFoundId).text(" ").text(row.FileName), Icon::Warning);
        return nullptr;
      }
      CRecProtocol proto(script);
      proto.open(true);
      setName = proto.ChannelSet;
    }
    auto setPath = hostFilePath(rq.dataRoot / "Channels", setName);
    if (!setPath) {
      ui.showMessage(MessageBuilder().idArg(kNameRefusedId, setName), Icon::Warning);
      return nullptr;
    }
    DatabaseStager stager(rq.programFolder, rq.dataRoot, ui);
    if (!stager.openDatabase(channelSet, *setPath, CADODatabase::Mode::ReadOnly)) return nullptr;
    const ChannelSetCounts counts = readChannelSetCounts(channelSet);
    ExpectedLayout layout;
    layout.groups = static_cast<std::uint32_t>(counts.encoders);
    for (std::size_t g = 0; g < kMaxGroups; ++g)
      layout.perGroup[g] = static_cast<std::uint32_t>(counts.perEncoder[g]);

    std::error_code ec;
    const bool configThere = fs::exists(s->configFile, ec);
    s->configFromFile = configThere && s->config.Load(s->configFile) && s->config.IsWellFormed();
    if (configThere && !s->configFromFile) {
      // The session's own settings are lost to this analysis: say so, and
      // count the results as not the session's.
      std::string reason = s->config.GetErrorUtf8();
      if (reason.empty()) reason = "it holds no XML document";
      ui.showMessage(MessageBuilder(unusable(s->configFile, reason)).text("\n").id(kDefaultSettingsUsedId),
                     Icon::Warning);
      s->problems.push_back(s->configFile.string() + ": " + reason);
    }
    if (!s->configFromFile) {
      s->config.Load(rq.programFolder / kConfigFileName);
      configureInMemory(channelSet, s->config);
    }
    if (!s->openSession) {
      s->protocol = loadScriptProtocol({rq.dataRoot, row.FileName, s->folder}, ui);
      if (!s->protocol) return nullptr;
    }
    if (!s->recording.open(s->folder, layout)) {
      const fs::path dat = s->folder / "Session.dat";
      std::error_code ec;
      ui.showMessage(fs::exists(dat, ec) ? unusable(dat, reasonOf(s->recording.error(), dat)) : missing(dat),
                     Icon::Warning);
      return nullptr;
    }
  } catch (const CADOException& e) {
    reportDatabaseError(ui, e);
    return nullptr;
  }
  SessionSignalSlots read;
  readSignalPart(s->config, read, [&](std::uint32_t id) { return s->recording.findChannel(id); });
  for (int k = 0; k < kSlotCount; ++k)
    s->slots[k] = {read[k].input, read[k].channelIndex, read[k].label, read[k].description, read[k].rawEmg};
  s->settings = loadAnalysisSettings(s->config, s->slots[0].used(), s->slots[1].used());
  findOrCreateSessionSeries(*s, ui, rq.progress);
  s->rejected = StretchFile().read(s->folder);
  s->events.read(s->folder, ui);
  if (s->protocol) addProtocolEvents(*s->protocol, s->folder, s->events, ui);
  return s;
}

std::unique_ptr<AnalysisSession> loadIbiFileForAnalysis(const fs::path& file, UserInterface& ui) {
  auto s = std::make_unique<AnalysisSession>();
  IntervalSeries series;
  if (Status st = readIntervalSeries(file, true, series); !st) {
    std::error_code ec;
    ui.showMessage(fs::exists(file, ec) ? unusable(file, reasonOf(st.message(), file)) : missing(file),
                   Icon::Warning);
    return nullptr;
  }
  const bool bvp = seriesKindFromPath(file) == SeriesKind::IbiFromBvp;
  s->slots[bvp ? 1 : 0].description = file.filename().string();
  (bvp ? s->bvp : s->ekg) = std::move(series);
  s->settings.ibiSource = bvp ? kSourceBvp : kSourceEkg;
  return s;
}

EpochInputs AnalysisSession::epochInputs() const {
  EpochInputs in;
  in.openSession = openSession;
  in.epochSeconds = settings.epochTime;
  in.ibiSource = settings.ibiSource;
  in.ekg = ekg ? &*ekg : nullptr;
  in.bvp = bvp ? &*bvp : nullptr;
  in.resp = resp ? &*resp : nullptr;
  in.rejected = rejected;
  in.hrv.nnThresholdMs = settings.nnInterval;
  in.hrv.units = static_cast<BandUnits>(settings.bandUnits);
  const ModeResolutions& r = settings.resolutions;
  in.resolutions = {r.heartRate, r.maxMin, r.respRate, r.sc, r.temp, r.emg};
  in.protocol = protocol ? &*protocol : nullptr;
  for (int k = 3; k < kSlotCount; ++k) {
    const SignalSlot& slot = slots[k];
    if (!slot.used()) continue;
    // Raw EMG is analysed through its RMS series only: without one (a file
    // that could not be used, listed in problems) the row is left out
    // rather than computed from the raw samples.
    if (k >= 7 && slot.rawEmg && !rms[k - 7]) continue;
    const std::size_t i = static_cast<std::size_t>(slot.index);
    ChannelSignalInput c;
    c.signal = kSignalSkinConductance1 + (k - 3);
    c.channelId = slot.input;
    c.samples = recording.samples(i);
    c.rate = recording.channel(i).rate;
    if (k >= 7 && slot.rawEmg && rms[k - 7]) {
      c.rms = &*rms[k - 7];
      c.rmsRate = c.rate / effectiveAveragingFactor(settings.averagingFactor);
    }
    in.channels.push_back(c);
  }
  return in;
}

std::string AnalysisSession::sourceName(IbiSource source) const {
  const SignalSlot& slot = slots[source == IbiSource::Ekg ? 0 : 1];
  if (!slot.description.empty()) return slot.description;
  return str(source == IbiSource::Ekg ? 119 : 120);
}

std::string AnalysisSession::signalName(std::int32_t signal) const {
  switch (signal) {
    case kSignalHeartRateEkg:
      return "HR " + sourceName(IbiSource::Ekg);
    case kSignalSwingEkg:
      return "HR max-min " + sourceName(IbiSource::Ekg);
    case kSignalHeartRateBvp:
      return "HR " + sourceName(IbiSource::Bvp);
    case kSignalSwingBvp:
      return "HR max-min " + sourceName(IbiSource::Bvp);
    case kSignalRespirationRate:
      return slots[2].description.empty() ? str(195) : slots[2].description;
    default:
      break;
  }
  const int slot = signal - kSignalSkinConductance1 + 3;
  if (slot >= 3 && slot < kSlotCount && !slots[slot].description.empty()) return slots[slot].description;
  return strprintf("%d", signal);
}

}  // namespace rc
