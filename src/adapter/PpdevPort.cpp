#include "adapter/PpdevPort.h"

#ifdef MERVEX_HAVE_PPDEV

#include <sys/ioctl.h>
#include <linux/ppdev.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "adapter/PortCycleTime.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

constexpr uint8_t DirectionBit = 0x20;

}  // namespace

bool claimPpdev(const PortDescriptor& descriptor, const std::string& path) {
    // Exclusive, so that no other program or driver (the printer driver lp)
    // can reach the port during the run, and a port that one of them holds is
    // refused at once rather than waited for.
    if (descriptor.request(PPEXCL, nullptr) != 0 && (errno == ENOTTY || errno == EINVAL)) return false;
    if (descriptor.request(PPCLAIM, nullptr) == 0) return true;
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) return false;
    std::string text = std::strerror(error);
    const std::string freeing =
        "'rmmod lp' frees it from the printer driver, 'fuser -v " + path + "' names a program that holds it";
    if (error == EBUSY) text += " (the port is in use by another driver or program: " + freeing + ")";
    // ENXIO comes from a device node with no port behind it as well as from an
    // exclusive claim that another user of the port refuses.
    if (error == ENXIO)
        text += " (no port behind the device, or the port in use by another driver or program: the kernel log "
                "(dmesg) says which; " + freeing + ")";
    if (error == EACCES || error == EPERM) text += " (no permission to use the port)";
    throw app_error(ExitSystem, "Can't claim parport device `%s'\n", path.c_str()).then(LevelError, text + "\n");
}

PpdevPort::PpdevPort(PortDescriptor claimed, const std::string& path, Clock& clock)
    : descriptor_(std::move(claimed)) {
    // Start from a known direction: the data lines drive.
    int forward = 0;
    descriptor_.request(PPDATADIR, &forward);
    message(LevelDebug, "Parallel port `%s' found, ioctl interface activated\n", path.c_str());
    canControlDirection_ = true;
    cycleTime_ = measureCycleTime(*this, clock);
}

PpdevPort::~PpdevPort() {
    // The claim goes before the descriptor closes; nothing can be done if it fails.
    if (descriptor_.fd() >= 0) descriptor_.request(PPRELEASE, nullptr);
}

// Request results are not checked, as with the ppi device: a failed read returns 0.
uint8_t PpdevPort::readRegister(PortRegister reg) {
    unsigned char value = 0;
    switch (reg) {
    case PortRegister::Data: descriptor_.request(PPRDATA, &value); break;
    case PortRegister::Status: descriptor_.request(PPRSTATUS, &value); break;
    case PortRegister::Control:
        // The driver reports only bits 0-3; the direction bit is ours to remember.
        descriptor_.request(PPRCONTROL, &value);
        value = (value & 0x0F) | (dataInput_ ? DirectionBit : 0);
        break;
    }
    return value;
}

void PpdevPort::writeRegister(PortRegister reg, uint8_t value) {
    switch (reg) {
    case PortRegister::Data: {
        unsigned char data = value;
        descriptor_.request(PPWDATA, &data);
        break;
    }
    case PortRegister::Control: {
        unsigned char control = value & 0x0F;
        descriptor_.request(PPWCONTROL, &control);
        bool input = (value & DirectionBit) != 0;
        if (input != dataInput_) setDataInput(input);
        break;
    }
    case PortRegister::Status: break;
    }
}

void PpdevPort::writeDataSequence(const uint8_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        unsigned char data = values[i];
        descriptor_.request(PPWDATA, &data);
    }
}

void PpdevPort::setDataInput(bool input) {
    int direction = input ? 1 : 0;
    descriptor_.request(PPDATADIR, &direction);
    dataInput_ = input;
}

}  // namespace mervex

#endif
