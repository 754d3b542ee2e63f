#include "adapter/AdapterDetection.h"

#include <cstddef>
#include <string>
#include <vector>

#include "adapter/BuiltinCables.h"
#include "adapter/CableLoopback.h"
#include "console/Console.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {

// A detection writes probe values to the data lines and compares the status
// lines it looks at with what the loop-backs of each cable of the row would
// answer (BuiltinCables). Stages may lead to further stages.

constexpr size_t MaxProbes = 2;
constexpr int Decided = -1;

struct Probe {
    uint8_t data;    // written to the data register
    uint8_t looked;  // the status bits judged after it
};

struct RegisterWrite {
    PortRegister reg;
    uint8_t value;
};

struct ProbeStage {
    Probe probes[MaxProbes];
    size_t probeCount;
    unsigned judged;  // the verdicts whose cables are compared here, one bit each
    int onMatch;      // Decided (the verdicts of the cables that match, or-ed), or the stage to run next
    int otherwise;    // Decided (verdict 0), or the stage to run next
    RegisterWrite after[2];  // written when a match decides
    size_t afterCount;
};

struct Detection {
    AdapterType type;         // the row whose cables are judged
    const char* adapterName;  // verdict text before the suffix
    const char* suffixes[4];  // by verdict
    const ProbeStage* stages;
};

constexpr unsigned verdictBit(int verdict) { return 1u << verdict; }

// Both STK loop-backs follow D0; a cable with both is reported as STK*00.
const ProbeStage stkStages[] = {
    {{{0x0D, 0xA0}, {0x0E, 0xA0}}, 2, verdictBit(1) | verdictBit(2), Decided, Decided, {}, 0},
};
const Detection stkDetection = {AdapterType::Stk, "Atmel adapter for STK", {" not", "300", "200", "*00"}, stkStages};

// ByteBlaster-II is tried while ACK answers D4, and left enabled when found;
// the older ones answer D5 and D7 low and high, ERROR telling the MV apart.
const ProbeStage byteBlasterStages[] = {
    {{{0xFF, 0x40}}, 1, verdictBit(3), 1, 2, {}, 0},
    {{{0xEF, 0x48}}, 1, verdictBit(3), Decided, 2, {{PortRegister::Control, 0x0B}, {PortRegister::Data, 0x00}}, 2},
    {{{0x5F, 0x68}, {0xFF, 0x60}}, 2, verdictBit(1) | verdictBit(2), Decided, Decided, {}, 0},
};
const Detection byteBlasterDetection = {
    AdapterType::ByteBlaster, "ByteBlaster", {" not", "", "MV", "-II"}, byteBlasterStages};

// True if the cable's loop-backs answer the probes as read, on the bits looked at.
bool answersLike(const CableVariant& variant, const ProbeStage& stage, const uint8_t* status, uint8_t control) {
    std::vector<CableLoopback> loops;
    std::string error;
    if (!parseLoopbacks(variant.loopbacks, loops, error)) return false;
    const uint8_t driven = loopbackBits(loops);
    // The cable as wired, its data lines driven.
    const uint8_t drivenControl = uint8_t(control & ~DataLinesFloat);
    uint8_t judged = 0;
    for (size_t i = 0; i < stage.probeCount; ++i) {
        const uint8_t mask = stage.probes[i].looked & driven;
        const uint8_t expected = driveLoopbacks(loops, 0, stage.probes[i].data, drivenControl);
        if ((status[i] & mask) != (expected & mask)) return false;
        judged |= mask;
    }
    return judged != 0;
}

int runDetection(ParallelPort& port, const Detection& detection) {
    const BuiltinCable& row = *builtinCable(detection.type);
    Stopwatch settle;
    settle.setTimeout(0.01);
    const uint8_t control = uint8_t(port.readRegister(PortRegister::Control) & 0xFD);
    port.writeRegister(PortRegister::Control, control);

    int stageIndex = 0;
    int verdict = 0;
    while (stageIndex != Decided) {
        const ProbeStage& stage = detection.stages[stageIndex];
        uint8_t status[MaxProbes] = {};
        for (size_t i = 0; i < stage.probeCount; ++i) {
            port.writeRegister(PortRegister::Data, stage.probes[i].data);
            settle.sleepTimeout();
            status[i] = port.readRegister(PortRegister::Status);
        }
        int matched = 0;
        for (const CableVariant& variant : row.variants) {
            if (variant.name == nullptr || (stage.judged & verdictBit(variant.verdict)) == 0) continue;
            if (answersLike(variant, stage, status, control)) matched |= variant.verdict;
        }
        if (matched == 0) {
            stageIndex = stage.otherwise;
            continue;
        }
        stageIndex = stage.onMatch;
        if (stageIndex != Decided) continue;
        verdict = matched;
        for (size_t w = 0; w < stage.afterCount; ++w) port.writeRegister(stage.after[w].reg, stage.after[w].value);
    }

    message(LevelDebug, "%s%s found\n", detection.adapterName, detection.suffixes[verdict]);
    return verdict;
}

}  // namespace

bool detectStk(ParallelPort& port) { return runDetection(port, stkDetection) != 0; }

ByteBlasterVariant detectByteBlaster(ParallelPort& port) {
    return ByteBlasterVariant(runDetection(port, byteBlasterDetection));
}

}  // namespace mervex
