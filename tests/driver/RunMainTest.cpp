#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/HelpText.h"
#include "driver/RunMain.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

using test::CaptureConsole;

int run(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), "mervex");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    CaptureConsole capture;
    const int status = runMain(int(args.size()), argv.data());
    if (out != nullptr) *out = capture.out();
    return status;
}

TEST(RunMain, HelpAndUsageErrorsBecomeExitStatuses) {
    std::string out;
    EXPECT_EQ(run({}, &out), 0);
    EXPECT_EQ(out, std::string(BannerText) + AboutText + HelpHintText);
    EXPECT_EQ(run({"+tiny13", "-h"}), 0);
    EXPECT_EQ(run({"-x"}), 70);
    // Each run starts from a fresh request: a file of an earlier run is not "two files".
    EXPECT_EQ(run({"a.hex", "-h"}), 0);
    EXPECT_EQ(run({"b.hex", "-q"}, &out), 70);
    EXPECT_EQ(out, std::string(BannerText) + "ERROR:  Invalid switch '-q'\n" + HelpHintText + "\n");
}

}  // namespace
}  // namespace mervex
