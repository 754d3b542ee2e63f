#pragma once
// The system calls behind a port device, behind an interface so that tests can
// watch the request traffic without hardware.
#include <string>

#include "adapter/PortSurvey.h"

namespace mervex {

class PortIo {
public:
    virtual ~PortIo() = default;

    // open(2): a descriptor, or -1 with errno set.
    virtual int open(const char* path, int flags) = 0;
    // ioctl(2) with one pointer argument: 0 or more on success, -1 with errno set.
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    // close(2).
    virtual int close(int fd) = 0;
    // Where the hints after a port that cannot be opened look for the system's ports.
    virtual PortSurvey portSurvey() const { return PortSurvey::ofThisSystem(); }
};

// The real system calls.
PortIo& systemPortIo();

// One open device descriptor, closed when the owner goes away.
class PortDescriptor {
public:
    PortDescriptor() = default;
    PortDescriptor(PortIo& io, int fd) : io_(&io), fd_(fd) {}
    PortDescriptor(PortDescriptor&& other) noexcept : io_(other.io_), fd_(other.fd_) { other.fd_ = -1; }
    PortDescriptor& operator=(PortDescriptor&& other) noexcept;
    PortDescriptor(const PortDescriptor&) = delete;
    PortDescriptor& operator=(const PortDescriptor&) = delete;
    ~PortDescriptor() { reset(); }

    // Open path read-write, without waiting (a FIFO, a terminal, a port another
    // process holds) and without becoming the controlling terminal. A failure
    // throws rtl_error (status 70): "Can't open parport device", then the
    // system's ports (portHints).
    static PortDescriptor openDevice(PortIo& io, const std::string& path);

    // The descriptor, -1 when none.
    int fd() const { return fd_; }
    PortIo& io() const { return *io_; }
    // Issue one request; the result and errno are those of the call.
    int request(unsigned long code, void* arg) const { return io_->ioctl(fd_, code, arg); }
    // Close the descriptor now, if one is open.
    void reset();

private:
    PortIo* io_ = nullptr;
    int fd_ = -1;
};

// Refuse a path that opens but is no port: "`%s' is not a parallel port or
// virtual target (%s)\n" with the reason, and app_error (status 70).
[[noreturn]] void refuseNonPort(const std::string& path, const std::string& reason);

}  // namespace mervex
