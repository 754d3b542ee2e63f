#pragma once
// A simulated AVR behind its ISP pins: the serial programming interface as on
// silicon (programming mode while RESET is held low, MOSI taken on the rising
// SCK edge, MISO changed on the falling one, 32-bit instruction frames that a
// RESET pulse restarts), the instruction set of the chip's device table row
// (memories, flash and EEPROM page buffers, extended address, fuse and lock formats,
// calibration, chip erase), busy times with data polling and ready/busy, the
// chip's clock limits on SCK, and the faults of the target's settings.
#include <cstdint>
#include <vector>

#include "chip/ChipDescriptor.h"
#include "sim/InstructionSet.h"
#include "sim/VirtualCable.h"
#include "sim/VirtualTarget.h"

namespace mervex {

class VirtualChip {
public:
    // The chip of target, counting into counters. Both must outlive the chip.
    VirtualChip(VirtualTarget& target, TargetCounters& counters);
    VirtualChip(const VirtualChip&) = delete;
    VirtualChip& operator=(const VirtualChip&) = delete;

    // The chip's inputs take these levels at modelled time nowUs (microseconds,
    // never earlier than the previous call).
    void setPins(const ChipPins& pins, double nowUs);

    // True while the chip drives MISO: powered, held in reset, and its fuses
    // leave serial programming on.
    bool drivesMiso() const { return powered_ && !pins_.reset && answers_; }
    // The MISO level, meaningful while drivesMiso().
    bool miso() const { return miso_; }
    // True once program enable has been accepted since the last reset.
    bool programming() const { return programming_; }
    // True while a non-volatile write is in progress at nowUs.
    bool busy(double nowUs) const { return nowUs < busyUntilUs_; }
    // The extended address byte that reads and page writes use (chips above 128 KiB).
    uint8_t extendedAddress() const { return extendedAddress_; }

private:
    enum class BusyArea { None, Flash, Eeprom };

    void powerUp();
    void powerDown();
    void enterReset();
    void sckRise(bool mosi);
    void sckFall();
    bool pulseLongEnough(double lowUs, double highUs, uint64_t lowTicks, uint64_t highTicks) const;
    void shiftIn(bool bit);
    void byteReceived(int index, uint8_t value);
    uint8_t readReply();
    void execute();
    bool serialProgrammingOff() const;

    uint32_t flashWordAddress() const;
    uint8_t readFlash(uint32_t address) const;
    uint8_t readEeprom(uint32_t address) const;
    uint8_t readLockByte() const;
    uint8_t pollValue(PollMethod method) const;
    bool writeAllowed(bool memoryWrite);
    bool beginWrite(double durationUs, BusyArea area, uint32_t from, uint32_t to);
    void writeFlashByte(bool highByte);
    void writeFlashPage();
    void writeEepromByte();
    void writeFuse(FuseByte byte, uint8_t value);
    void writeLock(uint8_t newLock);
    void loadEepromPageByte();
    void writeEepromPage();
    void chipErase();
    bool eepromSaved() const;

    VirtualTarget& target_;
    TargetCounters& counters_;
    const ChipDescriptor& chip_;
    InstructionSet instructions_;
    SckCycles minimumCycles_{2, 2};
    uint32_t pageWords_ = 0;  // 0: byte-wise flash

    double nowUs_ = 0;
    ChipPins pins_;
    bool powered_ = false;
    bool programming_ = false;
    bool answers_ = true;  // the fuses read at the last reset allow serial programming

    // Serial interface.
    uint32_t frameBit_ = 0;     // position within the 32-bit frame
    uint32_t frameBits_ = 0;    // bits received in this frame since the reset
    uint8_t shift_ = 0;         // the byte coming in
    uint8_t command_[4] = {};   // the frame's bytes
    uint8_t out_ = 0;           // the byte going out
    bool miso_ = false;
    bool pendingBit_ = false;   // a rising edge waits for its falling edge
    bool sampled_ = false;      // MOSI at that rising edge
    double fallUs_ = 0;
    double riseUs_ = 0;
    uint64_t xtalRises_ = 0;
    uint64_t xtalAtFall_ = 0;
    uint64_t xtalAtRise_ = 0;
    uint64_t frames_ = 0;       // complete frames of this run

    // Instruction state.
    uint8_t extendedAddress_ = 0;
    std::vector<uint8_t> pageBuffer_;
    std::vector<uint8_t> eepromPageBuffer_;  // empty: the chip has no EEPROM pages
    bool flashWrittenSinceReset_ = false;

    // The write in progress.
    double busyStartUs_ = 0;
    double busyUntilUs_ = 0;
    BusyArea busyArea_ = BusyArea::None;
    uint32_t busyFrom_ = 0;
    uint32_t busyTo_ = 0;
};

}  // namespace mervex
