// The simulated chip driven at its pins with the serial programming
// instructions of the data sheets.
#include <gtest/gtest.h>

#include "IspDriver.h"
#include "sim/FactoryFuses.h"

namespace mervex::test {
namespace {

constexpr uint8_t Ack = 0xAC;

void erase(IspDriver& isp) {
    isp.instruction(Ack, 0x80, 0, 0);
    isp.wait(isp.target->busy.eraseUs);
}

struct Identity {
    const char* chip;
    uint32_t signature;
};

class ChipIdentity : public ::testing::TestWithParam<Identity> {};

TEST_P(ChipIdentity, EntersProgrammingModeAndAnswersItsSignature) {
    IspDriver isp(GetParam().chip);
    Reply enable = isp.connect();
    EXPECT_EQ(enable[1], Ack);
    EXPECT_EQ(enable[2], 0x53);
    EXPECT_TRUE(isp.chip->programming());
    uint32_t signature = 0;
    for (uint8_t n = 0; n < 3; ++n) {
        Reply r = isp.instruction(0x30, 0x00, n, 0x00);
        EXPECT_EQ(r[1], 0x30);
        EXPECT_EQ(r[2], 0x00);
        signature = signature << 8 | r[3];
    }
    EXPECT_EQ(signature, GetParam().signature);
}

INSTANTIATE_TEST_SUITE_P(Families, ChipIdentity,
                         ::testing::Values(Identity{"mega8", 0x1E9307}, Identity{"mega2560", 0x1E9801},
                                           Identity{"90S2313", 0x1E9101}, Identity{"90S1200", 0x1E9001},
                                           Identity{"tiny13", 0x1E9007}, Identity{"90S4434", 0x1E9202},
                                           Identity{"90S2333", 0x1E9105}, Identity{"tiny12", 0x1E9005}));

TEST(VirtualChip, IgnoresTheBusWhileRunningAndForgetsProgrammingModeOnRelease) {
    IspDriver isp("mega8");
    EXPECT_FALSE(isp.chip->drivesMiso());
    isp.instruction(Ack, 0x53, 0, 0);
    EXPECT_FALSE(isp.chip->programming());
    EXPECT_EQ(isp.counters.instructions(), 0u);

    isp.connect();
    isp.setReset(false);
    EXPECT_FALSE(isp.chip->programming());
    isp.setReset(true);
    // Without a new program enable nothing is read.
    EXPECT_EQ(isp.read(0x30, 0, 0), 0x00);
    EXPECT_EQ(isp.connect()[2], 0x53);
}

TEST(VirtualChip, PowerUpWithResetHeldLowAllowsProgramming) {
    IspDriver isp("mega8");
    isp.power(false);
    isp.setReset(true);
    EXPECT_FALSE(isp.chip->drivesMiso());
    isp.power(true);
    EXPECT_TRUE(isp.chip->drivesMiso());
    EXPECT_EQ(isp.instruction(Ack, 0x53, 0, 0)[2], 0x53);
}

TEST(VirtualChip, Mega8PagedFlashProgramsOnlyWhatThePageBufferHolds) {
    IspDriver isp("mega8");
    isp.connect();
    // Page 1 (words 0x20..0x3F): load words 0x20 and 0x21 only.
    isp.instruction(0x40, 0x00, 0x20, 0x11);
    isp.instruction(0x48, 0x00, 0x20, 0x22);
    isp.instruction(0x40, 0x00, 0x21, 0x33);
    isp.instruction(0x48, 0x00, 0x21, 0x44);
    Reply commit = isp.instruction(0x4C, 0x00, 0x20, 0x00);
    EXPECT_EQ(commit[1], 0x4C);
    // Data polling: the page being programmed reads 0xFF.
    isp.target->flash[0x40] = 0x11;  // already stored; the chip must not show it yet
    EXPECT_EQ(isp.readFlash(0x40), 0xFF);
    isp.wait(isp.target->busy.flashUs);
    EXPECT_EQ(isp.readFlash(0x40), 0x11);
    EXPECT_EQ(isp.readFlash(0x41), 0x22);
    EXPECT_EQ(isp.readFlash(0x42), 0x33);
    EXPECT_EQ(isp.readFlash(0x43), 0x44);
    EXPECT_EQ(isp.readFlash(0x44), 0xFF);
    EXPECT_EQ(isp.target->flash[0x3F], 0xFF);

    // Without an erase programming only clears bits.
    isp.instruction(0x40, 0x00, 0x20, 0xF0);
    isp.instruction(0x4C, 0x00, 0x20, 0x00);
    isp.wait(isp.target->busy.flashUs);
    EXPECT_EQ(isp.readFlash(0x40), 0x10);
    // The buffer was emptied by the first page write.
    EXPECT_EQ(isp.readFlash(0x41), 0x22);

    erase(isp);
    EXPECT_EQ(isp.readFlash(0x40), 0xFF);
    EXPECT_EQ(isp.target->eraseCount, 1u);
}

// Each chip decodes an instruction by the fixed bits of its data sheet's form
// and leaves the don't-care bits alone.
TEST(VirtualChip, InstructionsDecodeByTheFixedBitsOfTheDataSheetForms) {
    struct Case {
        const char* chip;
        uint8_t frame[4];
        IspOperation operation;
    } cases[] = {
        // Page loads: the second byte is free on the mega8, partly or wholly 0 on others.
        {"mega8", {0x40, 0xE5, 0x1F, 0x12}, IspOperation::LoadPageByte},
        {"mega328P", {0x48, 0x1F, 0x3F, 0x12}, IspOperation::LoadPageByte},
        {"mega328P", {0x40, 0x20, 0x00, 0x12}, IspOperation::None},
        {"mega644", {0x40, 0x40, 0x00, 0x12}, IspOperation::None},
        {"mega165", {0x40, 0x10, 0x00, 0x12}, IspOperation::None},
        {"mega325", {0x40, 0x01, 0x00, 0x12}, IspOperation::None},
        {"90CAN128", {0x40, 0x20, 0x00, 0x12}, IspOperation::None},
        {"mega2560", {0x40, 0xFF, 0x00, 0x12}, IspOperation::LoadPageByte},
        {"90S2313", {0x40, 0x03, 0xFF, 0x12}, IspOperation::WriteFlashByte},
        {"mega8", {0x4C, 0x0F, 0xE0, 0x00}, IspOperation::WritePage},
        {"mega8", {0x44, 0x00, 0x00, 0x12}, IspOperation::None},
        // Only chips above 128 KiB know the extended address, with its zero bytes.
        {"mega2560", {0x4D, 0x00, 0x01, 0x00}, IspOperation::LoadExtendedAddress},
        {"mega2560", {0x4D, 0x01, 0x01, 0x00}, IspOperation::None},
        {"mega8", {0x4D, 0x00, 0x01, 0x00}, IspOperation::None},
        {"tiny13", {0xF0, 0x00, 0xFF, 0x00}, IspOperation::ReadyBusy},
        {"mega8", {0xF0, 0x00, 0xFF, 0x00}, IspOperation::None},
        {"mega8", {0xAC, 0x9F, 0x12, 0x34}, IspOperation::ChipErase},
        {"mega8", {0xAC, 0xA0, 0x55, 0xE4}, IspOperation::WriteLowFuse},
        {"mega8", {0xAC, 0xE0, 0x00, 0xFE}, IspOperation::WriteLockByte},
        {"mega8", {0xAC, 0xBE, 0x00, 0x00}, IspOperation::None},
        {"mega8", {0x58, 0x08, 0x00, 0x00}, IspOperation::ReadHighFuse},
        {"mega8", {0x58, 0x01, 0x00, 0x00}, IspOperation::None},
        {"90S4434", {0xAC, 0xBE, 0x00, 0x00}, IspOperation::WriteShortFuse},
        {"90S2313", {0xAC, 0xFD, 0x00, 0x00}, IspOperation::WriteShortLock},
        {"90S2313", {0xAC, 0xE0, 0x00, 0xFE}, IspOperation::None},
        {"90S2333", {0x50, 0x00, 0x00, 0x00}, IspOperation::ReadLowFuse},
        // EEPROM pages: the byte's position in a page of 4 or 8, the page's address with its low bits 0.
        {"mega328P", {0xC1, 0x00, 0x03, 0x12}, IspOperation::LoadEepromPage},
        {"mega328P", {0xC1, 0x00, 0x04, 0x12}, IspOperation::None},
        {"mega2560", {0xC1, 0x00, 0x07, 0x12}, IspOperation::LoadEepromPage},
        {"mega328P", {0xC2, 0x03, 0xFC, 0x00}, IspOperation::WriteEepromPage},
        {"mega328P", {0xC2, 0x03, 0xFE, 0x00}, IspOperation::None},
        {"mega2560", {0xC2, 0x0F, 0xF8, 0x00}, IspOperation::WriteEepromPage},
        {"mega2560", {0xC2, 0x0F, 0xFC, 0x00}, IspOperation::None},
        {"90S8515", {0xC1, 0x00, 0x00, 0x12}, IspOperation::None},
        {"90S8515", {0xC2, 0x00, 0x00, 0x00}, IspOperation::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " " + std::to_string(c.frame[0]) + " " + std::to_string(c.frame[1]));
        const InstructionSet set(chipAt(findChipByName(c.chip)));
        EXPECT_EQ(int(set.decode(c.frame)), int(c.operation));
    }
    // While the frame comes in, the first three bytes decide what a read answers.
    const uint8_t read[4] = {0x28, 0x00, 0x10, 0x99};
    EXPECT_EQ(int(InstructionSet(chipAt(findChipByName("mega8"))).decode(read, 3)), int(IspOperation::ReadFlash));
}

// A page load whose fixed bits do not match is ignored, and counted.
TEST(VirtualChip, AnInstructionUnlikeItsFormIsIgnoredAndCounted) {
    IspDriver isp("mega328P");
    isp.connect();
    isp.instruction(0x40, 0x20, 0x00, 0x12);
    isp.instruction(0x40, 0x00, 0x01, 0x34);
    isp.instruction(0x4C, 0x20, 0x00, 0x00);
    isp.wait(isp.target->busy.flashUs);
    EXPECT_EQ(isp.target->flash[0x4000], 0xFF);
    EXPECT_EQ(isp.target->flash[0x4002], 0x34);
    EXPECT_EQ(isp.counters.unknownInstructions, 1u);
}

// Fuses that end serial programming take effect at the next reset; SPIEN only
// where the fuse list lets serial programming change it.
TEST(VirtualChip, FusesThatEndSerialProgrammingStopTheChipAfterTheNextReset) {
    struct Case {
        const char* chip;
        uint8_t write[4];
        bool answersAfterReset;
    } cases[] = {
        {"mega8", {0xAC, 0xA8, 0x00, 0x59}, false},    // RSTDISBL programmed
        {"tiny13", {0xAC, 0xA8, 0x00, 0xF7}, false},   // DWEN programmed
        {"tiny12", {0xAC, 0xA0, 0x00, 0xF2}, false},   // SPIEN unprogrammed
        {"mega8", {0xAC, 0xA8, 0x00, 0xF9}, true},     // SPIEN is out of reach of serial programming
        {"mega328P", {0xAC, 0xA8, 0x00, 0xD1}, true},  // EESAVE programmed: harmless
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " " + std::to_string(c.write[3]));
        IspDriver isp(c.chip);
        EXPECT_EQ(isp.connect()[2], 0x53);
        isp.instruction(c.write[0], c.write[1], c.write[2], c.write[3]);
        isp.wait(isp.target->busy.fuseUs);
        EXPECT_EQ(isp.instruction(0x30, 0x00, 0x00, 0x00)[3], 0x1E);  // this run still goes on
        isp.pulseReset();
        EXPECT_EQ(isp.instruction(Ack, 0x53, 0, 0)[2] == 0x53, c.answersAfterReset);
        EXPECT_EQ(isp.chip->drivesMiso(), c.answersAfterReset);
    }
}

// A new target leaves the factory: the data sheet's fuse bytes, all bits
// unprogrammed where the table has no figure, lock bits open.
TEST(VirtualChip, NewTargetsStartWithTheFactoryFuses) {
    struct Case {
        const char* chip;
        uint8_t low, high, ext;
    } cases[] = {
        {"mega328P", 0x62, 0xD9, 0xFF}, {"mega8A", 0xE1, 0xD9, 0xFF}, {"tiny85", 0x62, 0xDF, 0xFF},
        {"mega2560", 0x62, 0x99, 0xFF}, {"90S2313", 0xFF, 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        const auto target = newVirtualTarget(c.chip);
        EXPECT_EQ(target->fuse(FuseByte::Low), c.low);
        EXPECT_EQ(target->fuse(FuseByte::High), c.high);
        EXPECT_EQ(target->fuse(FuseByte::Ext), c.ext);
        EXPECT_EQ(target->fuse(FuseByte::Lock), 0xFF);
    }
    for (const std::string& name : chipsWithFactoryFigures()) {
        const int32_t row = findChipByName(name.c_str());
        EXPECT_TRUE(row >= 0 && primaryChipName(chipAt(row)) == name) << name;
    }
}

TEST(VirtualChip, Mega2560ReachesFlashAbove128KThroughTheExtendedAddress) {
    IspDriver isp("mega2560");
    isp.connect();
    isp.instruction(0x40, 0x00, 0x00, 0x12);
    isp.instruction(0x48, 0x00, 0x00, 0x34);
    isp.instruction(0x4D, 0x00, 0x01, 0x00);
    isp.instruction(0x4C, 0x00, 0x00, 0x00);
    isp.wait(isp.target->busy.flashUs);
    EXPECT_EQ(isp.target->flash[0x20000], 0x12);
    EXPECT_EQ(isp.target->flash[0x20001], 0x34);
    EXPECT_EQ(isp.target->flash[0x00000], 0xFF);

    EXPECT_EQ(isp.read(0x20, 0x00, 0x00), 0x12);
    isp.instruction(0x4D, 0x00, 0x00, 0x00);
    EXPECT_EQ(isp.read(0x20, 0x00, 0x00), 0xFF);
    isp.target->flash[0x3FFFF] = 0x5A;
    isp.instruction(0x4D, 0x00, 0x01, 0x00);
    EXPECT_EQ(isp.read(0x28, 0xFF, 0xFF), 0x5A);
    // A reset starts again from extended address 0.
    isp.pulseReset();
    isp.instruction(Ack, 0x53, 0, 0);
    EXPECT_EQ(isp.chip->extendedAddress(), 0);
    EXPECT_EQ(isp.read(0x20, 0x00, 0x00), 0xFF);
}

TEST(VirtualChip, ByteWise90S2313PollsFlashAndEepromAsItsDataSheetSays) {
    IspDriver isp("90S2313");
    isp.connect();
    erase(isp);
    isp.instruction(0x40, 0x00, 0x05, 0x12);  // low byte of word 5
    EXPECT_EQ(isp.readFlash(10), 0x7F);
    isp.wait(isp.target->busy.flashUs);
    EXPECT_EQ(isp.readFlash(10), 0x12);

    isp.instruction(0xC0, 0x00, 0x03, 0x42);
    EXPECT_EQ(isp.readEeprom(3), 0x80);  // still erasing the cell
    // A write while busy is dropped and counted.
    isp.instruction(0xC0, 0x00, 0x04, 0x11);
    EXPECT_EQ(isp.counters.ignoredWrites, 1u);
    isp.wait(isp.target->busy.eepromUs / 2);
    EXPECT_EQ(isp.readEeprom(3), 0x7F);  // writing it
    isp.wait(isp.target->busy.eepromUs / 2);
    EXPECT_EQ(isp.readEeprom(3), 0x42);
    EXPECT_EQ(isp.readEeprom(4), 0xFF);
    EXPECT_GE(isp.counters.busyInstructions, 3u);
    EXPECT_EQ(isp.counters.writes, 3u);  // erase, flash byte, EEPROM byte
}

struct OutOfStep {
    const char* chip;
    uint32_t bits;
};

class ChipOutOfStep : public ::testing::TestWithParam<OutOfStep> {};

TEST_P(ChipOutOfStep, NeedsExactlyThatManySckPulsesAfterEveryReset) {
    IspDriver isp(GetParam().chip);
    isp.target->faults.outOfStepBits = GetParam().bits;
    isp.makeChip();
    EXPECT_NE(isp.connect()[2], 0x53);
    isp.pulseReset();
    EXPECT_NE(isp.instruction(Ack, 0x53, 0, 0)[2], 0x53);
    for (uint32_t i = 0; i < GetParam().bits; ++i) {
        EXPECT_FALSE(isp.chip->programming());
        isp.pulseSck();
        Reply r = isp.instruction(Ack, 0x53, 0, 0);
        EXPECT_EQ(r[2] == 0x53, i + 1 == GetParam().bits);
    }
    EXPECT_TRUE(isp.chip->programming());
    EXPECT_EQ(isp.read(0x30, 0, 1), isp.target->chip().signature >> 8 & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ChipOutOfStep,
                         ::testing::Values(OutOfStep{"mega8", 1}, OutOfStep{"mega8", 9}, OutOfStep{"90S1200", 5},
                                           OutOfStep{"tiny13", 31}));

TEST(VirtualChip, Tiny13AnswersReadyBusyAndKeepsFusesCalibrationAndLock) {
    IspDriver isp("tiny13");
    isp.connect();
    isp.instruction(0xC0, 0x00, 0x01, 0x5A);
    EXPECT_TRUE(isp.readyBusy());
    isp.wait(isp.target->busy.eepromUs);
    EXPECT_FALSE(isp.readyBusy());
    EXPECT_EQ(isp.readEeprom(1), 0x5A);

    isp.instruction(Ack, 0xA0, 0x00, 0x6A);
    isp.wait(isp.target->busy.fuseUs);
    isp.instruction(Ack, 0xA8, 0x00, 0xFB);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x50, 0x00, 0x00), 0x6A);
    EXPECT_EQ(isp.read(0x58, 0x08, 0x00), 0xFB);
    EXPECT_EQ(isp.read(0x38, 0x00, 0x00), 0xA5);
    EXPECT_EQ(isp.read(0x38, 0x00, 0x01), 0xA3);

    // Lock level 1: memory writes are refused, reads still work.
    isp.target->flash[0] = 0x77;
    isp.instruction(Ack, 0xE0, 0x00, 0xFE);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFE);
    isp.instruction(0x40, 0x00, 0x00, 0x00);
    isp.instruction(0x4C, 0x00, 0x00, 0x00);
    isp.instruction(0xC0, 0x00, 0x02, 0x00);
    EXPECT_EQ(isp.counters.lockedWrites, 2u);
    EXPECT_FALSE(isp.readyBusy());
    EXPECT_EQ(isp.readFlash(0), 0x77);
    // Level 2: reads give the address byte instead of data.
    isp.instruction(Ack, 0xE0, 0x00, 0xFC);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFC);
    EXPECT_EQ(isp.read(0x20, 0x00, 0x00), 0x00);
    EXPECT_EQ(isp.readFlash(0x0A), 0x05);
    EXPECT_EQ(isp.readEeprom(1), 0x01);
    // Lock bits cannot be taken back except by an erase.
    isp.instruction(Ack, 0xE0, 0x00, 0xFF);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.target->lockLevel(), 2);
    erase(isp);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFF);
    EXPECT_EQ(isp.read(0x50, 0x00, 0x00), 0x6A);  // fuses survive the erase
}

