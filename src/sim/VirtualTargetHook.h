#pragma once
// The virtual target as a port backend: the program's entry hands it to the
// port selection, which then opens a target file as it opens a port device.
#include <memory>
#include <string>

#include "adapter/ParallelPort.h"
#include "adapter/PortBackend.h"
#include "sim/TargetClock.h"

namespace mervex {

// True if path names a regular file whose content begins with the virtual
// target header line, or is a beginning of it (a target file cut short).
bool isVirtualTargetFile(const std::string& path);

// Open the virtual target stored at path as a parallel port whose time runs on
// clock; a failure is thrown (app_error or rtl_error, status 70). The port's
// register operations never throw.
std::unique_ptr<ParallelPort> openVirtualPort(const std::string& path, TargetClock clock);

// True if path names a virtual target file whose cable is on a GPIO chip.
bool isVirtualGpioTarget(const std::string& path);

// Open the virtual target stored at path as a GPIO chip; failures as for openVirtualPort.
std::unique_ptr<GpioIo> openVirtualGpioChip(const std::string& path, TargetClock clock);

// The above as the backend that serves virtual target files, on one clock.
class VirtualPortBackend : public PortBackend {
public:
    explicit VirtualPortBackend(TargetClock clock) : clock_(clock) {}

    bool serves(const std::string& path) const override { return isVirtualTargetFile(path); }
    std::unique_ptr<ParallelPort> open(const std::string& path) const override {
        return openVirtualPort(path, clock_);
    }
    bool servesGpio(const std::string& path) const override { return isVirtualGpioTarget(path); }
    std::unique_ptr<GpioIo> openGpio(const std::string& path) const override {
        return openVirtualGpioChip(path, clock_);
    }

private:
    TargetClock clock_;
};

}  // namespace mervex
