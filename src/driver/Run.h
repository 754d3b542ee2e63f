#pragma once
// The work of a parsed request and the clean-up that ends every run.
#include "adapter/PortBackend.h"
#include "console/Stopwatch.h"
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

class RunLog;

// Validate and carry out the request in state (started afresh); returns after
// a successful run, throws app_error (message already printed) on failure.
// backends serve the ports that are no device; clock times the run's waits;
// totalTime runs since start-up; log gathers the run's record.
void runRequest(const Request& request, const PortBackends& backends, Clock& clock, RunState& state,
                Stopwatch& totalTime, RunLog& log);

// The last step of every run, success or failure: mark a failed run on the
// adapter, disable it and release it (port closed). May throw app_error, whose
// status then replaces the run's.
void finishRun(RunState& state, int status);

}  // namespace mervex