TEST(VirtualChip, OldFormat90S4434KeepsFuseAndLockBitsInOneByte) {
    IspDriver isp("90S4434");
    isp.connect();
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFF);
    isp.instruction(Ack, 0xBE, 0x00, 0x00);  // FSTRT programmed
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFE);
    isp.instruction(Ack, 0xFD, 0x00, 0x00);  // LB1: level 1
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0x7E);
    isp.instruction(0x40, 0x00, 0x00, 0x00);
    EXPECT_EQ(isp.target->flash[0], 0xFF);
    // Fuses stay writable on a locked 90S4434.
    isp.instruction(Ack, 0xBF, 0x00, 0x00);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0x7F);
    isp.instruction(Ack, 0xF9, 0x00, 0x00);  // LB1 and LB2: level 2
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0x3F);
    erase(isp);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFF);
}

TEST(VirtualChip, OldFormat90S2333ReadsItsFuseWith50AndLockBitsInBits2And1) {
    IspDriver isp("90S2333");
    isp.connect();
    isp.instruction(Ack, 0xBA, 0x00, 0x00);  // BODLEVEL 1, BODEN 1, CKSEL 010
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x50, 0x00, 0x00), 0xFA);
    isp.instruction(Ack, 0xFD, 0x00, 0x00);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFD);
    isp.instruction(Ack, 0xF9, 0x00, 0x00);
    isp.wait(isp.target->busy.fuseUs);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xF9);
}

