#pragma once
// One Intel HEX record line, read and written: ':' then hexadecimal digit pairs
// for the data length, the 16-bit address offset, the type, the data and the
// checksum, which makes all the record's bytes add up to 0 modulo 256. Also
// the one way memory contents become records.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

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

// The base address that an extended segment or linear address record sets;
// data bytes missing from a short record count as zero.
uint32_t hexBaseAddress(const HexRecord& record);

// What a writer does with a data record whose bytes are all 0xFF.
enum class ErasedRecords {
    Written,
    LeftOut,           // a reader starts from an erased memory
    LeftOutButAtZero,  // so that an erased memory still gives one data record
};

// Writes memory contents as record lines, without line ends, through `put`:
// data records of 16 bytes, each preceded by an extended linear address
// record when its upper 16 address bits differ from the last record's; then
// the end record.
class HexRecordWriter {
public:
    using Put = std::function<void(const std::string& record)>;
    HexRecordWriter(Put put, ErasedRecords erased) : put_(std::move(put)), erased_(erased) {}

    // count bytes from address; ranges are given in address order.
    void data(uint32_t address, const uint8_t* bytes, size_t count);
    void end();

private:
    Put put_;
    ErasedRecords erased_;
    uint32_t upper_ = 0;
};

}  // namespace mervex
