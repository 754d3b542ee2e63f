#include "driver/RunMain.h"

#include <exception>
#include <new>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/RunConsoleSettings.h"
#include "console/SignalMonitor.h"
#include "driver/CommandLine.h"
#include "driver/Request.h"
#include "driver/Run.h"
#include "driver/RunLog.h"
#include "driver/RunState.h"
#include "driver/WiringRequest.h"

namespace mervex {

namespace {

// The run's failure: printed once, here, and recorded in the run log.
int failedWith(const app_error& failure, RunLog& log) {
    reportFailure(failure);
    log.noteError(failure.what());
    return failure.status();
}

}  // namespace

int runMain(int argc, char** argv, const PortBackends& backends, Clock& clock) {
    ignoreBrokenPipe();
    // The -i switches set the level and progress mode for this run only.
    const RunConsoleSettings consoleSettings;
    Stopwatch totalTime(clock);
    totalTime.restart();
    int status = ExitOk;
    RunLog log(clock);
    // The run's own request (its texts point into argv) and state.
    Request request;
    RunState state;
    try {
        parseCommandLine(argc, argv, request, backends);
        if (request.logPath != nullptr) log.open(request.logPath);
        if (request.showWiring)
            printWirings(request, backends);
        else
            runRequest(request, backends, clock, state, totalTime, log);
    } catch (const app_error& failure) {
        status = failedWith(failure, log);
    } catch (const std::bad_alloc&) {
        // Printed from a fixed text: there may be no memory for a failure's lines.
        message(LevelError, "%s", AllocationFailed);
        log.noteError(AllocationFailed);
        status = ExitMemory;
    } catch (const std::exception& error) {
        status = failedWith(app_error(ExitOther, "%s\n", error.what()), log);
    }
    // Noted while the adapter still exists: its cable is part of the record.
    log.noteEnd(request, state);
    try {
        finishRun(state, status);
    } catch (const app_error& failure) {
        status = failedWith(failure, log);
    }
    // A run whose record is lost does not end as a success.
    if (!log.write(status) && status == ExitOk) status = ExitFile;
    return status;
}

}  // namespace mervex
