#pragma once
#include "adapter/PortBackend.h"
#include "console/Stopwatch.h"

namespace mervex {

// The process entry's whole job: run the request given on the command line and
// return the exit status. Every failure ends here as a status. backends are
// the ports served other than by a device (the virtual target); clock is what
// the run measures and waits on.
int runMain(int argc, char** argv, const PortBackends& backends, Clock& clock);

}  // namespace mervex
