#pragma once
// A built-in wiring as the running adapter sees it: RESET active means held in reset.
#include "adapter/BuiltinCables.h"
#include "adapter/PinMap.h"

namespace mervex::test {

inline PinMap runningMap(AdapterType type, int verdict = 0) {
    PinMap map = builtinPinMap(type, verdict);
    map.driveResetAsHeld();
    return map;
}

}  // namespace mervex::test
