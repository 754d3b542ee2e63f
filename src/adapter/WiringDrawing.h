#pragma once
// A cable's wiring drawn as people build it: one row per used pin of the
// computer's connector, with its signal and the pins of the 6-pin and 10-pin
// ISP headers it goes to, inversions and the buffer, power, LED and key lines
// marked, then the ground. The connector's side comes from a WiringConnector,
// so a wiring on another connector (GPIO lines) is drawn by the same function.
#include <string>
#include <vector>

#include "adapter/AdapterSignals.h"
#include "adapter/GpioWiring.h"
#include "adapter/PinMap.h"

namespace mervex {

// One connector line of a wiring.
struct WiredLine {
    std::string pin;   // the connector's pin: "7" on the DB-25 plug, "GPIO10"; "-" for none
    std::string line;  // the port's name for it, as a pin map names it: "D5"
    SignalId signal;
    bool activeLow;    // low at the connector while the signal is active ("~" in a pin map)
    std::string remark;  // said instead of the signal's role and polarity; empty: none
};

// The computer's side of a wiring.
struct WiringConnector {
    std::string name;              // heading of the pin column: "DB-25"
    std::string groundPins;        // where its ground is: "18-25"
    std::vector<WiredLine> lines;  // in the order they are drawn
};

// The lines of a pin map on the parallel port's DB-25 plug, by pin number. The
// map describes RESET by its level while the target runs, as maps are written
// and loaded.
WiringConnector parallelPortWiring(const PinMap& map);

// The lines of a wiring on GPIO lines, by signal, named as the wiring names them.
WiringConnector gpioWiringConnector(const GpioWiring& wiring);

// The drawing of a wiring named name (a pin map's name; empty for a nameless
// map): a title line, a heading, a row per line and the ground row, each
// ending in '\n', to be printed as it is.
std::string drawWiring(const std::string& name, const WiringConnector& connector);

// The drawing of a parallel-port pin map as written and loaded.
std::string drawPinMap(const PinMap& map);

// The drawing of a built adapter's map (LptAdapter::pinMap()), whose RESET
// set-up turned to "active = held in reset".
std::string drawAdapterPinMap(const PinMap& adapterMap);

// Print a drawing at info level, a line at a time: a drawing may be longer
// than one message can carry.
void printDrawing(const std::string& drawing);

}  // namespace mervex
