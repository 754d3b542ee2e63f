#pragma once
// Reading and writing flash and EEPROM bytes, and waiting for writes to finish.
#include <cstddef>
#include <cstdint>

#include "chip/ChipState.h"
#include "chip/MemoryKind.h"

namespace mervex {

// Fill the write timing and the write routines from the selected chip; every
// delay is multiplied by the options' delay scale.
void setWriteTiming(ChipState& session);

// Begin a pass over a memory: forget the batched page loads, the open pages
// and the remembered extended address.
void beginMemoryPass(ChipState& session);

// Begin a write pass over one memory: as beginMemoryPass, and choose how writes
// are confirmed (polling only when the request asked for it). The memory pass
// resets its own next-address counter.
void beginWritePass(ChipState& session, MemoryKind kind);

// With read-back polling, make the byte at address, unless it is a value the
// chip's polling cannot show, the one that confirms the next write.
void rememberPollByte(PollState& poll, uint32_t address, uint8_t value);

// Write one byte of memory kind; addresses ascend within a pass.
void writeMemoryByte(ChipState& session, MemoryKind kind, uint32_t address, uint8_t value);

// Commit the loaded flash page; lastLoaded is the address of the last byte loaded.
void writeFlashPage(ChipState& session, uint32_t lastLoaded);

// Commit the open page of memory kind, if any: the end of a write pass.
void commitOpenPage(ChipState& session, MemoryKind kind);

// Wait until the write of value at address of memory kind is done; false when
// polling timed out.
bool waitWriteDone(ChipState& session, MemoryKind kind, int32_t address, uint8_t value, double delayMs);

// Read one byte of memory kind. Flash above 128 KB needs the extended address
// set already.
uint8_t readProgramByte(ChipState& session, MemoryKind kind, uint32_t address);

// Set the extended address (byte address bits 24..17) with its own instruction.
void loadExtendedAddress(ChipState& session, uint8_t high);

// Begin a flash pass and read the word at address (even), low byte first, one
// instruction per byte after the extended address where the flash needs it.
uint16_t readFlashWord(ChipState& session, uint32_t address);

// Read count flash bytes from address into buffer.
void readFlashBlock(ChipState& session, uint8_t* buffer, uint32_t address, size_t count);

// Read count EEPROM bytes from address into buffer.
void readEepromBlock(ChipState& session, uint8_t* buffer, uint32_t address, size_t count);

// True when the chip has an EESAVE fuse, so an erase may have kept its EEPROM.
bool eraseMayKeepEeprom(const ChipDescriptor& chip);

}  // namespace mervex
