#pragma once
// The cables the program knows without a pin map, one row each: the -a letter
// that selects it, its help line, its wiring, how its detection probes the
// port, and the cables built to it with the loop-backs by which the detection
// recognises them. Adapter set-up, the -a switch, the help, the detections and
// the simulated cables all read it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "adapter/ParallelPort.h"
#include "adapter/PinMap.h"

namespace mervex {

enum class AdapterType { Default, AutoBuffered, ByteBlaster, UserMap, Stk, Xilinx };

// A cable as built to a row's wiring.
struct CableVariant {
    const char* name;       // how a target file names it, lower case: "stk300"
    int verdict;            // what the row's detection answers for it (0: no detection)
    const char* loopbacks;  // STATUSPIN<SOURCE entries, ':'-separated, by which it is recognised
    const char* wiring;     // its own wiring instead of the row's; nullptr: the row's
};

constexpr size_t MaxCableVariants = 3;
constexpr size_t MaxVerdicts = 4;  // verdict 0 (nothing found) included
constexpr size_t MaxProbes = 2;
constexpr size_t MaxDetectionSteps = 3;
constexpr size_t MaxLeftRegisters = 2;
constexpr int NotFound = -1;  // where a detection step leads when it ends the detection

constexpr unsigned verdictBit(int verdict) { return 1u << verdict; }

// A value written to the data lines and, after a settle, the status lines
// judged in the status read that follows.
struct Probe {
    uint8_t data;
    uint8_t judged;  // status register bits; 0 ends a step's probes
};

struct RegisterWrite {
    PortRegister reg;
    uint8_t value;
};

// A step of a detection: its probes run back to back, then the answers are
// compared with what each cable it judges would answer through its loop-backs.
struct DetectionStep {
    Probe probes[MaxProbes];  // ended by one that judges nothing
    unsigned cables;          // the verdicts of the cables judged here, bit (1 << verdict) each
    // A match ends the detection, with the verdicts of the cables that match
    // or-ed together, or leads to the next step.
    bool decides;
    int otherwise;  // the step when no cable matches, or NotFound
    // How a match that decides leaves the port for the adapter to start from.
    RegisterWrite leave[MaxLeftRegisters];
    size_t leaveCount;
};

// How a row's cables are recognised by loop-back; a row without detection has
// an empty one (verdictText nullptr).
struct CableDetection {
    const char* verdictText;            // the verdict line before its suffix: "ByteBlaster"
    const char* suffixes[MaxVerdicts];  // by verdict: " not" (0), "MV", ...
    const char* notFoundName;  // how the failure names the row when its detection fails
    const char* kind;          // how hints name its cables: "ByteBlaster"
    int autoOrder;             // -aa tries the rows that have a detection in this order, 1 first
    DetectionStep steps[MaxDetectionSteps];  // from the first; ended by a step without probes
};

struct BuiltinCable {
    char letter;        // the -a letter; '\0' for the default wiring
    AdapterType type;
    const char* help;   // the help's text for -LETTER; nullptr: no help line
    const char* wiring;  // pin-map entries, the adapter's name first; RESET by its level while the target runs
    // A line that carries XTAL when the adapter clocks the chip and is held low
    // with the buffer enable otherwise; nullptr: none.
    const char* clockLine;
    bool modifiable;     // -ap and -az apply to it
    CableVariant variants[MaxCableVariants];  // ended by a nullptr name
    CableDetection detection;

    bool detected() const { return detection.verdictText != nullptr; }
};

// The rows, in the order of the help.
extern const BuiltinCable builtinCables[];
extern const size_t BuiltinCableCount;

// The row of the adapter type, or nullptr (automatic choice, user map).
const BuiltinCable* builtinCable(AdapterType type);

// The row of the -a letter (case-insensitive; '\0' the default), or nullptr.
const BuiltinCable* builtinCableOfLetter(char letter);

// The adapter type named by the -a group text's first letter (nullptr: the
// default adapter, VUDER); anything else, or characters after a single-letter
// type, is thrown (status 70).
AdapterType adapterTypeOf(const char* adapterSpec);

// The rows that have a detection, in the order -aa tries them.
std::vector<const BuiltinCable*> detectableCables();

// Pin-map entries of the modifiers of a modifiable wiring: laZyBlaster (a
// disabled adapter leaves the data lines at high impedance) and the supply
// from the data lines that VUDER leaves free.
extern const char* const LazyBlasterEntries;
extern const char* const PowerFromDataEntries;

// The wiring of the type's cable that its detection answered with verdict (0,
// or a cable without a wiring of its own: the row's), RESET by its level while
// the target runs. The type must have a row.
PinMap builtinPinMap(AdapterType type, int verdict = 0);

// Complete the map for the frequency when the row has a clock line: XTAL on it
// when the adapter clocks the chip (0 Hz), otherwise held low with the buffer enable.
void completeForClock(PinMap& map, AdapterType type, uint32_t oscillatorHz);

// Add the modifier's entries to the map.
void applyLazyBlaster(PinMap& map);
void applyPowerFromData(PinMap& map);

}  // namespace mervex
