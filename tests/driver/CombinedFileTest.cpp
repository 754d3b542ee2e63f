#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/InputLoading.h"

namespace mervex {
namespace {

using Span = std::pair<uint32_t, uint32_t>;  // address, length

MemoryImage imageOf(const std::vector<Span>& spans) {
    MemoryImage image;
    for (const Span& s : spans) {
        std::vector<uint8_t> bytes(s.second);
        for (uint32_t i = 0; i < s.second; ++i) bytes[i] = uint8_t(s.first + i);
        image.append(std::make_unique<MemoryBlock>(s.first, s.second, bytes.data()));
    }
    return image;
}

std::vector<Span> spansOf(const MemoryImage& image) {
    std::vector<Span> spans;
    image.forEach([&spans](const MemoryBlock& b) { spans.emplace_back(b.address, b.length); });
    return spans;
}

TEST(CombinedFile, DataAboveTheFlashMovesToTheDataImage) {
    struct Case {
        std::vector<Span> code;
        std::vector<Span> codeAfter;
        std::vector<Span> dataAfter;
    };
    const Case cases[] = {
        {{{0, 0x2000}}, {{0, 0x2000}}, {}},
        {{{0, 0x1000}, {0x1000, 0x1000}, {0x2000, 0x40}}, {{0, 0x1000}, {0x1000, 0x1000}}, {{0, 0x40}}},
        {{{0x1FF0, 0x20}}, {{0x1FF0, 0x10}}, {{0, 0x10}}},
        {{{0x100, 0x10}, {0x2100, 0x10}, {0x2200, 0x8}}, {{0x100, 0x10}}, {{0x100, 0x10}, {0x200, 0x8}}},
        // Unsigned addresses: a block at 2 GiB is data far beyond any EEPROM, not below the flash.
        {{{0, 0x10}, {0x80000000u, 0x10}}, {{0, 0x10}}, {{0x80000000u - 0x2000, 0x10}}},
        // A block after the first one that crosses the line but ends below it stays code.
        {{{0x1000, 0x1100}, {0x1800, 0x10}}, {{0x1000, 0x1000}, {0x1800, 0x10}}, {{0, 0x100}}},
    };
    for (const Case& c : cases) {
        MemoryImage code = imageOf(c.code);
        MemoryImage data;
        const bool moved = splitCombinedImage(code, data, 0x2000);
        EXPECT_EQ(spansOf(code), c.codeAfter);
        EXPECT_EQ(spansOf(data), c.dataAfter);
        EXPECT_EQ(moved, !c.dataAfter.empty());
    }
}

TEST(CombinedFile, SplitBlockKeepsItsBytes) {
    MemoryImage code = imageOf({{0x1FF0, 0x20}});
    MemoryImage data;
    splitCombinedImage(code, data, 0x2000);
    EXPECT_EQ(code.first()->byteAt(0x1FFF), uint8_t(0x1FFF));
    EXPECT_EQ(data.first()->byteAt(0), uint8_t(0x2000));
    EXPECT_EQ(data.first()->byteAt(0xF), uint8_t(0x200F));
}

}  // namespace
}  // namespace mervex
