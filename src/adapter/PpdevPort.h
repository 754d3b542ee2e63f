#pragma once
// The Linux ppdev parallel-port device (/dev/parportN).
#include <string>

#include "adapter/ParallelPort.h"
#include "adapter/PortIo.h"
#include "console/Stopwatch.h"

#if defined(__linux__) && __has_include(<linux/ppdev.h>)
#define MERVEX_HAVE_PPDEV 1

namespace mervex {

// Claim the port behind an open descriptor, for this process alone. False: the
// device is not a ppdev device (the claim was refused as an unknown request).
// Any other refusal, such as another driver or program holding the port, is
// printed with what frees it and thrown (rtl_error, status 70).
bool claimPpdev(const PortDescriptor& descriptor, const std::string& path);

class PpdevPort final : public ParallelPort {
public:
    // Take over a descriptor on which claimPpdev succeeded; report it and measure
    // the write cycle on clock.
    PpdevPort(PortDescriptor claimed, const std::string& path, Clock& clock);
    // Release the claim, then close the device.
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    uint8_t readRegister(PortRegister reg) override;
    void writeRegister(PortRegister reg, uint8_t value) override;
    void writeDataSequence(const uint8_t* values, size_t count) override;

private:
    void setDataInput(bool input);

    PortDescriptor descriptor_;
    bool dataInput_ = false;  // the data lines are inputs (control bit 5)
};

}  // namespace mervex

#endif
