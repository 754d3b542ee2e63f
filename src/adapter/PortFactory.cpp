#include "adapter/PortFactory.h"

#include <sys/stat.h>

#include <utility>

#include "adapter/GpioSetup.h"
#include "adapter/PpdevPort.h"
#include "adapter/PpiPort.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

constexpr unsigned DefaultPortNumber = 2;
const unsigned portBaseAddress[] = {0x378, 0x278, 0x3BC};

#ifdef MERVEX_HAVE_PPDEV
const char* const ExampleDevice = "/dev/parport0";
#else
const char* const ExampleDevice = "/dev/ppi0";
#endif

[[noreturn]] void refusePortSpec(const PortIo& io) {
    app_error failure(ExitUsage, "Invalid value for switch -p\n");
    failure.then(LevelInfo, formatText("Hint: -p takes, in the same argument, a port device (-p%s) or a virtual "
                                       "target file (-pboard.vchip; without a slash it must exist)\n",
                                       ExampleDevice));
    for (std::string& hint : portHints(io.portSurvey(), "")) failure.then(LevelInfo, std::move(hint));
    throw failure;
}

bool isCharacterDevice(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A name without a slash is a file only when there is one: otherwise it is a
// port number or a base address.
bool existingFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISCHR(info.st_mode));
}

// Numbers name ports the way DOS did; this build reaches ports only through a
// device, so each form is reported and then refused.
[[noreturn]] void refusePortNumber(unsigned value, const PortIo& io) {
    if (value == 0 || (value > 3 && value <= 0xFF)) refusePortSpec(io);
    unsigned base = value;
    if (value <= 3) {
        message(LevelDebug, "LPT port number %d\n", int(value));
        base = portBaseAddress[value - 1];
    }
    message(LevelDebug, "LPT base address 0x%3X\n", base);
    refusePortSpec(io);
}

const PortBackend* backendServing(const std::string& path, const PortBackends& backends) {
    for (const PortBackend* backend : backends)
        if (backend->serves(path)) return backend;
    return nullptr;
}

// A port is a character device; anything else that exists is refused before it
// is opened (opening a FIFO could wait for ever). What does not exist is left
// to the open, which reports it.
void refuseIfNoDevice(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISCHR(st.st_mode)) return;
    if (S_ISREG(st.st_mode))
        refuseNonPort(path, st.st_size == 0 ? "an empty file" : "a file that is not a virtual target");
    if (S_ISDIR(st.st_mode)) refuseNonPort(path, "a directory");
    if (S_ISFIFO(st.st_mode)) refuseNonPort(path, "a FIFO");
    if (S_ISSOCK(st.st_mode)) refuseNonPort(path, "a socket");
    refuseNonPort(path, "not a character device");
}

}  // namespace

bool namesPort(const std::string& text, const PortBackends& backends) {
    return backendServing(text, backends) != nullptr || isCharacterDevice(text) ||
           (text == AnyGpioChip && !existingFile(text));
}

std::unique_ptr<ParallelPort> openDevicePort(const std::string& path, Clock& clock, PortIo& io) {
    PortDescriptor descriptor = PortDescriptor::openDevice(io, path);
#ifdef MERVEX_HAVE_PPDEV
    if (claimPpdev(descriptor, path)) return std::make_unique<PpdevPort>(std::move(descriptor), path, clock);
#endif
    return std::make_unique<PpiPort>(std::move(descriptor), path, clock);
}

std::unique_ptr<ParallelPort> openPort(const std::optional<std::string>& portSpec, const PortBackends& backends,
                                       Clock& clock, PortIo& io) {
    if (!portSpec) refusePortNumber(DefaultPortNumber, io);

    std::string text = *portSpec;
    size_t comma = text.find(',');
    if (comma != std::string::npos) {
        text.erase(comma);
        message(LevelWarning, "Forced LPT cycle time will be ignored\n");
    }

    if (text.find('/') != std::string::npos || existingFile(text)) {
        if (const PortBackend* backend = backendServing(text, backends)) return backend->open(text);
        refuseIfNoDevice(text);
        return openDevicePort(text, clock, io);
    }

    uint64_t value = 0;
    if (!parseNumber(text, strtoulSyntax(16), value)) refusePortSpec(io);
    refusePortNumber(unsigned(value), io);
}

}  // namespace mervex
