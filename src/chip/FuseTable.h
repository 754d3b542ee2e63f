#pragma once
// The fuse names, fuse lists and fuse sets that rows of the device table share.
#include "chip/DeviceTable.h"

namespace mervex {

constexpr int FuseInfoCount = 40;
constexpr int FuseListCount = 46;
constexpr int FuseSetCount = 36;

// Every fuse name record.
extern const FuseInfo fuseInfoTable[FuseInfoCount];

// Every fuse list (each ended by a field without info), in order of first use.
extern const FuseDescriptor* const fuseListTable[FuseListCount];

// Every fuse set, in order of first use by the device table.
extern const FuseSet fuseSetTable[FuseSetCount];

}  // namespace mervex
