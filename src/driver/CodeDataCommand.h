#pragma once
// The special code/data commands (-C*, -C?, -D*): what goes into the images and where.
#include "driver/Request.h"

namespace mervex {

// A special code/data command, given from its switch letter on ("C*OSCCAL=1E,-3").
// Every error is reported here and throws status 70.
void parseSpecialCommand(const char* command, Request& request);

}  // namespace mervex
