#include "adapter/AdapterSignals.h"

#include <strings.h>

#include "adapter/PinInfo.h"

namespace mervex {

namespace {

const SignalInfo signalTable[SignalCount] = {
    {"mosi", DirectionOutput, false},
    {"miso", DirectionInput, false},
    {"sck", DirectionOutput, false},
    {"reset", DirectionOutput, false},
    {"xtal", DirectionOutput, false},
    {"power", DirectionOutput, true},
    {"set", DirectionOutput, true},
    {"enable", DirectionOutput, true},
    {"led_error", DirectionOutput, true},
    {"led_ok", DirectionOutput, true},
    {"key", DirectionInput, false},
};

}  // namespace

const SignalInfo& signalInfo(SignalId id) { return signalTable[size_t(id)]; }

std::optional<SignalId> findSignal(const std::string& name) {
    for (size_t i = 0; i < SignalCount; ++i)
        if (strcasecmp(signalTable[i].name, name.c_str()) == 0) return SignalId(i);
    return std::nullopt;
}

}  // namespace mervex
