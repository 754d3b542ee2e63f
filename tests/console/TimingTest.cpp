#include <gtest/gtest.h>

#include <csignal>

#include "console/Errors.h"
#include "console/SignalMonitor.h"
#include "console/Stopwatch.h"
#include "support/CaptureConsole.h"
#include "support/ManualClock.h"

namespace mervex {
namespace {

TEST(Stopwatch, TimeoutSplitsMillisecondsAndExpiresExactly) {
    ManualClock clock;
    Stopwatch watch(clock);
    watch.setTimeout(1500);
    EXPECT_EQ(watch.timeout().sec, 1);
    EXPECT_EQ(watch.timeout().usec, 500000);
    clock.advanceUs(1499999);
    EXPECT_FALSE(watch.timedOut());
    clock.advanceUs(1);
    EXPECT_TRUE(watch.timedOut());
}

TEST(Stopwatch, AccumulatesOnlyRunningIntervals) {
    ManualClock clock;
    Stopwatch watch(clock);
    watch.restart();
    clock.advanceUs(2500);
    watch.stop();
    clock.advanceUs(100000);
    EXPECT_DOUBLE_EQ(watch.elapsedMs(), 2.5);
    watch.stop();
    EXPECT_DOUBLE_EQ(watch.elapsedMs(), 2.5);
}

TEST(Stopwatch, SleepTimeoutSleepsTheWholeInterval) {
    ManualClock clock;
    Stopwatch watch(clock);
    watch.setTimeout(20);
    watch.sleepTimeout();
    EXPECT_EQ(clock.nowUs(), 20000);
    EXPECT_TRUE(watch.timedOut());
}

TEST(Stopwatch, RealSleepResumesAfterInterruption) {
    installSignalMonitor();
    SystemClock clock;
    Stopwatch measure(clock);
    measure.restart();
    std::raise(SIGINT);  // arrives before the sleep; the sleep itself must still last
    sleepMs(clock, 5);
    measure.stop();
    EXPECT_GE(measure.elapsedMs(), 5.0);
    test::CaptureConsole cap;
    EXPECT_THROW(checkTermination(), app_error);
}

TEST(Signals, CheckPointReportsEachSignalOnce) {
    const struct {
        int number;
        const char* text;
    } cases[] = {{SIGINT, "ERROR:  Terminated by user (SIGINT)\n\n"},
                 {SIGTERM, "ERROR:  Terminated by user (SIGTERM)\n\n"},
                 {SIGQUIT, "ERROR:  Terminated by user (SIGQUIT)\n\n"},
                 {99, "ERROR:  Terminated by user (unknown signal)\n\n"}};
    for (const auto& c : cases) {
        test::CaptureConsole cap;
        raisePendingSignal(c.number);
        try {
            checkTermination();
            ADD_FAILURE() << "no termination for " << c.number;
        } catch (const app_error& e) {
            reportFailure(e);
            EXPECT_EQ(e.status(), ExitSignal);
        }
        EXPECT_EQ(cap.out(), c.text);
        EXPECT_NO_THROW(checkTermination());
    }
}

}  // namespace
}  // namespace mervex
