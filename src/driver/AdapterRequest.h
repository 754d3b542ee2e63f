#pragma once
// The adapter's part of the request, read into the settings the adapter layer
// is built from: adapter type parsed, pin-map file found, SCK periods computed.
#include "adapter/AdapterSetup.h"
#include "adapter/PortBackend.h"
#include "chip/ChipDescriptor.h"
#include "driver/Request.h"

namespace mervex {

// The settings that choose the adapter's wiring (type, user map, modifiers,
// clock, the port that tells a GPIO chip), which need no chip.
AdapterSettings wiringSettingsOf(const Request& request, const PortBackends& backends);

// The settings for the run's adapter, with the chip's SCK minimums; backends
// are the ports served other than by a device.
AdapterSettings adapterSettingsOf(const Request& request, const ChipDescriptor& chip, const PortBackends& backends);

}  // namespace mervex
