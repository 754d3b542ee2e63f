#include "adapter/BuiltinAdapters.h"

namespace mervex {

namespace {

// Entries in SignalId order: mosi, miso, sck, reset, xtal, power, set, enable,
// led_error, led_ok, key; each {setMask, clearMask}.
const PinMap builtinTable[] = {
    {"VUDER", {{0x000020, 0}, {0x004000, 0}, {0x000040, 0}, {0x000010, 0}, {0x000008, 0}}},
    {"XILINX",
     {{0x000001, 0}, {0x001000, 0}, {0x000002, 0}, {0x000004, 0}, {0, 0}, {0, 0}, {0x000010, 0}, {0, 0x000008}}},
    {"STK", {{0x000020, 0}, {0x004000, 0}, {0x000010, 0}, {0x000080, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0x00000C}}},
    {"ByteBlasterII",
     {{0x000040, 0}, {0, 0x008000}, {0x000001, 0}, {0x000002, 0}, {0x000004, 0}, {0, 0}, {0, 0}, {0x0400B0, 0x0B0000}}},
    {"ByteBlaster",
     {{0x000040, 0}, {0, 0x008000}, {0x000001, 0}, {0x000002, 0}, {0x000008, 0}, {0, 0}, {0, 0}, {0x020000, 0}}},
};

}  // namespace

const PinMap& builtinPinMap(BuiltinWiring wiring) { return builtinTable[size_t(wiring)]; }

void applyLazyBlaster(PinMap& map) { map.entry(SignalId::Enable) = SignalEntry{0, 0x200000}; }

void applyPowerFromData(PinMap& map) { map.entry(SignalId::Power) = SignalEntry{0x000087, 0}; }

void completeStkMap(PinMap& map, uint32_t oscillatorHz) {
    if (oscillatorHz != 0)
        map.entry(SignalId::Enable).clearMask |= 0x000040;
    else
        map.entry(SignalId::Xtal).setMask = 0x000040;
}

}  // namespace mervex
