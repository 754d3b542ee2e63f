#pragma once
// What an ELF firmware file asks of the chip besides its memories: the chip it
// was built for, and (with -u) its fuses and lock bits.
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

// After the files are read: -u needs an ELF file, and the parts it names.
void checkFirmwareParts(const Request& request, const RunState& state);

// Before anything is written: a firmware built for another chip than the one
// selected stops the run (status 30) unless -! is given.
void checkFirmwareSignature(const Request& request, const RunState& state);

// With -u: the firmware's fuse bytes join the fuse request (fields of the -f list
// keep their values) and, with -w, its lock bits become the lock request unless
// -l gives one.
void applyFirmwareSettings(const Request& request, RunState& state);

}  // namespace mervex
