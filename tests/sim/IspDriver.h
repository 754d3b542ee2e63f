#pragma once
// An SPI master at pin level for driving a VirtualChip directly, the way a
// data sheet describes serial programming: RESET low, MOSI set while SCK is
// low, SCK high, MISO read, SCK low again.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/VirtualChip.h"
#include "sim/VirtualTarget.h"

namespace mervex::test {

using Reply = std::array<uint8_t, 4>;

class IspDriver {
public:
    // A target of the named chip with quick busy times, powered, RESET released.
    explicit IspDriver(const std::string& chipName, double halfPeriodUs = 5)
        : target(newVirtualTarget(chipName)), halfUs(halfPeriodUs) {
        target->busy = TargetBusyTimes{2000, 4000, 6000, 1500};
        makeChip();
    }

    // Rebuild the chip after the target's settings changed (a new run).
    void makeChip() {
        chip = std::make_unique<VirtualChip>(*target, counters);
        pins = ChipPins{};
        pins.powered = true;
        apply();
    }

    void apply() { chip->setPins(pins, nowUs); }
    // Let time pass; with xtalPeriods set, XTAL runs that many periods per half SCK period.
    void wait(double us) {
        if (xtalPeriods == 0) {
            nowUs += us;
            return;
        }
        for (int i = 0; i < 2 * xtalPeriods; ++i) {
            pins.xtal = !pins.xtal;
            apply();
            nowUs += us / (2 * xtalPeriods);
        }
    }
    void setReset(bool active) {
        pins.reset = !active;
        apply();
        wait(halfUs);
    }
    void power(bool on) {
        pins.powered = on;
        apply();
        wait(halfUs);
    }
    // Release RESET for one half period, then hold it again.
    void pulseReset() {
        setReset(false);
        setReset(true);
    }
    void pulseSck() {
        pins.sck = true;
        apply();
        wait(halfUs);
        pins.sck = false;
        apply();
        wait(halfUs);
    }
    // Reset and program enable, as the data sheet's programming sequence does it.
    Reply connect() {
        setReset(true);
        wait(20000);
        return instruction(0xAC, 0x53, 0x00, 0x00);
    }

    uint8_t transfer(uint8_t out) {
        unsigned in = 0;
        for (int bit = 7; bit >= 0; --bit) {
            pins.mosi = (out >> bit) & 1;
            pins.sck = false;
            apply();
            wait(halfUs);
            pins.sck = true;
            apply();
            wait(halfUs);
            in = in << 1 | (chip->drivesMiso() && chip->miso() ? 1u : 0u);
        }
        pins.sck = false;
        pins.mosi = false;
        apply();
        wait(halfUs);
        return uint8_t(in);
    }

    Reply instruction(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return Reply{transfer(a), transfer(b), transfer(c), transfer(d)};
    }
    // The data byte of a read instruction.
    uint8_t read(uint8_t a, uint8_t b, uint8_t c) { return instruction(a, b, c, 0)[3]; }
    uint8_t readFlash(uint32_t address) {
        uint32_t word = address >> 1;
        return read(address & 1 ? 0x28 : 0x20, uint8_t(word >> 8), uint8_t(word));
    }
    uint8_t readEeprom(uint32_t address) { return read(0xA0, uint8_t(address >> 8), uint8_t(address)); }
    bool readyBusy() { return (instruction(0xF0, 0x00, 0xFF, 0x00)[3] & 1) != 0; }

    std::unique_ptr<VirtualTarget> target;
    TargetCounters counters;
    std::unique_ptr<VirtualChip> chip;
    ChipPins pins;
    double nowUs = 0;
    double halfUs;
    int xtalPeriods = 0;
};

}  // namespace mervex::test
