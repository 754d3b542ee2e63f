#pragma once
// The fuse list of the command line, such as "CKSEL=F,BOOTRST=ON,_HIGH=D9".
#include <cstddef>

#include "chip/ChipSession.h"

namespace mervex {

// Longest list item accepted.
constexpr size_t FuseItemMaxLength = 64;

// Parse the fuse list against the selected chip's fuse set into the known and
// requested masks and values. An absent list changes nothing; any error is
// reported and fails with status 70.
void parseFuseRequest(FuseValues& fuses, const char* text);

}  // namespace mervex
