#pragma once
// The fuse and lock bytes a chip leaves the factory with, as its data sheet
// gives them; a new virtual target starts with them.
#include <cstdint>
#include <string>
#include <vector>

#include "chip/ChipDescriptor.h"

namespace mervex {

struct FactoryFuses {
    uint8_t low = 0xFF;
    uint8_t high = 0xFF;
    uint8_t ext = 0xFF;
    uint8_t lock = 0xFF;  // lock bits leave the factory unprogrammed on every chip
};

// The factory bytes of the chip; all 0xFF for a chip without a known figure.
FactoryFuses factoryFuses(const ChipDescriptor& chip);

// The first names of the chips that have figures, for checking the table.
std::vector<std::string> chipsWithFactoryFigures();

}  // namespace mervex
