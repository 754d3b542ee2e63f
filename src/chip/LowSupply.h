#pragma once
// Chips whose serial-programming writes take longer at a supply under 4 V than
// the device table's delay, which holds at 5 V.
#include <cstdint>

#include "chip/ChipDescriptor.h"

namespace mervex {

// The longest one write of the chip takes under 4 V, in ms (the data sheet's
// figure, for both memories); 0 when the table's delays hold at any supply.
int32_t lowSupplyWriteMs(const ChipDescriptor& chip);

}  // namespace mervex
