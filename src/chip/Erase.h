#pragma once
// Erasing the chip, at two levels: chipErase is the bare instruction, after
// which the chip is out of programming mode; eraseChip is the erase a run
// requests, built on it and ending connected again.
#include "chip/ChipState.h"

namespace mervex {

// The chip-erase instruction: send it, wait the erase delay, and pulse RESET.
// The chip leaves programming mode; the caller reconnects.
void chipErase(ChipState& session);

// The run's erase: the correction for chips with the erase defect, chipErase,
// reconnection, the lock bits read again, and the chip marked erased.
void eraseChip(ChipState& session);

}  // namespace mervex
