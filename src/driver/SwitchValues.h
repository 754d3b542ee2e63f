#pragma once
// The switches whose values have a grammar of their own.
#include "driver/Request.h"

namespace mervex {

// The value of -o after the "o": [s]number[unit][,divider]. Returns false for
// an invalid value, which the caller reports; range errors are reported here
// and throw status 70.
bool parseClockSwitch(const char* value, Request& request);

// A special code/data command, given from its switch letter on ("C*OSCCAL=1E,-3").
// Every error is reported here and throws status 70.
void parseSpecialCommand(const char* command, Request& request);

}  // namespace mervex
