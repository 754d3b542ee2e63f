#include "sim/TargetHex.h"

#include <cstdio>

namespace mervex {

namespace {

std::string record(uint8_t type, uint16_t address, const uint8_t* data, size_t count) {
    char text[16];
    unsigned sum = unsigned(count) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(text, sizeof text, ":%02X%04X%02X", unsigned(count), unsigned(address), unsigned(type));
    std::string line = text;
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%02X", unsigned(data[i]));
        line += text;
        sum += data[i];
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::vector<std::string> encodeHex(const std::vector<uint8_t>& memory, bool skipBlank) {
    std::vector<std::string> lines;
    uint32_t segment = 0;
    for (size_t at = 0; at < memory.size(); at += 16) {
        size_t count = memory.size() - at < 16 ? memory.size() - at : 16;
        if (skipBlank) {
            bool blank = true;
            for (size_t i = 0; i < count && blank; ++i) blank = memory[at + i] == 0xFF;
            if (blank) continue;
        }
        if ((at >> 16) != segment) {
            segment = uint32_t(at >> 16);
            uint8_t upper[2] = {uint8_t(segment >> 8), uint8_t(segment)};
            lines.push_back(record(4, 0, upper, 2));
        }
        lines.push_back(record(0, uint16_t(at & 0xFFFF), &memory[at], count));
    }
    lines.push_back(record(1, 0, nullptr, 0));
    return lines;
}

bool HexDecoder::feed(const std::string& rawLine, std::string& error) {
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (ended_) {
        error = "record after the end record";
        return false;
    }
    if (line.empty() || line[0] != ':') {
        error = "a HEX record must begin with ':'";
        return false;
    }
    if (line.size() < 11 || (line.size() - 1) % 2 != 0) {
        error = "HEX record of wrong length";
        return false;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i < line.size(); i += 2) {
        int high = hexDigit(line[i]);
        int low = hexDigit(line[i + 1]);
        if (high < 0 || low < 0) {
            error = "HEX record with a character that is not a hexadecimal digit";
            return false;
        }
        bytes.push_back(uint8_t(high * 16 + low));
    }
    size_t count = bytes[0];
    if (bytes.size() != count + 5) {
        error = "HEX record length does not match its byte count";
        return false;
    }
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    if ((sum & 0xFF) != 0) {
        error = "HEX record checksum error";
        return false;
    }
    uint32_t offset = uint32_t(bytes[1]) << 8 | bytes[2];
    const uint8_t* data = &bytes[4];
    switch (bytes[3]) {
    case 0: {
        uint32_t address = base_ + offset;
        if (uint64_t(address) + count > memory_.size()) {
            char text[96];
            std::snprintf(text, sizeof text, "data at 0x%X lies beyond the memory size 0x%zX", unsigned(address),
                          memory_.size());
            error = text;
            return false;
        }
        for (size_t i = 0; i < count; ++i) memory_[address + i] = data[i];
        return true;
    }
    case 1:
        if (count != 0) {
            error = "end record with data";
            return false;
        }
        ended_ = true;
        return true;
    case 2:
    case 4:
        if (count != 2) {
            error = "address record of wrong length";
            return false;
        }
        base_ = (uint32_t(data[0]) << 8 | data[1]) << (bytes[3] == 2 ? 4 : 16);
        return true;
    case 3:
    case 5:
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
