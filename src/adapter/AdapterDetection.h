#pragma once
// Loop-back detection of the built-in cables, working directly on the port:
// one routine that runs the probes of a cable table row, letting the lines
// settle on the given clock.
#include <string>

#include "adapter/BuiltinCables.h"
#include "adapter/ParallelPort.h"
#include "console/Stopwatch.h"

namespace mervex {

// The verdict of the row's detection: 0 when none of its cables answers, else
// the verdict of the cable that answered (of several, or-ed: STK*00). Prints
// the verdict line (debug level). A decisive match may leave the registers set
// for the adapter to start from (ByteBlaster-II: control 0x0B, data 0x00).
int detectCable(ParallelPort& port, const BuiltinCable& row, Clock& clock);

// A cable found by its loop-backs; no row: none answered.
struct FoundCable {
    const BuiltinCable* row = nullptr;
    int verdict = 0;
};

// The first row, in the order -aa tries them, whose detection answers.
FoundCable findCable(ParallelPort& port, Clock& clock);

// findCable for a look that changes nothing: the data and control registers
// are given back as they were found, so no buffer is left enabled.
FoundCable probeCables(ParallelPort& port, Clock& clock);

// How the verdict line names what the row's detection found: "ByteBlasterMV".
std::string verdictName(const BuiltinCable& row, int verdict);

}  // namespace mervex
