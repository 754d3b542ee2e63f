#include "adapter/GpioAdapter.h"

#include <algorithm>
#include <utility>

#include "adapter/PinInfo.h"
#include "adapter/PortCycleTime.h"
#include "console/Stopwatch.h"

namespace mervex {

GpioAdapter::GpioAdapter(std::unique_ptr<GpioIo> ownedIo, std::unique_ptr<GpioChip> chip,
                         const std::vector<GpioLine>& lines, SckTiming timing, std::string name, Clock& clock)
    : Programmer(clock), ownedIo_(std::move(ownedIo)), chip_(std::move(chip)), timing_(timing), name_(std::move(name)) {
    std::vector<GpioLineSetting> settings;
    for (size_t i = 0; i < lines.size(); ++i) signalBits_[size_t(lines[i].signal)] |= uint64_t(1) << i;
    // Everything released and RESET running, as the LPT adapter starts; `set` active.
    values_ = levelBits(SignalId::Reset, false) | levelBits(SignalId::Set, true);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool output = signalInfo(lines[i].signal).direction == DirectionOutput;
        settings.push_back({lines[i].offset, output, lines[i].inverted, ((values_ >> i) & 1) != 0});
    }
    lines_ = std::make_unique<GpioLineRequest>(*chip_, settings);

    cycleUs_ = chip_->io().knownUpdateCycle();
    if (cycleUs_ <= 0) {
        // Rewrite RESET's level, so the measurement does not move the lines.
        const uint64_t reset = bitsOf(SignalId::Reset);
        cycleUs_ = measureUpdateCycle(
            [&](size_t count) {
                for (size_t i = 0; i < count; ++i) lines_->set(reset, values_ & reset);
            },
            "GPIO", clock);
    }
}

GpioAdapter::~GpioAdapter() {
    // The target is left running, SCK and MOSI low, before the kernel gets the lines back.
    setReset(false);
    update(bitsOf(SignalId::Mosi), 0);
    if (hasEnable()) disableBuffers();
    if (hasPower()) powerOff();
}

uint64_t GpioAdapter::levelBits(SignalId id, bool active) const {
    // Wirings give RESET by its level while the target runs; active means held in reset.
    const bool high = id == SignalId::Reset ? !active : active;
    return high ? bitsOf(id) : 0;
}

void GpioAdapter::update(uint64_t mask, uint64_t bits) {
    const uint64_t changed = (values_ ^ bits) & mask;
    if (changed == 0) return;
    values_ ^= changed;
    lines_->set(changed, values_);
}

void GpioAdapter::setSignal(SignalId id, bool active) {
    settle();
    update(bitsOf(id), levelBits(id, active));
}

bool GpioAdapter::readSignal(SignalId id) {
    const uint64_t bits = bitsOf(id);
    return bits != 0 && lines_->get(bits) != 0;
}

// One update per edge: SCK falls as MOSI takes the bit, rises after the
// set-up time, and stays high for the hold time; each phase spins for what its
// update did not already take. A bit whose fall moves nothing (the first after
// settle, with MOSI as it was) counts its low time from settle's fall.
void GpioAdapter::clockBit(uint64_t mosiLevel) {
    const uint64_t sck = bitsOf(SignalId::Sck);
    update(bitsOf(SignalId::Mosi) | sck, mosiLevel);
    clock().spinUs(timing_.setupTime - cycleUs_);
    update(sck, sck);
    clock().spinUs(timing_.holdTime - cycleUs_);
}

// Bytes follow each other like bits: SCK stays high after the last one, and
// its fall is left to the next bit or to settle.
void GpioAdapter::clockBytes(const uint8_t* out, uint8_t* in, size_t count) {
    const uint64_t mosi = bitsOf(SignalId::Mosi), miso = bitsOf(SignalId::Miso);
    for (size_t i = 0; i < count; ++i) {
        const unsigned byte = out ? out[i] : 0;
        unsigned sampled = 0;
        for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
            clockBit((byte & bit) ? mosi : 0);
            // MISO is read while SCK is still high.
            if (in) sampled = (sampled << 1) | (lines_->get(miso) ? 1u : 0u);
        }
        if (in) in[i] = uint8_t(sampled);
    }
}

void GpioAdapter::settle() { update(bitsOf(SignalId::Sck), 0); }

void GpioAdapter::pulseSck() {
    clockBit(0);
    settle();
}

void GpioAdapter::pulseReset() {
    settle();
    setReset(false);
    clock().spinUs(timing_.setupTime + timing_.holdTime - cycleUs_);
    setReset(true);
}

void GpioAdapter::delay(double ms) {
    settle();
    sleepMs(clock(), ms);
}

double GpioAdapter::sckFrequency() const {
    // One update per edge and one read per bit.
    return 1.0 / (std::max(timing_.setupTime, cycleUs_) + std::max(timing_.holdTime, cycleUs_) + cycleUs_);
}

void GpioAdapter::flush() {
    settle();
    if (ownedIo_) ownedIo_->flush();
}

}  // namespace mervex
