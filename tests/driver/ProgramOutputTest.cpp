#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/HelpText.h"
#include "support/RunProgram.h"

namespace mervex {
namespace {

using test::Outcome;
using test::runProgram;

const std::string Banner = "mervex/FreeBSD v1.29z0 (Dec 11 2013 22:19:58)\n";
const std::string Hint = "For short help type\n\tmervex -h\n";

TEST(ProgramOutput, NoArgumentsPrintsBannerAboutAndHint) {
    const Outcome run = runProgram(".", {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Banner + AboutText + Hint);
    EXPECT_EQ(run.err, "");
}

TEST(ProgramOutput, HelpStartsWithBannerAndSummary) {
    const Outcome run = runProgram(".", {"-h"});
    EXPECT_EQ(run.status, 0);
    const std::string head = Banner + AboutText +
                             "\n"
                             "Use:\tmervex [SWITCHES] [[-c] cfile] [-d dfile]\n"
                             "\tSwitches (# represents number)\n"
                             "\n"
                             " -?,-h\t this help\n"
                             " -i set information level to not more than\n"
                             "     -ie or -i1  -- errors\n";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    EXPECT_NE(run.out.find("\nSupported devices:\n 86RF401"), std::string::npos);
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "\n\n");
}

// The version alone, without the banner, whatever else is on the line.
TEST(ProgramOutput, VersionIsOneLine) {
    const std::string version = std::string("mervex ") + MERVEX_VERSION + " (built for " + MERVEX_SYSTEM + ")\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, {"+mega8", "-e", "--version"}, {"-ie", "--version"}}) {
        const Outcome run = runProgram(".", args);
        EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, version) << ::testing::PrintToString(args);
    }
}

TEST(ProgramOutput, ChipPageForNamedChip) {
    const Outcome run = runProgram(".", {"+mega8", "-h"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(Banner + "\nmega8|mega8A: signature 1E9307, Flash 8KB, EEPROM 512B\nFuse list\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.out.find("Use:"), std::string::npos);
}

TEST(ProgramOutput, SwitchGroupExitsWithUsageStatus) {
    const Outcome run = runProgram(".", {"-ewv"});
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.out, Banner + "ERROR:  Invalid switch '-ewv'\n\t(Switch groups no longer supported)\n" + Hint + "\n");
    EXPECT_EQ(run.err, "");  // stderr is no terminal here, so no copy
}

TEST(ProgramOutput, UnknownChipExitsWithUsageStatus) {
    const Outcome run = runProgram(".", {"+ATmega9", "-e"});
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.out, Banner + "ERROR:  Unsupported device mega9\n");
}

}  // namespace
}  // namespace mervex
