#pragma once
// A PortIo test double: records open/ioctl/close, models the data and control
// registers behind both the ppi and the ppdev requests, answers status reads
// from a cable model, can refuse the open or the ppdev claim, and can answer no
// request at all, as a device that is no port.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "adapter/PortIo.h"
#include "adapter/PpdevPort.h"
#include "adapter/PpiPort.h"
#include "support/ManualClock.h"

#ifdef MERVEX_HAVE_PPDEV
#include <sys/ioctl.h>
#include <linux/ppdev.h>
#endif

namespace mervex::test {

struct IoCall {
    enum Kind { Open, Ioctl, Close } kind;
    unsigned long request;
    int value;  // the byte or int written, or the value answered; -1 without argument
};

class FakePortIo : public PortIo {
public:
    static constexpr int Fd = 7;

    int open(const char* path, int flags) override {
        calls.push_back({IoCall::Open, 0, flags});
        openedPath = path;
        if (openErrno != 0) {
            errno = openErrno;
            return -1;
        }
        return Fd;
    }

    int ioctl(int fd, unsigned long request, void* arg) override {
        if (fd != Fd) {
            errno = EBADF;
            return -1;
        }
        uint8_t* byte = static_cast<uint8_t*>(arg);
        if (notAPort) {
            calls.push_back({IoCall::Ioctl, request, -1});
            errno = ENOTTY;
            return -1;
        }
        if (request == PpiGetData) return answer(request, byte, data);
        if (request == PpiGetStatus) return answer(request, byte, currentStatus());
        if (request == PpiGetControl) return answer(request, byte, control);
        if (request == PpiSetData) return writeData(request, *byte);
        if (request == PpiSetControl) return writeControl(request, *byte);
#ifdef MERVEX_HAVE_PPDEV
        if (request == PPEXCL) {
            calls.push_back({IoCall::Ioctl, request, -1});
            // A device that is no ppdev device refuses every ppdev request.
            if (claimErrno == ENOTTY || claimErrno == EINVAL) {
                errno = claimErrno;
                return -1;
            }
            return 0;
        }
        if (request == PPCLAIM) {
            calls.push_back({IoCall::Ioctl, request, -1});
            if (claimErrno != 0) {
                errno = claimErrno;
                return -1;
            }
            return 0;
        }
        if (request == PPRELEASE) {
            calls.push_back({IoCall::Ioctl, request, -1});
            return 0;
        }
        if (request == PPRDATA) return answer(request, byte, data);
        if (request == PPRSTATUS) return answer(request, byte, currentStatus());
        if (request == PPRCONTROL) return answer(request, byte, uint8_t(control & 0x0F));
        if (request == PPWDATA) return writeData(request, *byte);
        if (request == PPWCONTROL) return writeControl(request, *byte);
        if (request == PPDATADIR) {
            int direction = *static_cast<int*>(arg);
            calls.push_back({IoCall::Ioctl, request, direction});
            return 0;
        }
#endif
        calls.push_back({IoCall::Ioctl, request, -1});
        errno = ENOTTY;
        return -1;
    }

    int close(int fd) override {
        calls.push_back({IoCall::Close, 0, fd});
        return 0;
    }

    PortSurvey portSurvey() const override { return survey; }

    // The calls with this request, in order.
    std::vector<IoCall> callsOf(unsigned long request) const {
        std::vector<IoCall> found;
        for (const IoCall& c : calls)
            if (c.kind == IoCall::Ioctl && c.request == request) found.push_back(c);
        return found;
    }
    size_t countOf(IoCall::Kind kind) const {
        size_t n = 0;
        for (const IoCall& c : calls) n += c.kind == kind ? 1 : 0;
        return n;
    }

    int openErrno = 0;
    int claimErrno = ENOTTY;  // the default device is not a ppdev device
    bool notAPort = false;    // every request fails, as on /dev/null
    uint8_t data = 0;
    uint8_t control = 0;
    uint8_t status = 0;
    std::function<uint8_t(uint8_t data, uint8_t control)> statusFor;
    ManualClock* clock = nullptr;  // when set, each data write takes usPerDataWrite
    int64_t usPerDataWrite = 1;
    std::vector<IoCall> calls;
    std::string openedPath;
    // The system the port hints survey: by default one with no port at all,
    // for a user who owns none of the tests' files and is in none of their groups.
    PortSurvey survey{MERVEX_TEST_TMP "/no-system", {::geteuid() + 1, {}, "tester"}, [](gid_t) { return "lp"; }};

private:
    uint8_t currentStatus() const { return statusFor ? statusFor(data, control) : status; }

    int answer(unsigned long request, uint8_t* byte, uint8_t value) {
        *byte = value;
        calls.push_back({IoCall::Ioctl, request, value});
        return 0;
    }
    int writeData(unsigned long request, uint8_t value) {
        data = value;
        calls.push_back({IoCall::Ioctl, request, value});
        if (clock != nullptr) clock->advanceUs(usPerDataWrite);
        return 0;
    }
    int writeControl(unsigned long request, uint8_t value) {
        control = value;
        calls.push_back({IoCall::Ioctl, request, value});
        return 0;
    }
};

}  // namespace mervex::test
