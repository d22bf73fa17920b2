#include "app/session_analysis.h"

#include "analysis/series/series_file.h"
#include "analysis/series/series_find.h"
#include "analysis/protocol/settings.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

bool holdsIntervals(const EpochInputs& in) {
  const bool ekg = selectionUsesEkg(in.ibiSource) && in.ekg && !in.ekg->values.empty();
  const bool bvp = selectionUsesBvp(in.ibiSource) && in.bvp && !in.bvp->values.empty();
  return ekg || bvp;
}

}  // namespace

SessionAnalysisOutcome checkMinuteEpochGrid(const EpochInputs& inputs, UserInterface& ui) {
  EpochInputs minute = inputs;
  minute.epochSeconds = kDefaultEpochTime;
  if (countEpochs(minute) >= 1) return SessionAnalysisOutcome::Ready;
  if (!holdsIntervals(inputs)) return SessionAnalysisOutcome::NoIntervals;
  ui.showMessage(MessageBuilder().id(kCannotAnalyseId).text(": ").id(kUnderAMinuteId), Icon::Warning);
  return SessionAnalysisOutcome::Failed;
}

SessionAnalysisOutcome recomputeForLoad(EpochInputs& inputs, const EpochTimeStore& store, EpochResults& out,
                                        UserInterface& ui, const RecomputeFn& recompute) {
  for (;;) {
    const int r = recompute(inputs, out, ui);
    if (r == kRecomputeOk) return SessionAnalysisOutcome::Ready;
    if (r != kRecomputeNoEpoch || inputs.epochSeconds <= kDefaultEpochTime)
      return SessionAnalysisOutcome::Failed;
    const Message question = MessageBuilder().id(kNoEpochOfLengthId).text(" ").id(kUseMinuteEpochsId);
    if (!ui.askYesNo(question, false, Icon::Question)) return SessionAnalysisOutcome::Failed;
    inputs.epochSeconds = kDefaultEpochTime;
    if (store.config) {
      const bool saved =
          writeSettingInt(*store.config, "EpochTime", kDefaultEpochTime) && store.config->Save(store.file);
      if (!saved) ui.showMessage(fileNotCreatedMessage(store.file), Icon::Warning);
    }
  }
}

SessionAnalysisOutcome analyseLoadedSession(EpochInputs& inputs, const EpochTimeStore& store,
                                            EpochResults& out, UserInterface& ui,
                                            const RecomputeFn& recompute) {
  const SessionAnalysisOutcome grid = checkMinuteEpochGrid(inputs, ui);
  if (grid != SessionAnalysisOutcome::Ready) return grid;
  return recomputeForLoad(inputs, store, out, ui, recompute);
}

}  // namespace rc
