#pragma once
// The programmer on a PC parallel port: logical signals mapped onto register
// bits by a PinMap, and SPI bit-banged through precomputed data-write series.
// A wiring with MOSI, SCK or RESET on a control line takes a second, plainer
// per-bit path of single register writes, chosen once at construction; such a
// wiring has no XTAL (the pin-map check refuses it).
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
    // Takes over port and pinMap (the holders become empty); waits on clock.
    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckTiming timing, Clock& clock);
    // XTAL adapter: generates the chip clock on `xtal`, one period per two port writes,
    // with SCK low and high for the given numbers of those periods.
    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, SckPeriods periods, Clock& clock);
    // Disables the buffers and switches the supply off, then frees the map and closes the port.
    ~LptAdapter() override;
    LptAdapter(const LptAdapter&) = delete;
    LptAdapter& operator=(const LptAdapter&) = delete;

    void setReset(bool active) override { setSignal(SignalId::Reset, active); }
    void pulseReset() override;
    void pulseSck() override;
    void delay(double ms) override;
    bool setSckTiming(const SckTiming& timing) override;
    double sckFrequency() const override;
    const char* typeName() const override { return "LPT soft SPI"; }
    const char* adapterName() const override { return pinMap_->name; }
    void flush() override {
        settle();
        port_->flush();
    }

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

    // One register write of the control-line path.
    struct PortWrite {
        PortRegister reg;
        uint8_t value;
        bool operator==(const PortWrite& other) const { return reg == other.reg && value == other.value; }
    };
    // True if MOSI, SCK or RESET sit on a control line, so bits go out as the
    // register writes below instead of the data sequences.
    bool controlPath() const { return controlPath_; }
    const std::vector<PortWrite>& bitZeroWrites() const { return bitZeroWrites_; }
    const std::vector<PortWrite>& bitOneWrites() const { return bitOneWrites_; }
    const std::vector<PortWrite>& resetPulseWrites() const { return resetPulseWrites_; }

private:
    void clockBytes(const uint8_t* out, uint8_t* in, size_t count) override;
    bool hasSignal(SignalId id) const override { return pinMap_->has(id); }
    // Drive the signal's pins to their active or inactive levels: one control
    // read, then a data write and a control write.
    void setSignal(SignalId id, bool active) override;
    bool readSignal(SignalId id) override;

    LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, bool xtalMode, Clock& clock);
    // One byte each: 8 bit sequences, MISO sampled after each bit or not at
    // all. The byte ends with SCK high: the next byte's first write is its
    // falling edge, as between bits, and the restore is owed (settle).
    uint8_t transferBits(uint8_t out);
    void sendBits(uint8_t out);
    uint8_t receiveBits();
    void releaseOutputs();
    void buildSequences(int low, int high);
    void weaveXtal();
    void restoreData();
    // Pay the restore the last byte owes, so that SCK is low and MOSI at rest
    // before any other line changes, a pulse or a wait.
    void settle();
    // The control-line path: the same bits, pulses and restore as register writes.
    void buildControlWrites(uint8_t dataFill, int low, int high);
    void clockBytesByWrites(const uint8_t* out, uint8_t* in, size_t count);
    void writeSeries(const std::vector<PortWrite>& writes);
    void restoreLines();

    // Declared first, freed last: the port outlives everything that writes to it.
    std::unique_ptr<ParallelPort> port_;
    std::unique_ptr<PinMap> pinMap_;
    bool xtalMode_;
    uint8_t dataShadow_ = 0;
    bool restoreOwed_ = false;
    // The lines as construction left them, from which the series are built.
    uint8_t builtData_ = 0;
    uint8_t builtControl_ = 0;
    // MISO sampling, fixed at construction.
    uint8_t misoStatusBits_ = 0;
    bool misoInverted_ = false;
    std::vector<uint8_t> bitZeroSequence_;
    std::vector<uint8_t> bitOneSequence_;
    std::vector<uint8_t> resetPulseSequence_;
    // The control-line path, empty unless controlPath_.
    bool controlPath_ = false;
    uint8_t controlShadow_ = 0;  // the control register as setSignal last left it
    std::vector<PortRegister> restoreOrder_;
    std::vector<PortWrite> bitZeroWrites_;
    std::vector<PortWrite> bitOneWrites_;
    std::vector<PortWrite> resetPulseWrites_;
};

}  // namespace mervex
