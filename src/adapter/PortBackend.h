#pragma once
// A kind of port served by something other than a port device, such as the
// virtual target. The program's entry hands its backends down to the port
// factory, so the adapter layer knows nothing of what serves them.
#include <memory>
#include <string>
#include <vector>

#include "adapter/GpioIo.h"
#include "adapter/ParallelPort.h"

namespace mervex {

class PortBackend {
public:
    virtual ~PortBackend() = default;

    // True when path names a port of this kind.
    virtual bool serves(const std::string& path) const = 0;

    // Open the port at path; a failure is thrown (status 70).
    virtual std::unique_ptr<ParallelPort> open(const std::string& path) const = 0;

    // True when path names a GPIO chip of this kind (a virtual target wired
    // to GPIO lines); serves(path) is then true as well.
    virtual bool servesGpio(const std::string& /*path*/) const { return false; }
    // Open that chip: calls that answer as the kernel's would. A failure is thrown (status 70).
    virtual std::unique_ptr<GpioIo> openGpio(const std::string& /*path*/) const { return nullptr; }
};

// The backends a run may open, asked in order; none owned.
using PortBackends = std::vector<const PortBackend*>;

}  // namespace mervex
