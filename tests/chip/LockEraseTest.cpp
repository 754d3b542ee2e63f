#include <string>
#include <vector>

#include "ChipFixture.h"

namespace mervex::test {
namespace {

class LockErase : public ChipFixture {};

TEST_F(LockErase, LockLevelFromEachLayout) {
    struct Case {
        const char* chip;
        uint8_t lockByte;
        int level;
    };
    const Case cases[] = {
        {"mega8", 0xFC, 2},   {"mega8", 0xFE, 1},   {"mega8", 0xFF, 0},    {"mega8", 0xFD, 2},
        {"90S4434", 0x7F, 1}, {"90S4434", 0x3F, 2}, {"90S4434", 0xFF, 0},  {"90S4434", 0xBF, 2},
        {"90S2333", 0xFF, 0}, {"90S2333", 0xFB, 2}, {"90S2333", 0xFD, 1},  {"90S2313", 0x00, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " " + std::to_string(c.lockByte));
        useChip(c.chip);
        chip->fuse[0] = c.lockByte;
        session.readLockBits();
        EXPECT_EQ(session.lockLevel(), c.level);
        EXPECT_EQ(chip->sent.size(), c.level == -1 ? 0u : 1u);
    }
}

TEST_F(LockErase, LockingKeepsBootLockBitsAndUsesTheChipsCommand) {
    struct Case {
        const char* chip;
        uint8_t lockByte;
        char request;
        std::vector<std::string> sent;
        char programmed;
    };
    const Case cases[] = {
        {"mega8", 0xFF, '1', {"58 00 00 00", "AC E0 00 FE"}, '1'},
        {"mega8", 0xC3, '2', {"58 00 00 00", "AC E0 00 C0"}, '2'},
        {"mega8", 0xFF, '3', {"58 00 00 00", "AC E0 00 FC"}, '2'},
        {"tiny13", 0xC3, '2', {"AC E0 00 FC"}, '2'},  // no boot lock bits to keep
        {"90S2313", 0xFF, '2', {"AC F9 00 00"}, '2'},
        {"90S4434", 0xFF, '1', {"AC FD 00 00"}, '1'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " level " + c.request);
        useChip(c.chip);
        connectQuietly();
        chip->fuse[0] = c.lockByte;
        EXPECT_EQ(session.lockChip(c.request), c.programmed);
        EXPECT_EQ(chip->sentText(), c.sent);
        EXPECT_EQ(chip->events.back(), "delay " + std::to_string(double(session.selectedChip().eraseDelayMs)));
    }
}

TEST_F(LockErase, CalibrationBytesAreReadInOrder) {
    useChip("mega8");
    CaptureConsole capture(false, false, LevelTrace);
    session.readCalibration();
    EXPECT_EQ(chip->sentText(), (std::vector<std::string>{"38 00 00 00", "38 00 01 00", "38 00 02 00", "38 00 03 00"}));
    EXPECT_EQ(session.fuses().calibration[3], 0xA0);
    EXPECT_NE(capture.out().find("Read Osccal: command 38 00 01 00, reply 00 38 00 A3\n"), std::string::npos);
}

TEST_F(LockErase, EraseReconnectsReadsTheLockAndMarksTheChipErased) {
    useChip("mega8");
    connectQuietly();
    chip->fuse[0] = 0xFC;
    CaptureConsole capture;
    session.eraseChip();
    EXPECT_EQ(chip->sentText(), (std::vector<std::string>{"AC 80 00 00", "AC 53 00 00", "30 00 00 00", "30 00 01 00",
                                                           "30 00 02 00", "58 00 00 00"}));
    EXPECT_EQ(capture.out(), "Device erased\nDevice connected, mega8|mega8A detected\n");
    EXPECT_EQ(session.lockLevel(), 0);
    EXPECT_TRUE(session.chipErased());
}

TEST_F(LockErase, EraseBugChipWritesOneByteBetweenTwoErases) {
    useChip("tiny12");
    connectQuietly();
    CaptureConsole capture(false, false, LevelDebug);
    session.eraseChip();
    std::vector<std::string> sent = chip->sentText();
    ASSERT_EQ(sent.size(), 1u + 4u + 1u + 1u + 4u + 1u);
    EXPECT_EQ(sent[0], "AC 80 00 00");
    EXPECT_EQ(sent[5], "40 00 00 FF");
    EXPECT_EQ(sent[6], "AC 80 00 00");
    EXPECT_EQ(sent[11], "58 00 00 00");
    EXPECT_EQ(capture.out().find("    tiny12 erase bug correction\n"), 0u);
}

}  // namespace
}  // namespace mervex::test
