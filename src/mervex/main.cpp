#include "console/Stopwatch.h"
#include "driver/RunMain.h"
#include "sim/VirtualTargetHook.h"

// The virtual target is handed to the port selection here, so that neither the
// run nor the adapter layer depends on the simulator. The run and the virtual
// target share the one clock, the system's.
int main(int argc, char** argv) {
    mervex::SystemClock clock;
    const mervex::VirtualPortBackend virtualTargets(clock);
    return mervex::runMain(argc, argv, {&virtualTargets}, clock);
}
