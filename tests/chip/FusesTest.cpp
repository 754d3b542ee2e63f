#include <string>
#include <vector>

#include "ChipFixture.h"
#include "chip/Fuses.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

constexpr int Lock = 0, Low = 1;

class Fuses : public ChipFixture {};

TEST_F(Fuses, MergeKeepsKnownBitsAsReadAndSetsUndescribedBits) {
    struct Case {
        uint8_t read;
        uint8_t known;
        uint8_t written;
    };
    const Case cases[] = {
        {0xE1, 0xFF, 0xE4},
        {0xE1, 0x3F, 0xE4},
        {0x21, 0x3F, 0xE4},  // bits no field describes become 1
        {0x21, 0xFF, 0x24},
    };
    // CKSEL=4: bits 3..0 requested as 0100.
    for (const Case& c : cases) EXPECT_EQ(mergedFuseByte(0x04, 0x0F, c.read, c.known), c.written);
}

TEST_F(Fuses, SingleFuseByteOfOldChipsRidesInTheCommandByte) {
    useChip("90S4434");
    session.parseFuseRequest("FSTRT=ON");
    CaptureConsole capture;
    session.readFuses();
    EXPECT_EQ(chip->sentText(), std::vector<std::string>{"58 00 00 00"});
    chip->clearLog();
    session.programFuses();
    EXPECT_EQ(chip->sentText(), std::vector<std::string>{"AC BE 00 00"});
}

TEST_F(Fuses, BytesAreReadAndWrittenInTheirOrderWithTheirDelay) {
    useChip("mega8");
    connectQuietly();
    session.parseFuseRequest("_LOCK=C0,_HIGH=D9,CKSEL=4");
    CaptureConsole capture(false, false, LevelTrace);
    session.readFuses();
    EXPECT_EQ(chip->sentText(), (std::vector<std::string>{"50 00 00 00", "58 00 00 00", "58 08 00 00"}));
    EXPECT_NE(capture.out().find("        Read Fuses: command 50 00 00 00, reply 00 50 00 E1\n"), std::string::npos);
    chip->clearLog();
    session.programFuses();
    EXPECT_EQ(chip->sentText(), (std::vector<std::string>{"AC A0 00 E4", "AC A8 00 D9", "AC E0 00 C3"}));
    EXPECT_EQ(chip->events, std::vector<std::string>(3, "delay 40.000000"));
}

TEST_F(Fuses, RaisingAProgrammedLockBitNeedsAnErase) {
    struct Case {
        uint8_t lockRead;
        bool possible;
    };
    for (const Case& c : {Case{0xF3, false}, Case{0xFF, true}}) {
        useChip("mega8");
        session.parseFuseRequest("BLB0=3");
        chip->fuse[Lock] = c.lockRead;
        session.readFuses();
        EXPECT_EQ(session.canWriteFusesWithoutErase(), c.possible);
    }
}

TEST_F(Fuses, PrintShowsCalibrationBytesFuseBytesAndFields) {
    useChip("mega8");
    session.parseFuseRequest("CKSEL=4");
    chip->fuse[Lock] = 0xFF;
    chip->fuse[Low] = 0xE1;
    chip->fuse[2] = 0xD9;
    for (int i = 0; i < 4; ++i) chip->calibration[i] = uint8_t(0xA5 - 2 * i);
    session.readFuses();
    session.readCalibration();
    CaptureConsole capture;
    session.printFuses("Fuses");
    EXPECT_EQ(capture.out(),
              "Fuses:\n"
              "  OSCCALs = A5 A3 A1 9F\n"
              "  _LOCK   = FF\n"
              "    BLB1        = 3\n"
              "    BLB0        = 3\n"
              "  _LOW    = E1\n"
              "    BODLEVEL    = 1\n"
              "    BODEN       = 1\n"
              "    SUT         = 2\n"
              "    CKSEL       = 1\n"
              "  _HIGH   = D9\n"
              "    RSTDISBL    = 1\n"
              "    WDTON       = 1\n"
              "    CKOPT       = 1\n"
              "    EESAVE      = 1\n"
              "    BOOTSZ      = 0\n"
              "    BOOTRST     = 1\n");
}

TEST_F(Fuses, CalibrationLineAndLevelFollowTheChipAndTheRequest) {
    struct Case {
        const char* chip;
        const char* list;
        int level;
        const char* firstLines;
    };
    const Case cases[] = {
        {"tiny13", "", LevelInfo, "New:\n  OSCCALs = 9A 9B\n"},
        {"mega88", "", LevelInfo, "New:\n  OSCCAL  = 9A\n"},
        {"mega88", nullptr, LevelInfo, ""},  // without a fuse list only at debug level
        {"mega88", nullptr, LevelDebug, "    New:\n      OSCCAL  = 9A\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        useChip(c.chip);
        session.parseFuseRequest(c.list);
        chip->calibration[0] = 0x9A;
        chip->calibration[1] = 0x9B;
        session.readCalibration();
        CaptureConsole capture(false, false, c.level);
        session.printFuses("New");
        EXPECT_EQ(capture.out().substr(0, std::string(c.firstLines).size()), c.firstLines);
    }
}

TEST_F(Fuses, VerifyComparesOnlyRequestedFields) {
    useChip("mega8");
    session.parseFuseRequest("CKSEL=4,SUT=2");
    chip->fuse[Low] = 0x01;  // SUT 0, CKSEL 1; the other bits differ too but are not requested
    CaptureConsole capture;
    EXPECT_EQ(statusOf([&] { session.verifyFuses(); }), ExitChip);
    EXPECT_EQ(capture.out(),
              "Verifying fuses\n"
              "ERROR:  SUT     : expected 2, read 0\n"
              "ERROR:  CKSEL   : expected 4, read 1\n"
              "ERROR:  Verifying of fuses failed\n");

    chip->fuse[Low] = 0x24;
    CaptureConsole again;
    session.verifyFuses();
    EXPECT_EQ(again.out(), "Verifying fuses\npassed\n");
}

}  // namespace
}  // namespace mervex::test
