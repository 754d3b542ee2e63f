#include "driver/KeyWait.h"

#include "console/Console.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"

namespace mervex {

namespace {
constexpr double KeySampleMs = 20.0;
constexpr int StableSamples = 2;
}  // namespace

bool readKeyStable(AdapterControls& adapter, Clock& clock) {
    bool state = adapter.isKeyPressed();
    int equal = 0;
    for (;;) {
        checkTermination();
        sleepMs(clock, KeySampleMs);
        const bool sample = adapter.isKeyPressed();
        if (sample != state) {
            state = sample;
            equal = 0;
        } else if (++equal == StableSamples) {
            return state;
        }
    }
}

void waitForKey(AdapterControls& adapter, Clock& clock) {
    if (!adapter.hasKey()) {
        throw app_error(ExitUsage, "Key not defined for given adapter, can't process -k switch\n");
    }
    message(LevelPrompt, "Press ADAPTER KEY for continue.\n");
    while (readKeyStable(adapter, clock)) {
    }
    while (!readKeyStable(adapter, clock)) {
    }
    message(LevelInfo, "Start programming...\n");
}

}  // namespace mervex
