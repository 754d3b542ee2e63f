#pragma once
// A GpioIo test double: a kernel with GPIO chips of named lines, some held by
// other users. It records every line request and value update, answers MISO
// from a script, counts the descriptors left open, and can refuse the open,
// the v2 requests (an older kernel) or the line request.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "adapter/GpioIo.h"
#include "support/ManualClock.h"

#ifdef MERVEX_HAVE_GPIO
#include <linux/gpio.h>

namespace mervex::test {

struct FakeGpioChip {
    std::string path;
    std::vector<std::string> names;    // the kernel's line names; the size is the chip's
    std::vector<std::string> holders;  // per line: the user that holds it, "" for none
};

// A chip of count lines named GPIO0, GPIO1 ...
inline FakeGpioChip namedChip(const std::string& path, unsigned count) {
    FakeGpioChip chip{path, {}, std::vector<std::string>(count)};
    for (unsigned i = 0; i < count; ++i) chip.names.push_back("GPIO" + std::to_string(i));
    return chip;
}

class FakeGpioIo : public GpioIo {
public:
    static constexpr int LinesFd = 99;

    int open(const char* path, int) override {
        if (openErrno != 0) return fail(openErrno);
        for (size_t i = 0; i < chips.size(); ++i)
            if (chips[i].path == path) {
                ++openDescriptors;
                return int(i) + 10;
            }
        return fail(ENOENT);
    }

    int ioctl(int fd, unsigned long request, void* arg) override {
        if (fd == LinesFd) return lineRequest(request, arg);
        const size_t index = size_t(fd - 10);
        if (index >= chips.size()) return fail(EBADF);
        const FakeGpioChip& chip = chips[index];
        if (request == GPIO_GET_CHIPINFO_IOCTL) {
            if (notAChip) return fail(ENOTTY);
            gpiochip_info& info = *static_cast<gpiochip_info*>(arg);
            std::snprintf(info.label, sizeof info.label, "fake");
            info.lines = uint32_t(chip.names.size());
            return 0;
        }
        if (request == GPIO_V2_GET_LINEINFO_IOCTL) {
            if (noVersion2) return fail(EINVAL);
            gpio_v2_line_info& info = *static_cast<gpio_v2_line_info*>(arg);
            if (info.offset >= chip.names.size()) return fail(EINVAL);
            std::snprintf(info.name, sizeof info.name, "%s", chip.names[info.offset].c_str());
            std::snprintf(info.consumer, sizeof info.consumer, "%s", chip.holders[info.offset].c_str());
            info.flags = chip.holders[info.offset].empty() ? 0 : GPIO_V2_LINE_FLAG_USED;
            return 0;
        }
        if (request == GPIO_V2_GET_LINE_IOCTL) {
            if (noVersion2) return fail(ENOTTY);
            if (requestErrno != 0) return fail(requestErrno);
            gpio_v2_line_request& lines = *static_cast<gpio_v2_line_request*>(arg);
            requested.push_back(lines);
            requestedChip = chip.path;
            lines.fd = LinesFd;
            ++openDescriptors;
            return 0;
        }
        return fail(ENOTTY);
    }

    int close(int fd) override {
        --openDescriptors;
        if (fd == LinesFd) traffic += 'C';
        return 0;
    }

    std::vector<std::string> chipPaths() override {
        std::vector<std::string> paths;
        for (const FakeGpioChip& chip : chips) paths.push_back(chip.path);
        return paths;
    }
    double knownUpdateCycle() const override { return cycleUs; }

    // The request's flags of line i: those of the last attribute naming it, else the request's.
    static uint64_t flagsOf(const gpio_v2_line_request& r, size_t i) {
        uint64_t flags = r.config.flags;
        for (uint32_t a = 0; a < r.config.num_attrs; ++a)
            if (r.config.attrs[a].attr.id == GPIO_V2_LINE_ATTR_ID_FLAGS && (r.config.attrs[a].mask >> i & 1))
                flags = r.config.attrs[a].attr.flags;
        return flags;
    }
    // The outputs' first values of the request.
    static uint64_t initialValues(const gpio_v2_line_request& r) {
        uint64_t values = 0;
        for (uint32_t a = 0; a < r.config.num_attrs; ++a)
            if (r.config.attrs[a].attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES)
                values |= r.config.attrs[a].attr.values & r.config.attrs[a].mask;
        return values;
    }

    std::vector<FakeGpioChip> chips;
    int openErrno = 0;
    int requestErrno = 0;
    bool notAChip = false;
    bool noVersion2 = false;
    double cycleUs = 1.0;  // 0: the adapter measures
    ManualClock* clock = nullptr;  // when set, each update takes a microsecond
    int openDescriptors = 0;
    std::vector<gpio_v2_line_request> requested;
    std::string requestedChip;
    std::vector<gpio_v2_line_values> updates;  // SET_VALUES in order
    std::vector<int64_t> updateTimes;          // the clock's time at each update
    size_t reads = 0;
    std::deque<bool> misoScript;  // GET_VALUES answers: every asked line at this level
    // What happened, in order: 'S' an update, 'G' a read, 'C' the lines released.
    std::string traffic;

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }

    int lineRequest(unsigned long request, void* arg) {
        gpio_v2_line_values& values = *static_cast<gpio_v2_line_values*>(arg);
        if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
            updates.push_back(values);
            traffic += 'S';
            if (clock) {
                updateTimes.push_back(clock->nowUs());
                clock->advanceUs(1);
            }
            return 0;
        }
        if (request != GPIO_V2_LINE_GET_VALUES_IOCTL) return fail(ENOTTY);
        ++reads;
        traffic += 'G';
        bool level = false;
        if (!misoScript.empty()) {
            level = misoScript.front();
            misoScript.pop_front();
        }
        values.bits = level ? values.mask : 0;
        return 0;
    }
};

}  // namespace mervex::test

#endif
