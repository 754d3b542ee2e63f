#include "adapter/LptAdapter.h"

#include <utility>

#include "console/Console.h"
#include "console/Stopwatch.h"
#include "console/Units.h"

namespace mervex {

LptAdapter::LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, bool xtalMode,
                       Clock& clock)
    : Programmer(clock), port_(std::move(port)), pinMap_(std::move(pinMap)), xtalMode_(xtalMode) {
    const SignalEntry& miso = pinMap_->entry(SignalId::Miso);
    misoStatusBits_ = statusBits(miso.pins());
    misoInverted_ = miso.clearMask != 0;
    const uint32_t spiLines = pinMap_->entry(SignalId::Mosi).pins() | pinMap_->entry(SignalId::Sck).pins() |
                              pinMap_->entry(SignalId::Reset).pins();
    controlPath_ = controlBits(spiLines) != 0;

    dataShadow_ = port_->readRegister(PortRegister::Data);
    releaseOutputs();
    setSignal(SignalId::Set, true);
    builtData_ = dataShadow_;
    builtControl_ = controlShadow_;
}

LptAdapter::LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckTiming timing,
                       Clock& clock)
    : LptAdapter(std::move(port), std::move(pinMap), false, clock) {
    double cycle = port_->cycleTime();
    buildSequences(portWritesFor(timing.setupTime, cycle), portWritesFor(timing.holdTime, cycle));
}

LptAdapter::LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckPeriods periods,
                       Clock& clock)
    : LptAdapter(std::move(port), std::move(pinMap), true, clock) {
    // One XTAL period is two port writes.
    buildSequences(2 * periods.low, 2 * periods.high);
    weaveXtal();
    message(LevelDebug, "%s XTAL will be generated\n", formatFrequency(500 / port_->cycleTime(), UnitKHz));
}

LptAdapter::~LptAdapter() {
    settle();
    if (hasEnable()) disableBuffers();
    if (hasPower()) powerOff();
    // The sequences, then the pin map, then the port (closing the device) go
    // with the members, in reverse order of declaration.
}

void LptAdapter::releaseOutputs() {
    static const SignalId released[] = {SignalId::Mosi,  SignalId::Sck,   SignalId::Reset,   SignalId::Power,
                                        SignalId::Enable, SignalId::LedOk, SignalId::LedError};
    for (SignalId id : released) setSignal(id, false);
}

void LptAdapter::setSignal(SignalId id, bool active) {
    settle();
    const SignalEntry& entry = pinMap_->entry(id);
    uint8_t control = port_->readRegister(PortRegister::Control);
    if (active) {
        dataShadow_ = uint8_t((dataShadow_ & ~dataBits(entry.clearMask)) | dataBits(entry.setMask));
        control = uint8_t((control & ~controlBits(entry.clearMask)) | controlBits(entry.setMask));
    } else {
        dataShadow_ = uint8_t((dataShadow_ | dataBits(entry.clearMask)) & ~dataBits(entry.setMask));
        control = uint8_t((control | controlBits(entry.clearMask)) & ~controlBits(entry.setMask));
    }
    port_->writeRegister(PortRegister::Data, dataShadow_);
    port_->writeRegister(PortRegister::Control, control);
    controlShadow_ = control;
}

bool LptAdapter::readSignal(SignalId id) {
    const SignalEntry& entry = pinMap_->entry(id);
    if (!entry.present()) return false;
    uint8_t status = port_->readRegister(PortRegister::Status);
    bool level = (status & statusBits(entry.pins())) != 0;
    return level != (entry.clearMask != 0);
}

// SPI: every bit is a precomputed series of data-register values written back
// to back, so nothing is computed between port writes.

void LptAdapter::buildSequences(int low, int high) {
    if (low <= 0) low = 1;
    if (high <= 0) high = 1;

    // Buffers enabled, supply on, RESET active; MOSI and SCK inactive; every
    // other data line as it rests now.
    const SignalEntry& enable = pinMap_->entry(SignalId::Enable);
    const SignalEntry& power = pinMap_->entry(SignalId::Power);
    const SignalEntry& reset = pinMap_->entry(SignalId::Reset);
    uint8_t raise = dataBits(enable.setMask | power.setMask | reset.setMask);
    uint8_t lower = dataBits(enable.clearMask | power.clearMask | reset.clearMask);
    uint8_t fill = uint8_t((dataShadow_ | raise) & ~lower);

    uint8_t mosi = dataBits(pinMap_->entry(SignalId::Mosi).pins());
    uint8_t sck = dataBits(pinMap_->entry(SignalId::Sck).pins());
    uint8_t resetPins = dataBits(reset.pins());

    size_t length = size_t(low) + size_t(high);
    bitZeroSequence_.assign(length, fill);
    bitOneSequence_.assign(length, uint8_t(fill ^ mosi));
    for (size_t i = size_t(low); i < length; ++i) {
        bitZeroSequence_[i] = uint8_t(fill ^ sck);
        bitOneSequence_[i] = uint8_t(fill ^ mosi ^ sck);
    }
    // RESET released for all but the last write, which asserts it again.
    resetPulseSequence_.assign(length, uint8_t(fill ^ resetPins));
    resetPulseSequence_.back() = fill;
    if (controlPath_) buildControlWrites(fill, low, high);
}

