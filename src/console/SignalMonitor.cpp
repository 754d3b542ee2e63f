#include "console/SignalMonitor.h"

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

// A closed terminal or a dropped ssh session (SIGHUP) ends a run like SIGTERM:
// the handler only notes it, and the run ends at its next check point, which
// leaves the chip switched off.
const int TerminationSignals[] = {SIGQUIT, SIGINT, SIGTERM, SIGHUP};

extern "C" void restoreDefaultActions() {
    for (int number : TerminationSignals) std::signal(number, SIG_DFL);
}

}  // namespace

void installSignalMonitor() {
    if (installed) return;
    installed = true;
    signalNumber = 0;
    for (int number : TerminationSignals) std::signal(number, onTerminationSignal);
    std::atexit(restoreDefaultActions);
}

void ignoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

const char* signalName(int number) {
    switch (number) {
        case SIGINT: return "SIGINT";
        case SIGQUIT: return "SIGQUIT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
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
    throw app_error(ExitSignal, "Terminated by user (%s)\n\n", signalName(signalNumber));
}

}  // namespace mervex
