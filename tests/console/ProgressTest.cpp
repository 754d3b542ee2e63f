#include <gtest/gtest.h>

#include <string>

#include "console/Console.h"
#include "console/Progress.h"
#include "support/ManualClock.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

using test::CaptureConsole;

const std::string DoneLine = std::string(11, ' ') + "done (";

TEST(Progress, RedirectedBarAppendsAndMessagesRestartTheLabel) {
    ManualClock clock;
    CaptureConsole cap(false, false);
    progressStart(clock, "Write", 100);
    for (int i = 0; i < 50; ++i) progressAdvance(1);
    message(LevelWarning, "w\n");
    for (int i = 0; i < 50; ++i) progressAdvance(1);
    clock.advanceUs(1250000);
    progressEnd();
    std::string stars25(25, '*'), stars50(50, '*');
    EXPECT_EQ(cap.out(), "Write      [" + stars25 + "\nWarning: w\nWrite      [" + stars50 + "]\n" + DoneLine +
                             "1.25s)\n");
}

TEST(Progress, TerminalBarRedrawsInPlaceAtItsWidth) {
    ManualClock clock;
    CaptureConsole cap(true, true);
    progressStart(clock, "LongerThanTen", 2);
    progressAdvance(1);
    progressAdvance(1);
    progressEnd();
    EXPECT_EQ(cap.out(), "\rLongerThan [  ]\rLongerThan [* ]\rLongerThan [**]\n" + DoneLine + "0.000000ns)\n");
}

TEST(Progress, ZeroTotalDrawsNoStarsAndDoesNotFail) {
    ManualClock clock;
    CaptureConsole cap(false, false);
    progressStart(clock, "Read", 0);
    progressAdvance(0);
    progressEnd();
    EXPECT_EQ(cap.out().substr(0, 14), "Read       []\n");
}

TEST(Progress, DisabledBelowInfoLevel) {
    ManualClock clock;
    CaptureConsole cap(false, false, LevelWarning);
    progressStart(clock, "Read", 7);
    progressAdvance(7);
    progressEnd();
    EXPECT_EQ(cap.out(), "");
    console().progressMode = 1;
    progressStart(clock, "Read", 7);
    progressAdvance(7);
    progressEnd();
    EXPECT_EQ(cap.out().substr(0, 20), "Read       [*******]");
}

}  // namespace
}  // namespace mervex
