#pragma once
// One file argument of a run: which form the file has and where it is.
#include <cstdint>
#include <string>

namespace mervex {

// Values of ImageFile::format.
enum ImageFormat : uint8_t {
    FormatIntelHex = 0,
    FormatBinary = 1,
};

struct ImageFile {
    uint8_t format = FormatIntelHex;  // FormatIntelHex or FormatBinary
    std::string path;                 // the name after any ":ihex:" or ":bin:" prefix
};

}  // namespace mervex
