#pragma once
// The FreeBSD ppi(4) parallel-port device, driven with its ioctl requests.
#include <string>

#include "adapter/ParallelPort.h"
#include "adapter/PortIo.h"
#include "console/Stopwatch.h"

namespace mervex {

// The ppi(4) requests, each with a one-byte argument passed by address.
extern const unsigned long PpiGetData;     // PPIGDATA
extern const unsigned long PpiGetStatus;   // PPIGSTATUS
extern const unsigned long PpiGetControl;  // PPIGCTRL
extern const unsigned long PpiSetData;     // PPISDATA
extern const unsigned long PpiSetControl;  // PPISCTRL

class PpiPort final : public ParallelPort {
public:
    // Open the device, report it and measure the write cycle on clock; an open
    // failure throws rtl_error (ExitSystem), a device that refuses the status
    // request is no port (refuseNonPort).
    PpiPort(const std::string& path, Clock& clock, PortIo& io = systemPortIo());
    // Take over a descriptor that is already open on path, report it and measure.
    PpiPort(PortDescriptor descriptor, const std::string& path, Clock& clock);

    uint8_t readRegister(PortRegister reg) override;
    void writeRegister(PortRegister reg, uint8_t value) override;
    void writeDataSequence(const uint8_t* values, size_t count) override;

    // The open descriptor, -1 when none.
    int fd() const { return descriptor_.fd(); }

private:
    void activate(const std::string& path, Clock& clock);

    PortDescriptor descriptor_;
};

}  // namespace mervex
