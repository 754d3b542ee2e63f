#pragma once
// A virtual target on a GPIO chip: the kernel's GPIO character device
// requests (uAPI v2) answered for a chip of 54 lines named GPIO0..GPIO53,
// whose wired lines reach the simulated chip through the target's port model,
// so the modelled time, the counters and the file are those of any target.
#include <memory>
#include <string>
#include <vector>

#include "adapter/GpioIo.h"
#include "sim/VirtualPort.h"

#ifdef MERVEX_HAVE_GPIO

namespace mervex {

class VirtualGpioChip final : public GpioIo {
public:
    // The target behind the chip at path; its cable must be a GPIO cable.
    explicit VirtualGpioChip(std::unique_ptr<VirtualPort> port, std::string path);

    int open(const char* path, int flags) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    int close(int fd) override;
    std::vector<std::string> chipPaths() override { return {path_}; }
    double knownUpdateCycle() const override { return port_->cycleTime(); }
    void flush() override { port_->flush(); }

private:
    int chipRequest(unsigned long request, void* arg);
    int lineRequest(unsigned long request, void* arg);
    // The line's level as the chip's pins see it (before the kernel's inversion).
    bool lineLevel(uint32_t offset, uint8_t status) const;
    void drive(uint64_t mask, uint64_t bits);

    std::unique_ptr<VirtualPort> port_;
    std::string path_;
    const GpioCableWiring& wiring_;
    int openChips_ = 0;
    bool requested_ = false;
    // The request: offsets, directions, inversions, in request order.
    std::vector<uint32_t> offsets_;
    uint64_t outputs_ = 0;
    uint64_t activeLow_ = 0;
    uint8_t data_ = 0;  // the port model's data lines, as the line levels drive them
};

}  // namespace mervex

#endif
