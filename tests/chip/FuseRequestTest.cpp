#include <gtest/gtest.h>

#include <string>

#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "chip/FuseRequest.h"
#include "console/Errors.h"
#include "support/CaptureConsole.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

constexpr int Lock = 0, Low = 1, High = 2;

struct Case {
    const char* chip;
    const char* list;
    const char* error;  // the error line, or nullptr when the list is accepted
    int byte;           // a fuse byte to check when accepted
    uint8_t mask;
    uint8_t value;
};

const std::string longItem = "CKSEL=" + std::string(59, '0');  // 65 characters
const std::string longestItem = "CKSEL=" + std::string(57, '0') + "F";  // 64 characters

const Case cases[] = {
    {"mega8", "CKSEL=F,SUT=2", nullptr, Low, 0x3F, 0x2F},
    {"mega8", "cksel=f", nullptr, Low, 0x0F, 0x0F},
    {"mega8", "BLEV=1", nullptr, Low, 0x80, 0x80},
    {"mega8", ",,CKSEL=F,,", nullptr, Low, 0x0F, 0x0F},
    {"mega8", "_LOCK=C0", nullptr, Lock, 0xFC, 0xC0},
    {"mega8", "BOOTRST=ON,CKOPT=off", nullptr, High, 0x11, 0x10},
    {"mega8", "_HIGH=0xD9", nullptr, High, 0xFF, 0xD9},
    {"mega8", "", nullptr, Low, 0x00, 0x00},
    {"mega8", longestItem.c_str(), nullptr, Low, 0x0F, 0x0F},
    {"mega8", "_HIGH=D9,BOOTRST=ON", "Duplicate fuse BOOTRST in command line\n", 0, 0, 0},
    {"mega8", "BOOTRST=ON,_HIGH=D9", "Duplicate fuse _HIGH in command line\n", 0, 0, 0},
    {"mega8", "CKSEL=1,CKSEL=2", "Duplicate fuse CKSEL in command line\n", 0, 0, 0},
    {"mega8", "CKSEL=ON", "ON/OFF mnemonics can't be used with 4-bit fuse 'CKSEL'\n", 0, 0, 0},
    {"mega8", "_LOW=ON", "ON/OFF mnemonics can't be used for fuse byte name '_LOW'\n", 0, 0, 0},
    {"mega8", "CKSEL=10", "Value 10 too large for fuse CKSEL\n", 0, 0, 0},
    {"mega8", "_LOW=100", "Value 100 too large for fuse byte _LOW\n", 0, 0, 0},
    {"mega8", "CKSEL", "Value required for fuse CKSEL\n", 0, 0, 0},
    {"mega8", "CKSEL=", "Value required for fuse CKSEL\n", 0, 0, 0},
    {"mega8", "_LOW", "Value required for fuse _LOW\n", 0, 0, 0},
    {"mega8", "_EXT=FF", "Fuse byte '_EXT' not exist in mega8|mega8A\n", 0, 0, 0},
    {"mega8", longItem.c_str(), "Fuse command too long\n", 0, 0, 0},
    {"mega8", "CKSEL=xyz", "Invalid value 'xyz' for fuse 'CKSEL'\n", 0, 0, 0},
    {"mega8", "CKSEL=-1", "Invalid value '-1' for fuse 'CKSEL'\n", 0, 0, 0},
    {"mega8", "NOSUCH=1", "Invalid fuse name 'NOSUCH'\n", 0, 0, 0},
    {"90S1200", "CKSEL=1", "90S1200 has no ISP-writable fuses\n", 0, 0, 0},
};

TEST(FuseRequest, EveryExampleOfTheGrammar) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " \"" + c.list + "\"");
        FuseValues fuses;
        CaptureConsole capture;
        int status = 0;
        try {
            parseFuseRequest(fuses, ChipSelection{c.chip}.selectedChip(), c.list);
        } catch (const app_error& e) {
            reportFailure(e);
            status = e.status();
        }
        if (c.error) {
            EXPECT_EQ(status, ExitUsage);
            // The hints after an unknown name are checked with whole runs.
            const std::string out = capture.out();
            EXPECT_EQ(out.substr(0, out.find("Hint: ")), std::string("ERROR:  ") + c.error);
        } else {
            EXPECT_EQ(status, 0) << capture.out();
            EXPECT_TRUE(fuses.listGiven);
            EXPECT_EQ(fuses.requestMask[c.byte], c.mask);
            EXPECT_EQ(fuses.requestValue[c.byte] & c.mask, c.value);
        }
    }
}

TEST(FuseRequest, KnownMasksCoverTheChipsFieldsAndAnAbsentListChangesNothing) {
    const ChipDescriptor& mega8 = ChipSelection{"mega8"}.selectedChip();
    FuseValues fuses;
    parseFuseRequest(fuses, mega8, nullptr);
    EXPECT_FALSE(fuses.listGiven);
    EXPECT_EQ(fuses.knownMask[Low], 0);
    parseFuseRequest(fuses, mega8, "CKSEL=1");
    EXPECT_EQ(fuses.knownMask[Lock], 0x3C);
    EXPECT_EQ(fuses.knownMask[Low], 0xFF);
    EXPECT_EQ(fuses.knownMask[High], 0xDF);
    EXPECT_EQ(fuses.knownMask[3], 0x00);
}

TEST(FuseRequest, WithoutAChipTheListIsRefused) {
    FuseValues fuses;
    CaptureConsole capture;
    EXPECT_EQ(test::statusOf([&] { parseFuseRequest(fuses, ChipSelection().selectedChip(), "CKSEL=1"); }), ExitUsage);
    EXPECT_EQ(capture.out(), "ERROR:  Chip name must be specified\n");
}

}  // namespace
}  // namespace mervex::test
