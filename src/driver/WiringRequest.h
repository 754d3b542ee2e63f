#pragma once
// --wiring: the cable's wiring drawn, without a port or a chip.
#include "driver/Request.h"

namespace mervex {

// Print the drawing of every wiring the request's -a switches may drive (each
// cable that -aa or -ab may find). A request with operations or files is
// refused (status 70): --wiring touches no chip.
void printWirings(const Request& request);

}  // namespace mervex
