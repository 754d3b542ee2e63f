#pragma once
// The fuse list of the command line, such as "CKSEL=F,BOOTRST=ON,_HIGH=D9".
#include <cstddef>

#include "chip/ChipState.h"

namespace mervex {

// Longest list item accepted.
constexpr size_t FuseItemMaxLength = 64;

// Parse the fuse list against the chip's fuse set into the known and requested
// masks and values. An absent list changes nothing; any error (also no chip:
// the all-zero end row) is reported and fails with status 70.
void parseFuseRequest(FuseValues& fuses, const ChipDescriptor& chip, const char* text);

// Whole fuse bytes, as from a firmware file: the bits of `mask` of each byte are
// requested with the bits of `value`, except where the fuse list already names
// them. Counts as a fuse list given. A byte the chip has no fuses in: the
// message and status 70.
void addFuseBytes(FuseValues& fuses, const ChipDescriptor& chip, const uint8_t (&value)[FuseBytes],
                  const uint8_t (&mask)[FuseBytes]);

}  // namespace mervex
