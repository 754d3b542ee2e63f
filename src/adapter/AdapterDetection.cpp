#include "adapter/AdapterDetection.h"

#include <cstddef>

#include "console/Console.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {

// A detection is a table: stages of data values written to the adapter, each
// followed by a status read, and the responses expected for each verdict.

constexpr size_t MaxProbes = 2;
constexpr int Decided = -1;

struct StatusCheck {
    uint8_t mask;
    uint8_t value;  // (status AND mask) must equal this
};

struct RegisterWrite {
    PortRegister reg;
    uint8_t value;
};

struct Outcome {
    int nextStage;  // Decided, or the stage to run next
    int verdict;
};

struct ResponseRow {
    StatusCheck checks[MaxProbes];  // one per probe of the stage
    Outcome outcome;
    RegisterWrite after[2];  // written when this row decides
    size_t afterCount;
};

struct ProbeStage {
    uint8_t probes[MaxProbes];
    size_t probeCount;
    const ResponseRow* rows;  // the first row whose checks all hold wins
    size_t rowCount;
    Outcome otherwise;
};

struct LoopbackDetection {
    const char* adapterName;  // verdict text before the suffix
    const char* suffixes[4];
    const ProbeStage* stages;
};

// STK200 loops D0 back to PE, STK300 to the BUSY register bit.
const ResponseRow stkRows[] = {
    {{{0xA0, 0xA0}, {0xA0, 0x00}}, {Decided, 3}, {}, 0},
    {{{0x20, 0x20}, {0x20, 0x00}}, {Decided, 2}, {}, 0},
    {{{0x80, 0x80}, {0x80, 0x00}}, {Decided, 1}, {}, 0},
};
const ProbeStage stkStages[] = {
    {{0x0D, 0x0E}, 2, stkRows, 3, {Decided, 0}},
};
const LoopbackDetection stkDetection = {"Atmel adapter for STK", {" not", "300", "200", "*00"}, stkStages};

// ByteBlaster-II answers on ACK while D4 is high and drops ACK and ERROR with it;
// the older ones loop D5 and D7 back to PE and ACK, the MV variant ties ERROR high.
const ResponseRow byteBlasterAckRows[] = {
    {{{0x40, 0x40}}, {1, 0}, {}, 0},
};
const ResponseRow byteBlasterIIRows[] = {
    {{{0x48, 0x00}}, {Decided, 3}, {{PortRegister::Control, 0x0B}, {PortRegister::Data, 0x00}}, 2},
};
const ResponseRow byteBlasterRows[] = {
    {{{0x68, 0x08}, {0x60, 0x60}}, {Decided, 2}, {}, 0},
    {{{0x68, 0x00}, {0x60, 0x60}}, {Decided, 1}, {}, 0},
};
const ProbeStage byteBlasterStages[] = {
    {{0xFF}, 1, byteBlasterAckRows, 1, {2, 0}},
    {{0xEF}, 1, byteBlasterIIRows, 1, {2, 0}},
    {{0x5F, 0xFF}, 2, byteBlasterRows, 2, {Decided, 0}},
};
const LoopbackDetection byteBlasterDetection = {"ByteBlaster", {" not", "", "MV", "-II"}, byteBlasterStages};

bool rowMatches(const ResponseRow& row, const uint8_t* status, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if ((status[i] & row.checks[i].mask) != row.checks[i].value) return false;
    return true;
}

int runDetection(ParallelPort& port, const LoopbackDetection& detection) {
    Stopwatch settle;
    settle.setTimeout(0.01);
    uint8_t control = port.readRegister(PortRegister::Control);
    port.writeRegister(PortRegister::Control, uint8_t(control & 0xFD));

    int stageIndex = 0;
    Outcome outcome{0, 0};
    do {
        const ProbeStage& stage = detection.stages[stageIndex];
        uint8_t status[MaxProbes] = {};
        for (size_t i = 0; i < stage.probeCount; ++i) {
            port.writeRegister(PortRegister::Data, stage.probes[i]);
            settle.sleepTimeout();
            status[i] = port.readRegister(PortRegister::Status);
        }
        outcome = stage.otherwise;
        for (size_t r = 0; r < stage.rowCount; ++r) {
            const ResponseRow& row = stage.rows[r];
            if (!rowMatches(row, status, stage.probeCount)) continue;
            outcome = row.outcome;
            for (size_t w = 0; w < row.afterCount; ++w) port.writeRegister(row.after[w].reg, row.after[w].value);
            break;
        }
        stageIndex = outcome.nextStage;
    } while (stageIndex != Decided);

    message(LevelDebug, "%s%s found\n", detection.adapterName, detection.suffixes[outcome.verdict]);
    return outcome.verdict;
}

}  // namespace

bool detectStk(ParallelPort& port) { return runDetection(port, stkDetection) != 0; }

ByteBlasterVariant detectByteBlaster(ParallelPort& port) {
    return ByteBlasterVariant(runDetection(port, byteBlasterDetection));
}

}  // namespace mervex
