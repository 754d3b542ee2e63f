#pragma once
// The wirings the program knows without a pin map, and their modifiers.
#include <cstdint>

#include "adapter/PinMap.h"

namespace mervex {

enum class BuiltinWiring { Vuder, Xilinx, Stk, ByteBlasterII, ByteBlaster };

// The wiring's complete pin map, RESET written by its level while the target runs.
const PinMap& builtinPinMap(BuiltinWiring wiring);

// laZyBlaster: `enable` becomes ~BIDIR_EN, so a disabled adapter leaves the data lines at high impedance.
void applyLazyBlaster(PinMap& map);

// Supply the chip from the data lines VUDER leaves free: D0, D1, D2, D7.
void applyPowerFromData(PinMap& map);

// Complete the STK map for the frequency: XTAL on D6 when the adapter generates
// the clock (0 Hz), otherwise D6 held low with the buffer enable.
void completeStkMap(PinMap& map, uint32_t oscillatorHz);

}  // namespace mervex
