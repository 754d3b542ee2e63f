#pragma once
// One adapter wiring: a name and the register masks of every signal.
#include <cstddef>

#include "adapter/AdapterSignals.h"
#include "adapter/SignalEntry.h"

namespace mervex {

constexpr size_t PinMapNameSize = 40;  // 39 significant characters and the NUL

struct PinMap {
    char name[PinMapNameSize] = {};
    SignalEntry entries[SignalCount] = {};

    SignalEntry& entry(SignalId id) { return entries[size_t(id)]; }
    const SignalEntry& entry(SignalId id) const { return entries[size_t(id)]; }
    // True if the signal has at least one pin.
    bool has(SignalId id) const { return entry(id).present(); }
    // Store the name, cut to 39 characters.
    void setName(const char* text);
    // Maps describe RESET by its level while the target runs; the adapter drives
    // it as "active = held in reset". Exchanges the RESET masks once.
    void driveResetAsHeld() {
        SignalEntry& reset = entry(SignalId::Reset);
        const uint32_t runningSet = reset.setMask;
        reset.setMask = reset.clearMask;
        reset.clearMask = runningSet;
    }
};

}  // namespace mervex
