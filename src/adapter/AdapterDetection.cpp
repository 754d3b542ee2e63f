#include "adapter/AdapterDetection.h"

#include <cstddef>
#include <string>
#include <vector>

#include "adapter/CableLoopback.h"
#include "console/Console.h"

namespace mervex {

namespace {

// The control bit every detection clears before its probes.
constexpr uint8_t DetectionControlClear = 0x02;

size_t probeCount(const DetectionStep& step) {
    size_t count = 0;
    while (count < MaxProbes && step.probes[count].judged != 0) ++count;
    return count;
}

// True if the cable's loop-backs answer the probes as read, on the lines judged.
bool answersLike(const CableVariant& variant, const DetectionStep& step, const uint8_t* status, uint8_t control) {
    const std::vector<CableLoopback> loops = parseLoopbacks(variant.loopbacks);
    const uint8_t driven = loopbackBits(loops);
    // The cable as wired, its data lines driven.
    const uint8_t drivenControl = uint8_t(control & ~DataLinesFloat);
    uint8_t judged = 0;
    for (size_t i = 0; i < probeCount(step); ++i) {
        const uint8_t mask = step.probes[i].judged & driven;
        const uint8_t expected = driveLoopbacks(loops, 0, step.probes[i].data, drivenControl);
        if ((status[i] & mask) != (expected & mask)) return false;
        judged |= mask;
    }
    return judged != 0;
}

}  // namespace

int detectCable(ParallelPort& port, const BuiltinCable& row, Clock& clock) {
    const CableDetection& detection = row.detection;
    Stopwatch settle(clock);
    settle.setTimeout(0.01);
    const uint8_t control = uint8_t(port.readRegister(PortRegister::Control) & ~DetectionControlClear);
    port.writeRegister(PortRegister::Control, control);

    int stepIndex = 0;
    int verdict = 0;
    while (stepIndex != NotFound) {
        const DetectionStep& step = detection.steps[stepIndex];
        uint8_t status[MaxProbes] = {};
        for (size_t i = 0; i < probeCount(step); ++i) {
            port.writeRegister(PortRegister::Data, step.probes[i].data);
            settle.sleepTimeout();
            status[i] = port.readRegister(PortRegister::Status);
        }
        int matched = 0;
        for (const CableVariant& variant : row.variants) {
            if (variant.name == nullptr || (step.cables & verdictBit(variant.verdict)) == 0) continue;
            if (answersLike(variant, step, status, control)) matched |= variant.verdict;
        }
        if (matched == 0) {
            stepIndex = step.otherwise;
        } else if (!step.decides) {
            ++stepIndex;
        } else {
            verdict = matched;
            for (size_t w = 0; w < step.leaveCount; ++w) port.writeRegister(step.leave[w].reg, step.leave[w].value);
            break;
        }
    }

    message(LevelDebug, "%s%s found\n", detection.verdictText, detection.suffixes[verdict]);
    return verdict;
}

FoundCable findCable(ParallelPort& port, Clock& clock) {
    for (const BuiltinCable* row : detectableCables()) {
        const int verdict = detectCable(port, *row, clock);
        if (verdict != 0) return FoundCable{row, verdict};
    }
    return FoundCable{};
}

FoundCable probeCables(ParallelPort& port, Clock& clock) {
    const uint8_t data = port.readRegister(PortRegister::Data);
    const uint8_t control = port.readRegister(PortRegister::Control);
    const FoundCable found = findCable(port, clock);
    port.writeRegister(PortRegister::Control, control);
    port.writeRegister(PortRegister::Data, data);
    return found;
}

std::string verdictName(const BuiltinCable& row, int verdict) {
    return std::string(row.detection.verdictText) + row.detection.suffixes[verdict];
}

}  // namespace mervex
