#pragma once
// The whole state of one simulated target: the chip's memories and
// configuration bytes, the cable in front of it, the chip's clock and write
// times, the faults to inject, and what the last run did. A target file holds
// exactly this.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chip/ChipDescriptor.h"

namespace mervex {

// How long the chip stays busy after each non-volatile write, in microseconds.
struct TargetBusyTimes {
    double flashUs = 0;   // one byte of byte-wise flash, or one page
    double eepromUs = 0;  // one EEPROM byte, or one EEPROM page
    double eraseUs = 0;   // chip erase
    double fuseUs = 0;    // one fuse or lock write
};

// What the target's MISO line does instead of carrying the chip's answer.
enum class MisoFault : uint8_t {
    None,
    High,     // stuck high
    Low,      // stuck low: a short to ground
    Crossed,  // MOSI and MISO swapped: MISO reads what MOSI drives, the chip gets no MOSI
};

// Faults to inject; the defaults inject none.
struct TargetFaults {
    uint32_t outOfStepBits = 0;    // after every reset the chip needs this many extra SCK pulses (0..31)
    bool noProgramEnable = false;  // program enable is never answered
    uint32_t wrongEchoAt = 0;      // instruction number of the run (1 = first) echoed wrongly; 0 none
    uint32_t stuckWriteAt = 0;     // non-volatile write number of the run that never completes; 0 none
    bool stuckBit = false;         // one flash bit that never changes
    uint32_t stuckBitAddress = 0;  // flash byte address
    uint8_t stuckBitNumber = 0;    // 0..7
    bool stuckBitLevel = false;
    bool signatureOverride = false;  // answer `signature` instead of the chip's own
    uint32_t signature = 0;
    uint32_t signalAt = 0;  // instruction number of the run after which the process gets signalNumber; 0 none
    int signalNumber = 0;   // SIGINT, SIGTERM or SIGQUIT: the user interrupting at an exact point
    MisoFault miso = MisoFault::None;
    bool noPower = false;        // the target has no supply, whatever the cable does
    bool deadDataLines = false;  // the port's data lines never move, and read back as 0xFF
};

// A time span of modelled time, since the port was opened, during which the key is held.
struct KeyInterval {
    double fromMs = 0;
    double toMs = -1;  // negative: held to the end
};

// One output line of the cable as the last run left it.
struct TargetLineRecord {
    bool present = false;     // the cable has the line
    bool on = false;          // level at the end of the run
    uint32_t switchedOn = 0;  // how often it went on
};

// What one run did, counted by the port, the cable and the chip.
struct TargetCounters {
    uint64_t dataReads = 0;
    uint64_t statusReads = 0;
    uint64_t controlReads = 0;
    uint64_t dataWrites = 0;  // each value of a data series counts
    uint64_t controlWrites = 0;
    uint64_t statusWrites = 0;     // ignored by the port, counted anyway
    uint64_t sequences = 0;        // data series written
    uint64_t isp[256] = {};        // complete instructions by their first byte
    uint64_t bits = 0;             // SCK pulses the chip took
    uint64_t missedPulses = 0;     // SCK pulses too short for the chip's clock
    uint32_t sckLowMinWrites = 0;  // shortest SCK low at the chip, in port writes; 0 none seen
    uint32_t sckHighMinWrites = 0;
    uint64_t busyInstructions = 0;  // instructions received while a write was in progress
    uint64_t ignoredWrites = 0;     // writes and loads dropped because the chip was busy
    uint64_t unknownInstructions = 0;  // frames in programming mode that match no instruction form of the chip
    uint64_t lockedWrites = 0;      // writes dropped because of the lock bits
    uint64_t writes = 0;            // non-volatile writes started
    uint64_t eepromPages = 0;       // EEPROM pages written
    double modelledUs = 0;          // port accesses x access time + the real waits
    TargetLineRecord power;
    TargetLineRecord enable;
    TargetLineRecord ledOk;
    TargetLineRecord ledError;

    // All register reads and writes.
    uint64_t accesses() const {
        return dataReads + statusReads + controlReads + dataWrites + controlWrites + statusWrites;
    }
    // All complete ISP instructions.
    uint64_t instructions() const;
};

struct VirtualTarget {
    int32_t chipIndex = -1;          // row of the device table
    std::string cable = "vuder";     // VirtualCable name or user wiring
    uint32_t clockHz = 1000000;      // the chip's oscillator; 0: clocked only through XTAL
    double accessTimeUs = 1.0;       // modelled time of one port access
    uint8_t fuses[FuseByteCount] = {0xFF, 0xFF, 0xFF, 0xFF};  // indexed by FuseByte; [Lock] holds LB1 in
                                                              // bit 0, LB2 in bit 1, boot locks in 5..2
    std::vector<uint8_t> calibration;  // calibrationCount bytes
    TargetBusyTimes busy;
    TargetFaults faults;
    std::vector<KeyInterval> key;  // empty: never pressed
    uint32_t eraseCount = 0;       // chip erases over the target's life
    uint32_t runCount = 0;         // runs over the target's life
    std::vector<uint8_t> flash;
    std::vector<uint8_t> eeprom;
    TargetCounters lastRun;

    // The chip's row of the device table.
    const ChipDescriptor& chip() const { return chipAt(chipIndex); }
    uint8_t& fuse(FuseByte b) { return fuses[int(b)]; }
    uint8_t fuse(FuseByte b) const { return fuses[int(b)]; }
    // Lock level from LB1/LB2: 0 open, 1 programming disabled, 2 reading disabled too.
    int lockLevel() const;
    // Force the stuck flash bit, if any, to its level, as the cell holds it
    // whatever is written: after every change of the flash or of the fault,
    // so that the stored flash is what the chip reads and a read changes nothing.
    void holdStuckBit();
};

// A new target of the named chip (device table name, case-insensitive), erased,
// with the factory fuse and lock bytes, invented calibration bytes and busy
// times taken from the chip's data sheet figures; nullptr for an unknown name.
std::unique_ptr<VirtualTarget> newVirtualTarget(const std::string& chipName);

// The busy times a new target of this chip gets.
TargetBusyTimes defaultBusyTimes(const ChipDescriptor& chip);

// True if the list of first names, joined by '|', holds the chip's.
bool chipListNames(const char* list, const ChipDescriptor& chip);

}  // namespace mervex
