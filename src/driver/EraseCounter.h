#pragma once
// The erase counter: a 16-bit count of erases, low byte first, in the last two
// bytes of flash.
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

// The value to write after an erase: the stored count plus one, or the value
// given with -n#, or 1 for a new or unknown chip. Reports what it found.
void determineEraseCount(const Request& request, RunState& state);

// Write the counter after the erase (and verify it with -v). A code image that
// reaches the counter's bytes switches the counter off instead.
void writeEraseCounter(const Request& request, RunState& state);

// Address of the image's highest byte (images may hold overlapping blocks).
uint32_t imageLastAddress(const MemoryImage& image);

}  // namespace mervex
