#pragma once
// Adapter set-up: from the adapter and port settings to the run's Programmer.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "adapter/PinMapConfig.h"
#include "adapter/PortBackend.h"
#include "adapter/PortIo.h"
#include "adapter/Programmer.h"
#include "adapter/SckTiming.h"
#include "console/Stopwatch.h"

namespace mervex {

// What set-up needs, as the driver read it from the request.
struct AdapterSettings {
    AdapterType type = AdapterType::Default;
    UserPinMap userPinMap;                // for AdapterType::UserMap
    std::optional<std::string> portSpec;  // the -p text
    PortBackends portBackends;            // the ports served other than by a device
    bool lazyBlaster = false;
    bool powerFromData = false;
    bool forceAdapter = false;  // -!: go on with the named wiring when its detection fails
    uint32_t oscillatorHz = 800000;  // 0: the adapter generates the chip clock
    bool frequencyIsSck = false;
    SckPeriods sckPeriods;  // the chip's SCK minimums, SCK divider applied
};

// Build the run's adapter: pin map (user map errors come before the port is
// opened), port, detection of buffered adapters, modifiers, timing. Failures are
// thrown; the port is closed again on any failure. The port's measurement, the
// detections and the adapter's waits run on clock, which outlives the adapter.
// A -p text naming a GPIO chip builds the programmer on GPIO lines (GpioSetup.h).
std::unique_ptr<Programmer> createAdapter(const AdapterSettings& settings, Clock& clock,
                                          PortIo& io = systemPortIo());

// The same on a port already open (settings.portSpec unused), which the
// adapter takes over: the parallel-port adapter, whose wiring can be shown.
std::unique_ptr<LptAdapter> createAdapterOn(std::unique_ptr<ParallelPort> port, const AdapterSettings& settings,
                                            Clock& clock);

// Print the timing a programmer was built with (debug level): the requested
// frequency, the SCK low and high times, the SCK frequency achieved (MHz).
void reportSckTiming(const AdapterSettings& settings, const SckTiming& timing, double sckMHz);

// The wirings the settings may drive, as pin maps are written (RESET by its
// level while the target runs), found without a port: each cable that -aa or
// the type's detection may find, completed for the clock, with the modifiers
// -ap and -az; the user map loaded and checked (its errors thrown as in set-up).
std::vector<PinMap> possibleWirings(const AdapterSettings& settings);

// The drawings of those wirings (WiringDrawing.h), or, when the port is a
// GPIO chip, of the user map's GPIO lines.
std::vector<std::string> wiringDrawings(const AdapterSettings& settings);

}  // namespace mervex
