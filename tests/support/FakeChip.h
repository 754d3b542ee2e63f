#pragma once
// A programmer whose link is at the same time a small AVR chip: it records
// every instruction it is given and answers as a chip in programming mode
// would. It implements the same hooks as the parallel-port adapter, so the
// chip layer takes the path it takes with the product.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "adapter/Programmer.h"
#include "support/ManualClock.h"

namespace mervex::test {

class FakeChip : public Programmer {
public:
    // A chip with the given signature and memory sizes, flash and EEPROM erased;
    // its delays and bytes take their time on clock.
    FakeChip(ManualClock& clock, uint32_t signature, size_t flashBytes, size_t eepromBytes, uint32_t pageBytes)
        : Programmer(clock),
          signature(signature),
          flash(flashBytes, 0xFF),
          eeprom(eepromBytes, 0xFF),
          pageBytes(pageBytes),
          time_(clock) {}

    // --- How the chip behaves ---
    uint32_t signature;
    std::vector<uint8_t> flash;
    std::vector<uint8_t> eeprom;
    uint32_t pageBytes;            // 0: byte-wise flash
    uint8_t fuse[4] = {0xFF, 0xE1, 0xD9, 0xFF};  // lock, low, high, ext as read
    uint8_t calibration[4] = {0xA5, 0xA3, 0xA1, 0xA0};
    int sckPulsesToSync = 0;       // program enable fails until this many SCK pulses
    bool syncOnResetPulse = false; // a reset pulse brings it in step
    int busyAnswers = 0;           // ready/busy answers busy this often; -1 forever
    int wrongEchoAt = -1;          // the instruction with this index gets a wrong echo
    uint8_t stallAfter = 0;        // after the first instruction with this code, the clock
    int64_t stallUs = 0;           // jumps this far (the process was held up)

    // --- What was done to it ---
    std::vector<IspInstruction> sent;  // every instruction, in order
    std::vector<std::string> events;   // signal operations and delays
    int sendCalls = 0;  // clockBytes calls that sample nothing (sendByte, sendBlock)

    void setReset(bool active) override { events.push_back(active ? "reset on" : "reset off"); }
    void pulseReset() override {
        events.push_back("reset pulse");
        resetPulsed_ = true;
    }
    void pulseSck() override {
        events.push_back("sck pulse");
        ++sckPulses_;
    }
    void delay(double ms) override {
        events.push_back("delay " + std::to_string(ms));
        time_.advanceUs(int64_t(ms * 1000));
    }
    double sckFrequency() const override { return 1.0; }
    const char* typeName() const override { return "fake chip"; }

    bool withPower = false;
    bool withEnable = false;

    // The instructions sent so far as text, "4C 00 1F 00" each.
    std::vector<std::string> sentText() const {
        std::vector<std::string> text;
        for (const IspInstruction& i : sent) text.push_back(format(i));
        return text;
    }
    static std::string format(const IspInstruction& i) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02X %02X %02X %02X", unsigned(i[0]), unsigned(i[1]), unsigned(i[2]),
                      unsigned(i[3]));
        return buffer;
    }
    void clearLog() {
        sent.clear();
        events.clear();
        sendCalls = 0;
    }

protected:
    void clockBytes(const uint8_t* out, uint8_t* in, size_t count) override {
        if (!in) ++sendCalls;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t reply = clockByte(out ? out[i] : 0);
            if (in) in[i] = reply;
        }
    }
    bool hasSignal(SignalId id) const override {
        return (id == SignalId::Power && withPower) || (id == SignalId::Enable && withEnable);
    }
    void setSignal(SignalId id, bool active) override {
        switch (id) {
        case SignalId::Power: events.push_back(active ? "power on" : "power off"); break;
        case SignalId::Enable: events.push_back(active ? "enable" : "disable"); break;
        case SignalId::LedOk: events.push_back(active ? "ok on" : "ok off"); break;
        case SignalId::LedError: events.push_back(active ? "error on" : "error off"); break;
        default: break;
        }
    }
    bool readSignal(SignalId) override { return false; }

