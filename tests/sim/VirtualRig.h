#pragma once
// The real LptAdapter on a virtual port with a simulated chip behind the
// default cable, as the run would build it, owned by a chip session.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "adapter/SckTiming.h"
#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "sim/VirtualPort.h"
#include "sim/VirtualTarget.h"
#include "support/ManualClock.h"

namespace mervex::test {

class VirtualRig {
public:
    // A fresh target of the named chip, clocked at clockHz; the name is also the
    // requested chip. The rig's time is its own manual clock.
    explicit VirtualRig(const char* chipName, uint32_t clockHz = 8000000,
                        void (*prepare)(VirtualTarget&) = nullptr, const ChipOptions& options = ChipOptions())
        : session(chipName, options) {
        std::unique_ptr<VirtualTarget> target = newVirtualTarget(chipName);
        EXPECT_TRUE(target) << chipName;
        target->clockHz = clockHz;
        if (prepare) prepare(*target);
        auto ownedPort = std::make_unique<VirtualPort>(std::move(target), clock);
        port = ownedPort.get();
        // The adapter holds RESET active while the chip is programmed.
        PinMap map = builtinPinMap(AdapterType::Default);
        map.driveResetAsHeld();
        SckCycles cycles = sckTimingCycles(session.selectedChip(), clockHz, 1);
        SckTiming timing = deriveSckTiming(clockHz, false, SckPeriods{cycles.low, cycles.high});
        session.attachProgrammer(
            std::make_unique<LptAdapter>(std::move(ownedPort), std::make_unique<PinMap>(map), timing, clock));
    }

    VirtualTarget& target() { return port->target(); }

    ManualClock clock;  // declared first: it outlives the adapter that waits on it
    ChipSession session;
    VirtualPort* port = nullptr;  // owned by the adapter, which the session owns
};

}  // namespace mervex::test
