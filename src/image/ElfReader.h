#pragma once
// ELF32 executables as avr-gcc links them: the contents of the loadable
// segments, sorted into the chip's memories by their load (physical) address.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/MemoryImage.h"

namespace mervex {

// Largest ELF file read; firmware with full debug information stays far below.
constexpr size_t ElfMaxFileSize = size_t(32) << 20;

// Fuse bytes an ELF file may carry: low, high, extended.
constexpr size_t ElfMaxFuseBytes = 3;

// What an ELF file holds besides its flash contents.
struct FirmwareParts {
    bool isElf = false;           // the file was an ELF file
    MemoryImage eeprom;           // .eeprom, from EEPROM address 0
    std::vector<uint8_t> fuses;   // .fuse: low, high, extended byte, as many as the file has
    int lock = -1;                // .lock byte, -1 when the file has none
    int64_t signature = -1;       // .signature as the chip reports it, -1 when none
};

// True when the bytes begin with the ELF magic number.
bool hasElfMagic(const uint8_t* data, size_t size);

// Parses the ELF file held in `data`: loadable segments below the EEPROM
// address go to `code`, EEPROM, fuse, lock and signature segments to `parts`.
// Blocks are at most 4096 bytes and sorted; segments may not overlap. Bad
// contents: the message and app_error(50).
void parseElf(const uint8_t* data, size_t size, const std::string& name, MemoryImage& code,
              FirmwareParts& parts);

// Reads the whole stream, stopping soon after ElfMaxFileSize bytes (so that a
// larger file still shows as one); a failing read: the message and rtl_error(50).
std::vector<uint8_t> readWholeStream(std::FILE* stream, const std::string& name);

}  // namespace mervex
