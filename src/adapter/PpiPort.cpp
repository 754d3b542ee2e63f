#include "adapter/PpiPort.h"

#include <utility>

#include "adapter/PortCycleTime.h"
#include "console/Console.h"

#if __has_include(<dev/ppbus/ppi.h>)
#include <sys/ioctl.h>
#include <dev/ppbus/ppi.h>
#define MERVEX_SYSTEM_PPI 1
#endif

namespace mervex {

#ifdef MERVEX_SYSTEM_PPI
const unsigned long PpiGetData = PPIGDATA;
const unsigned long PpiGetStatus = PPIGSTATUS;
const unsigned long PpiGetControl = PPIGCTRL;
const unsigned long PpiSetData = PPISDATA;
const unsigned long PpiSetControl = PPISCTRL;
#else
// The same encodings where the system has no ppi header: direction, size 1, group 'P', number.
const unsigned long PpiGetData = 0x4001500A;
const unsigned long PpiGetStatus = 0x4001500B;
const unsigned long PpiGetControl = 0x4001500C;
const unsigned long PpiSetData = 0x80015010;
const unsigned long PpiSetControl = 0x80015012;
#endif

PpiPort::PpiPort(const std::string& path, Clock& clock, PortIo& io)
    : descriptor_(PortDescriptor::openDevice(io, path)) {
    activate(path, clock);
}

PpiPort::PpiPort(PortDescriptor descriptor, const std::string& path, Clock& clock)
    : descriptor_(std::move(descriptor)) {
    activate(path, clock);
}

void PpiPort::activate(const std::string& path, Clock& clock) {
    // A path that opens but is no port (/dev/null, a terminal) fails every
    // request; say so now rather than after a whole connection attempt.
    uint8_t status = 0;
    if (descriptor_.request(PpiGetStatus, &status) != 0)
        refuseNonPort(path, "the device answers no parallel port request");
    message(LevelDebug, "Parallel port `%s' found, ioctl interface activated\n", path.c_str());
    // ppi never switches the data direction: its control writes keep bits 0-3 only.
    canControlDirection_ = false;
    cycleTime_ = measureCycleTime(*this, clock);
}

// The requests' results are not checked: the adapter has no way to recover
// from a failing register access, and a failed read returns 0.
uint8_t PpiPort::readRegister(PortRegister reg) {
    uint8_t value = 0;
    switch (reg) {
    case PortRegister::Data: descriptor_.request(PpiGetData, &value); break;
    case PortRegister::Status: descriptor_.request(PpiGetStatus, &value); break;
    case PortRegister::Control: descriptor_.request(PpiGetControl, &value); break;
    }
    return value;
}

void PpiPort::writeRegister(PortRegister reg, uint8_t value) {
    switch (reg) {
    case PortRegister::Data: descriptor_.request(PpiSetData, &value); break;
    case PortRegister::Control: {
        uint8_t control = uint8_t(value & 0x0F);
        descriptor_.request(PpiSetControl, &control);
        break;
    }
    case PortRegister::Status: break;
    }
}

void PpiPort::writeDataSequence(const uint8_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint8_t value = values[i];
        descriptor_.request(PpiSetData, &value);
    }
}

}  // namespace mervex