TEST(VirtualChip, Tiny12EraseDefectNeedsAFlashWriteFirst) {
    IspDriver isp("tiny12");
    isp.target->flash[0] = 0x12;
    isp.target->flash[0x3FF] = 0x34;
    isp.target->fuse(FuseByte::Lock) = 0xFC;
    isp.makeChip();
    isp.connect();
    erase(isp);
    EXPECT_EQ(isp.target->flash[0], 0x12);
    EXPECT_EQ(isp.read(0x58, 0x00, 0x00), 0xFF);  // only the lock bits went

    // The correction: reconnect, write 0xFF to address 0, erase again.
    isp.setReset(false);
    isp.connect();
    isp.instruction(0x40, 0x00, 0x00, 0xFF);
    isp.wait(isp.target->busy.flashUs);
    erase(isp);
    EXPECT_EQ(isp.target->flash[0], 0xFF);
    EXPECT_EQ(isp.target->flash[0x3FF], 0xFF);
    EXPECT_EQ(isp.target->eraseCount, 2u);
}

TEST(VirtualChip, EraseKeepsEepromOnlyWithEesaveProgrammed) {
    for (uint8_t high : {uint8_t(0xFF), uint8_t(0xF7)}) {
        IspDriver isp("mega8");
        isp.target->fuse(FuseByte::High) = high;
        isp.target->eeprom[7] = 0x42;
        isp.target->flash[7] = 0x42;
        isp.makeChip();
        isp.connect();
        erase(isp);
        EXPECT_EQ(isp.target->eeprom[7], high == 0xF7 ? 0x42 : 0xFF) << std::hex << int(high);
        EXPECT_EQ(isp.target->flash[7], 0xFF);
    }
}

