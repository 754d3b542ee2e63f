#include "driver/RunMain.h"

#include <exception>
#include <new>

#include "chip/DeviceTable.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Signals.h"
#include "console/Stopwatch.h"
#include "driver/CommandLine.h"
#include "driver/Request.h"
#include "driver/Run.h"

namespace mervex {

namespace {

// The status of a failure, with its system text (if any) printed under the
// message its thrower has already printed.
int reportedStatus(const app_error& error) {
    const int status = error.status();
    if (status != ExitOk && error.what()[0] != '\0') message(LevelError, "%s\n", error.what());
    return status;
}

}  // namespace

int runMain(int argc, char** argv) {
    ignoreBrokenPipe();
    Stopwatch totalTime;
    totalTime.restart();
    int status = ExitOk;
    try {
        // A fresh request and chip selection, so a second run in one process starts clean.
        Request& req = request();
        req = Request{};
        resetChipSelection();
        parseCommandLine(argc, argv, req);
        chipSelection().requestedName = req.chipName;
        runRequest(req, totalTime);
    } catch (const app_error& error) {
        status = reportedStatus(error);
    } catch (const std::bad_alloc&) {
        message(LevelError, "Can't allocate memory\nFAILED\n");
        status = ExitMemory;
    } catch (const std::exception& error) {
        message(LevelError, "%s\n", error.what());
        status = ExitOther;
    }
    try {
        finishRun(status);
    } catch (const app_error& error) {
        status = reportedStatus(error);
    }
    return status;
}

}  // namespace mervex
