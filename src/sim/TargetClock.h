#pragma once
// The clock a virtual target's time runs on.
#include "console/Stopwatch.h"

namespace mervex {

// A real clock, whose time passes by itself, or a stepped one, which the port
// moves on by the access time of its own work, so that waits measured on it end
// as they would on hardware. Made from either kind of clock, which outlives it.
struct TargetClock {
    TargetClock(Clock& real) : clock(real) {}
    TargetClock(SteppedClock& stepped) : clock(stepped), stepped(&stepped) {}

    Clock& clock;
    SteppedClock* stepped = nullptr;
};

}  // namespace mervex
