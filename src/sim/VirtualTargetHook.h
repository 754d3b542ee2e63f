#pragma once
// The two entry points through which the port selection reaches the virtual
// target, so that the adapter code needs nothing else from it.
#include <memory>
#include <string>

#include "adapter/ParallelPort.h"

namespace mervex {

// True if path names a regular file whose content begins with the virtual
// target header line, or is a beginning of it (a target file cut short).
bool isVirtualTargetFile(const std::string& path);

// Open the virtual target stored at path as a parallel port; a failure is printed and
// thrown (app_error or rtl_error, status 70). The port's register operations never throw.
std::unique_ptr<ParallelPort> openVirtualPort(const std::string& path);

}  // namespace mervex
