#pragma once
// One file argument of a run: which form the file has and where it is.
#include <cstdint>
#include <string>

namespace mervex {

// Values of ImageFile::format.
enum ImageFormat : uint8_t {
    FormatIntelHex = 0,
    FormatBinary = 1,
    FormatElf = 2,  // read only
};

struct ImageFile {
    uint8_t format = FormatIntelHex;  // an ImageFormat
    std::string path;                 // the name after any ":ihex:", ":bin:" or ":elf:" prefix
    bool formatNamed = false;         // a prefix gave the format; else an ELF file is known by its first bytes
};

}  // namespace mervex
