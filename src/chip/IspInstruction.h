#pragma once
// The AVR serial programming instructions: which four bytes go out for each
// request. Nothing here decides when an instruction is sent.
#include <cstdint>

#include "adapter/IspLink.h"

namespace mervex {

namespace isp {

// Replies: the chip echoes byte 0 in reply byte 1 and delivers read data in reply byte 3.
constexpr int EchoIndex = 1;
constexpr int DataIndex = 3;
// Program enable answers this in reply byte 2 when the chip is in step.
constexpr uint8_t ProgramEnableAnswer = 0x53;
// Flash above this many bytes is reached through the extended address.
constexpr uint32_t ExtendedAddressBlock = 0x20000;
// Whether a flash of this many bytes needs the extended address.
constexpr bool needsExtendedAddress(int32_t flashSize) { return uint32_t(flashSize) > ExtendedAddressBlock; }

constexpr IspInstruction programEnable() { return {{0xAC, 0x53, 0x00, 0x00}}; }

// Signature byte n (0, 1, 2).
constexpr IspInstruction readSignature(uint8_t n) { return {{0x30, 0x00, n, 0x00}}; }

constexpr IspInstruction chipErase() { return {{0xAC, 0x80, 0x00, 0x00}}; }

// Word address bits 15..8 and 7..0 of a flash byte address (bit 16 of the
// word address lies in the extended address).
constexpr uint8_t wordHigh(uint32_t address) { return uint8_t(address >> 9); }
constexpr uint8_t wordLow(uint32_t address) { return uint8_t(address >> 1); }

// Read the flash byte at a byte address: low byte of the word for even, high for odd.
constexpr IspInstruction readFlash(uint32_t address) {
    return {{uint8_t(address & 1 ? 0x28 : 0x20), wordHigh(address), wordLow(address), 0x00}};
}

constexpr IspInstruction readEeprom(uint32_t address) {
    return {{0xA0, uint8_t(address >> 8), uint8_t(address), 0x00}};
}

// Write one flash byte of a byte-wise chip.
constexpr IspInstruction writeFlashByte(uint32_t address, uint8_t value) {
    return {{uint8_t(address & 1 ? 0x48 : 0x40), wordHigh(address), wordLow(address), value}};
}

// Load one byte into the page buffer, given by its byte offset in the page.
// The buffer is addressed by the word's position in the page alone: several
// chips fix the second byte at 0 and ignore a load that carries address bits
// there, so it never does (every page is at most 256 bytes).
constexpr IspInstruction loadPageByte(uint32_t offset, uint8_t value) {
    return {{uint8_t(offset & 1 ? 0x48 : 0x40), 0x00, uint8_t(offset >> 1), value}};
}

constexpr IspInstruction writeEeprom(uint32_t address, uint8_t value) {
    return {{0xC0, uint8_t(address >> 8), uint8_t(address), value}};
}

// Load one byte into the EEPROM page buffer at its position in the page.
constexpr IspInstruction loadEepromPageByte(uint8_t position, uint8_t value) {
    return {{0xC1, 0x00, position, value}};
}

// Write the loaded EEPROM page that begins at the address.
constexpr IspInstruction writeEepromPage(uint32_t address) {
    return {{0xC2, uint8_t(address >> 8), uint8_t(address), 0x00}};
}

// Commit the loaded page that holds the byte address.
constexpr IspInstruction writeFlashPage(uint32_t address) {
    return {{0x4C, wordHigh(address), wordLow(address), 0x00}};
}

// Byte address bits 24..17.
constexpr uint8_t extendedAddressByte(uint32_t address) { return uint8_t(address >> 17); }

constexpr IspInstruction loadExtendedAddress(uint8_t high) { return {{0x4D, 0x00, high, 0x00}}; }

// Reply byte 3 bit 0: 1 busy, 0 ready.
constexpr IspInstruction readyBusy() { return {{0xF0, 0x00, 0xFF, 0x00}}; }

constexpr IspInstruction readLowFuse() { return {{0x50, 0x00, 0x00, 0x00}}; }
constexpr IspInstruction readHighFuse() { return {{0x58, 0x08, 0x00, 0x00}}; }
constexpr IspInstruction readExtendedFuse() { return {{0x50, 0x08, 0x00, 0x00}}; }
constexpr IspInstruction readLockByte() { return {{0x58, 0x00, 0x00, 0x00}}; }

constexpr IspInstruction writeLowFuse(uint8_t value) { return {{0xAC, 0xA0, 0x00, value}}; }
constexpr IspInstruction writeHighFuse(uint8_t value) { return {{0xAC, 0xA8, 0x00, value}}; }
constexpr IspInstruction writeExtendedFuse(uint8_t value) { return {{0xAC, 0xA4, 0x00, value}}; }
constexpr IspInstruction writeLockByte(uint8_t value) { return {{0xAC, 0xE0, 0x00, value}}; }

// The single fuse byte of the older chips: its five low bits ride in byte 1.
constexpr IspInstruction writeSingleFuse(uint8_t value) {
    return {{0xAC, uint8_t(0xA0 | (value & 0x1F)), 0x00, 0x00}};
}

// The old lock command: level 2 disables reading and programming, level 1 programming.
constexpr IspInstruction writeLockBitsOld(int level) {
    return {{0xAC, uint8_t(level >= 2 ? 0xF9 : 0xFD), 0x00, 0x00}};
}

constexpr IspInstruction readCalibration(uint8_t index) { return {{0x38, 0x00, index, 0x00}}; }

}  // namespace isp
}  // namespace mervex
