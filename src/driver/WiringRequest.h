#pragma once
// --wiring: the cable's wiring drawn, without a port or a chip.
#include "adapter/PortBackend.h"
#include "driver/Request.h"

namespace mervex {

// Print the drawing of every wiring the request's -a switches may drive (each
// cable that -aa or -ab may find; on a GPIO chip named by -p, the map's lines).
// A request with operations or files is refused (status 70): --wiring opens
// no port and touches no chip.
void printWirings(const Request& request, const PortBackends& backends);

}  // namespace mervex
