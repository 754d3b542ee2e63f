#include "sim/VirtualPort.h"

#include <cinttypes>
#include <cstring>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/Units.h"
#include "sim/VirtualTargetFile.h"

namespace mervex {

VirtualPort::VirtualPort(std::unique_ptr<VirtualTarget> target, TargetClock clock, std::string path, LockedFile file)
    : target_(std::move(target)), path_(std::move(path)), file_(std::move(file)), clock_(clock) {
    try {
        cable_ = VirtualCable::create(target_->cable);
    } catch (const app_error& failure) {
        throw failureAt(failure, ExitUsage, "Virtual target '" + path_ + "': ");
    }
    cycleTime_ = target_->accessTimeUs < 0.2 ? 0.2 : target_->accessTimeUs;
    canControlDirection_ = true;

    ++target_->runCount;
    TargetCounters& counters = target_->lastRun;
    counters = TargetCounters{};
    counters.power.present = cable_->has(SignalId::Power);
    counters.enable.present = cable_->has(SignalId::Enable);
    counters.ledOk.present = cable_->has(SignalId::LedOk);
    counters.ledError.present = cable_->has(SignalId::LedError);
    chip_ = std::make_unique<VirtualChip>(*target_, counters);
    lastSample_ = clock_.clock.now();
    apply();
}

VirtualPort::~VirtualPort() {
    try {
        finishRun();
        const TargetCounters& c = target_->lastRun;
        message(LevelDebug,
                "Virtual target: %" PRIu64 " port accesses, %" PRIu64 " ISP instructions, %" PRIu64
                " bits, %" PRIu64 " instructions while busy, modelled time %s\n",
                c.accesses(), c.instructions(), c.bits, c.busyInstructions, formatTime(c.modelledUs, UnitUs));
        if (file_.fd() >= 0 && !saveFailed_ && !saved_) saveVirtualTarget(*target_, path_, &file_);
    } catch (const app_error& e) {
        // A destructor has nobody to tell but the user.
        reportFailure(e);
    } catch (...) {
    }
}

void VirtualPort::finishRun() {
    sampleClock();
    target_->lastRun.modelledUs = modelledUs();
}

void VirtualPort::flush() {
    finishRun();
    if (file_.fd() < 0 || saveFailed_) return;
    try {
        saveVirtualTarget(*target_, path_, &file_);
    } catch (const rtl_error& e) {
        saveFailed_ = true;
        // The user has perhaps been told of more than the file now holds.
        const char* kept = saved_ ? " (the file keeps the state saved earlier in this run)"
                                  : " (the file keeps its state from before this run)";
        app_error failure(e.status());
        for (size_t i = 0; i + 1 < e.lines().size(); ++i) failure.then(e.lines()[i].level, e.lines()[i].text);
        throw failure.then(LevelError, std::strerror(e.savedErrno()) + std::string(kept) + "\n");
    }
    saved_ = true;
}

void VirtualPort::sampleClock() {
    TimeVal now = clock_.clock.now();
    double elapsedUs = double(now.sec - lastSample_.sec) * 1e6 + double(now.usec - lastSample_.usec);
    double waited = elapsedUs - double(advancedUs_);
    if (waited > 0) waitedUs_ += waited;
    lastSample_ = now;
    advancedUs_ = 0;
}

void VirtualPort::tick() {
    ++accesses_;
    if (!clock_.stepped) return;
    advanceDebtUs_ += target_->accessTimeUs;
    int64_t whole = int64_t(advanceDebtUs_);
    if (whole > 0) {
        clock_.stepped->advanceUs(whole);
        advanceDebtUs_ -= double(whole);
        advancedUs_ += whole;
    }
}

void VirtualPort::recordLine(TargetLineRecord& record, bool on) {
    if (!record.present) return;
    if (on && !record.on) ++record.switchedOn;
    record.on = on;
}

uint8_t VirtualPort::dataLines() const { return target_->faults.deadDataLines ? 0xFF : data_; }

void VirtualPort::apply() {
    CableOutputs out = cable_->evaluate(dataLines(), control_);
    if (target_->faults.noPower) out.pins.powered = false;
    // Crossed lines leave the chip's MOSI input to the port's pulled-up MISO input.
    if (target_->faults.miso == MisoFault::Crossed) out.pins.mosi = true;
    TargetCounters& c = target_->lastRun;
    recordLine(c.power, out.power);
    recordLine(c.enable, out.enable);
    recordLine(c.ledOk, out.ledOk);
    recordLine(c.ledError, out.ledError);
    if (pinsKnown_ && out.pins == pins_) return;
    if (out.pins.sck != lastSck_) {
        uint64_t width = writes_ - sckEdgeWrite_;
        uint32_t& shortest = lastSck_ ? c.sckHighMinWrites : c.sckLowMinWrites;
        if (pinsKnown_ && (shortest == 0 || width < shortest)) shortest = uint32_t(width);
        sckEdgeWrite_ = writes_;
        lastSck_ = out.pins.sck;
    }
    pins_ = out.pins;
    pinsKnown_ = true;
    chip_->setPins(pins_, modelledUs());
}

bool VirtualPort::keyPressed() const {
    double ms = modelledUs() / 1000;
    for (const KeyInterval& k : target_->key)
        if (ms >= k.fromMs && (k.toMs < 0 || ms < k.toMs)) return true;
    return false;
}

uint8_t VirtualPort::readRegister(PortRegister reg) {
    sampleClock();
    tick();
    TargetCounters& c = target_->lastRun;
    switch (reg) {
    case PortRegister::Data: ++c.dataReads; return dataLines();
    case PortRegister::Control: ++c.controlReads; return control_;
    case PortRegister::Status: {
        ++c.statusReads;
        bool driven = chip_->drivesMiso();
        bool miso = chip_->miso();
        switch (target_->faults.miso) {
        case MisoFault::None: break;
        case MisoFault::High: driven = miso = true; break;
        case MisoFault::Low:
            driven = true;
            miso = false;
            break;
        case MisoFault::Crossed:
            driven = true;
            miso = cable_->evaluate(dataLines(), control_).pins.mosi;
            break;
        }
        return cable_->status(dataLines(), control_, driven, miso, keyPressed());
    }
    }
    return 0xFF;
}

void VirtualPort::writeRegister(PortRegister reg, uint8_t value) {
    sampleClock();
    tick();
    TargetCounters& c = target_->lastRun;
    switch (reg) {
    case PortRegister::Data:
        ++c.dataWrites;
        ++writes_;
        data_ = value;
        break;
    case PortRegister::Control:
        ++c.controlWrites;
        ++writes_;
        control_ = value;
        break;
    case PortRegister::Status:
        ++c.statusWrites;
        return;
    }
    apply();
}

void VirtualPort::writeDataSequence(const uint8_t* values, size_t count) {
    sampleClock();
    TargetCounters& c = target_->lastRun;
    ++c.sequences;
    for (size_t i = 0; i < count; ++i) {
        tick();
        ++c.dataWrites;
        ++writes_;
        data_ = values[i];
        apply();
    }
}

}  // namespace mervex
