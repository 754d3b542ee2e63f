#pragma once
// One Intel HEX record line, read and written: ':' then hexadecimal digit pairs
// for the data length, the 16-bit address offset, the type, the data and the
// checksum, which makes all the record's bytes add up to 0 modulo 256.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mervex {

enum HexRecordType : uint8_t {
    HexData = 0,
    HexEnd = 1,
    HexSegmentBase = 2,
    HexSegmentStart = 3,
    HexLinearBase = 4,
    HexLinearStart = 5,
};

struct HexRecord {
    uint8_t count = 0;  // data bytes
    uint16_t offset = 0;
    uint8_t type = 0;
    uint8_t data[255] = {};  // the bytes past count are 0
};

// What is wrong with a record line. A line may show several faults; each
// reader names the one it looks for first.
enum HexRecordFault : unsigned {
    HexNoColon = 1u << 0,    // empty, or not beginning with ':'; nothing else is looked at
    HexBadHeader = 1u << 1,  // the eight digits of length, offset and type are missing or not all hexadecimal
    HexBadLength = 1u << 2,  // fewer digits than the shortest record has, or an odd number
    HexNotDigit = 1u << 3,   // a character after ':' is not a hexadecimal digit
    HexBadCount = 1u << 4,   // the digit pairs do not match the length field (only with a sound header)
    HexBadSum = 1u << 5,     // the bytes do not add up to 0 (only on an otherwise sound record)
};

// Decodes one record line, without its line end, into `record`; returns its
// faults, 0 for a sound record. `record` holds the record when the result is
// 0 or HexBadSum.
unsigned parseHexRecord(std::string_view line, HexRecord& record);

// The text of one record (`count` at most 255), without line end: upper-case
// digits, the checksum last.
std::string formatHexRecord(uint8_t type, uint16_t offset, const uint8_t* data, size_t count);

}  // namespace mervex
