#include "sim/TargetHex.h"

#include "base/TextUtil.h"
#include "console/Errors.h"
#include "image/IntelHexRecord.h"

namespace mervex {

namespace {

// The reason for the first fault of a record line.
const char* faultText(unsigned faults) {
    if (faults & HexNoColon) return "a HEX record must begin with ':'";
    if (faults & HexBadLength) return "HEX record of wrong length";
    if (faults & HexNotDigit) return "HEX record with a character that is not a hexadecimal digit";
    if (faults & HexBadCount) return "HEX record length does not match its byte count";
    return "HEX record checksum error";
}

[[noreturn]] void fail(const char* reason) { throw app_error(ExitFile, "%s\n", reason); }

}  // namespace

std::vector<std::string> encodeHex(const std::vector<uint8_t>& memory, bool skipBlank) {
    std::vector<std::string> lines;
    HexRecordWriter writer([&lines](const std::string& record) { lines.push_back(record); },
                           skipBlank ? ErasedRecords::LeftOut : ErasedRecords::Written);
    writer.data(0, memory.data(), memory.size());
    writer.end();
    return lines;
}

void HexDecoder::feed(const std::string& rawLine) {
    const std::string line = trimEnd(rawLine, " \t\r");
    if (ended_) fail("record after the end record");
    HexRecord record;
    if (const unsigned faults = parseHexRecord(line, record)) fail(faultText(faults));
    const size_t count = record.count;
    switch (record.type) {
    case HexData: {
        uint32_t address = base_ + record.offset;
        if (uint64_t(address) + count > memory_.size())
            throw app_error(ExitFile, "data at 0x%X lies beyond the memory size 0x%zX\n", unsigned(address),
                            memory_.size());
        for (size_t i = 0; i < count; ++i) memory_[address + i] = record.data[i];
        return;
    }
    case HexEnd:
        if (count != 0) fail("end record with data");
        ended_ = true;
        return;
    case HexSegmentBase:
    case HexLinearBase:
        if (count != 2) fail("address record of wrong length");
        base_ = hexBaseAddress(record);
        return;
    case HexSegmentStart:
    case HexLinearStart:
        if (count != 4) fail("start address record of wrong length");
        return;
    default:
        fail("unknown HEX record type");
    }
}

}  // namespace mervex
