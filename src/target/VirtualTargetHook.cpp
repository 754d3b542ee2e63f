#include "target/VirtualTargetHook.h"

namespace mervex {

// Placeholder until the virtual target exists: no path is a virtual target.
bool isVirtualTargetFile(const std::string&) { return false; }

std::unique_ptr<ParallelPort> openVirtualPort(const std::string&) { return nullptr; }

}  // namespace mervex
