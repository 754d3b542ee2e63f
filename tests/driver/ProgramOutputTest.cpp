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

TEST(ProgramOutput, UnknownChipExitsWithUsageStatus) {
    const Outcome run = runProgram(".", {"+ATmega9", "-e"});
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.out, Banner + "ERROR:  Unsupported device mega9\n");
    EXPECT_EQ(run.err, "");  // stderr is no terminal here, so no copy
}

}  // namespace
}  // namespace mervex
