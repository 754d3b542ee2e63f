#pragma once
// The real LptAdapter on a RecordingPort, so a test sees every register access
// the adapter makes.
#include <cstdint>
#include <memory>
#include <utility>

#include "adapter/LptAdapter.h"
#include "adapter/PinMap.h"
#include "support/RecordingPort.h"

namespace mervex::test {

// The adapter with the pin map and timing (SckTiming or SckPeriods), waiting on
// clock; its port holds data and control before the adapter takes it, and *port
// points at it.
template <typename Timing>
std::unique_ptr<LptAdapter> recordedAdapter(const PinMap& map, Timing timing, Clock& clock, RecordingPort** port,
                                            uint8_t data = 0, uint8_t control = 0) {
    auto owned = std::make_unique<RecordingPort>(1.0);
    *port = owned.get();
    owned->data = data;
    owned->control = control;
    return std::make_unique<LptAdapter>(std::move(owned), std::make_unique<PinMap>(map), timing, clock);
}

}  // namespace mervex::test
