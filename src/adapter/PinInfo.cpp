#include "adapter/PinInfo.h"

#include <strings.h>

namespace mervex {

const PinInfo pinTable[PinCount] = {
    {"D0", 0x000001, false, DirectionOutput, 2},
    {"D1", 0x000002, false, DirectionOutput, 3},
    {"D2", 0x000004, false, DirectionOutput, 4},
    {"D3", 0x000008, false, DirectionOutput, 5},
    {"D4", 0x000010, false, DirectionOutput, 6},
    {"D5", 0x000020, false, DirectionOutput, 7},
    {"D6", 0x000040, false, DirectionOutput, 8},
    {"D7", 0x000080, false, DirectionOutput, 9},
    {"ERROR", 0x000800, false, DirectionInput, 15},
    {"ONLINE", 0x001000, false, DirectionInput, 13},
    {"PE", 0x002000, false, DirectionInput, 12},
    {"ACK", 0x004000, false, DirectionInput, 10},
    {"BUSY", 0x008000, true, DirectionInput, 11},
    {"STROBE", 0x010000, true, DirectionOutput, 1},
    {"ALF", 0x020000, true, DirectionOutput, 14},
    {"INIT", 0x040000, false, DirectionOutput, 16},
    {"SELECT", 0x080000, true, DirectionOutput, 17},
    {"BIDIR_EN", 0x200000, false, DirectionOutput, 0},
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
