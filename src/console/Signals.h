#pragma once
// SIGINT, SIGTERM and SIGQUIT only set a flag; the run notices it at check points.
namespace mervex {

// Install the handlers now (idempotent); the run calls this before it powers the target.
void installSignalMonitor();

// Check point: if a termination signal arrived, report it and throw app_error(80).
void checkTermination();

// Name of a signal number as reported: "SIGINT", "SIGQUIT", "SIGTERM" or "unknown signal".
const char* signalName(int number);

// For tests: mark a signal as arrived, as the handler would.
void raisePendingSignal(int number);

}  // namespace mervex
