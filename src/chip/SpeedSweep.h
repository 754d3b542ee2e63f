#pragma once
// How fast a chip answers, found without putting anything into it: program
// enable and the signature, from the speed asked for down to the slowest the
// -o switch can name.
#include <cstdint>

#include "adapter/IspLink.h"
#include "chip/ChipDescriptor.h"

namespace mervex {

// The slowest -o value.
constexpr uint32_t SlowestOscillatorHz = 1000;

struct SpeedAnswer {
    bool answered = false;
    uint32_t frequencyHz = 0;  // the -o value it answered at (the SCK frequency for -os)
    uint32_t signature = 0;
};

// Program enable answered, after a RESET pulse if need be, and the signature
// read twice the same. RESET must be held; no failure is thrown.
bool answersSteadily(IspLink& link, uint32_t& signature);

// Time the link's SCK as -o frequencyHz (-os with frequencyIsSck) would for
// the chip's row. False where the link's SCK cannot change, or for 0 (the
// adapter clocks the chip).
bool setLinkSpeed(IspLink& link, const ChipDescriptor& chip, uint32_t frequencyHz, bool frequencyIsSck);

// Try fromHz, then half of it and so on down to SlowestOscillatorHz: the first
// speed at which the chip answers steadily. A link whose SCK cannot change is
// tried at its own speed only. The link is left at the last speed tried.
SpeedAnswer sweepSpeeds(IspLink& link, const ChipDescriptor& chip, uint32_t fromHz, bool frequencyIsSck);

}  // namespace mervex
