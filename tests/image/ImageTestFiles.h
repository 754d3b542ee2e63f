#pragma once
// Record texts and image shorthands for the image tests.
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "image/MemoryImage.h"

namespace mervex::test {

// One Intel HEX record with its checksum, upper-case, without line end.
inline std::string hexRecord(unsigned type, unsigned offset, const std::vector<uint8_t>& data) {
    std::vector<unsigned> bytes = {unsigned(data.size()), (offset >> 8) & 0xFF, offset & 0xFF, type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string text = ":";
    char pair[3];
    for (unsigned b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b & 0xFF);
        text += pair;
        sum += b;
    }
    std::snprintf(pair, sizeof pair, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + pair;
}

using BlockList = std::vector<std::pair<uint32_t, uint32_t>>;  // address, length

inline BlockList blocksOf(const MemoryImage& image) {
    BlockList list;
    image.forEach([&list](const MemoryBlock& b) { list.emplace_back(b.address, b.length); });
    return list;
}

// Every byte the image holds, by address (later blocks win on overlaps).
inline std::map<uint32_t, uint8_t> bytesOf(const MemoryImage& image) {
    std::map<uint32_t, uint8_t> bytes;
    image.forEach([&bytes](const MemoryBlock& b) {
        for (uint32_t i = 0; i < b.length; ++i) bytes[b.address + i] = b.data[i];
    });
    return bytes;
}

// The image as runs of contiguous bytes: adjacent blocks are joined, so images that
// hold the same bytes in differently cut blocks compare equal. Expects sorted blocks.
inline std::vector<std::pair<uint32_t, std::string>> spansOf(const MemoryImage& image) {
    std::vector<std::pair<uint32_t, std::string>> spans;
    image.forEach([&spans](const MemoryBlock& b) {
        const std::string bytes(reinterpret_cast<const char*>(b.data.get()), b.length);
        if (!spans.empty() && uint64_t(spans.back().first) + spans.back().second.size() == b.address)
            spans.back().second += bytes;
        else
            spans.emplace_back(b.address, bytes);
    });
    return spans;
}

inline void appendBlock(MemoryImage& image, uint32_t address, const std::vector<uint8_t>& bytes) {
    image.append(std::make_unique<MemoryBlock>(address, uint32_t(bytes.size()), bytes.data()));
}

}  // namespace mervex::test
