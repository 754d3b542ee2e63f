#pragma once
// The fuse names, fuse lists and fuse sets that rows of the device table share.
#include "chip/ChipDescriptor.h"

namespace mervex {

constexpr int FuseInfoCount = 42;
constexpr int FuseListCount = 48;
constexpr int FuseSetCount = 39;

// Every fuse name record.
extern const FuseInfo fuseInfoTable[FuseInfoCount];

// Every fuse list (each ended by a field without info), in order of first use.
extern const FuseDescriptor* const fuseListTable[FuseListCount];

// Every fuse set, in order of first use by the device table, later ones appended.
extern const FuseSet fuseSetTable[FuseSetCount];

}  // namespace mervex