namespace {

uint8_t registerBits(uint32_t lines, PortRegister reg) {
    return reg == PortRegister::Data ? dataBits(lines) : controlBits(lines);
}

}  // namespace

void LptAdapter::buildControlWrites(uint8_t dataFill, int low, int high) {
    const SignalEntry& enable = pinMap_->entry(SignalId::Enable);
    const SignalEntry& power = pinMap_->entry(SignalId::Power);
    const SignalEntry& reset = pinMap_->entry(SignalId::Reset);
    uint8_t raise = controlBits(enable.setMask | power.setMask | reset.setMask);
    uint8_t lower = controlBits(enable.clearMask | power.clearMask | reset.clearMask);
    const uint32_t fill = dataFill | uint32_t((controlShadow_ | raise) & ~lower) << 16;
    const uint32_t mosi = pinMap_->entry(SignalId::Mosi).pins();
    const uint32_t sck = pinMap_->entry(SignalId::Sck).pins();
    const uint32_t resetPins = reset.pins();

    // Where the data series change MOSI and SCK in one write, MOSI's register
    // goes first, after the whole high phase, and SCK's falls right after it.
    const PortRegister sckRegister = dataBits(sck) ? PortRegister::Data : PortRegister::Control;
    const PortRegister otherRegister = dataBits(sck) ? PortRegister::Control : PortRegister::Data;
    restoreOrder_.clear();
    if (registerBits(mosi | resetPins, otherRegister)) restoreOrder_.push_back(otherRegister);
    restoreOrder_.push_back(sckRegister);

    // Every step is at least one write, so each half-period keeps its minimum
    // number of writes: the first step writes each register holding a moving
    // line (the previous bit left them anywhere), later ones what changed, or
    // SCK's register again to hold the level.
    auto writesFor = [&](const std::vector<uint32_t>& steps, uint32_t moving) {
        std::vector<PortWrite> writes;
        for (size_t i = 0; i < steps.size(); ++i) {
            size_t before = writes.size();
            for (PortRegister reg : restoreOrder_) {
                uint8_t value = registerBits(steps[i], reg);
                bool changed = i == 0 ? registerBits(moving, reg) != 0 : value != registerBits(steps[i - 1], reg);
                if (changed) writes.push_back({reg, value});
            }
            if (writes.size() == before) writes.push_back({sckRegister, registerBits(steps[i], sckRegister)});
        }
        return writes;
    };

    size_t length = size_t(low) + size_t(high);
    std::vector<uint32_t> zero(length, fill), one(length, fill ^ mosi), pulse(length, fill ^ resetPins);
    for (size_t i = size_t(low); i < length; ++i) {
        zero[i] ^= sck;
        one[i] ^= sck;
    }
    pulse.back() = fill;
    bitZeroWrites_ = writesFor(zero, mosi | sck);
    bitOneWrites_ = writesFor(one, mosi | sck);
    resetPulseWrites_ = writesFor(pulse, resetPins | sck);
}

void LptAdapter::writeSeries(const std::vector<PortWrite>& writes) {
    for (const PortWrite& w : writes) port_->writeRegister(w.reg, w.value);
}

void LptAdapter::restoreLines() {
    for (PortRegister reg : restoreOrder_)
        port_->writeRegister(reg, reg == PortRegister::Data ? dataShadow_ : controlShadow_);
}

void LptAdapter::clockBytesByWrites(const uint8_t* out, uint8_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        unsigned byte = out ? out[i] : 0, sampled = 0;
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            writeSeries((byte & bit) ? bitOneWrites_ : bitZeroWrites_);
            if (!in) continue;
            uint8_t status = port_->readRegister(PortRegister::Status);
            sampled = (sampled << 1) | ((status & misoStatusBits_) ? 1u : 0u);
        }
        if (in) in[i] = uint8_t(misoInverted_ ? ~sampled : sampled);
    }
}

