#pragma once
// A GPIO chip of the Linux character device interface (uAPI v2): its lines'
// names and users, and the request of lines, which the kernel holds for us
// until the request's descriptor is closed.
#include <cstdint>
#include <string>
#include <vector>

#include "adapter/GpioIo.h"

namespace mervex {

// What the kernel says of one line.
struct GpioLineInfo {
    std::string name;
    std::string consumer;
    bool used = false;  // requested by a program or a driver
};

class GpioChip {
public:
    // Open the chip device and read its size. A failed open is thrown
    // (rtl_error, status 70) with what grants access when access is refused;
    // a device that is no GPIO chip is thrown (app_error, 70).
    GpioChip(GpioIo& io, const std::string& path);

    const std::string& path() const { return path_; }
    uint32_t lineCount() const { return lineCount_; }
    // The line at offset; a kernel without the v2 interface is thrown (app_error, 70).
    GpioLineInfo lineInfo(uint32_t offset) const;
    // Issue a request on the chip's descriptor; the result and errno are those of the call.
    int descriptorRequest(unsigned long code, void* arg) const { return descriptor_.request(code, arg); }
    GpioIo& io() const { return io_; }

private:
    GpioIo& io_;
    std::string path_;
    PortDescriptor descriptor_;
    uint32_t lineCount_ = 0;
};

// One line of a request.
struct GpioLineSetting {
    uint32_t offset = 0;
    bool output = false;
    bool activeLow = false;  // the kernel inverts the line: value 1 is its low level
    bool initial = false;    // an output's first value
};

// Lines requested from a chip for the consumer "mervex", in the order given;
// bit i of the value masks is line i. Closing the request releases them.
class GpioLineRequest {
public:
    // A line another user holds is thrown naming that user; any other refusal
    // as rtl_error (status 70).
    GpioLineRequest(const GpioChip& chip, const std::vector<GpioLineSetting>& lines);

    // Drive the lines of mask to their bits. Unchecked, as the bit loop's port writes are.
    void set(uint64_t mask, uint64_t bits) const;
    // The values of the lines of mask; 0 where the kernel refuses.
    uint64_t get(uint64_t mask) const;

private:
    PortDescriptor descriptor_;
};

}  // namespace mervex
