#pragma once
// The progress bar of long memory operations. Every advance is a termination check point.
#include <cstdint>

namespace mervex {

void progressStart(const char* label, int32_t total);
void progressAdvance(int32_t count);
void progressEnd();

}  // namespace mervex
