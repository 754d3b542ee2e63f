#pragma once
// The measurement of a port's data-write cycle, shared by the device backends.
#include "adapter/ParallelPort.h"

namespace mervex {

// Shortest time in milliseconds of 100 runs of writeDataSequence(values, count).
double shortestSequenceMs(ParallelPort& port, const uint8_t* values, size_t count);

// Clear the interrupt-enable bit, then measure the microseconds per data write
// without changing the data lines. A result below 0.2 is reported and raised to 0.2.
double measureCycleTime(ParallelPort& port);

}  // namespace mervex
