#pragma once
// The erase a run requests: with the correction for chips with the erase
// defect, ending connected with the lock state read again.
#include "chip/ChipSession.h"

namespace mervex {

// Erase the chip, reconnect, re-read the lock bits and mark the chip erased.
void eraseChip(ChipSession& session);

}  // namespace mervex
