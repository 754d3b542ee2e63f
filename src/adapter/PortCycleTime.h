#pragma once
// The measurement of the cost of one line update (a port's data write, a GPIO
// line update), shared by the hardware backends.
#include <functional>

#include "adapter/ParallelPort.h"
#include "console/Stopwatch.h"

namespace mervex {

// Writes count updates back to back, each leaving the lines as they are.
using UpdateSeries = std::function<void(size_t count)>;

// Microseconds per update of the series, timed on clock; kind names the
// hardware in the warning that a result below 0.2 prints before it is raised
// to 0.2.
double measureUpdateCycle(const UpdateSeries& series, const char* kind, Clock& clock);

// Clear the interrupt-enable bit, then measure the microseconds per data write
// on clock without changing the data lines. A result below 0.2 is reported and
// raised to 0.2.
double measureCycleTime(ParallelPort& port, Clock& clock);

}  // namespace mervex
