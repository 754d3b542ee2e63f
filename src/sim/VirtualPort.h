#pragma once
// A parallel port with a simulated cable and chip behind it. Every register
// access takes the modelled access time; the chip judges its timing on the
// modelled time: accesses x access time + the waits in between, measured on
// the port's clock (a stepped clock makes tests instant; the port moves it on
// by its own access time, so busy-waits on the port end too).
#include <memory>
#include <string>

#include "adapter/ParallelPort.h"
#include "base/LockedFile.h"
#include "sim/TargetClock.h"
#include "sim/VirtualCable.h"
#include "sim/VirtualChip.h"
#include "sim/VirtualTarget.h"

namespace mervex {

class VirtualPort final : public ParallelPort {
public:
    // Run the target behind the port on clock; path names it in messages. With the
    // held file at path (holdVirtualTarget), the port holds it for its whole
    // life and the state goes back to it. The counters of target.lastRun restart. A cable
    // description that does not parse is thrown (app_error 70).
    VirtualPort(std::unique_ptr<VirtualTarget> target, TargetClock clock, std::string path = "",
                LockedFile file = LockedFile());
    // Records the run, prints it at debug level and saves the file, unless a
    // save has failed (the run has failed for it) or a flush has saved it: the
    // run's last flush saves its end, where a failure can still fail the run,
    // and the adapter's switching off again as it goes changes nothing worth a
    // save that could only be printed. Never throws.
    ~VirtualPort() override;
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    uint8_t readRegister(PortRegister reg) override;
    void writeRegister(PortRegister reg, uint8_t value) override;
    void writeDataSequence(const uint8_t* values, size_t count) override;
    // finishRun() and save the file now (when the port has one and no save
    // has failed); a failure is thrown, saying which state the
    // file keeps.
    void flush() override;

    // Modelled time since the port was opened, in microseconds.
    double modelledUs() const { return double(accesses_) * target_->accessTimeUs + waitedUs_; }
    // The state, with the counters of this run in lastRun (updated by finishRun()).
    VirtualTarget& target() { return *target_; }
    const VirtualTarget& target() const { return *target_; }
    const VirtualChip& chip() const { return *chip_; }
    const VirtualCable& cable() const { return *cable_; }
    // Store the modelled time and the line levels into target().lastRun.
    void finishRun();

private:
    // The data lines as the cable sees them.
    uint8_t dataLines() const;
    void sampleClock();
    void tick();
    void apply();
    void recordLine(TargetLineRecord& record, bool on);
    bool keyPressed() const;

    std::unique_ptr<VirtualTarget> target_;
    std::string path_;
    LockedFile file_;
    bool saveFailed_ = false;
    bool saved_ = false;  // a flush has saved the file
    std::unique_ptr<VirtualCable> cable_;
    std::unique_ptr<VirtualChip> chip_;
    uint8_t data_ = 0x00;
    uint8_t control_ = 0x0C;  // as a PC port comes up: INIT high, SELECT active
    ChipPins pins_;
    bool pinsKnown_ = false;
    bool lastSck_ = false;
    uint64_t writes_ = 0;
    uint64_t sckEdgeWrite_ = 0;

    // Modelled time.
    uint64_t accesses_ = 0;
    double waitedUs_ = 0;
    TargetClock clock_;
    TimeVal lastSample_{};
    double advanceDebtUs_ = 0;   // access time not yet moved onto the stepped clock
    int64_t advancedUs_ = 0;     // moved onto the stepped clock since the last sample
};

}  // namespace mervex
