#pragma once
// The programmer on GPIO lines (a single-board computer's header): each
// signal is one or more requested lines, and SPI is bit-banged with one line
// update per clock edge, the SCK phases held by spinning for their measured
// remainder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter/GpioChip.h"
#include "adapter/Programmer.h"
#include "adapter/SckTiming.h"

namespace mervex {

// One resolved line of the wiring.
struct GpioLine {
    SignalId signal;
    uint32_t offset;
    bool inverted;  // the kernel inverts it: active (RESET: running) at its low level
};

class GpioAdapter final : public Programmer {
public:
    // Request the lines from the chip (outputs released, RESET running, MISO
    // and the key as inputs) and measure the cost of one line update, unless
    // the chip's io knows it. ownedIo, when given, is the simulated chip
    // behind the lines, kept as long as they are. SCK low and high last at
    // least the timing's times, spun and waited on clock.
    GpioAdapter(std::unique_ptr<GpioIo> ownedIo, std::unique_ptr<GpioChip> chip, const std::vector<GpioLine>& lines,
                SckTiming timing, std::string name, Clock& clock);
    // RESET released (the target runs), buffers disabled, supply off; then
    // the lines are released.
    ~GpioAdapter() override;
    GpioAdapter(const GpioAdapter&) = delete;
    GpioAdapter& operator=(const GpioAdapter&) = delete;

    void setReset(bool active) override { setSignal(SignalId::Reset, active); }
    void pulseReset() override;
    void pulseSck() override;
    void delay(double ms) override;
    double sckFrequency() const override;
    const char* typeName() const override { return "GPIO soft SPI"; }
    const char* adapterName() const override { return name_.c_str(); }
    const char* noAnswerAdvice() const override {
        return "check the wiring's lines (-id names the chip and the line numbers)";
    }
    void flush() override;

    // Microseconds per line update.
    double cycleTime() const { return cycleUs_; }

private:
    void clockBytes(const uint8_t* out, uint8_t* in, size_t count) override;
    bool hasSignal(SignalId id) const override { return bitsOf(id) != 0; }
    uint64_t bitsOf(SignalId id) const { return signalBits_[size_t(id)]; }
    void setSignal(SignalId id, bool active) override;
    bool readSignal(SignalId id) override;

    // The bits of the signal's lines at its active or inactive level.
    uint64_t levelBits(SignalId id, bool active) const;
    // One SPI bit, SCK left high.
    void clockBit(uint64_t mosiLevel);
    // SCK low, as it rests, before any other line changes, a pulse or a wait.
    void settle();
    // Drive the lines of mask to bits, with one update of the lines that change (none if none do).
    void update(uint64_t mask, uint64_t bits);

    // Declared first, freed last: the simulated chip outlives the chip's and the lines' descriptors.
    std::unique_ptr<GpioIo> ownedIo_;
    std::unique_ptr<GpioChip> chip_;
    std::unique_ptr<GpioLineRequest> lines_;
    uint64_t signalBits_[SignalCount] = {};  // bit i: the request's line i
    uint64_t values_ = 0;                    // as last driven
    double cycleUs_ = 0;
    SckTiming timing_;
    std::string name_;
};

}  // namespace mervex
