#pragma once
// Adapter set-up: from the adapter and port switches to the run's Programmer.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "adapter/PortIo.h"
#include "adapter/Programmer.h"
#include "adapter/SckTiming.h"

namespace mervex {

struct Request;

enum class AdapterType { Default, AutoBuffered, ByteBlaster, UserMap, Stk, Xilinx };

// What set-up needs from the request.
struct AdapterSettings {
    std::optional<std::string> adapterSpec;  // the -a group text (without "-a")
    std::optional<std::string> portSpec;     // the -p text
    bool lazyBlaster = false;
    bool powerFromData = false;
    bool forceChip = false;
    uint32_t oscillatorHz = 800000;  // 0: the adapter generates the chip clock
    bool frequencyIsSck = false;
    SckPeriods sckPeriods;  // the chip's SCK minimums, SCK divider applied
};

// The adapter type named by the group text's first letter; anything else, or
// characters after a single-letter type, is printed and thrown (status 70).
AdapterType adapterTypeOf(const std::optional<std::string>& adapterSpec);

// Build the run's adapter: pin map (user map errors come before the port is
// opened), port, detection of buffered cables, modifiers, timing. Failures are
// printed and thrown; the port is closed again on any failure.
std::unique_ptr<Programmer> createAdapter(const AdapterSettings& settings, PortIo& io = systemPortIo());

// The same from the run's request, with the selected chip's SCK minimums.
std::unique_ptr<Programmer> createAdapter(const Request& request);

}  // namespace mervex
