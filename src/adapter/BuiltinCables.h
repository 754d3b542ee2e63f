#pragma once
// The cables the program knows without a pin map, one row each: the -a letter
// that selects it, its help line, its wiring, and the cables built to it with
// the loop-backs by which the detection recognises them. Adapter set-up, the
// -a switch, the help, the detections and the simulated cables all read it.
#include <cstddef>
#include <cstdint>

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
};

// The rows, in the order of the help.
extern const BuiltinCable builtinCables[];
extern const size_t BuiltinCableCount;

// The row of the adapter type, or nullptr (automatic choice, user map).
const BuiltinCable* builtinCable(AdapterType type);

// The row of the -a letter (case-insensitive; '\0' the default), or nullptr.
const BuiltinCable* builtinCableOfLetter(char letter);

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
