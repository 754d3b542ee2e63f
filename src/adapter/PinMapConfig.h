#pragma once
// User pin maps: "-am=file" (a configuration file) or "-am:entry:entry" (inline).
#include <string>

#include "adapter/PinMap.h"

namespace mervex {

// Load the pin map given by the adapter group text, which starts at its letter
// "m". The first "=" or ":" selects file or inline form; without either nothing
// is loaded. Every error is printed and thrown as app_error (status 70), the
// failed open of a found file as rtl_error.
void loadPinMap(PinMap& map, const std::string& text);

// Apply one "key=value" entry: the name, or a signal with its comma-separated pins.
void parseEntry(PinMap& map, const std::string& entry);

// Check that the SPI signals exist and that the SPI and XTAL lines are data lines.
void validatePinMap(const PinMap& map);

}  // namespace mervex
