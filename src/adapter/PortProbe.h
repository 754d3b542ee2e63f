#pragma once
// Looks at a parallel port before an adapter is built on it, leaving its
// registers as it found them.
#include "adapter/BuiltinCables.h"
#include "adapter/ParallelPort.h"

namespace mervex {

// True when the data register reads back each of a few values written to it.
// A dead port, or one whose data lines stay switched to input, fails.
bool dataLinesReadBack(ParallelPort& port);

// True when the cable that the row's detection answered with verdict ties a
// status line to the target's supply, so that its answer also says the target
// is powered.
bool sensesTargetSupply(const BuiltinCable& row, int verdict);

}  // namespace mervex
