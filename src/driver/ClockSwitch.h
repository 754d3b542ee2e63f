#pragma once
// The value of -o: the chip's clock or the SCK frequency, and the SCK divider.
#include "driver/Request.h"

namespace mervex {

// The value of -o after the "o": [s]number[unit][,divider]. Returns false for
// an invalid value, which the caller reports; range errors are reported here
// and throw status 70.
bool parseClockSwitch(const char* value, Request& request);

}  // namespace mervex
