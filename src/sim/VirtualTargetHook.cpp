#include "sim/VirtualTargetHook.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "console/Console.h"
#include "console/Errors.h"
#include "sim/VirtualGpioChip.h"
#include "sim/VirtualPort.h"
#include "sim/VirtualTargetFile.h"

namespace mervex {

bool isVirtualTargetFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char line[64] = {};
    size_t n = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    // A file cut inside the first line is a target too, to be refused as cut short.
    const std::string magic = VirtualTargetMagic;
    return hasVirtualTargetHeader(std::string(line, n)) || (n > 0 && n < magic.size() && magic.compare(0, n, line, n) == 0);
}

bool isVirtualGpioTarget(const std::string& path) {
    if (!isVirtualTargetFile(path)) return false;
    // A file that does not parse is no GPIO target: opened as a port, it is refused with its reasons.
    try {
        const std::string cable = loadVirtualTarget(path)->cable;
        return strncasecmp(cable.c_str(), "gpio", 4) == 0;
    } catch (const app_error&) {
        return false;
    }
}

namespace {

std::unique_ptr<VirtualPort> openTargetPort(const std::string& path, TargetClock clock) {
    // The run's result is saved through a new file in the same directory. A
    // target that could not be saved (a read-only file or directory) is refused
    // before it is touched, as a port the user may not write is.
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    for (const std::string& place : {path, directory}) {
        if (::access(place.c_str(), W_OK) != 0) {
            throw rtl_error(ExitSystem, "Can't open virtual target '%s' for writing\n", path.c_str());
        }
    }
    // Held from here to the end of the run: one run per target, as per port.
    LockedFile file = holdVirtualTarget(path);
    auto target = loadVirtualTarget(file, path);
    return std::make_unique<VirtualPort>(std::move(target), clock, path, std::move(file));
}

}  // namespace

std::unique_ptr<ParallelPort> openVirtualPort(const std::string& path, TargetClock clock) {
    return openTargetPort(path, clock);
}

std::unique_ptr<GpioIo> openVirtualGpioChip(const std::string& path, TargetClock clock) {
#ifdef MERVEX_HAVE_GPIO
    return std::make_unique<VirtualGpioChip>(openTargetPort(path, clock), path);
#else
    (void)clock;
    throw app_error(ExitSystem, "Virtual target '%s' is on a GPIO chip: this system has no GPIO character device\n",
                    path.c_str());
#endif
}

}  // namespace mervex
