#pragma once
// The consistency rules of a request, checked before anything is opened.
#include "chip/ChipSession.h"
#include "driver/Request.h"

namespace mervex {

// Apply the rules in order; the first that fails prints its message and throws
// app_error(70). The fuse list is parsed into the session's fuses against its
// chip; without a chip a fuse list is refused like a missing chip name.
void validateRequest(const Request& request, ChipSession& session);

}  // namespace mervex
