#pragma once
// The parallel-port pins that a pin map may name, with their register masks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mervex {

// Direction bits of a pin or of a signal's requirement.
enum PinDirection : uint8_t {
    DirectionNone = 0,
    DirectionInput = 1,
    DirectionOutput = 2,
    DirectionBidirectional = 3,
};

// "input", "output", "bidirectional", or "" for anything else.
const char* directionName(int direction);

struct PinInfo {
    const char* name;
    uint32_t mask;       // register bits in the combined data/status/control layout
    bool inverted;       // the register bit is the complement of the connector level
    uint8_t direction;   // PinDirection
    uint8_t connectorPin;  // the pin of the DB-25 plug; 0: none (a register bit only)
};

constexpr size_t PinCount = 18;

// The fixed pin table, in its documented order.
extern const PinInfo pinTable[PinCount];

// The pin whose name matches case-insensitively, or nullptr.
const PinInfo* findPin(const std::string& name);

}  // namespace mervex
