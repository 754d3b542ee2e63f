#pragma once
// The lock state of the chip and locking it.
#include "chip/ChipState.h"

namespace mervex {

// Read the lock bits into lockLevel (unknown when the chip cannot report them).
void readLockBits(ChipState& session);

// Print the lock state at info level.
void printLockState(const ChipState& session);

// Program lock level 2 for '2' and above, else level 1, keeping the boot lock
// bits; returns the smaller of level and '2'.
char lockChip(ChipState& session, char level);

}  // namespace mervex
