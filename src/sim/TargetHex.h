#pragma once
// Whole memories as Intel HEX records, read strictly: the memories kept in a
// target file and the images the companion tool dumps and loads.
#include <cstdint>
#include <string>
#include <vector>

namespace mervex {

// Records for the whole memory, 16 data bytes each, with an extended linear
// address record before every 64 KiB, and the end record. With skipBlank the
// records whose 16 bytes are all 0xFF are left out, since a reader starts from
// an erased memory.
std::vector<std::string> encodeHex(const std::vector<uint8_t>& memory, bool skipBlank);

// Reads records, one line at a time, into a memory of fixed size.
class HexDecoder {
public:
    explicit HexDecoder(std::vector<uint8_t>& memory) : memory_(memory) {}

    // Take one record (trailing white space allowed); a record it cannot take
    // throws the reason (ExitFile).
    void feed(const std::string& line);
    // True once the end record has been read; nothing may follow it.
    bool ended() const { return ended_; }

private:
    std::vector<uint8_t>& memory_;
    uint32_t base_ = 0;
    bool ended_ = false;
};

}  // namespace mervex
