#include "driver/KeyWait.h"

#include "console/Console.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {
constexpr double KeySampleMs = 20.0;
constexpr int StableSamples = 2;
}  // namespace

bool readKeyStable(Programmer& programmer) {
    bool state = programmer.isKeyPressed();
    int equal = 0;
    for (;;) {
        checkTermination();
        sleepMs(KeySampleMs);
        const bool sample = programmer.isKeyPressed();
        if (sample != state) {
            state = sample;
            equal = 0;
        } else if (++equal == StableSamples) {
            return state;
        }
    }
}

void waitForKey(Programmer& programmer) {
    if (!programmer.hasKey()) {
        message(LevelError, "Key not defined for given adapter, can't process -k switch\n");
        throw app_error(ExitUsage);
    }
    message(LevelPrompt, "Press ADAPTER KEY for continue.\n");
    while (readKeyStable(programmer)) {
    }
    while (!readKeyStable(programmer)) {
    }
    message(LevelInfo, "Start programming...\n");
}

}  // namespace mervex
