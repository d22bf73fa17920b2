#include "editors/periodic/periodic_source.h"

#include "analysis/series/series_file.h"
#include "support/locale.h"

namespace rc {

PeriodicSource periodicSourceOf(const ReviewContext& ctx) {
  PeriodicSource src;
  if (!ctx.session) return src;
  const AnalysisSession& s = *ctx.session;
  const int slot = ctx.heartSlot;
  src.series = ctx.heartSeries(slot);
  src.openSession = s.openSession;
  src.kind = slot == kSlotEkg ? SeriesKind::IbiFromEkg : slot == kSlotBvp ? SeriesKind::IbiFromBvp : SeriesKind::RespPeriod;
  if (slot >= 0 && slot < kSlotCount) {
    src.sourceChannel = s.slots[static_cast<std::size_t>(slot)].input;
    if (!s.folder.empty()) src.seriesFile = seriesFilePath(s.folder, src.kind, s.slots[static_cast<std::size_t>(slot)].label);
  }
  src.sessionFolder = s.folder;
  src.sessionDuration = s.duration > 0.0 ? s.duration : 1.0e9;
  src.detectionType = slot == kSlotBvp ? s.settings.ibiFromBvpType : s.settings.ibiFromEkgType;
  src.epochSeconds = s.settings.epochTime > 0 ? s.settings.epochTime : 60;
  src.protocol = s.protocol ? &*s.protocol : nullptr;
  src.epochs = ctx.results;
  src.decimal = localeSeparators().decimal;
  return src;
}

RawSignal heartRawSignal(const ReviewContext& ctx) {
  RawSignal out;
  if (!ctx.session || ctx.heartSlot < 0 || ctx.heartSlot >= kSlotCount) return out;
  const SignalSlot& slot = ctx.session->slots[static_cast<std::size_t>(ctx.heartSlot)];
  const SessionRecording& rec = ctx.session->recording;
  if (!rec.isOpen() || slot.index < 0 || static_cast<std::size_t>(slot.index) >= rec.channelCount()) return out;
  out.samples = rec.samples(static_cast<std::size_t>(slot.index));
  out.rate = rec.channel(static_cast<std::size_t>(slot.index)).rate;
  return out;
}

}  // namespace rc
