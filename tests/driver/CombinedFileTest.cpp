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
        // avr-gcc's EEPROM address is EEPROM address 0; beside data right above the flash.
        {{{0, 0x100}, {0x810000, 0x20}}, {{0, 0x100}}, {{0, 0x20}}},
        {{{0, 0x100}, {0x2000, 0x8}, {0x810010, 0x10}}, {{0, 0x100}}, {{0, 0x8}, {0x10, 0x10}}},
        {{{0x81FFF0, 0x10}, {0x820000, 0x3}}, {}, {{0xFFF0, 0x10}, {0x820000 - 0x2000, 0x3}}},
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

// A data file at avr-gcc's EEPROM address moves down only when all of it lies there.
TEST(CombinedFile, DataFileAtTheGccEepromAddressMovesToZero) {
    struct Case {
        std::vector<Span> data;
        std::vector<Span> after;
    };
    const Case cases[] = {
        {{{0x810000, 0x40}}, {{0, 0x40}}},
        {{{0x810000, 0x1000}, {0x811000, 0x20}, {0x811100, 0x1}}, {{0, 0x1000}, {0x1000, 0x20}, {0x1100, 0x1}}},
        {{{0x10, 0x10}, {0x810000, 0x10}}, {{0x10, 0x10}, {0x810000, 0x10}}},
        {{{0x81FFF0, 0x20}}, {{0x81FFF0, 0x20}}},
        {{{0x80FFFF, 0x2}}, {{0x80FFFF, 0x2}}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        MemoryImage data = imageOf(c.data);
        EXPECT_EQ(moveGccEepromDown(data), c.after != c.data);
        EXPECT_EQ(spansOf(data), c.after);
    }
    MemoryImage data = imageOf({{0x810000, 0x4}});
    moveGccEepromDown(data);
    EXPECT_EQ(data.first()->byteAt(3), uint8_t(0x810003));
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
