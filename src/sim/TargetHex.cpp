#include "sim/TargetHex.h"

#include <cstdio>

#include "base/TextUtil.h"
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

}  // namespace

std::vector<std::string> encodeHex(const std::vector<uint8_t>& memory, bool skipBlank) {
    std::vector<std::string> lines;
    HexRecordWriter writer([&lines](const std::string& record) { lines.push_back(record); },
                           skipBlank ? ErasedRecords::LeftOut : ErasedRecords::Written);
    writer.data(0, memory.data(), memory.size());
    writer.end();
    return lines;
}

bool HexDecoder::feed(const std::string& rawLine, std::string& error) {
    const std::string line = trimEnd(rawLine, " \t\r");
    if (ended_) {
        error = "record after the end record";
        return false;
    }
    HexRecord record;
    if (const unsigned faults = parseHexRecord(line, record)) {
        error = faultText(faults);
        return false;
    }
    const size_t count = record.count;
    switch (record.type) {
    case HexData: {
        uint32_t address = base_ + record.offset;
        if (uint64_t(address) + count > memory_.size()) {
            char text[96];
            std::snprintf(text, sizeof text, "data at 0x%X lies beyond the memory size 0x%zX", unsigned(address),
                          memory_.size());
            error = text;
            return false;
        }
        for (size_t i = 0; i < count; ++i) memory_[address + i] = record.data[i];
        return true;
    }
    case HexEnd:
        if (count != 0) {
            error = "end record with data";
            return false;
        }
        ended_ = true;
        return true;
    case HexSegmentBase:
    case HexLinearBase:
        if (count != 2) {
            error = "address record of wrong length";
            return false;
        }
        base_ = hexBaseAddress(record);
        return true;
    case HexSegmentStart:
    case HexLinearStart:
        if (count != 4) {
            error = "start address record of wrong length";
            return false;
        }
        return true;
    default:
        error = "unknown HEX record type";
        return false;
    }
}

}  // namespace mervex
