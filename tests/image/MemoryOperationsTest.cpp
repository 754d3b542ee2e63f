#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chip/ChipFixture.h"
#include "image/MemoryOperations.h"
#include "support/StatusOf.h"

namespace mervex {
namespace {

using test::CaptureConsole;

class MemoryOperationsTest : public test::ChipFixture {
protected:
    void SetUp() override {
        useChip("mega8");
        connectQuietly();
        console().progressMode = 0;  // reports only, no bars
    }
    void TearDown() override { console().progressMode = 2; }

    static void addBlock(MemoryImage& image, uint32_t address, const std::vector<uint8_t>& bytes) {
        image.append(std::make_unique<MemoryBlock>(address, uint32_t(bytes.size()), bytes.data()));
    }

    static std::vector<uint8_t> counting(size_t n, uint8_t from = 0) {
        std::vector<uint8_t> bytes(n);
        for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(from + i);
        return bytes;
    }

    int countInstructions(uint8_t opcode) const {
        return int(std::count_if(chip->sent.begin(), chip->sent.end(),
                                 [opcode](const IspInstruction& i) { return i[0] == opcode; }));
    }

    MemoryPassOptions options;
};

TEST_F(MemoryOperationsTest, VerifyWithFreePositionTest) {
    MemoryImage image;
    addBlock(image, 0x000, counting(0x100));
    addBlock(image, 0x200, counting(0x100, 7));
    std::copy_n(image.first()->data.get(), 0x100, chip->flash.begin());
    std::copy_n(image.last()->data.get(), 0x100, chip->flash.begin() + 0x200);
    options.verifyAll = true;
    {
        CaptureConsole capture;
        verifyMemory(session, options, MemoryKind::Code, image);
        EXPECT_EQ(capture.out(), "Verifying CODE memory\n passed\n Free positions are blank\n");
    }
    chip->flash[0x150] = 0x00;
    CaptureConsole capture;
    EXPECT_EQ(test::statusOf([&] { verifyMemory(session, options, MemoryKind::Code, image); }), ExitChip);
    EXPECT_EQ(capture.out(), "Verifying CODE memory\n passed\nERROR:   Free positions are NOT blank\n"
                             "ERROR:  at 0x0150: expected FF, read 00\n");
    // Without -v+ the free positions are not read.
    options.verifyAll = false;
    verifyMemory(session, options, MemoryKind::Code, image);
}

// Every mismatch is counted; the first eight are named, the rest only at debug level.
TEST_F(MemoryOperationsTest, VerifyCountsEveryMismatch) {
    struct Case {
        int mismatches;
        int level;
        std::string report;
    };
    auto named = [](int from, int to, const char* prefix) {
        std::string text;
        for (int i = from; i < to; ++i) {
            char line[64];
            std::snprintf(line, sizeof line, "%sat 0x%04X: expected %02X, read %02X\n", prefix, 0x40 + 50 * i,
                          (50 * i) & 0xFF, ((50 * i) & 0xFF) ^ 1);
            text += line;
        }
        return text;
    };
    const Case cases[] = {
        {1, LevelInfo, "ERROR:  failed, 1 error \n" + named(0, 1, "ERROR:  ")},
        {3, LevelInfo, "ERROR:  failed, 3 errors\n" + named(0, 3, "ERROR:  ")},
        {10, LevelInfo, "ERROR:  failed, 10 errors\n" + named(0, 8, "ERROR:  ") +
                            "ERROR:  and 2 more (-id lists them all)\n"},
        {10, LevelDebug, "ERROR:  failed, 10 errors\n" + named(0, 8, "ERROR:  ") + named(8, 10, "    ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        MemoryImage image;
        addBlock(image, 0x40, counting(600));
        std::copy_n(image.first()->data.get(), 600, chip->flash.begin() + 0x40);
        for (int i = 0; i < c.mismatches; ++i) chip->flash[0x40 + 50 * i] ^= 0x01;
        CaptureConsole capture(false, false, c.level);
        EXPECT_EQ(test::statusOf([&] { verifyMemory(session, options, MemoryKind::Code, image); }), ExitChip);
        EXPECT_EQ(capture.out(), std::string("Verifying CODE memory\n") + c.report);
    }
}

TEST_F(MemoryOperationsTest, ReadGivesGapFreeChunks) {
    struct Case {
        MemoryKind kind;
        bool eraseCounter;
        size_t blocks;
        uint32_t lastLength;
    };
    for (const Case& c : {Case{MemoryKind::Code, false, 16, 512}, Case{MemoryKind::Code, true, 16, 510},
                          Case{MemoryKind::Data, false, 16, 32}}) {
        chip->flash[0x1234] = 0x5A;
        chip->eeprom[0x1F] = 0xA5;
        options.eraseCounter = c.eraseCounter;
        MemoryImage image;
        CaptureConsole capture;
        readMemory(session, options, c.kind, image);
        EXPECT_EQ(image.count(), c.blocks);
        EXPECT_EQ(image.last()->length, c.lastLength);
        uint32_t expected = 0;
        image.forEach([&expected](const MemoryBlock& b) {
            EXPECT_EQ(b.address, expected);
            expected += b.length;
        });
        if (c.kind == MemoryKind::Code)
            EXPECT_EQ(image.findIf([](const MemoryBlock& b) { return b.lastAddress() >= 0x1234; })->byteAt(0x1234),
                      0x5A);
        else
            EXPECT_EQ(image.first()->byteAt(0x1F), 0xA5);
    }
}

TEST_F(MemoryOperationsTest, BlankCheckLeavesOutTheEraseCounterBytes) {
    chip->flash[8190] = 0x01;
    chip->flash[8191] = 0x00;
    options.eraseCounter = true;
    {
        CaptureConsole capture;
        blankCheck(session, options, BlankCode | BlankData);
        EXPECT_EQ(capture.out(), "Blank check\nCode: Blank\nData: Blank\n");
    }
    options.eraseCounter = false;
    // The check stops at the first non-blank block (32 EEPROM bytes): its count says so.
    std::fill_n(chip->eeprom.begin() + 3, 40, uint8_t(0));
    CaptureConsole capture;
    EXPECT_EQ(test::statusOf([&] { blankCheck(session, options, BlankCode | BlankData); }), ExitChip);
    std::string named;
    for (int a = 3; a < 11; ++a) {
        char line[48];
        std::snprintf(line, sizeof line, "ERROR:  at 0x%04X: expected FF, read 00\n", a);
        named += line;
    }
    EXPECT_EQ(capture.out(),
              "Blank check\nCode: \nERROR:  Code not blank\nERROR:  at 0x1FFE: expected FF, read 01\n"
              "ERROR:  at 0x1FFF: expected FF, read 00\nData: \nERROR:  Data not blank\n" + named +
              "ERROR:  and 21 more in the first non-blank block (-id lists them); the check stops there\n");
}

TEST_F(MemoryOperationsTest, FillWritesFreeEepromUnlessTheEraseBlankedIt) {
    MemoryImage image;
    addBlock(image, 0x10, counting(16, 0x40));
    options.fillEeprom = true;
    struct Case {
        const char* chipName;
        bool erased;
        bool eepromKept;  // -e-: the old contents were written back after the erase
        bool filled;
    };
    // The mega8's EESAVE fuse may keep the EEPROM through an erase; the 90S8515 has none.
    for (const Case& c : {Case{"mega8", false, false, true}, Case{"90S8515", true, false, false},
                          Case{"mega8", true, false, true}, Case{"mega8", true, true, true}}) {
        SCOPED_TRACE(c.chipName);
        ChipOptions chipOptions;
        chipOptions.preserveEeprom = c.eepromKept;
        useChip(c.chipName, chipOptions);
        if (c.erased)
            eraseQuietly();
        else
            connectQuietly();
        std::fill(chip->eeprom.begin(), chip->eeprom.end(), 0x00);
        CaptureConsole capture;
        writeMemory(session, options, MemoryKind::Data, image);
        EXPECT_EQ(capture.out(), "Programming 16 bytes to DATA memory\n");
        EXPECT_EQ(countInstructions(0xC0), c.filled ? 512 : 16);
        EXPECT_EQ(chip->eeprom[0x10], 0x40);
        EXPECT_EQ(chip->eeprom[0x1F], 0x4F);
        EXPECT_EQ(chip->eeprom[0x0F], c.filled ? 0xFF : 0x00);
        EXPECT_EQ(chip->eeprom[0x1FF], c.filled ? 0xFF : 0x00);
    }
}

TEST_F(MemoryOperationsTest, WriteCommitsTheLastPage) {
    MemoryImage image;
    addBlock(image, 0x00, counting(0x50, 1));
    CaptureConsole capture;
    writeMemory(session, options, MemoryKind::Code, image);
    EXPECT_EQ(countInstructions(0x4C), 2);
    EXPECT_TRUE(std::equal(chip->flash.begin(), chip->flash.begin() + 0x50, image.first()->data.get()));
    verifyMemory(session, options, MemoryKind::Code, image);
}

TEST_F(MemoryOperationsTest, BlankRangeOfNothingIsBlank) {
    session.beginMemoryPass();
    chip->flash[0] = 0;
    EXPECT_TRUE(isBlankRange(session, MemoryKind::Code, 5, 4));
    EXPECT_FALSE(isBlankRange(session, MemoryKind::Code, 0, 0));
    EXPECT_TRUE(isBlankRange(session, MemoryKind::Code, 1, 8191));
}

}  // namespace
}  // namespace mervex
