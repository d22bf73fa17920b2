#pragma once
// The periodic editor's view of the container's loaded session: the selected
// heart signal's series, its file and channel, the session folder, settings
// and framing tables.
#include "app/review_context.h"
#include "editors/periodic/periodic_editor.h"

namespace rc {

// The source of the context's selected heart signal (series nullptr when the
// session has none).
PeriodicSource periodicSourceOf(const ReviewContext& ctx);

// The raw channel of the selected heart signal (empty when the recording or
// the channel is missing).
struct RawSignal {
  std::span<const float> samples;
  double rate = 0.0;  // samples per second
};
RawSignal heartRawSignal(const ReviewContext& ctx);

}  // namespace rc
