#include "adapter/GpioChip.h"

#ifdef MERVEX_HAVE_GPIO
#include <linux/gpio.h>
#endif

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "adapter/PortSurvey.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

#ifdef MERVEX_HAVE_GPIO

namespace {

constexpr const char* Consumer = "mervex";

// The kernel's fixed-size texts may fill their array without a NUL.
std::string kernelText(const char (&text)[GPIO_MAX_NAME_SIZE]) { return std::string(text, strnlen(text, sizeof text)); }

[[noreturn]] void noVersion2(const std::string& path) {
    throw app_error(ExitSystem, "The kernel has no GPIO character device interface v2 for `%s'\n", path.c_str())
        .then(LevelInfo, "Hint: GPIO lines are driven through the interface of Linux 5.10 and later: update the kernel\n");
}

bool refusedAsUnknown(int error) { return error == ENOTTY || error == EINVAL; }

// The group to join, found as for a parallel port, and where the udev rule is.
std::string accessHint(const PortIo& io, const std::string& path) {
    return deviceAccessHint(io.portSurvey(), path).value_or("") +
           "Hint: a udev rule can give the GPIO chips to a group (README, \"GPIO header\")\n";
}

}  // namespace

GpioChip::GpioChip(GpioIo& io, const std::string& path) : io_(io), path_(path) {
    const int fd = io.open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        rtl_error failure(ExitSystem, "Can't open GPIO chip `%s'\n", path.c_str());
        if (error == EACCES || error == EPERM) failure.then(LevelInfo, accessHint(io, path));
        if (error == ENOENT) {
            std::string chips;
            for (const std::string& chip : io.chipPaths()) chips += " " + chip;
            failure.then(LevelInfo, chips.empty() ? "Hint: this system shows no GPIO chips\n"
                                                  : "Hint: the GPIO chips here:" + chips +
                                                        "; -pgpio finds the wiring's lines by name on any of them\n");
        }
        throw failure;
    }
    descriptor_ = PortDescriptor(io, fd);
    gpiochip_info info{};
    if (descriptor_.request(GPIO_GET_CHIPINFO_IOCTL, &info) != 0) {
        throw app_error(ExitSystem, "`%s' is not a GPIO chip\n", path.c_str());
    }
    lineCount_ = info.lines;
    message(LevelDebug, "GPIO chip `%s' (%s, %u lines)\n", path.c_str(), kernelText(info.label).c_str(),
            unsigned(info.lines));
}

GpioLineInfo GpioChip::lineInfo(uint32_t offset) const {
    gpio_v2_line_info info{};
    info.offset = offset;
    if (descriptor_.request(GPIO_V2_GET_LINEINFO_IOCTL, &info) != 0) {
        if (refusedAsUnknown(errno)) noVersion2(path_);
        throw rtl_error(ExitSystem, "Can't read line %u of GPIO chip `%s'\n", unsigned(offset), path_.c_str());
    }
    return {kernelText(info.name), kernelText(info.consumer), (info.flags & GPIO_V2_LINE_FLAG_USED) != 0};
}

GpioLineRequest::GpioLineRequest(const GpioChip& chip, const std::vector<GpioLineSetting>& lines) {
    gpio_v2_line_request request{};
    std::strncpy(request.consumer, Consumer, sizeof request.consumer - 1);
    request.num_lines = uint32_t(lines.size());
    // The lines differ in direction, inversion and first value: one attribute
    // of flags for each kind of line, one of the outputs' values.
    gpio_v2_line_config& config = request.config;
    config.flags = GPIO_V2_LINE_FLAG_INPUT;
    gpio_v2_line_config_attribute values{};
    values.attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
    for (size_t i = 0; i < lines.size(); ++i) {
        const GpioLineSetting& line = lines[i];
        request.offsets[i] = line.offset;
        const uint64_t bit = uint64_t(1) << i;
        const uint64_t flags = (line.output ? GPIO_V2_LINE_FLAG_OUTPUT : GPIO_V2_LINE_FLAG_INPUT) |
                               (line.activeLow ? GPIO_V2_LINE_FLAG_ACTIVE_LOW : 0);
        uint32_t a = 0;
        while (a < config.num_attrs && config.attrs[a].attr.flags != flags) ++a;
        if (a == config.num_attrs) {
            config.attrs[a].attr.id = GPIO_V2_LINE_ATTR_ID_FLAGS;
            config.attrs[a].attr.flags = flags;
            ++config.num_attrs;
        }
        config.attrs[a].mask |= bit;
        if (line.output) {
            values.mask |= bit;
            if (line.initial) values.attr.values |= bit;
        }
    }
    if (values.mask != 0) config.attrs[config.num_attrs++] = values;

    if (chip.descriptorRequest(GPIO_V2_GET_LINE_IOCTL, &request) != 0 || request.fd < 0) {
        const int error = errno;
        if (refusedAsUnknown(error)) noVersion2(chip.path());
        rtl_error failure(ExitSystem, "Can't request the wiring's lines of GPIO chip `%s'\n", chip.path().c_str());
        if (error == EBUSY) failure.then(LevelInfo, "Hint: another program or driver holds one of the lines\n");
        throw failure;
    }
    descriptor_ = PortDescriptor(chip.io(), request.fd);
}

void GpioLineRequest::set(uint64_t mask, uint64_t bits) const {
    gpio_v2_line_values values{};
    values.mask = mask;
    values.bits = bits;
    descriptor_.request(GPIO_V2_LINE_SET_VALUES_IOCTL, &values);
}

uint64_t GpioLineRequest::get(uint64_t mask) const {
    gpio_v2_line_values values{};
    values.mask = mask;
    if (descriptor_.request(GPIO_V2_LINE_GET_VALUES_IOCTL, &values) != 0) return 0;
    return values.bits & mask;
}

#else

namespace {

[[noreturn]] void noGpio(const std::string& path) {
    throw app_error(ExitSystem, "`%s' is a GPIO chip: this system has no GPIO character device\n", path.c_str());
}

}  // namespace

GpioChip::GpioChip(GpioIo& io, const std::string& path) : io_(io), path_(path) { noGpio(path); }
GpioLineInfo GpioChip::lineInfo(uint32_t) const { noGpio(path_); }
GpioLineRequest::GpioLineRequest(const GpioChip& chip, const std::vector<GpioLineSetting>&) { noGpio(chip.path()); }
void GpioLineRequest::set(uint64_t, uint64_t) const {}
uint64_t GpioLineRequest::get(uint64_t) const { return 0; }

#endif

}  // namespace mervex
