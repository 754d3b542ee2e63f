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
