#pragma once
// Factories of the three detectors behind SignalLibrary::detect. rate is the
// channel's sample rate in Hz (100 .. 8000); the caller owns the object.
#include <memory>

#include "detect/event_detector.h"

namespace rc::detect {

// QRS detection. advanced adds noise-level tracking, T-wave discrimination and
// reports the R peak (either polarity) instead of the band-passed QRS maximum.
std::unique_ptr<EventDetector> makeEkgDetector(double rate, PeriodBounds bounds, bool advanced);

// Pulse detection on the blood volume pulse; the beat is the steepest point of
// the upstroke.
std::unique_ptr<EventDetector> makeBvpDetector(double rate, PeriodBounds bounds, bool advanced);

// Breath detection; slow follows paced breathing down to 3 breaths per
// minute, fast up to 40 per minute. Breaths are reported at their peaks.
std::unique_ptr<EventDetector> makeRespDetector(double rate, bool slow);

// The breath-period limits (ms) the respiration detector works with.
PeriodBounds respBounds(bool slow);

}  // namespace rc::detect
