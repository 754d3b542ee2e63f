#pragma once
// The chip's OSCCAL calibration bytes.
#include "chip/ChipState.h"

namespace mervex {

// Read the selected chip's calibration bytes into the fuse values.
void readCalibration(ChipState& session);

}  // namespace mervex
