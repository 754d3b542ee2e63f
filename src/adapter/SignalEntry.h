#pragma once
// How one adapter signal (a line of the wiring) sits on the port's registers.
#include <cstdint>

namespace mervex {

// Register parts of a combined mask: bits 0-7 data, 8-15 status, 16-23 control.
constexpr uint8_t dataBits(uint32_t mask) { return uint8_t(mask & 0xFF); }
constexpr uint8_t statusBits(uint32_t mask) { return uint8_t((mask >> 8) & 0xFF); }
constexpr uint8_t controlBits(uint32_t mask) { return uint8_t((mask >> 16) & 0xFF); }

// Masks in the combined layout: bits 0-7 data, 8-15 status, 16-23 control.
struct SignalEntry {
    uint32_t setMask = 0;    // bits that are 1 while the signal is active
    uint32_t clearMask = 0;  // bits that are 0 while the signal is active

    // True if any pin carries the signal.
    bool present() const { return (setMask | clearMask) != 0; }
    // Every register bit the signal uses, whatever its polarity.
    uint32_t pins() const { return setMask | clearMask; }
};

}  // namespace mervex
