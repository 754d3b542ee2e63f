#pragma once
// The clock a chip's fuses select, where it is one of the chip's own
// oscillators, whose frequency the data sheet gives.
#include <cstdint>

#include "chip/ChipDescriptor.h"
#include "chip/ChipState.h"

namespace mervex {

struct FuseClock {
    uint32_t hz = 0;       // 0: not known here (an external clock or crystal, or a chip without a row below)
    int cksel = -1;        // the CKSEL field as read; -1: the chip has none, or it was not read
    bool divided = false;  // CKDIV8 programmed: hz is already divided by 8
};

// From the fuse bytes last read (readFuses).
FuseClock clockSelectedByFuses(const ChipDescriptor& chip, const FuseValues& fuses);

}  // namespace mervex
