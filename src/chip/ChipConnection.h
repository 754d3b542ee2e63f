#pragma once
// Bringing the chip into programming mode and finding out what it is.
#include <cstdint>

#include "adapter/IspLink.h"
#include "chip/ChipState.h"

namespace mervex {

// Number of SCK-pulse tries before connecting gives up.
constexpr int SckResyncTries = 32;
// Signature that a protected chip answers.
constexpr uint32_t ProtectedSignature = 0x000102;
// The wait between holding RESET and program enable. The data sheets ask for
// at least 20 ms after RESET; 100 ms also covers a freshly powered target whose
// start-up fuses select the longest oscillator start-up (65 ms).
constexpr double ResetWaitMs = 100;

// Send program enable and return reply byte 2 (0x53 when the chip is in step).
uint8_t programEnable(IspLink& link);

// Read the three signature bytes into one 24-bit value.
uint32_t readSignature(IspLink& link);

// Find the row of a signature (the requested name decides between rows that
// share it), store it as the selection's detected row and report the result.
void identifyChip(ChipSelection& selection, uint32_t signature);

// Reset, enter programming mode (resynchronising if allowed), read the
// signature, identify the chip and take the write timing from its row.
void connectChip(ChipState& session);

}  // namespace mervex
