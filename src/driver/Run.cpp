#include "driver/Run.h"

#include <exception>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"
#include "console/Units.h"
#include "driver/CheckRun.h"
#include "driver/InputLoading.h"
#include "driver/KeyWait.h"
#include "driver/ProgrammingRun.h"
#include "driver/RequestValidation.h"
#include "driver/RunLog.h"
#include "driver/RunState.h"

namespace mervex {

namespace {

// From here on a signal must be noted and end the run at a check point, so
// that the run switches the adapter off: the adapter is about to exist.
void prepareAdapter(const Request& request, const PortBackends& backends, Clock& clock, RunState& state) {
    installSignalMonitor();
    createProgrammer(request, backends, clock, state);
}

}  // namespace

void runRequest(const Request& request, const PortBackends& backends, Clock& clock, RunState& state,
                Stopwatch& totalTime, RunLog& log) {
    state.start(request);
    validateRequest(request, state.session);
    if (request.check) {
        installSignalMonitor();
        runCheck(request, backends, clock, state);
        return;
    }
    if (!request.waitKeyEarly) {
        loadInputFiles(request, state);
        log.noteInputFiles(request);
        prepareAdapter(request, backends, clock, state);
        state.session.programmer()->enableAdapter();
        if (request.waitKey) waitForKey(*state.session.programmer(), clock);
    } else {
        prepareAdapter(request, backends, clock, state);
        waitForKey(*state.session.programmer(), clock);
        loadInputFiles(request, state);
        log.noteInputFiles(request);
        state.session.programmer()->enableAdapter();
    }
    runProgramming(request, state, log);

    totalTime.stop();
    Programmer& programmer = *state.session.programmer();
    programmer.setLedOk(true);
    // The result is reported only once what the run did is durable.
    programmer.flush();
    message(LevelInfo, "Total time %s\nAll OK\n", formatTime(totalTime.elapsedMs(), UnitMs));
    programmer.disableAdapter();
}

void finishRun(RunState& state, int status) {
    std::exception_ptr failure;
    Programmer* programmer = state.session.programmer();
    try {
        if (status != ExitOk && programmer != nullptr) programmer->setLedError(true);
    } catch (const app_error&) {
        failure = std::current_exception();
    }
    // The adapter is switched off whatever happened before.
    try {
        if (programmer != nullptr) programmer->disableAdapter();
    } catch (const app_error&) {
        if (!failure) failure = std::current_exception();
    }
    // The end of the run is made durable while a failure to do so can still
    // be the run's status: after "All OK" the user must learn it.
    try {
        if (programmer != nullptr) programmer->flush();
    } catch (const app_error&) {
        if (!failure) failure = std::current_exception();
    }
    // The run is over: the programmer goes now rather than at process exit,
    // which closes the port and lets the process start another run.
    state.session.releaseProgrammer();
    if (status != ExitOk) state.serialFile.giveBack();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace mervex
