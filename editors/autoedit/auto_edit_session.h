#pragma once
// The auto-edit command of the review-and-edit container over its loaded
// session: the selected heart signal is corrected with the session's
// variation setting, and the marks go to the periodic editor's segment list.
#include "app/review_context.h"
#include "editors/autoedit/auto_edit.h"

namespace rc {

// The caller has resolved the periodic editor's pending edits. On a stored
// outcome the caller recomputes the statistics and reloads the editor's stretch.
AutoEditOutcome runAutoEdit(ReviewContext& ctx, PeriodicSegmentList& segments, UserInterface& ui);

}  // namespace rc
