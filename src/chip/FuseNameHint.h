#pragma once
// What follows a fuse name that the chip does not know: the chip's own fuse
// names, the closest to the one typed first, and how whole bytes are named.
#include <string>

#include "chip/ChipDescriptor.h"

namespace mervex {

void hintFuseNames(const ChipDescriptor& chip, const std::string& typed);

}  // namespace mervex
