#pragma once
// The hint that follows a fuse name the chip does not know: the chip's own fuse
// names, the closest to the one typed first, and how whole bytes are named.
#include <string>

#include "chip/ChipDescriptor.h"

namespace mervex {

std::string fuseNamesHint(const ChipDescriptor& chip, const std::string& typed);

}  // namespace mervex
