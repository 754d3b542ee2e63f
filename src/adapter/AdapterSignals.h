#pragma once
// The adapter's logical lines (MOSI, RESET, the LEDs ...), not operating-system
// signals; their names are also the pin-map keywords.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mervex {

enum class SignalId : int {
    Mosi = 0,
    Miso,
    Sck,
    Reset,
    Xtal,
    Power,
    Set,
    Enable,
    LedError,
    LedOk,
    Key,
};

constexpr size_t SignalCount = 11;

struct SignalInfo {
    const char* name;
    uint8_t direction;  // PinDirection the signal requires
    bool severalPins;   // more than one pin may carry it
};

// The fixed signal table entry of one signal.
const SignalInfo& signalInfo(SignalId id);

// The signal whose name matches case-insensitively.
std::optional<SignalId> findSignal(const std::string& name);

}  // namespace mervex
