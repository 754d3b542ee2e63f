#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/HelpText.h"
#include "support/Files.h"

namespace mervex {
namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the real program with its output in files (not terminals).
RunResult runProgram(const std::string& arguments) {
    mkdir(MERVEX_TEST_TMP, 0755);
    const std::string base = std::string(MERVEX_TEST_TMP) + "/cli-" + std::to_string(getpid());
    const std::string command =
        std::string("'") + MERVEX_BINARY + "' " + arguments + " >'" + base + ".out' 2>'" + base + ".err' </dev/null";
    RunResult result;
    const int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    result.out = test::readFile(base + ".out");
    result.err = test::readFile(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return result;
}

const std::string Banner = "mervex/FreeBSD v1.29z0 (Dec 11 2013 22:19:58)\n";
const std::string Hint = "For short help type\n\tmervex -h\n";

TEST(ProgramOutput, NoArgumentsPrintsBannerAboutAndHint) {
    const RunResult run = runProgram("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Banner + AboutText + Hint);
    EXPECT_EQ(run.err, "");
}

TEST(ProgramOutput, HelpStartsWithBannerAndSummary) {
    const RunResult run = runProgram("-h");
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
    for (const char* arguments : {"--version", "+mega8 -e --version", "-ie --version"}) {
        const RunResult run = runProgram(arguments);
        EXPECT_EQ(run.status, 0) << arguments;
        EXPECT_EQ(run.out, version) << arguments;
    }
}

TEST(ProgramOutput, ChipPageForNamedChip) {
    const RunResult run = runProgram("+mega8 -h");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(Banner + "\nmega8|mega8A: signature 1E9307, Flash 8KB, EEPROM 512B\nFuse list\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.out.find("Use:"), std::string::npos);
}

TEST(ProgramOutput, SwitchGroupExitsWithUsageStatus) {
    const RunResult run = runProgram("-ewv");
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.out, Banner + "ERROR:  Invalid switch '-ewv'\n\t(Switch groups no longer supported)\n" + Hint + "\n");
    EXPECT_EQ(run.err, "");  // stderr is no terminal here, so no copy
}

TEST(ProgramOutput, UnknownChipExitsWithUsageStatus) {
    const RunResult run = runProgram("+ATmega9 -e");
    EXPECT_EQ(run.status, 70);
    EXPECT_EQ(run.out, Banner + "ERROR:  Unsupported device mega9\n");
}

}  // namespace
}  // namespace mervex
