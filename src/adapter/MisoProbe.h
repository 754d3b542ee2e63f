#pragma once
// What the chip's MISO line does while MOSI and SCK move with RESET held: the
// first thing to look at when a chip does not answer.
#include <cstddef>
#include <cstdint>

#include "adapter/IspLink.h"

namespace mervex {

enum class MisoLine {
    Answers,      // it moves on its own: the chip drives it
    StuckHigh,    // no target, no power, or not connected
    StuckLow,     // a short to ground, the wrong pin, or a chip that takes no clock pulse
    FollowsMosi,  // crossed or shorted with MOSI
};

// What MISO did while the bytes sent went out and the bytes received came back.
MisoLine classifyMiso(const uint8_t* sent, const uint8_t* received, size_t count);

// Hold RESET, clock program enable and classify what comes back. A chip in
// step enters programming mode, which changes nothing on it.
MisoLine probeMiso(IspLink& link);

// A short description of the behaviour and its likely causes, for messages.
const char* misoLineText(MisoLine line);

}  // namespace mervex
