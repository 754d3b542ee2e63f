#include "driver/RunMain.h"
#include "sim/VirtualTargetHook.h"

// The virtual target is handed to the port selection here, so that neither the
// run nor the adapter layer depends on the simulator.
int main(int argc, char** argv) {
    const mervex::VirtualPortBackend virtualTargets;
    return mervex::runMain(argc, argv, {&virtualTargets});
}
