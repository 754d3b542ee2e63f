#pragma once
// The chip layer's state of one session with the chip. Only the chip layer's
// functions touch it; everyone else goes through ChipSession.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "adapter/Programmer.h"
#include "chip/ChipDescriptor.h"
#include "chip/MemoryKind.h"

namespace mervex {

// What the request tells the chip protocol.
struct ChipOptions {
    bool pollRequested = false;    // the "p" option of the write switch
    bool eepromPages = false;      // the "e" option: EEPROM by pages where the chip has them
    bool preserveEeprom = false;   // EEPROM saved before the erase and restored after it
    double resetInactiveMs = 2.0;  // RESET released this long after a chip erase
    double delayScale = 1.0;       // every write and erase delay is multiplied by it
};

// Delays in milliseconds, already multiplied by the delay scale.
struct WriteTiming {
    double eraseDelay = 50.0;
    double flashByteDelay = 0.0;
    double flashPageDelay = 0.0;
    double eepromByteDelay = 0.0;  // also one EEPROM page, while EEPROM goes by pages
    // What a write that polling cannot confirm waits at least: the longest a
    // write takes on the chip at a low supply, unscaled; 0 when the delays hold.
    double lowSupplyWrite = 0.0;
    bool pageMode = false;     // flash is written by pages
    uint32_t pageMask = 0;     // flash page size - 1
    uint32_t eepromPageMask = 0;  // EEPROM page size - 1 while EEPROM goes by pages
};

// How one byte of a memory is written.
enum class WriteRoutine : uint8_t { ByteWriter, PageLoader, EepromPageLoader };

// The largest EEPROM page that EEPROM page writes handle.
constexpr uint32_t MaxEepromPage = 32;

// The EEPROM page that a page-wise data write is collecting.
struct EepromPage {
    int32_t base = -1;       // first address of the page; -1 when none is open
    uint32_t given = 0;      // bit i: bytes[i] came from the image
    uint8_t bytes[MaxEepromPage] = {};
};

// How the end of a write is detected.
enum class PollKind : uint8_t { FixedDelay = 0, ReadBack = 1, ReadyBusy = 2 };

struct PollState {
    PollKind method = PollKind::FixedDelay;
    uint8_t unpollableA = 0xFF;  // values read-back polling cannot confirm
    uint8_t unpollableB = 0xFF;
    int32_t pollAddress = -1;    // -1: nothing to poll
    uint8_t pollValue = 0xFF;    // the byte that confirms the write
    double flashWriteMs = 0;     // the quickest flash write of the pass polling confirmed; 0: none yet
};

// The cached state of memory access, reset before every memory pass.
struct AccessState {
    // Last byte loaded into the flash page buffer; -1 when none.
    int32_t lastAddress = -1;
    // The address whose extended address the last flash read set; -1 when
    // none, so that the next read above 128 KB sets it.
    int32_t extendedReadAddress = -1;
    // Page-load instructions of the open page, plus one extended-address instruction.
    std::vector<uint8_t> pageQueue;
    WriteRoutine writeRoutine[2] = {WriteRoutine::ByteWriter, WriteRoutine::ByteWriter};
    EepromPage eepromPage;
    // From this address on the EEPROM is known to hold only 0xFF (erased in
    // this run and not written since), so pages there need not be read before
    // they are written; -1 when nothing is known.
    int64_t eepromBlankFrom = -1;
};

constexpr int FuseBytes = 4;  // indexed by FuseByte: Lock, Low, High, Ext

// Lock level values.
constexpr int LockUnknown = -1;
constexpr int LockNone = 0;
constexpr int LockProgramming = 1;  // programming disabled
constexpr int LockReading = 2;      // reading and programming disabled

struct FuseValues {
    uint8_t readValue[FuseBytes] = {};
    uint8_t knownMask[FuseBytes] = {};
    uint8_t readBytes = 0;  // bit b set: readValue[b] was read from the chip
    uint8_t requestValue[FuseBytes] = {};
    uint8_t requestMask[FuseBytes] = {};
    bool listGiven = false;  // a fuse list was given on the command line
    uint8_t calibration[4] = {};
    int lockLevel = LockUnknown;
};

struct ChipState {
    // The run's programmer, owned from the moment the adapter exists; the
    // chip layer uses only its ISP link.
    std::unique_ptr<Programmer> programmer;
    // The requested chip and the row its signature found.
    ChipSelection selection;
    ChipOptions options;
    bool chipErased = false;
    bool eepromWrittenSinceErase = false;  // an EEPROM byte or page written after the erase
    WriteTiming timing;
    PollState poll;
    AccessState access;
    FuseValues fuses;
    // The three signature bytes read at connection; -1 before.
    int32_t signature = -1;
    // The last reply to program enable, for telling why a chip does not answer.
    IspInstruction enableReply{};

    const ChipDescriptor& selectedChip() const { return selection.selectedChip(); }
    int32_t flashSize() const { return selectedChip().flash.size; }
    int32_t eepromSize() const { return selectedChip().eeprom.size; }

    // The link, which must exist by the time the chip is touched.
    IspLink& link() {
        if (!programmer) throw std::logic_error("chip access without an ISP link");
        return *programmer;
    }
};

}  // namespace mervex
