#include "image/IntelHexRecord.h"

#include <algorithm>

#include "base/TextUtil.h"

namespace mervex {

namespace {

constexpr size_t HeaderDigits = 8;  // length(2) offset(4) type(2)
constexpr size_t FrameBytes = 5;    // length, offset (2), type and checksum
constexpr size_t RecordBytes = 16;  // data bytes of a written record

// The byte of the two digits at `text`, which are known to be hexadecimal.
uint8_t byteAt(const char* text) { return uint8_t(digitValue(text[0], 16) * 16 + digitValue(text[1], 16)); }

}  // namespace

unsigned parseHexRecord(std::string_view line, HexRecord& record) {
    record = HexRecord{};
    if (line.empty() || line[0] != ':') return HexNoColon;
    const std::string_view digits = line.substr(1);
    unsigned faults = 0;
    if (digits.size() < 2 * FrameBytes || digits.size() % 2 != 0) faults |= HexBadLength;
    size_t firstOther = 0;
    while (firstOther < digits.size() && digitValue(digits[firstOther], 16) >= 0) ++firstOther;
    if (firstOther < digits.size()) faults |= HexNotDigit;
    if (firstOther < HeaderDigits) return faults | HexBadHeader;

    record.count = byteAt(&digits[0]);
    record.offset = uint16_t(byteAt(&digits[2]) << 8 | byteAt(&digits[4]));
    record.type = byteAt(&digits[6]);
    if (digits.size() != 2 * (size_t(record.count) + FrameBytes)) faults |= HexBadCount;
    if (faults != 0) return faults;

    unsigned sum = 0;
    for (size_t i = 0; i < digits.size(); i += 2) sum += byteAt(&digits[i]);
    for (size_t i = 0; i < record.count; ++i) record.data[i] = byteAt(&digits[HeaderDigits + 2 * i]);
    return (sum & 0xFF) == 0 ? 0u : unsigned(HexBadSum);
}

std::string formatHexRecord(uint8_t type, uint16_t offset, const uint8_t* data, size_t count) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(1 + 2 * (count + FrameBytes));
    text += ':';
    unsigned sum = 0;
    auto put = [&](uint8_t byte) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
        sum += byte;
    };
    put(uint8_t(count));
    put(uint8_t(offset >> 8));
    put(uint8_t(offset));
    put(type);
    for (size_t i = 0; i < count; ++i) put(data[i]);
    put(uint8_t(0x100 - (sum & 0xFF)));
    return text;
}

uint32_t hexBaseAddress(const HexRecord& record) {
    const uint32_t value = uint32_t(record.data[0]) << 8 | record.data[1];
    return record.type == HexSegmentBase ? value << 4 : value << 16;
}

void HexRecordWriter::data(uint32_t address, const uint8_t* bytes, size_t count) {
    for (size_t offset = 0; offset < count; offset += RecordBytes) {
        const size_t length = std::min(RecordBytes, count - offset);
        const uint8_t* record = bytes + offset;
        const uint32_t at = address + uint32_t(offset);
        const bool erased = std::all_of(record, record + length, [](uint8_t b) { return b == 0xFF; });
        if (erased && (erased_ == ErasedRecords::LeftOut || (erased_ == ErasedRecords::LeftOutButAtZero && at != 0)))
            continue;
        if ((at >> 16) != upper_) {
            upper_ = at >> 16;
            const uint8_t base[2] = {uint8_t(upper_ >> 8), uint8_t(upper_)};
            put_(formatHexRecord(HexLinearBase, 0, base, 2));
        }
        put_(formatHexRecord(HexData, uint16_t(at), record, length));
    }
}

void HexRecordWriter::end() { put_(formatHexRecord(HexEnd, 0, nullptr, 0)); }

}  // namespace mervex
