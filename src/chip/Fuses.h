#pragma once
// Reading, printing, writing and verifying the chip's fuse bytes.
#include <cstdint>

#include "chip/ChipState.h"

namespace mervex {

// Read every fuse byte that the chip's layout and fuse set provide.
void readFuses(ChipState& session);

// Read the fuse byte that holds EESAVE: true when EESAVE is programmed, so an
// erase keeps the EEPROM; false for a chip without it. A chip whose fuses
// cannot be read is taken to keep it.
bool eesaveProgrammed(ChipState& session);

// Print the calibration bytes and the fuse bytes and fields last read, under a
// title; at info level when a fuse list was given, else at debug level.
void printFuses(const ChipState& session, const char* title);
// The same at the given level.
void printFuses(const ChipState& session, const char* title, int level);

// False when the request would raise a programmed lock-byte bit, which only an erase can.
bool canWriteFusesWithoutErase(const ChipState& session);

// One fuse byte as written: the requested bits as requested, the other known
// bits as read, the bits no field describes 1.
uint8_t mergedFuseByte(uint8_t requestValue, uint8_t requestMask, uint8_t readValue, uint8_t knownMask);

// Merge the requested bits into the values read and write the requested bytes.
void programFuses(ChipState& session);

// Read the fuses again and compare every requested field; a difference fails
// (ExitChip) with the fields that differ.
void verifyFuses(ChipState& session);

// After readFuses: true when every requested field already reads as
// requested; prints nothing.
bool fusesHoldRequest(const ChipState& session);

// After programFuses and readFuses: a requested field that reads back other
// than written, a write that did not take, fails (ExitChip) with the fields.
void checkFusesReadAsWritten(const ChipState& session);

}  // namespace mervex
