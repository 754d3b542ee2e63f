#include "adapter/PortIo.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

class SystemPortIo : public PortIo {
public:
    int open(const char* path, int flags) override { return ::open(path, flags); }
    int ioctl(int fd, unsigned long request, void* arg) override { return ::ioctl(fd, request, arg); }
    int close(int fd) override { return ::close(fd); }
};

}  // namespace

PortIo& systemPortIo() {
    static SystemPortIo io;
    return io;
}

PortDescriptor& PortDescriptor::operator=(PortDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        io_ = other.io_;
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void PortDescriptor::reset() {
    if (fd_ >= 0) {
        // Nothing useful can be done about a failing close of a device we only drove.
        io_->close(fd_);
        fd_ = -1;
    }
}

PortDescriptor PortDescriptor::openDevice(PortIo& io, const std::string& path) {
    int fd = io.open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        rtl_error failure(ExitSystem, "Can't open parport device `%s'\n", path.c_str());
        for (std::string& hint : portHints(io.portSurvey(), path)) failure.then(LevelInfo, std::move(hint));
        throw failure;
    }
    return PortDescriptor(io, fd);
}

void refuseNonPort(const std::string& path, const std::string& reason) {
    throw app_error(ExitUsage, "`%s' is not a parallel port or virtual target (%s)\n", path.c_str(), reason.c_str());
}

}  // namespace mervex
