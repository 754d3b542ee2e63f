#pragma once
// The parallel port as the adapter sees it: three registers, a fast series of
// data writes, and the measured cost of one data write.
#include <cstddef>
#include <cstdint>

namespace mervex {

enum class PortRegister : int { Data = 0, Status = 1, Control = 2 };

class ParallelPort {
public:
    virtual ~ParallelPort() = default;

    // Read one register; an unknown register issues no request.
    virtual uint8_t readRegister(PortRegister reg) = 0;
    // Write one register; status writes and unknown registers are ignored.
    virtual void writeRegister(PortRegister reg, uint8_t value) = 0;
    // Write the data register with each value in order, back to back.
    virtual void writeDataSequence(const uint8_t* values, size_t count) = 0;
    // Make what has been done through the port durable, before the run reports
    // its result. A device has nothing to keep; a port that keeps a virtual
    // target in a file saves it. A failure is thrown (app_error).
    virtual void flush() {}

    // Microseconds per data-register write, fixed when the port was opened.
    double cycleTime() const { return cycleTime_; }
    // True if control bit 5 can switch the data lines to input (high impedance).
    bool canControlDirection() const { return canControlDirection_; }

protected:
    double cycleTime_ = 0.2;
    bool canControlDirection_ = false;
};

}  // namespace mervex
