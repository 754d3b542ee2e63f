#include "console/Signals.h"

#include <csignal>
#include <cstdlib>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// The only state shared with the asynchronous handler.
volatile std::sig_atomic_t pending = 0;
volatile std::sig_atomic_t signalNumber = 0;
bool installed = false;

extern "C" void onTerminationSignal(int number) {
    signalNumber = number;
    pending = 1;
    std::signal(number, onTerminationSignal);
}

extern "C" void restoreDefaultActions() {
    std::signal(SIGQUIT, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

void installSignalMonitor() {
    if (installed) return;
    installed = true;
    signalNumber = 0;
    std::signal(SIGQUIT, onTerminationSignal);
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGTERM, onTerminationSignal);
    std::atexit(restoreDefaultActions);
}

const char* signalName(int number) {
    switch (number) {
        case SIGINT: return "SIGINT";
        case SIGQUIT: return "SIGQUIT";
        case SIGTERM: return "SIGTERM";
        default: return "unknown signal";
    }
}

void raisePendingSignal(int number) {
    installSignalMonitor();
    signalNumber = number;
    pending = 1;
}

void checkTermination() {
    installSignalMonitor();
    if (!pending) return;
    pending = 0;
    message(LevelError, "Terminated by user (%s)\n\n", signalName(signalNumber));
    throw app_error(ExitSignal);
}

}  // namespace mervex
