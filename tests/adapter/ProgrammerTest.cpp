// Switching the programmer on and off: what it switches, and when it waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/Console.h"
#include "support/CaptureConsole.h"
#include "support/FakeChip.h"
#include "support/ManualClock.h"

namespace mervex::test {
namespace {

TEST(Programmer, SwitchesOnceAndOnlyWhatExists) {
    ManualClock clock;
    FakeChip programmer(clock, 0, 0, 0, 0);
    programmer.withPower = true;
    programmer.withEnable = true;
    CaptureConsole capture(false, false, LevelDebug);
    programmer.disableAdapter();  // not started: nothing
    programmer.enableAdapter();
    programmer.disableAdapter();
    programmer.disableAdapter();  // already stopped: nothing
    EXPECT_EQ(programmer.events, (std::vector<std::string>{"power on", "enable", "error off", "ok off", "reset off",
                                                            "disable", "power off"}));
    EXPECT_EQ(capture.out(), "    Power ON\n    Adapter enabled\n    Reset pin released\n"
                             "    Adapter disabled\n    Power OFF\n");
    // The supply settles 300 ms on the programmer's clock after each switch.
    EXPECT_EQ(clock.nowUs(), 600000);

    programmer.withPower = false;
    programmer.withEnable = false;
    programmer.clearLog();
    programmer.enableAdapter();
    EXPECT_EQ(programmer.events, (std::vector<std::string>{"error off", "ok off"}));
}

}  // namespace
}  // namespace mervex::test
