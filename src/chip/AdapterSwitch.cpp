#include "chip/AdapterSwitch.h"

#include "console/Console.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {
// Time the target's supply needs to settle.
constexpr double PowerSettleMs = 300;
}  // namespace

void enableAdapter(ChipSession& session) {
    Programmer& programmer = session.isp();
    if (programmer.hasPower()) {
        programmer.powerOn();
        sleepMs(PowerSettleMs);
        message(LevelDebug, "Power ON\n");
    }
    if (programmer.hasEnable()) {
        programmer.enableBuffers();
        message(LevelDebug, "Adapter enabled\n");
    }
    programmer.setLedError(false);
    programmer.setLedOk(false);
    session.adapterActive = true;
}

void disableAdapter(ChipSession& session) {
    if (!session.adapterActive || !session.programmer) return;
    Programmer& programmer = *session.programmer;
    session.adapterActive = false;
    programmer.setReset(false);
    message(LevelDebug, "Reset pin released\n");
    if (programmer.hasEnable()) {
        programmer.disableBuffers();
        message(LevelDebug, "Adapter disabled\n");
    }
    if (programmer.hasPower()) {
        programmer.powerOff();
        sleepMs(PowerSettleMs);
        message(LevelDebug, "Power OFF\n");
    }
}

}  // namespace mervex
