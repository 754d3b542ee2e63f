#pragma once
// The simulated adapter hardware (the target file's "cable"), between the
// parallel port and the chip: which register bits reach which chip pins, the
// buffer that can cut them off, the supply and LED lines, the push-button, and
// the loop-backs and fixed levels by which the program recognises an adapter.
#include <memory>
#include <string>
#include <vector>

#include "adapter/CableLoopback.h"
#include "adapter/PinMap.h"

namespace mervex {

// The chip's inputs as the cable drives them.
struct ChipPins {
    bool powered = false;
    bool reset = true;  // level of the RESET pin: true = high, the chip runs
    bool sck = false;
    bool mosi = false;
    bool xtal = false;

    bool operator==(const ChipPins& o) const {
        return powered == o.powered && reset == o.reset && sck == o.sck && mosi == o.mosi && xtal == o.xtal;
    }
    bool operator!=(const ChipPins& o) const { return !(*this == o); }
};

// Everything the cable's outputs do for one set of register values.
struct CableOutputs {
    ChipPins pins;
    bool buffer = false;  // the chip's SPI lines are connected (enabled buffer, or none)
    bool power = false;   // the supply lines are active
    bool enable = false;  // the buffer enable lines are active
    bool ledOk = false;
    bool ledError = false;
};

// The wiring of a cable on a GPIO chip ("gpio" or "gpio:ENTRIES"): each SPI
// signal on one line of the chip, and lines another user holds. Inside the
// model each line reaches the chip through a fixed port pin (gpioPortBits).
struct GpioCableWiring {
    static constexpr uint32_t LineCount = 54;  // as the Raspberry Pi's first chip, lines GPIO0..GPIO53
    int32_t line[SignalCount];                 // the line of each signal; -1: none
    std::vector<uint32_t> busy;                // lines held by another user

    GpioCableWiring() {
        for (int32_t& l : line) l = -1;
    }
};

class VirtualCable {
public:
    // Build the cable named by the text: a built-in name (see builtinCableNames) or
    // "user:" followed by pin-map entries separated by ':', where RESET is given by
    // its level while the chip runs, as in a pin map, and an entry STATUSPIN<SOURCE
    // adds a loop-back (SOURCE: [~]output pin, or 0 / 1 for a fixed level); or
    // "gpio" (the Raspberry Pi's SPI0 pins, RESET on line 25) or "gpio:" with
    // entries SIGNAL=[~]LINE for mosi, miso, sck and reset ("~": an inverter
    // between the line and the chip) and busy=LINE for a line another user holds.
    // Text it cannot take throws the reason (ExitUsage) as its last line.
    static std::unique_ptr<VirtualCable> create(const std::string& text);

    // The built-in cable names, separated by ", ".
    static std::string builtinCableNames();

    // The GPIO wiring of a cable on a GPIO chip; nullptr for a parallel-port cable.
    const GpioCableWiring* gpio() const { return gpio_.get(); }
    // The port bits (data bits 0-7, status bits 8-15, as in a pin map) through
    // which a GPIO cable's signal reaches the chip.
    static uint32_t gpioPortBits(SignalId id);

    // False for "none": nothing is plugged into the port.
    bool attached() const { return attached_; }
    // True if the cable carries the signal.
    bool has(SignalId id) const { return wiring_.has(id); }
    // The cable's name, as a pin map would show it.
    const char* name() const { return wiring_.name; }

    // What the outputs do with these data and control register values.
    CableOutputs evaluate(uint8_t data, uint8_t control) const;

    // The status register as the port reads it: idle lines pulled up, then the
    // loop-backs and fixed levels, the key, and MISO when the chip drives it
    // through an enabled buffer.
    uint8_t status(uint8_t data, uint8_t control, bool misoDriven, bool miso, bool keyPressed) const;

private:
    void parse(const std::string& entries);
    // "gpio" or "gpio:..." into the GPIO wiring; returns the port entries that carry it.
    std::string parseGpio(const std::string& text);
    bool signalActive(SignalId id, uint32_t registers, bool dataFloating) const;

    PinMap wiring_;
    std::vector<CableLoopback> loopbacks_;
    bool attached_ = true;
    std::unique_ptr<GpioCableWiring> gpio_;
};

}  // namespace mervex
