#pragma once
// Writing EEPROM a page at a time: the bytes of one page are collected, the
// page's other bytes are taken from what the chip holds, and a page that the
// chip already holds is not written at all.
#include <cstdint>

#include "chip/ChipState.h"

namespace mervex {

// Prepare a data write pass: warn when pages were asked for but the chip has
// none, and learn whether the EEPROM is known to be blank.
void prepareEepromPages(ChipState& session);

// Take one byte into the open EEPROM page; a byte of another page commits the
// open one first. Addresses ascend within a pass.
void loadEepromByte(ChipState& session, uint32_t address, uint8_t value);

// Write the open EEPROM page, if any, unless the chip holds it already.
void commitEepromPage(ChipState& session);

}  // namespace mervex
