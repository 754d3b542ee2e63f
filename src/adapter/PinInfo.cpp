#include "adapter/PinInfo.h"

#include <strings.h>

namespace mervex {

const PinInfo pinTable[PinCount] = {
    {"D0", 0x000001, false, DirectionOutput},
    {"D1", 0x000002, false, DirectionOutput},
    {"D2", 0x000004, false, DirectionOutput},
    {"D3", 0x000008, false, DirectionOutput},
    {"D4", 0x000010, false, DirectionOutput},
    {"D5", 0x000020, false, DirectionOutput},
    {"D6", 0x000040, false, DirectionOutput},
    {"D7", 0x000080, false, DirectionOutput},
    {"ERROR", 0x000800, false, DirectionInput},
    {"ONLINE", 0x001000, false, DirectionInput},
    {"PE", 0x002000, false, DirectionInput},
    {"ACK", 0x004000, false, DirectionInput},
    {"BUSY", 0x008000, true, DirectionInput},
    {"STROBE", 0x010000, true, DirectionOutput},
    {"ALF", 0x020000, true, DirectionOutput},
    {"INIT", 0x040000, false, DirectionOutput},
    {"SELECT", 0x080000, true, DirectionOutput},
    {"BIDIR_EN", 0x200000, false, DirectionOutput},
};

const char* directionName(int direction) {
    switch (direction) {
    case DirectionInput: return "input";
    case DirectionOutput: return "output";
    case DirectionBidirectional: return "bidirectional";
    default: return "";
    }
}

const PinInfo* findPin(const std::string& name) {
    for (const PinInfo& pin : pinTable)
        if (strcasecmp(pin.name, name.c_str()) == 0) return &pin;
    return nullptr;
}

}  // namespace mervex
