#pragma once
// Where avr-gcc's linker puts the memories other than flash: the load addresses
// of the .eeprom, .fuse, .lock and .signature sections in its ELF files, kept
// by avr-objcopy in the Intel HEX files made from them.
#include <cstdint>

namespace mervex {

constexpr uint32_t GccEepromAddress = 0x810000;
constexpr uint32_t GccFuseAddress = 0x820000;
constexpr uint32_t GccLockAddress = 0x830000;
constexpr uint32_t GccSignatureAddress = 0x840000;
// Each of them is a 64 KiB window.
constexpr uint32_t GccWindowSize = 0x10000;

}  // namespace mervex
