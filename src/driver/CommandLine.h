#pragma once
// The command line: switches and file arguments into the Request.
#include "adapter/PortBackend.h"
#include "driver/Request.h"

namespace mervex {

// Which file slot a file argument fills.
enum ImageSlot : int {
    CodeSlot = 0,
    DataSlot = 1,
};

// Print the banner and fill the request (and the console level) from the
// arguments. Returns when the line asks for work; otherwise throws app_error:
// status 0 after help or an empty line, 70 after an error (already printed).
// The request keeps pointers into argv, which must outlive it. backends name
// the ports that are no device, for the hint on a port given apart from -p.
void parseCommandLine(int argc, const char* const* argv, Request& request, const PortBackends& backends);

// Put one file argument, with an optional ":ihex:" or ":bin:" prefix, into the
// code or data slot; reports and throws status 70 when it cannot.
void addImageFile(Request& request, ImageSlot slot, const char* text);

}  // namespace mervex
