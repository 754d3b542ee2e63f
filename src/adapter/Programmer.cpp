#include "adapter/Programmer.h"

#include "console/Console.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {
// Time the target's supply needs to settle.
constexpr double PowerSettleMs = 300;
}  // namespace

void Programmer::enableAdapter() {
    if (hasPower()) {
        powerOn();
        sleepMs(clock(), PowerSettleMs);
        message(LevelDebug, "Power ON\n");
    }
    if (hasEnable()) {
        enableBuffers();
        message(LevelDebug, "Adapter enabled\n");
    }
    setLedError(false);
    setLedOk(false);
    active_ = true;
}

void Programmer::disableAdapter() {
    if (!active_) return;
    active_ = false;
    setReset(false);
    message(LevelDebug, "Reset pin released\n");
    if (hasEnable()) {
        disableBuffers();
        message(LevelDebug, "Adapter disabled\n");
    }
    if (hasPower()) {
        powerOff();
        sleepMs(clock(), PowerSettleMs);
        message(LevelDebug, "Power OFF\n");
    }
}

}  // namespace mervex
