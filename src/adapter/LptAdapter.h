#pragma once
// The Programmer on a PC parallel port: logical signals mapped onto register
// bits by a PinMap, and SPI bit-banged through precomputed data-write series.
#include <cstdint>
#include <memory>
#include <vector>

#include "adapter/ParallelPort.h"
#include "adapter/PinMap.h"
#include "adapter/Programmer.h"
#include "adapter/SckTiming.h"

namespace mervex {

class LptAdapter final : public Programmer {
public:
    // Timed adapter: SCK low and high last at least the given times, in whole port cycles.
    // Takes over port and pinMap (the holders become empty).
    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckTiming timing);
    // XTAL adapter: generates the chip clock on `xtal`, one period per two port writes,
    // with SCK low and high for the given numbers of those periods.
    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckPeriods periods);
    // Disables the buffers and switches the supply off, then frees the map and closes the port.
    ~LptAdapter() override;
    LptAdapter(const LptAdapter&) = delete;
    LptAdapter& operator=(const LptAdapter&) = delete;

    bool prefersBlockTransfer() const override { return false; }
    uint8_t transferByte(uint8_t out) override;
    void sendByte(uint8_t out) override;
    uint8_t receiveByte() override;
    void setReset(bool active) override;
    void pulseReset() override;
    void pulseSck() override;
    void delay(double ms) override;
    bool hasPower() const override { return pinMap_->has(SignalId::Power); }
    void powerOn() override { activateSignal(SignalId::Power); }
    void powerOff() override { deactivateSignal(SignalId::Power); }
    bool hasEnable() const override { return pinMap_->has(SignalId::Enable); }
    void enableBuffers() override { activateSignal(SignalId::Enable); }
    void disableBuffers() override { deactivateSignal(SignalId::Enable); }
    void setLedOk(bool on) override;
    void setLedError(bool on) override;
    bool hasKey() const override { return pinMap_->has(SignalId::Key); }
    bool isKeyPressed() override { return readSignal(SignalId::Key); }
    double sckFrequency() const override;
    const char* typeName() const override { return "LPT soft SPI"; }
    const char* adapterName() const override { return pinMap_->name; }
    void flush() override { port_->flush(); }

    // Drive the signal's pins to their active levels: one control read, then a
    // data write and a control write.
    void activateSignal(SignalId id);
    // Drive the signal's pins to their inactive levels, the same way.
    void deactivateSignal(SignalId id);
    // The input signal's level (true = active); an absent signal reads false.
    bool readSignal(SignalId id);

    // The owned port and wiring, for inspection.
    const ParallelPort& port() const { return *port_; }
    const PinMap& pinMap() const { return *pinMap_; }
    // True if the adapter generates the chip clock on `xtal`.
    bool xtalMode() const { return xtalMode_; }
    // The resting value of the data lines.
    uint8_t dataShadow() const { return dataShadow_; }
    // The data values written for one SPI bit of 0 or 1, and for one RESET pulse.
    const std::vector<uint8_t>& bitZeroSequence() const { return bitZeroSequence_; }
    const std::vector<uint8_t>& bitOneSequence() const { return bitOneSequence_; }
    const std::vector<uint8_t>& resetPulseSequence() const { return resetPulseSequence_; }
    // Port writes per SPI bit (L + H) and per RESET pulse.
    size_t bitSequenceLength() const { return bitZeroSequence_.size(); }
    size_t resetPulseLength() const { return resetPulseSequence_.size(); }

private:
    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, bool xtalMode);
    void releaseOutputs();
    void buildSequences(int low, int high);
    void weaveXtal();
    void restoreData();

    // Declared first, freed last: the port outlives everything that writes to it.
    std::unique_ptr<ParallelPort> port_;
    std::unique_ptr<PinMap> pinMap_;
    bool xtalMode_;
    uint8_t dataShadow_ = 0;
    // MISO sampling, fixed at construction.
    uint8_t misoStatusBits_ = 0;
    bool misoInverted_ = false;
    std::vector<uint8_t> bitZeroSequence_;
    std::vector<uint8_t> bitOneSequence_;
    std::vector<uint8_t> resetPulseSequence_;
};

}  // namespace mervex
