#pragma once
// A ParallelPort test double: logs every register access, keeps the data and
// control registers like hardware, and answers status reads from a cable model.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "adapter/ParallelPort.h"
#include "support/ManualClock.h"

namespace mervex::test {

enum class AccessKind { Read, Write, SequenceWrite };

struct PortAccess {
    AccessKind kind;
    PortRegister reg;
    uint8_t value;
    bool operator==(const PortAccess& other) const {
        return kind == other.kind && reg == other.reg && value == other.value;
    }
};

class RecordingPort : public ParallelPort {
public:
    explicit RecordingPort(double cycleTime = 1.0, bool canControlDirection = false) {
        cycleTime_ = cycleTime;
        canControlDirection_ = canControlDirection;
    }
    ~RecordingPort() override {
        if (onDestroy) onDestroy(*this);
    }

    uint8_t readRegister(PortRegister reg) override {
        uint8_t value = 0;
        switch (reg) {
        case PortRegister::Data: value = data; break;
        case PortRegister::Control: value = control; break;
        case PortRegister::Status:
            if (!statusScript.empty() && scriptIndex < statusScript.size())
                value = statusScript[scriptIndex++];
            else if (statusFor)
                value = statusFor(data, control);
            else
                value = status;
            break;
        }
        log.push_back({AccessKind::Read, reg, value});
        return value;
    }

    void writeRegister(PortRegister reg, uint8_t value) override {
        log.push_back({AccessKind::Write, reg, value});
        if (reg == PortRegister::Data) data = value;
        if (reg == PortRegister::Control) control = value;
        tick();
    }

    void writeDataSequence(const uint8_t* values, size_t count) override {
        ++sequenceCalls;
        for (size_t i = 0; i < count; ++i) {
            log.push_back({AccessKind::SequenceWrite, PortRegister::Data, values[i]});
            data = values[i];
            tick();
        }
    }

    size_t count(AccessKind kind, PortRegister reg) const {
        size_t n = 0;
        for (const PortAccess& a : log) n += (a.kind == kind && a.reg == reg) ? 1 : 0;
        return n;
    }

    // The values of the data writes (single and in sequences), in order.
    std::vector<uint8_t> dataWrites() const {
        std::vector<uint8_t> values;
        for (const PortAccess& a : log)
            if (a.kind != AccessKind::Read && a.reg == PortRegister::Data) values.push_back(a.value);
        return values;
    }

    void clearLog() {
        log.clear();
        sequenceCalls = 0;
    }

    uint8_t data = 0;
    uint8_t control = 0;
    uint8_t status = 0;
    std::vector<uint8_t> statusScript;  // answered first, in order
    size_t scriptIndex = 0;
    std::function<uint8_t(uint8_t data, uint8_t control)> statusFor;  // then this cable model
    ManualClock* clock = nullptr;  // when set, every write takes advanceUsPerWrite
    int64_t advanceUsPerWrite = 1;
    std::vector<PortAccess> log;
    size_t sequenceCalls = 0;
    std::function<void(const RecordingPort&)> onDestroy;  // sees the final log

private:
    void tick() {
        if (clock != nullptr) clock->advanceUs(advanceUsPerWrite);
    }
};

}  // namespace mervex::test