private:
    uint8_t clockByte(uint8_t out) {
        time_.advanceUs(1);  // each byte takes 1 us
        frame_[position_] = out;
        uint8_t reply = 0;
        switch (position_) {
        case 0: reply = 0; break;
        case 1: reply = frame_[0]; break;
        case 2: reply = frame_[1]; break;
        case 3: reply = answer(); break;
        }
        if (position_ == 1 && int(sent.size()) == wrongEchoAt) reply = uint8_t(~reply);
        if (position_ == 2 && frame_[0] == 0xAC && frame_[1] == 0x53 && !inStep()) reply = 0x00;
        if (++position_ == 4) {
            position_ = 0;
            IspInstruction done{{frame_[0], frame_[1], frame_[2], frame_[3]}};
            sent.push_back(done);
            execute(done);
            if (stallUs > 0 && done[0] == stallAfter) {
                time_.advanceUs(stallUs);
                stallUs = 0;
            }
        }
        return reply;
    }

    bool inStep() const {
        if (sckPulsesToSync > 0) return sckPulses_ >= sckPulsesToSync;
        if (syncOnResetPulse) return resetPulsed_;
        return true;
    }

    uint32_t flashAddress(uint8_t op, uint8_t high, uint8_t low) const {
        return (uint32_t(extended_) << 17) | (uint32_t(high) << 9) | (uint32_t(low) << 1) | ((op & 0x08) ? 1 : 0);
    }

    uint8_t answer() const {
        const uint8_t* f = frame_;
        switch (f[0]) {
        case 0x30: return uint8_t(signature >> (8 * (2 - (f[2] & 3))));
        case 0x20:
        case 0x28: {
            uint32_t a = flashAddress(f[0], f[1], f[2]);
            return a < flash.size() ? flash[a] : 0xFF;
        }
        case 0xA0: {
            uint32_t a = (uint32_t(f[1]) << 8) | f[2];
            return a < eeprom.size() ? eeprom[a] : 0xFF;
        }
        case 0xF0: return busyNow() ? 1 : 0;
        case 0x50: return f[1] == 0x08 ? fuse[3] : fuse[1];
        case 0x58: return f[1] == 0x08 ? fuse[2] : fuse[0];
        case 0x38: return calibration[f[2] & 3];
        default: return 0;
        }
    }

    bool busyNow() const { return busyAnswers < 0 || busyCount_ < busyAnswers; }

    void execute(const IspInstruction& i) {
        switch (i[0]) {
        case 0x40:
        case 0x48: {
            uint32_t a = flashAddress(i[0], i[1], i[2]);
            if (pageBytes == 0) {
                if (a < flash.size()) flash[a] &= i[3];
            } else {
                pageBuffer_[a % pageBytes] = i[3];
            }
            break;
        }
        case 0x4C: {
            uint32_t base = flashAddress(0x40, i[1], i[2]) & ~(pageBytes - 1);
            for (auto& [offset, value] : pageBuffer_)
                if (base + offset < flash.size()) flash[base + offset] &= value;
            pageBuffer_.clear();
            break;
        }
        case 0x4D: extended_ = i[2]; break;
        case 0xC0: {
            uint32_t a = (uint32_t(i[1]) << 8) | i[2];
            if (a < eeprom.size()) eeprom[a] = i[3];
            break;
        }
        case 0xC1: eepromPage_[i[2]] = i[3]; break;
        case 0xC2: {
            uint32_t base = (uint32_t(i[1]) << 8) | i[2];
            for (auto& [offset, value] : eepromPage_)
                if (base + offset < eeprom.size()) eeprom[base + offset] = value;
            eepromPage_.clear();
            break;
        }
        case 0xF0:
            if (busyNow()) ++busyCount_;
            break;
        case 0xAC:
            if (i[1] == 0x80) {
                std::fill(flash.begin(), flash.end(), 0xFF);
                std::fill(eeprom.begin(), eeprom.end(), 0xFF);
                fuse[0] = 0xFF;
            } else if (i[1] == 0xE0) {
                fuse[0] &= i[3];
            } else if (i[1] == 0xA0) {
                fuse[1] = i[3];
            } else if (i[1] == 0xA8) {
                fuse[2] = i[3];
            } else if (i[1] == 0xA4) {
                fuse[3] = i[3];
            }
            break;
        default: break;
        }
    }

    ManualClock& time_;
    uint8_t frame_[4] = {};
    int position_ = 0;
    int sckPulses_ = 0;
    bool resetPulsed_ = false;
    int busyCount_ = 0;
    uint8_t extended_ = 0;
    std::map<uint32_t, uint8_t> pageBuffer_;
    std::map<uint32_t, uint8_t> eepromPage_;
};

}  // namespace mervex::test
