#pragma once
// The chip's OSCCAL calibration bytes.
#include "chip/ChipSession.h"

namespace mervex {

// Read the selected chip's calibration bytes into the fuse values.
void readCalibration(ChipSession& session);

}  // namespace mervex