TEST(VirtualChip, FaultsDoWhatTheySay) {
    {
        IspDriver isp("mega8");
        isp.target->faults.noProgramEnable = true;
        isp.makeChip();
        EXPECT_NE(isp.connect()[2], 0x53);
        EXPECT_EQ(isp.read(0x30, 0x00, 0x00), 0x00);
    }
    {
        IspDriver isp("mega8");
        isp.target->faults.wrongEchoAt = 3;
        isp.makeChip();
        isp.connect();
        EXPECT_EQ(isp.instruction(0x30, 0, 0, 0)[1], 0x30);
        EXPECT_NE(isp.instruction(0x30, 0, 1, 0)[1], 0x30);
        EXPECT_EQ(isp.instruction(0x30, 0, 2, 0)[1], 0x30);
    }
    {
        IspDriver isp("tiny13");
        isp.target->faults.stuckWriteAt = 2;
        isp.makeChip();
        isp.connect();
        isp.instruction(0xC0, 0x00, 0x01, 0x11);
        isp.wait(10000);
        isp.instruction(0xC0, 0x00, 0x02, 0x22);
        isp.wait(1e6);
        EXPECT_TRUE(isp.readyBusy());
        EXPECT_EQ(isp.readEeprom(2), 0xFF);
        EXPECT_EQ(isp.target->eeprom[1], 0x11);
        EXPECT_EQ(isp.target->eeprom[2], 0xFF);
        isp.power(false);
        isp.power(true);
        isp.connect();
        EXPECT_FALSE(isp.readyBusy());
    }
    {
        IspDriver isp("mega8");
        isp.target->faults.stuckBit = true;
        isp.target->faults.stuckBitAddress = 0x10;
        isp.target->faults.stuckBitNumber = 2;
        isp.makeChip();
        isp.connect();
        erase(isp);
        EXPECT_EQ(isp.readFlash(0x10), 0xFB);
    }
    {
        IspDriver isp("90S2313");
        isp.target->faults.signatureOverride = true;
        isp.target->faults.signature = 0x000102;
        isp.makeChip();
        isp.connect();
        EXPECT_EQ(isp.read(0x30, 0, 0), 0x00);
        EXPECT_EQ(isp.read(0x30, 0, 1), 0x01);
        EXPECT_EQ(isp.read(0x30, 0, 2), 0x02);
    }
}