void LptAdapter::weaveXtal() {
    // XTAL flips on every write; the even lengths keep its phase across sequences.
    uint8_t xtal = dataBits(pinMap_->entry(SignalId::Xtal).pins());
    for (size_t i = 1; i < bitZeroSequence_.size(); i += 2) {
        bitZeroSequence_[i] ^= xtal;
        bitOneSequence_[i] ^= xtal;
    }
    for (size_t i = 1; i < resetPulseSequence_.size(); i += 2) resetPulseSequence_[i] ^= xtal;
}

void LptAdapter::restoreData() { port_->writeRegister(PortRegister::Data, dataShadow_); }

void LptAdapter::settle() {
    if (!restoreOwed_) return;
    restoreOwed_ = false;
    if (controlPath_)
        restoreLines();
    else
        restoreData();
}

void LptAdapter::clockBytes(const uint8_t* out, uint8_t* in, size_t count) {
    // The choice is made once per block, never between port writes.
    restoreOwed_ = true;
    if (controlPath_) {
        clockBytesByWrites(out, in, count);
    } else if (!in) {
        for (size_t i = 0; i < count; ++i) sendBits(out[i]);
    } else if (!out) {
        for (size_t i = 0; i < count; ++i) in[i] = receiveBits();
    } else {
        for (size_t i = 0; i < count; ++i) in[i] = transferBits(out[i]);
    }
}

uint8_t LptAdapter::transferBits(uint8_t out) {
    const uint8_t* zero = bitZeroSequence_.data();
    const uint8_t* one = bitOneSequence_.data();
    size_t length = bitZeroSequence_.size();
    unsigned in = 0;
    for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
        port_->writeDataSequence((out & bit) ? one : zero, length);
        uint8_t status = port_->readRegister(PortRegister::Status);
        in = (in << 1) | ((status & misoStatusBits_) ? 1u : 0u);
    }
    return uint8_t(misoInverted_ ? ~in : in);
}

void LptAdapter::sendBits(uint8_t out) {
    const uint8_t* zero = bitZeroSequence_.data();
    const uint8_t* one = bitOneSequence_.data();
    size_t length = bitZeroSequence_.size();
    for (unsigned bit = 0x80; bit != 0; bit >>= 1) port_->writeDataSequence((out & bit) ? one : zero, length);
}

uint8_t LptAdapter::receiveBits() {
    const uint8_t* zero = bitZeroSequence_.data();
    size_t length = bitZeroSequence_.size();
    unsigned in = 0;
    for (int bit = 0; bit < 8; ++bit) {
        port_->writeDataSequence(zero, length);
        uint8_t status = port_->readRegister(PortRegister::Status);
        in = (in << 1) | ((status & misoStatusBits_) ? 1u : 0u);
    }
    return uint8_t(misoInverted_ ? ~in : in);
}

void LptAdapter::pulseSck() {
    settle();
    if (controlPath_) {
        writeSeries(bitZeroWrites_);
        restoreLines();
        return;
    }
    port_->writeDataSequence(bitZeroSequence_.data(), bitZeroSequence_.size());
    restoreData();
}

void LptAdapter::pulseReset() {
    settle();
    if (controlPath_) {
        writeSeries(resetPulseWrites_);
        restoreLines();
        return;
    }
    port_->writeDataSequence(resetPulseSequence_.data(), resetPulseSequence_.size());
    restoreData();
}

void LptAdapter::delay(double ms) {
    settle();
    Stopwatch watch(clock());
    watch.setTimeout(ms);
    if (!xtalMode_) {
        watch.sleepTimeout();
        return;
    }
    // The chip runs on our XTAL line, so keep clocking it while waiting.
    uint8_t resting = port_->readRegister(PortRegister::Data);
    uint8_t toggled = uint8_t(resting ^ dataBits(pinMap_->entry(SignalId::Xtal).pins()));
    const uint8_t burst[4] = {toggled, toggled, resting, resting};
    while (!watch.timedOut()) port_->writeDataSequence(burst, 4);
}

bool LptAdapter::setSckTiming(const SckTiming& timing) {
    // A generated chip clock fixes SCK to its periods.
    if (xtalMode_) return false;
    // Built from the lines as construction left them, like the first series.
    const uint8_t data = dataShadow_;
    const uint8_t control = controlShadow_;
    dataShadow_ = builtData_;
    controlShadow_ = builtControl_;
    const double cycle = port_->cycleTime();
    buildSequences(portWritesFor(timing.setupTime, cycle), portWritesFor(timing.holdTime, cycle));
    dataShadow_ = data;
    controlShadow_ = control;
    return true;
}

double LptAdapter::sckFrequency() const {
    // One extra cycle per bit for the status read.
    size_t writes = controlPath_ ? bitZeroWrites_.size() : bitZeroSequence_.size();
    return 1.0 / port_->cycleTime() / double(writes + 1);
}

}  // namespace mervex
