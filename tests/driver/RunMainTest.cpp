#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/HelpText.h"
#include "support/RunInProcess.h"

namespace mervex {
namespace {

using test::runInProcess;

TEST(RunMain, HelpAndUsageErrorsBecomeExitStatuses) {
    std::string out;
    EXPECT_EQ(runInProcess({}, &out), 0);
    EXPECT_EQ(out, std::string(BannerText) + AboutText + HelpHintText);
    EXPECT_EQ(runInProcess({"+tiny13", "-h"}), 0);
    EXPECT_EQ(runInProcess({"-x"}), 70);
    // Each run starts from a fresh request: a file of an earlier run is not "two files".
    EXPECT_EQ(runInProcess({"a.hex", "-h"}), 0);
    EXPECT_EQ(runInProcess({"b.hex", "-q"}, &out), 70);
    EXPECT_EQ(out, std::string(BannerText) + "ERROR:  Invalid switch '-q'\n" + HelpHintText + "\n");
}

}  // namespace
}  // namespace mervex
