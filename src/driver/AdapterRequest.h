#pragma once
// The adapter's part of the request, read into the settings the adapter layer
// is built from: adapter type parsed, pin-map file found, SCK periods computed.
#include <string>

#include "adapter/AdapterSetup.h"
#include "adapter/PortBackend.h"
#include "chip/ChipDescriptor.h"
#include "driver/Request.h"

namespace mervex {

// The adapter type named by the -a group text's first letter (nullptr: the
// default adapter, VUDER); anything else, or characters after a single-letter
// type, is thrown (status 70).
AdapterType adapterTypeOf(const char* adapterSpec);

// The user pin map named by the -a group text, which starts at its letter "m".
// The first "=" or ":" selects file or inline form; without either there is
// nothing to load. A file is searched like every configuration file, then with
// ".cfg" added to its name; an empty form or a file not found is printed and
// thrown (status 70). programPath is the program's first argument, whose
// directory is one of the places searched.
UserPinMap userPinMapOf(const std::string& text, const char* programPath = nullptr);

// The settings for the run's adapter, with the chip's SCK minimums; backends
// are the ports served other than by a device.
AdapterSettings adapterSettingsOf(const Request& request, const ChipDescriptor& chip, const PortBackends& backends);

}  // namespace mervex
