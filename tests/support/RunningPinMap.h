#pragma once
// A built-in wiring as the running adapter sees it: RESET active means held in reset.
#include "adapter/BuiltinAdapters.h"
#include "adapter/PinMap.h"

namespace mervex::test {

inline PinMap runningMap(BuiltinWiring wiring) {
    PinMap map = builtinPinMap(wiring);
    map.driveResetAsHeld();
    return map;
}

}  // namespace mervex::test
