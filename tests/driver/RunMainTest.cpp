#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/Console.h"
#include "driver/HelpText.h"
#include "support/RunProgram.h"

namespace mervex {
namespace {

using test::runInProcess;

TEST(RunMain, HelpAndUsageErrorsBecomeExitStatuses) {
    EXPECT_EQ(runInProcess({"+tiny13", "-h"}).status, 0);
    EXPECT_EQ(runInProcess({"-x"}).status, 70);
    // Each run starts from a fresh request: a file of an earlier run is not "two files".
    EXPECT_EQ(runInProcess({"a.hex", "-h"}).status, 0);
    const test::Outcome invalid = runInProcess({"b.hex", "-q"});
    EXPECT_EQ(invalid.status, 70);
    EXPECT_EQ(invalid.out, std::string(BannerText) + "ERROR:  Invalid switch '-q'\n" + HelpHintText + "\n");
}

// --wiring needs no port and no chip, draws every cable the switches may
// drive, and does nothing else.
TEST(RunMain, WiringIsDrawnAlone) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;  // in this order
    };
    const Case cases[] = {
        {{"--wiring", "-aa"}, 0, {"STK wiring", "\n\nByteBlaster wiring", "\n\nByteBlasterII wiring"}},
        {{"+mega8", "-as", "-o0", "--wiring"}, 0, {"STK wiring", "  8      D6    ->  xtal"}},
        {{"--wiring", "-am:mosi=D5"}, 70, {"ERROR:  sck must be defined\n"}},
        {{"--wiring", "-pgpio", "-am:mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=GPIO25"}, 0,
         {"Pin map wiring, GPIO", "  GPIO9   <-  miso"}},
        {{"--wiring", "-r", "out.hex"}, 70, {"ERROR:  --wiring only draws the cable: run the operations without it\n"}},
    };
    for (const Case& c : cases) {
        const test::Outcome outcome = runInProcess(c.args);
        EXPECT_EQ(outcome.status, c.status) << c.args[1];
        size_t at = 0;
        for (const std::string& line : c.lines) {
            at = outcome.out.find(line, at);
            EXPECT_NE(at, std::string::npos) << line << " in " << outcome.out;
        }
    }
}

TEST(RunMain, ASecondRunInheritsNothing) {
    const std::string bare = std::string(BannerText) + AboutText + HelpHintText;
    for (const char* settings : {"-ie", "-it", "-ip-", "-ip+"}) {
        runInProcess({settings, "-h"});
        EXPECT_EQ(runInProcess({}).out, bare) << settings;
        EXPECT_EQ(console().level, LevelInfo) << settings;
        EXPECT_EQ(console().progressMode, 2) << settings;
    }
}

}  // namespace
}  // namespace mervex
