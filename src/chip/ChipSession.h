#pragma once
// The session with the chip for one run, from the request's chip name to the
// end of the run: the programmer, through whose ISP link it talks to the chip,
// the chip it found, and the chip layer's caches (timing, polling, open pages,
// fuses), which only its own operations change. The layers above work through
// it and read it through its getters; the run works the programmer's adapter
// controls through programmer().
#include <cstddef>
#include <cstdint>
#include <memory>

#include "adapter/Programmer.h"
#include "chip/ChipState.h"
#include "chip/ChipDescriptor.h"
#include "chip/MemoryKind.h"

namespace mervex {

class ChipSession {
public:
    ChipSession() = default;
    // A session for the requested chip (nullptr: whatever is found).
    ChipSession(const char* requestedName, const ChipOptions& options);

    // The programmer: taken over once, when the adapter exists; the session
    // owns it until releaseProgrammer or its own end.
    void attachProgrammer(std::unique_ptr<Programmer> programmer);
    // Destroy the programmer, if any (buffers disabled, supply off, port closed).
    void releaseProgrammer();
    // The programmer, or null before it exists and after its release.
    Programmer* programmer() const { return state_.programmer.get(); }

    // The chip in use: the detected row, else the requested one; the all-zero
    // end row when there is neither.
    const ChipDescriptor& selectedChip() const { return state_.selectedChip(); }
    // Its flash and EEPROM size in bytes.
    int32_t flashSize() const { return state_.flashSize(); }
    int32_t eepromSize() const { return state_.eepromSize(); }
    const ChipSelection& selection() const { return state_.selection; }
    // The row the signature found; -1 when none.
    int32_t detectedIndex() const { return state_.selection.detectedIndex; }
    // The three signature bytes read at the last connection; -1 before.
    int32_t signature() const { return state_.signature; }
    // The last reply to program enable (all zero before the first).
    const IspInstruction& enableReply() const { return state_.enableReply; }
    const ChipOptions& options() const { return state_.options; }
    // True once the chip has been erased in this run.
    bool chipErased() const { return state_.chipErased; }
    // The delays and page geometry of the selected chip.
    const WriteTiming& writeTiming() const { return state_.timing; }
    // How writes of the pass now open are confirmed.
    PollKind pollMethod() const { return state_.poll.method; }
    // The requested, read and calibration bytes, and the lock level.
    const FuseValues& fuses() const { return state_.fuses; }
    int lockLevel() const { return state_.fuses.lockLevel; }

    // The fuse list of the command line, parsed against the selected chip
    // (parseFuseRequest, chip/FuseRequest.h).
    void parseFuseRequest(const char* text);
    // Whole fuse bytes from a firmware file (addFuseBytes, chip/FuseRequest.h).
    void addFuseBytes(const uint8_t (&value)[FuseBytes], const uint8_t (&mask)[FuseBytes]);
    // Take the requested chip as the detected one, whatever the signature said.
    void forceRequestedChip();

    // Enter programming mode and identify the chip; the write timing follows
    // the chip found.
    void connectChip();
    // The bare chip-erase instruction; the chip leaves programming mode.
    void chipErase();
    // The run's erase: ends connected, with the lock bits read again.
    void eraseChip();

    void readLockBits();
    void printLockState() const;
    // Program lock level 1 or 2 (chip/LockBits.h); returns the level programmed.
    char lockChip(char level);
    void readCalibration();

    void readFuses();
    // Print the calibration and fuse bytes under a title (chip/Fuses.h).
    void printFuses(const char* title) const;
    void printFuses(const char* title, int level) const;
    bool canWriteFusesWithoutErase() const;
    void programFuses();
    void verifyFuses();
    void checkFusesReadAsWritten() const;
    bool fusesHoldRequest() const;

    // A pass over a memory begins: open pages and the remembered extended
    // address are forgotten.
    void beginMemoryPass();
    // A write pass over memory kind begins: as beginMemoryPass, and the way
    // writes are confirmed is chosen.
    void beginWritePass(MemoryKind kind);
    // Write one byte of memory kind; addresses ascend within a pass.
    void writeMemoryByte(MemoryKind kind, uint32_t address, uint8_t value);
    // Commit the open page of memory kind, if any: the end of a write pass.
    void commitOpenPage(MemoryKind kind);
    // Read count bytes of memory kind from address into buffer.
    void readMemoryBlock(MemoryKind kind, uint8_t* buffer, uint32_t address, size_t count);
    // Begin a flash pass and read the word at address (even), low byte first.
    uint16_t readFlashWord(uint32_t address);
    // True when the selected chip has an EESAVE fuse, so an erase may have kept its EEPROM.
    bool eraseMayKeepEeprom() const;

private:
    ChipState state_;
};

}  // namespace mervex
