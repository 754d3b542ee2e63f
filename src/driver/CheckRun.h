#pragma once
// mervex --check: port, cable, target and clock looked at in turn, one line
// each, then "Result: OK" with the -o to use, or the class of the fault and
// what to do. Nothing on the chip is written.
#include "adapter/PortBackend.h"
#include "console/Stopwatch.h"
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

// The check for the request's port, adapter, clock and chip (identified when
// not named), waiting and measuring on clock. A fault found is thrown with the status a programming run ends
// with for it; the run's state owns the adapter as in a programming run.
void runCheck(const Request& request, const PortBackends& backends, Clock& clock, RunState& state);

}  // namespace mervex
