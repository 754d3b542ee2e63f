#pragma once
// Loop-back detection of the buffered adapters, working directly on the port.
#include "adapter/ParallelPort.h"

namespace mervex {

enum class ByteBlasterVariant : int { None = 0, ByteBlaster = 1, ByteBlasterMV = 2, ByteBlasterII = 3 };

// True if an STK200 or STK300 answers; prints the verdict (debug level).
bool detectStk(ParallelPort& port);

// The ByteBlaster variant that answers, or None; prints the verdict (debug level).
// A ByteBlaster-II is left with control 0x0B and data 0x00.
ByteBlasterVariant detectByteBlaster(ParallelPort& port);

}  // namespace mervex
