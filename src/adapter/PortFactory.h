#pragma once
// The one place that turns the -p text into an open parallel port.
#include <memory>
#include <optional>
#include <string>

#include "adapter/ParallelPort.h"
#include "adapter/PortBackend.h"
#include "adapter/PortIo.h"
#include "console/Stopwatch.h"

namespace mervex {

// Select and open the port named by the -p text; absent means port number 2.
// Port numbers and base addresses are reported and refused (no direct register
// access); a text containing "/", or naming an existing file, is a path: a
// port one of the backends serves, or a device.
// A device port measures its cycle time on clock. Refusals print and throw
// app_error (status 70); open failures rtl_error.
std::unique_ptr<ParallelPort> openPort(const std::optional<std::string>& portSpec, const PortBackends& backends,
                                       Clock& clock, PortIo& io = systemPortIo());

// True when text names a port one of the backends serves, a device, or any GPIO
// chip ("gpio", unless a file has that name): what -p takes.
bool namesPort(const std::string& text, const PortBackends& backends);

// Open a device path: claimed through ppdev where the system has it and the
// device answers, otherwise driven with the ppi requests.
std::unique_ptr<ParallelPort> openDevicePort(const std::string& path, Clock& clock, PortIo& io = systemPortIo());

}  // namespace mervex
