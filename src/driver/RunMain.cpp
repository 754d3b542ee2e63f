#include "driver/RunMain.h"

#include <exception>
#include <new>
#include <optional>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/RunConsoleSettings.h"
#include "console/SignalMonitor.h"
#include "console/Stopwatch.h"
#include "driver/CommandLine.h"
#include "driver/Request.h"
#include "driver/Run.h"
#include "driver/RunLog.h"
#include "driver/RunState.h"

namespace mervex {

namespace {

// The status of a failure, whose lines are printed here.
int reportedStatus(const app_error& error) {
    reportFailure(error);
    return error.status();
}

}  // namespace

int runMain(int argc, char** argv, const PortBackends& backends) {
    ignoreBrokenPipe();
    // The -i switches set the level and progress mode for this run only.
    const RunConsoleSettings consoleSettings;
    Stopwatch totalTime;
    totalTime.restart();
    int status = ExitOk;
    RunLog log;
    std::optional<ErrorCopy> errorsToLog;
    // The run's own request (its texts point into argv) and state.
    Request request;
    RunState state;
    try {
        parseCommandLine(argc, argv, request, backends);
        if (request.logPath != nullptr) {
            log.open(request.logPath);
            errorsToLog.emplace(log.errorText());
        }
        runRequest(request, backends, state, totalTime, log);
    } catch (const app_error& error) {
        status = reportedStatus(error);
    } catch (const std::bad_alloc&) {
        message(LevelError, "Can't allocate memory\nFAILED\n");
        status = ExitMemory;
    } catch (const std::exception& error) {
        message(LevelError, "%s\n", error.what());
        status = ExitOther;
    }
    // Noted while the adapter still exists: its cable is part of the record.
    log.noteEnd(request, state);
    try {
        finishRun(state, status);
    } catch (const app_error& error) {
        status = reportedStatus(error);
    }
    // The record is complete: a failure to write it is not part of it.
    errorsToLog.reset();
    // A run whose record is lost does not end as a success.
    if (!log.write(status) && status == ExitOk) status = ExitFile;
    return status;
}

}  // namespace mervex
