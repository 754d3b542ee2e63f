#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "console/Errors.h"
#include "console/SignalMonitor.h"
#include "driver/KeyWait.h"
#include "support/CaptureConsole.h"
#include "support/FakeChip.h"
#include "support/ManualClock.h"

namespace mervex {
namespace {

using test::CaptureConsole;

// An adapter whose key is held during [pressFromMs, pressToMs) of manual time,
// and from heldAgainMs on.
class KeyAdapter : public test::FakeChip {
public:
    explicit KeyAdapter(ManualClock& clock) : FakeChip(clock, 0, 0, 0, 0), clock_(clock) {}
    bool withKey = true;
    double pressFromMs = -1, pressToMs = -1, heldAgainMs = 1e9;

private:
    bool hasSignal(SignalId id) const override { return id == SignalId::Key && withKey; }
    bool readSignal(SignalId id) override {
        const double ms = double(clock_.nowUs()) / 1000.0;
        return id == SignalId::Key && ((ms >= pressFromMs && ms < pressToMs) || ms >= heldAgainMs);
    }
    ManualClock& clock_;
};

TEST(KeyWait, AHeldKeyMustBeReleasedAndPressedAgain) {
    ManualClock clock;
    KeyAdapter adapter(clock);
    adapter.pressFromMs = 0;
    adapter.pressToMs = 200;
    adapter.heldAgainMs = 500;
    CaptureConsole capture(false, false, LevelError);  // the prompt shows at every level
    waitForKey(adapter, clock);
    EXPECT_GE(clock.nowUs(), 540000);
    EXPECT_LT(clock.nowUs(), 600000);
    EXPECT_EQ(capture.out(), "Press ADAPTER KEY for continue.\n");
}

TEST(KeyWait, StableOnlyAfterTwoEqualSamples) {
    ManualClock clock;
    KeyAdapter adapter(clock);
    adapter.pressFromMs = 30;  // a 30 ms blip is not seen as a press
    adapter.pressToMs = 60;
    EXPECT_FALSE(readKeyStable(adapter, clock));
    EXPECT_GE(clock.nowUs(), 40000);
}

TEST(KeyWait, NoKeyOrASignalEndsTheWait) {
    ManualClock clock;
    KeyAdapter adapter(clock);
    adapter.withKey = false;
    {
        CaptureConsole capture;
        try {
            waitForKey(adapter, clock);
            FAIL() << "waited without a key";
        } catch (const app_error& error) {
            reportFailure(error);
            EXPECT_EQ(error.status(), 70);
        }
        EXPECT_EQ(capture.out(), "ERROR:  Key not defined for given adapter, can't process -k switch\n");
    }
    adapter.withKey = true;
    CaptureConsole capture;
    raisePendingSignal(SIGINT);
    try {
        waitForKey(adapter, clock);
        FAIL() << "a signal did not end the wait";
    } catch (const app_error& error) {
        reportFailure(error);
        EXPECT_EQ(error.status(), 80);
    }
    EXPECT_EQ(capture.out(), "Press ADAPTER KEY for continue.\nERROR:  Terminated by user (SIGINT)\n\n");
}

}  // namespace
}  // namespace mervex
