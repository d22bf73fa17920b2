#include "editors/autoedit/auto_edit_session.h"

#include "editors/periodic/periodic_source.h"

namespace rc {

AutoEditOutcome runAutoEdit(ReviewContext& ctx, PeriodicSegmentList& segments, UserInterface& ui) {
  const PeriodicSource src = periodicSourceOf(ctx);
  if (!src.series) {
    ui.showMessage(messageOf(kEmptySeriesId), Icon::Warning);
    return AutoEditOutcome::NotRun;
  }
  AutoEditTarget target;
  target.input.openSession = src.openSession;
  target.input.protocol = src.protocol;
  target.input.variation = ctx.session->settings.variation;
  target.input.sourceChannel = src.sourceChannel;
  target.input.sessionDuration = src.sessionDuration;
  target.series = src.series;
  target.segments = &segments;
  target.seriesFile = src.seriesFile;
  target.segmentsFile = periodicSegmentsPath(src.sessionFolder);
  target.detectionType = src.detectionType;
  return runAutoEdit(target, ui);
}

}  // namespace rc
