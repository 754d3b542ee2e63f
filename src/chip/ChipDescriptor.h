#pragma once
// What a row of the device table is, a run's chip selection (requested name,
// detected row) and the lookups over the table. The table itself and its size
// are in chip/DeviceTable.h, which only the few files that walk the rows
// include, so a new row rebuilds little.
#include <cstdint>
#include <string>

namespace mervex {

// How the end of a write can be detected when polling is requested.
enum PollMethod : uint32_t {
    PollNone = 0,        // polling impossible
    PollExcept00FF = 1,  // read back, except 0x00 and 0xFF
    PollExcept7F80 = 2,  // read back, except 0x7F and 0x80
    PollExcept7F = 3,    // read back, except 0x7F
    PollExceptFF = 4,    // read back, except 0xFF
    PollReadyBusy = 5,   // ask the chip with the ready/busy command
};

// Bits of ChipDescriptor::flags.
enum ChipFlags : uint32_t {
    NoSckResync = 0x0002,         // connecting never pulses SCK to regain step
    SlowSck = 0x0010,             // SCK low >= 2, high >= 5 oscillator periods
    VerySlowSck = 0x0020,         // SCK low >= 5, high >= 17 oscillator periods
    WritableWhenLocked = 0x0040,  // a locked chip still takes fuse and lock writes
    EraseBug = 0x0080,            // chip erase needs the erase-bug correction
    ListBreak = 0x8000,           // the device list starts a new line before this chip
};

// Values of ChipDescriptor::lockLayout: where the lock bits lie in the byte of
// the read-lock command, and which lock write command applies.
enum LockLayout : uint8_t {
    LockNotReadable = 0,  // cannot be read; old write command
    LockBits6And7 = 1,    // LB1 in bit 7, LB2 in bit 6; old write command
    LockBits2And1 = 2,    // LB2 in bit 2, LB1 in bit 1; old write command
    LockBits1And0 = 3,    // LB2 in bit 1, LB1 in bit 0; lock-byte write command
};

// Values of ChipDescriptor::fuseLayout: which ISP fuse commands apply.
enum FuseLayout : uint8_t {
    FuseNoCommands = 0,     // no ISP fuse commands
    FuseSingleRead58 = 1,   // one fuse byte, read with 0x58, old short write
    FuseSingleRead50 = 2,   // one fuse byte, read with 0x50, old short write
    FuseSeparateBytes = 3,  // separate commands for low, high, extended and lock bytes
};

// Index of a fuse byte.
enum class FuseByte : uint8_t { Lock = 0, Low = 1, High = 2, Ext = 3 };
constexpr int FuseByteCount = 4;

// The shared name record of a fuse field.
struct FuseInfo {
    const char* name;
    const char* description;
    const char* alias;  // second accepted name, or nullptr
};

// One field of a fuse byte; a list of them ends with an entry whose info is nullptr.
struct FuseDescriptor {
    const FuseInfo* info;
    int32_t width;  // bits, 1..4
    int32_t shift;  // position of the lowest bit, 0..7

    // The largest value the field holds.
    int32_t maxValue() const { return (1 << width) - 1; }
    // The field's bits within its byte.
    uint8_t mask() const { return uint8_t(maxValue() << shift); }
};

// The fuse lists of a chip, indexed by FuseByte; an absent list is nullptr.
struct FuseSet {
    const FuseDescriptor* lists[FuseByteCount];

    // The list of one fuse byte, or nullptr.
    const FuseDescriptor* list(FuseByte b) const { return lists[int(b)]; }
};

struct MemoryDescriptor {
    int32_t size;          // bytes
    int32_t pageSize;      // bytes; 0 = written byte by byte
    int32_t writeDelayMs;  // one byte or one page, before the delay scale
    PollMethod pollMethod;
};

// One row of the device table.
struct ChipDescriptor {
    const char* names;  // alternatives joined by '|'; nullptr only in the end row
    uint32_t signature;  // byte 0 in bits 23..16, byte 1 in 15..8, byte 2 in 7..0
    int32_t eraseDelayMs;
    MemoryDescriptor flash;
    MemoryDescriptor eeprom;
    int32_t calibrationCount;  // OSCCAL bytes: 0, 1, 2 or 4
    uint32_t flags;            // ChipFlags bits
    uint8_t lockLayout;        // LockLayout
    uint8_t fuseLayout;        // FuseLayout
    const FuseSet* fuseSet;    // nullptr: no ISP-writable fuses

    // Whether the row carries the given ChipFlags bit.
    bool hasFlag(uint32_t flag) const { return (flags & flag) != 0; }
};

// The chip a run works with: the name it asked for and the row the chip's
// signature found. Held by the run's ChipSession.
struct ChipSelection {
    const char* requestedName = nullptr;  // from the command line, "AT" already stripped
    int32_t detectedIndex = -1;           // row found by signature, -1 when none

    // The row in use: the detected row, else the row of the requested name, else -1.
    int32_t index() const;
    // The row in use; the all-zero end row when no chip is selected.
    const ChipDescriptor& selectedChip() const;
};

// True when the requested text equals one of the '|' alternatives of names, or
// its short form, ignoring case.
bool nameMatches(const char* requested, const char* names);

// The short form of one chip name, derived from its family: "m328p" for
// mega328P, "t85" for tiny85, "usb1286" for 90usb1286, "c128" for 90CAN128,
// "pwm3b" for 90pwm3B, "2313" for 90S2313; empty when the name has none.
std::string shortChipName(const char* name);

// The name with a leading "AT" (any case) skipped, as users often write it.
const char* withoutAtPrefix(const char* name);

// Index of the first row whose names match, or -1.
int32_t findChipByName(const char* name);

// The chip's first name: "mega8" for "mega8|mega8A".
std::string primaryChipName(const ChipDescriptor& chip);

// The row at index; the all-zero end row for an index outside the table.
const ChipDescriptor& chipAt(int32_t index);

// "unknown" for a negative index, else the row's whole names text; nullptr from
// the end row on, where a walk over the table stops.
const char* chipNameAt(int32_t index);

// Where the erase counter lives: the chip's top two flash bytes.
inline int32_t eraseCounterAddress(const ChipDescriptor& chip) { return chip.flash.size - 2; }

// The chip's flash size less the two top bytes that hold the erase counter while it is on.
int32_t usableFlashSize(const ChipDescriptor& chip, bool eraseCounter);

// "_LOCK", "_LOW", "_HIGH", "_EXT" for 0..3, "???" otherwise.
const char* fuseByteName(int index);

// The chip's fuse of that name and the byte it lives in; nullptr when the chip has none.
const FuseDescriptor* findFuse(const ChipDescriptor& chip, const char* name, FuseByte* byte = nullptr);

// Minimum SCK low and high times in oscillator periods.
struct SckCycles {
    int32_t low;
    int32_t high;
};

// The chip's SCK minimums for the -o frequency (Hz, 0 = XTAL) and SCK
// divider, the divider already applied.
SckCycles sckTimingCycles(const ChipDescriptor& chip, uint32_t oscillatorHz, uint32_t sckDivider);

// Print the "Supported devices:" block of the help at info level.
void printDeviceList();

// Print the sizes and the fuse list of the named chip at info level.
void printChipInfo(const char* name);

}  // namespace mervex