struct ClockCase {
    const char* chip;
    uint32_t clockHz;
    double halfUs;  // SCK low and high time
    bool works;
};

class SckTimingLimits : public ::testing::TestWithParam<ClockCase> {};

TEST_P(SckTimingLimits, TooShortSckPhasesAreMissed) {
    const ClockCase& c = GetParam();
    IspDriver isp(c.chip, c.halfUs);
    isp.target->clockHz = c.clockHz;
    isp.makeChip();
    EXPECT_EQ(isp.connect()[2] == 0x53, c.works);
    EXPECT_EQ(isp.counters.missedPulses == 0, c.works);
}

INSTANTIATE_TEST_SUITE_P(Clocks, SckTimingLimits,
                         ::testing::Values(ClockCase{"mega8", 1000000, 2.0, true},
                                           ClockCase{"mega8", 1000000, 1.9, false},
                                           ClockCase{"mega8", 16000000, 0.1875, true},
                                           ClockCase{"mega8", 16000000, 0.15, false},
                                           ClockCase{"mega8", 12000000, 2.0 / 12, true},
                                           ClockCase{"90S1200", 1000000, 5.0, true},
                                           ClockCase{"90S1200", 1000000, 4.5, false},
                                           ClockCase{"86RF401", 1000000, 17.0, true},
                                           ClockCase{"86RF401", 1000000, 16.0, false}));

TEST(VirtualChip, XtalModeChipRunsOnlyOnTheXtalLine) {
    IspDriver isp("mega8", 1.0);
    isp.target->clockHz = 0;
    isp.makeChip();
    EXPECT_NE(isp.connect()[2], 0x53);

    isp.xtalPeriods = 2;
    isp.pulseReset();
    EXPECT_EQ(isp.instruction(Ack, 0x53, 0, 0)[2], 0x53);
    isp.xtalPeriods = 1;  // one period per phase is too few
    isp.pulseReset();
    EXPECT_NE(isp.instruction(Ack, 0x53, 0, 0)[2], 0x53);
}

}  // namespace
}  // namespace mervex::test
