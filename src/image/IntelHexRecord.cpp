#include "image/IntelHexRecord.h"

#include "base/TextUtil.h"

namespace mervex {

namespace {

constexpr size_t HeaderDigits = 8;  // length(2) offset(4) type(2)
constexpr size_t FrameBytes = 5;    // length, offset (2), type and checksum

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

}  // namespace mervex
