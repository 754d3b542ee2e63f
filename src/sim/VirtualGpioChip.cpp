#include "sim/VirtualGpioChip.h"

#ifdef MERVEX_HAVE_GPIO
#include <linux/gpio.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mervex {

namespace {

constexpr int ChipFd = 40;
constexpr int LinesFd = 41;
constexpr const char* BusyConsumer = "spi0 CS0";
const SignalId wiredSignals[] = {SignalId::Mosi, SignalId::Miso, SignalId::Sck, SignalId::Reset};

int refuse(int error) {
    errno = error;
    return -1;
}

}  // namespace

VirtualGpioChip::VirtualGpioChip(std::unique_ptr<VirtualPort> port, std::string path)
    : port_(std::move(port)), path_(std::move(path)), wiring_(*port_->cable().gpio()) {
    // Undriven, RESET is pulled up by the chip: the target runs until the lines are requested.
    const uint8_t control = port_->readRegister(PortRegister::Control);
    if (!port_->cable().evaluate(0, control).pins.reset) data_ = uint8_t(VirtualCable::gpioPortBits(SignalId::Reset));
    port_->writeRegister(PortRegister::Data, data_);
}

int VirtualGpioChip::open(const char* path, int /*flags*/) {
    if (path_ != path) return refuse(ENOENT);
    ++openChips_;
    return ChipFd;
}

int VirtualGpioChip::close(int fd) {
    if (fd == LinesFd && requested_) {
        requested_ = false;
        return 0;
    }
    if (fd == ChipFd && openChips_ > 0) {
        --openChips_;
        return 0;
    }
    return refuse(EBADF);
}

int VirtualGpioChip::ioctl(int fd, unsigned long request, void* arg) {
    if (fd == ChipFd && openChips_ > 0) return chipRequest(request, arg);
    if (fd == LinesFd && requested_) return lineRequest(request, arg);
    return refuse(EBADF);
}

int VirtualGpioChip::chipRequest(unsigned long request, void* arg) {
    if (request == GPIO_GET_CHIPINFO_IOCTL) {
        gpiochip_info& info = *static_cast<gpiochip_info*>(arg);
        info = gpiochip_info{};
        std::snprintf(info.name, sizeof info.name, "gpiochip0");
        std::snprintf(info.label, sizeof info.label, "vchip");
        info.lines = GpioCableWiring::LineCount;
        return 0;
    }
    if (request == GPIO_V2_GET_LINEINFO_IOCTL) {
        gpio_v2_line_info& info = *static_cast<gpio_v2_line_info*>(arg);
        const uint32_t offset = info.offset;
        if (offset >= GpioCableWiring::LineCount) return refuse(EINVAL);
        info = gpio_v2_line_info{};
        info.offset = offset;
        std::snprintf(info.name, sizeof info.name, "GPIO%u", unsigned(offset));
        const bool busy = std::find(wiring_.busy.begin(), wiring_.busy.end(), offset) != wiring_.busy.end();
        const bool ours = requested_ && std::find(offsets_.begin(), offsets_.end(), offset) != offsets_.end();
        if (busy || ours) {
            info.flags = GPIO_V2_LINE_FLAG_USED;
            std::snprintf(info.consumer, sizeof info.consumer, "%s", busy ? BusyConsumer : "mervex");
        }
        return 0;
    }
    if (request != GPIO_V2_GET_LINE_IOCTL) return refuse(ENOTTY);

    gpio_v2_line_request& lines = *static_cast<gpio_v2_line_request*>(arg);
    if (requested_) return refuse(EBUSY);
    if (lines.num_lines == 0 || lines.num_lines > GPIO_V2_LINES_MAX) return refuse(EINVAL);
    offsets_.assign(lines.offsets, lines.offsets + lines.num_lines);
    for (uint32_t offset : offsets_) {
        if (offset >= GpioCableWiring::LineCount) return refuse(EINVAL);
        if (std::find(wiring_.busy.begin(), wiring_.busy.end(), offset) != wiring_.busy.end()) return refuse(EBUSY);
    }
    // Each line takes the request's flags, or those of the last attribute that names it.
    outputs_ = activeLow_ = 0;
    uint64_t initial = 0;
    const gpio_v2_line_config& config = lines.config;
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const uint64_t bit = uint64_t(1) << i;
        uint64_t flags = config.flags;
        for (uint32_t a = 0; a < config.num_attrs && a < GPIO_V2_LINE_NUM_ATTRS_MAX; ++a) {
            const gpio_v2_line_config_attribute& attr = config.attrs[a];
            if (!(attr.mask & bit)) continue;
            if (attr.attr.id == GPIO_V2_LINE_ATTR_ID_FLAGS) flags = attr.attr.flags;
            if (attr.attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES) initial |= attr.attr.values & bit;
        }
        if (flags & GPIO_V2_LINE_FLAG_OUTPUT) outputs_ |= bit;
        if (flags & GPIO_V2_LINE_FLAG_ACTIVE_LOW) activeLow_ |= bit;
    }
    requested_ = true;
    lines.fd = LinesFd;
    drive(outputs_, initial);
    return 0;
}

int VirtualGpioChip::lineRequest(unsigned long request, void* arg) {
    gpio_v2_line_values& values = *static_cast<gpio_v2_line_values*>(arg);
    if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
        drive(values.mask & outputs_, values.bits);
        return 0;
    }
    if (request != GPIO_V2_LINE_GET_VALUES_IOCTL) return refuse(ENOTTY);
    const uint8_t status = port_->readRegister(PortRegister::Status);
    values.bits = 0;
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const uint64_t bit = uint64_t(1) << i;
        if ((values.mask & bit) && lineLevel(offsets_[i], status) != ((activeLow_ & bit) != 0)) values.bits |= bit;
    }
    return 0;
}

bool VirtualGpioChip::lineLevel(uint32_t offset, uint8_t status) const {
    for (SignalId id : wiredSignals) {
        if (wiring_.line[size_t(id)] != int32_t(offset)) continue;
        const uint32_t bits = VirtualCable::gpioPortBits(id);
        return id == SignalId::Miso ? (status & statusBits(bits)) != 0 : (data_ & dataBits(bits)) != 0;
    }
    return false;
}

void VirtualGpioChip::drive(uint64_t mask, uint64_t bits) {
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const uint64_t bit = uint64_t(1) << i;
        if (!(mask & bit)) continue;
        const bool high = ((bits & bit) != 0) != ((activeLow_ & bit) != 0);
        for (SignalId id : {SignalId::Mosi, SignalId::Sck, SignalId::Reset}) {
            if (wiring_.line[size_t(id)] != int32_t(offsets_[i])) continue;
            const uint8_t pin = dataBits(VirtualCable::gpioPortBits(id));
            data_ = uint8_t(high ? (data_ | pin) : (data_ & ~pin));
        }
    }
    // One update is one access of the model, whatever lines it changes.
    port_->writeRegister(PortRegister::Data, data_);
}

}  // namespace mervex

#endif
