#pragma once
// A wiring on GPIO lines: the pin-map forms (-am:entry:entry and files) whose
// entries name GPIO lines by their kernel name or their number on the chip
// ("mosi=GPIO10", "miso=9"), "~" for a line whose active level is low.
#include <string>
#include <vector>

#include "adapter/AdapterSignals.h"
#include "adapter/PinMap.h"
#include "adapter/PinMapConfig.h"

namespace mervex {

// One line as written: the kernel's line name or the line's number on its chip.
struct GpioLineName {
    std::string line;
    bool inverted = false;  // "~": the line is active (and RESET running) at its low level
};

struct GpioWiring {
    PinMap named;  // the name only; no register masks
    std::vector<GpioLineName> lines[SignalCount];

    const std::vector<GpioLineName>& of(SignalId id) const { return lines[size_t(id)]; }
    bool has(SignalId id) const { return !of(id).empty(); }
    const char* name() const { return named.name; }
};

// True if the written line is a number on the chip rather than a kernel name.
bool isLineNumber(const std::string& line);

// Load a GPIO wiring from the user pin map's entries or file. Unknown or
// repeated signals and lines, an XTAL line, and a missing MOSI, MISO, SCK or
// RESET are thrown (app_error, status 70).
GpioWiring loadGpioWiring(const UserPinMap& source);

}  // namespace mervex
