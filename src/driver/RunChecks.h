#pragma once
// The checks of a programming run that decide whether it may go on: the chip's
// identity, its lock state, fuse writes that need an erase, and whether the
// images fit the chip.
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

// Compare the detected chip with the requested one. A different chip stops the
// run (status 30) unless forced; an unidentified chip is tolerated unless strict.
// Forcing makes the requested row the detected one.
void checkIdentity(const Request& request, ChipSession& session, bool strict);

// Refuse writes to a locked chip and reads of a fully locked one (status 10).
void checkLockState(const Request& request, const RunState& state);

// Read and print the fuses; refuse a fuse write that only an erase allows (status 10).
void checkFuseWrite(const Request& request, RunState& state);

// Refuse images whose last byte lies beyond the chip's flash or EEPROM
// ("Can't fit %s in %s\n", status 50).
void checkImagesFit(const Request& request, const RunState& state);

// Lock the chip to level '1' or '2'; a chip locked higher already only gets a warning.
void lockToLevel(RunState& state, char level);

}  // namespace mervex
