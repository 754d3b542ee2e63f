#include "adapter/MisoProbe.h"

#include <algorithm>

namespace mervex {

namespace {

bool allBytes(const uint8_t* bytes, size_t count, uint8_t value) {
    return std::all_of(bytes, bytes + count, [value](uint8_t b) { return b == value; });
}

}  // namespace

MisoLine classifyMiso(const uint8_t* sent, const uint8_t* received, size_t count) {
    if (allBytes(received, count, 0xFF)) return MisoLine::StuckHigh;
    if (allBytes(received, count, 0x00)) return MisoLine::StuckLow;
    // A chip answers a byte late at the earliest; the same bit at once is the line itself.
    if (std::equal(sent, sent + count, received)) return MisoLine::FollowsMosi;
    return MisoLine::Answers;
}

MisoLine probeMiso(IspLink& link) {
    // Program enable: a chip in step answers it, and it changes nothing.
    static const uint8_t pattern[] = {0xAC, 0x53, 0x00, 0x00};
    uint8_t reply[sizeof pattern] = {};
    link.setReset(true);
    link.delay(20);
    link.transferBlock(pattern, reply, sizeof pattern);
    return classifyMiso(pattern, reply, sizeof pattern);
}

const char* misoLineText(MisoLine line) {
    switch (line) {
    case MisoLine::StuckHigh: return "MISO stays high: no target, no power, or the cable not connected";
    case MisoLine::StuckLow:
        return "MISO stays low: a chip clocked slower than -o says, a short to ground, or MISO on the wrong pin";
    case MisoLine::FollowsMosi: return "MISO follows MOSI: the two lines are crossed or shorted";
    default: return "MISO answers on its own";
    }
}

}  // namespace mervex
