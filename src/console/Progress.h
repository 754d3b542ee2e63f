#pragma once
// The progress bar of long memory operations. Every advance is a termination check point.
#include <cstdint>

#include "console/Stopwatch.h"

namespace mervex {

// The bar's time is taken on clock, which must outlive the bar.
void progressStart(Clock& clock, const char* label, int32_t total);
void progressAdvance(int32_t count);
void progressEnd();

}  // namespace mervex
