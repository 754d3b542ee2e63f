#pragma once
// The chip operations of a run, in their fixed order: connect and identify,
// insert values, erase (keeping the EEPROM with -e-), check, then read, or write
// and verify, fuses and lock bits, and last the serial number file.
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

class RunLog;

// Carry out the request on the connected adapter; returns normally or throws
// app_error with the run's status (message printed). The chip as first found
// goes into log.
void runProgramming(const Request& request, RunState& state, RunLog& log);

}  // namespace mervex
