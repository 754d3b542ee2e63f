#pragma once
// The built-in table of supported AVR chips. Most code needs only the row type
// and the lookups (chip/ChipDescriptor.h); this header is for the code that
// walks the rows itself.
#include "chip/ChipDescriptor.h"

namespace mervex {

// Number of chip rows; chipTable has one more, all zero, that ends it.
constexpr int ChipTableRows = 134;
extern const ChipDescriptor chipTable[ChipTableRows + 1];

}  // namespace mervex
