#pragma once
// The whole-memory operations of a run: blank check, read, write and verify of
// code (flash) or data (EEPROM) memory, with their reports and progress bars.
#include <cstdint>

#include "chip/ChipSession.h"
#include "chip/MemoryKind.h"
#include "image/MemoryImage.h"

namespace mervex {

// What the request says about one memory pass.
struct MemoryPassOptions {
    bool eraseCounter = false;  // the top two flash bytes hold the erase counter: out of every pass
    bool verifyAll = false;     // -v+: verify also tests the free positions
    bool fillEeprom = false;    // -w+: free EEPROM positions are written with 0xFF
};

// Bits of the blank check's memory set.
enum BlankSet : uint8_t {
    BlankCode = 1,
    BlankData = 2,
};

// Size of a memory of the chip as the passes see it (code less the erase
// counter bytes while the counter is on).
uint32_t passMemorySize(const ChipDescriptor& chip, MemoryKind kind, const MemoryPassOptions& options);

// Test the memories of `set` for 0xFF only. A memory that is not blank is
// reported as it is found; then the check fails (ExitChip) with those reports
// as its text, shown already. A chip without EEPROM is skipped silently.
void blankCheck(ChipSession& session, const MemoryPassOptions& options, uint8_t set);

// Read the whole memory into `image` (passed empty) as a gap-free run of blocks.
void readMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind, MemoryImage& image);

// Program the image's bytes; with -w+ on an unerased chip the free EEPROM
// positions are written with 0xFF too.
void writeMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                 const MemoryImage& image);

// Compare the chip with the image: every byte must match and, where tested,
// every free position be blank. A difference fails with ExitChip, which
// nothing else of the reading gives, and the verification's report as lines.
void verifyMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                  const MemoryImage& image);

// Before a write that may be left out: true when the chip already holds the
// image, compared as verifyMemory compares it; prints nothing and stops
// reading at the first difference.
bool memoryHoldsImage(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                      const MemoryImage& image);

// What verifyMemory prints for a chip that memoryHoldsImage found holding the
// image: the verification is that comparison, not a second read.
void reportHeldImageVerified(const MemoryPassOptions& options, MemoryKind kind);

// True when every byte from first to last of memory kind reads 0xFF; true for
// an empty range (last below first).
bool isBlankRange(ChipSession& session, MemoryKind kind, uint32_t first, uint32_t last);

}  // namespace mervex
