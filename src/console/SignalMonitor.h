#pragma once
// The signal monitor, for the operating system's signals (the adapter's lines
// are in adapter/AdapterSignals). SIGINT, SIGTERM, SIGQUIT and SIGHUP only set
// a flag; the run notices it at check points. SIGPIPE is ignored: output
// nobody reads is dropped. Process-wide: signal handlers belong to the
// process, and the handler only sets a flag the run itself acts on.
namespace mervex {

// Install the handlers now (idempotent); the run calls this before it powers the target.
void installSignalMonitor();

// A reader that goes away (`| head`) must not kill a run that may hold the
// only copy of the chip's EEPROM: writes to it fail instead, and are dropped.
void ignoreBrokenPipe();

// Check point: if a termination signal arrived, report it and throw app_error(80).
void checkTermination();

// Name of a signal number as reported: "SIGINT", "SIGQUIT", "SIGTERM", "SIGHUP" or "unknown signal".
const char* signalName(int number);

// For tests: mark a signal as arrived, as the handler would.
void raisePendingSignal(int number);

}  // namespace mervex
