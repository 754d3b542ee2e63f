#include "image/MemoryOperations.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Progress.h"

namespace mervex {

namespace {

// Reads go in chunks of this size so that the chip access can batch them.
constexpr uint32_t CodeChunk = 512;
constexpr uint32_t DataChunk = 32;

uint32_t chunkSize(MemoryKind kind) { return kind == MemoryKind::Code ? CodeChunk : DataChunk; }

// Start a pass's progress bar, timed on the programmer's clock. The bar
// counts in 32-bit steps.
void startBar(const ChipSession& session, const char* label, uint64_t bytes) {
    progressStart(session.programmer()->clock(), label,
                  int32_t(std::min<uint64_t>(bytes, uint64_t(std::numeric_limits<int32_t>::max()))));
}

// Read `length` bytes of memory kind from `first` on, chunk by chunk;
// `visit(address, bytes, count)` sees each chunk and returns false to stop
// there (false is then returned). A chunk visited to the end advances the bar.
template <typename Visit>
bool readChunks(ChipSession& session, MemoryKind kind, uint64_t first, uint64_t length, Visit visit) {
    const uint32_t chunk = chunkSize(kind);
    uint8_t buffer[CodeChunk];
    for (uint64_t offset = 0; offset < length; offset += chunk) {
        const uint32_t count = uint32_t(std::min<uint64_t>(chunk, length - offset));
        const uint32_t address = uint32_t(first + offset);
        session.readMemoryBlock(kind, buffer, address, count);
        if (!visit(address, static_cast<const uint8_t*>(buffer), count)) return false;
        progressAdvance(int32_t(count));
    }
    return true;
}

bool freePositionTest(const MemoryPassOptions& options, MemoryKind kind) {
    return options.verifyAll || (kind == MemoryKind::Data && options.fillEeprom);
}

// An erase leaves the EEPROM blank, so there is nothing to fill; but after an
// erase that kept the EEPROM (-e-, or a chip whose EESAVE fuse may be
// programmed) the old contents may be there and must be filled.
bool freePositionFill(const ChipSession& session, const MemoryPassOptions& options, MemoryKind kind) {
    return kind == MemoryKind::Data && options.fillEeprom &&
           (!session.chipErased() || session.options().preserveEeprom || session.eraseMayKeepEeprom());
}

struct ByteMismatch {
    uint32_t address;
    uint8_t expected;
    uint8_t read;
};
using MismatchList = std::vector<ByteMismatch>;

// A failure names the first few bytes that differ; debug level names them all.
constexpr size_t MismatchesShown = 8;

// What the count of the bytes not named stands for: every byte compared, or
// only those of the block where a blank test stopped.
constexpr const char* AllCompared = "(-id lists them all)";
constexpr const char* FirstNonBlankBlock = "in the first non-blank block (-id lists them); the check stops there";
constexpr const char* FirstNonBlankBlocks =
    "in the first non-blank block of each free range (-id lists them); the test stops there";

// Name the mismatches in the failure's report.
void addMismatches(app_error& report, const MismatchList& mismatches, const char* rest) {
    // Past the shown ones, lines only the debug level prints are not made at all:
    // a chip that differs everywhere has as many mismatches as bytes.
    const bool listAll = console().level >= LevelDebug;
    for (size_t i = 0; i < mismatches.size() && (i < MismatchesShown || listAll); ++i) {
        const ByteMismatch& m = mismatches[i];
        report.then(i < MismatchesShown ? LevelError : LevelDebug,
                    formatText("at 0x%04lX: expected %02X, read %02X\n", static_cast<unsigned long>(m.address),
                               unsigned(m.expected), unsigned(m.read)));
    }
    if (mismatches.size() > MismatchesShown && !listAll)
        report.then(LevelError, formatText("and %lu more %s\n",
                                           static_cast<unsigned long>(mismatches.size() - MismatchesShown), rest));
}

// Like isBlankRange; the bytes that are not 0xFF in the chunk where it stopped go to `found`.
bool scanBlank(ChipSession& session, MemoryKind kind, uint32_t first, uint32_t last, MismatchList& found) {
    message(LevelTrace, "IsBlank from 0x%lX to 0x%lX\n", static_cast<unsigned long>(first),
            static_cast<unsigned long>(last));
    if (last < first) return true;
    return readChunks(session, kind, first, uint64_t(last) - first + 1,
                      [&](uint32_t address, const uint8_t* buffer, uint32_t count) {
                          const size_t before = found.size();
                          for (uint32_t i = 0; i < count; ++i)
                              if (buffer[i] != 0xFF) found.push_back({address + i, 0xFF, buffer[i]});
                          return found.size() == before;
                      });
}

// One memory of the blank check: true when blank. A memory that is not blank
// is reported at once, before the next is checked, and its report goes into
// `failure`.
bool blankCheckMemory(ChipSession& session, MemoryKind kind, uint32_t size, const char* label, app_error& failure) {
    session.beginMemoryPass();
    message(LevelInfo, "%s: ", label);
    startBar(session, label, size);
    MismatchList found;
    const bool blank = size == 0 || scanBlank(session, kind, 0, size - 1, found);
    progressEnd();
    if (blank) {
        message(LevelInfo, "Blank\n");
        return true;
    }
    message(LevelInfo, "\n");
    app_error report(ExitChip, "%s not blank\n", label);
    addMismatches(report, found, FirstNonBlankBlock);
    reportFailure(report);
    failure.shown(report.what());
    return false;
}

// Write 0xFF from `from` up to, not including, `to`.
void fillFree(ChipSession& session, MemoryKind kind, uint64_t from, uint64_t to) {
    for (uint64_t address = from; address < to; ++address) {
        session.writeMemoryByte(kind, uint32_t(address), 0xFF);
        progressAdvance(1);
    }
}

// Compare one block with the chip; the bytes that differ go to `mismatches`.
// With `stopAtFirst` the reading ends with the chunk where one is found.
void compareBlock(ChipSession& session, MemoryKind kind, const MemoryBlock& block, MismatchList& mismatches,
                  bool stopAtFirst) {
    readChunks(session, kind, block.address, block.length, [&](uint32_t address, const uint8_t* buffer, uint32_t count) {
        const uint8_t* expected = block.data.get() + (address - block.address);
        for (uint32_t i = 0; i < count; ++i) {
            if (buffer[i] == expected[i]) continue;
            mismatches.push_back({address + i, expected[i], buffer[i]});
            message(LevelTrace, "%08lX: expected %02X, read %02X\n", static_cast<unsigned long>(address + i),
                    unsigned(expected[i]), unsigned(buffer[i]));
        }
        return !(stopAtFirst && !mismatches.empty());
    });
}

// What comparing the chip with an image found.
struct Comparison {
    bool testFree = false;  // the free positions were tested for 0xFF
    MismatchList mismatches;
    MismatchList notBlank;
    bool freeBlank = true;

    bool matched() const { return mismatches.empty() && freeBlank; }
};

// Compare the chip with the image (and, where tested, the free positions with
// 0xFF); with `stopAtFirst` the reading ends at the first difference.
Comparison compareMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                         const MemoryImage& image, bool stopAtFirst) {
    Comparison found;
    found.testFree = freePositionTest(options, kind);
    const uint32_t size = passMemorySize(session.selectedChip(), kind, options);
    session.beginMemoryPass();
    uint64_t nextAddress = 0;
    image.forEach([&](const MemoryBlock& block) {
        if (stopAtFirst && !found.matched()) return;
        if (found.testFree && nextAddress < block.address) {
            if (!scanBlank(session, kind, uint32_t(nextAddress), block.address - 1, found.notBlank)) found.freeBlank = false;
        }
        message(LevelTrace, "Verifying from 0x%lX to 0x%lX\n", static_cast<unsigned long>(block.address),
                static_cast<unsigned long>(block.lastAddress()));
        nextAddress = block.endAddress();
        compareBlock(session, kind, block, found.mismatches, stopAtFirst);
    });
    if (found.testFree && nextAddress < size && !(stopAtFirst && !found.matched())) {
        if (!scanBlank(session, kind, uint32_t(nextAddress), size - 1, found.notBlank)) found.freeBlank = false;
    }
    return found;
}

// Print a verification that passed; throw the report of one that failed.
void reportVerification(const Comparison& found) {
    if (found.matched()) {
        message(LevelInfo, " passed\n");
        if (found.testFree) message(LevelInfo, " Free positions are blank\n");
        return;
    }
    app_error failure(ExitChip);
    const long errors = long(found.mismatches.size());
    if (errors == 0) {
        failure.then(LevelInfo, " passed\n");
    } else {
        failure.then(LevelError, formatText("failed, %ld error%c\n", errors, errors == 1 ? ' ' : 's'));
        addMismatches(failure, found.mismatches, AllCompared);
    }
    if (found.testFree) {
        if (found.freeBlank) {
            failure.then(LevelInfo, " Free positions are blank\n");
        } else {
            failure.then(LevelError, " Free positions are NOT blank\n");
            addMismatches(failure, found.notBlank, FirstNonBlankBlocks);
        }
    }
    throw failure;
}

uint64_t comparedBytes(const ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                       const MemoryImage& image) {
    return freePositionTest(options, kind) ? passMemorySize(session.selectedChip(), kind, options)
                                           : image.totalLength();
}

}  // namespace

uint32_t passMemorySize(const ChipDescriptor& chip, MemoryKind kind, const MemoryPassOptions& options) {
    const int32_t size = kind == MemoryKind::Code ? usableFlashSize(chip, options.eraseCounter) : chip.eeprom.size;
    return size > 0 ? uint32_t(size) : 0;
}

bool isBlankRange(ChipSession& session, MemoryKind kind, uint32_t first, uint32_t last) {
    MismatchList found;
    return scanBlank(session, kind, first, last, found);
}

void blankCheck(ChipSession& session, const MemoryPassOptions& options, uint8_t set) {
    message(LevelInfo, "Blank check\n");
    app_error notBlank(ExitChip);
    bool blank = true;
    if (set & BlankCode) {
        const uint32_t codeSize = passMemorySize(session.selectedChip(), MemoryKind::Code, options);
        blank = blankCheckMemory(session, MemoryKind::Code, codeSize, "Code", notBlank);
    }
    const uint32_t dataSize = passMemorySize(session.selectedChip(), MemoryKind::Data, options);
    if ((set & BlankData) && dataSize != 0)
        blank = blankCheckMemory(session, MemoryKind::Data, dataSize, "Data", notBlank) && blank;
    if (!blank) throw notBlank;
}

void readMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind, MemoryImage& image) {
    const uint32_t size = passMemorySize(session.selectedChip(), kind, options);
    message(LevelInfo, "Reading %ld bytes from %s\n", static_cast<long>(size), memoryKindName(kind));
    startBar(session, "Read", size);
    session.beginMemoryPass();
    readChunks(session, kind, 0, size, [&](uint32_t address, const uint8_t* buffer, uint32_t count) {
        image.append(std::make_unique<MemoryBlock>(address, count, buffer));
        return true;
    });
    progressEnd();
}

void writeMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                 const MemoryImage& image) {
    const uint64_t total = image.totalLength();
    message(LevelInfo, "Programming %ld bytes to %s\n", static_cast<long>(total), memoryKindName(kind));
    startBar(session, "Write", total);
    session.beginWritePass(kind);
    const bool fill = freePositionFill(session, options, kind);
    uint64_t nextAddress = 0;
    image.forEach([&](const MemoryBlock& block) {
        if (fill) fillFree(session, kind, nextAddress, block.address);
        for (uint32_t i = 0; i < block.length; ++i) {
            session.writeMemoryByte(kind, block.address + i, block.data[i]);
            progressAdvance(1);
        }
        nextAddress = block.endAddress();
    });
    if (fill) fillFree(session, kind, nextAddress, passMemorySize(session.selectedChip(), kind, options));
    session.commitOpenPage(kind);
    progressEnd();
}

void verifyMemory(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                  const MemoryImage& image) {
    message(LevelInfo, "Verifying %s\n", memoryKindName(kind));
    startBar(session, "Verfiy", comparedBytes(session, options, kind, image));
    const Comparison found = compareMemory(session, options, kind, image, false);
    progressEnd();
    reportVerification(found);
}

bool memoryHoldsImage(ChipSession& session, const MemoryPassOptions& options, MemoryKind kind,
                      const MemoryImage& image) {
    startBar(session, "Compare", comparedBytes(session, options, kind, image));
    const bool held = compareMemory(session, options, kind, image, true).matched();
    progressEnd();
    return held;
}

void reportHeldImageVerified(const MemoryPassOptions& options, MemoryKind kind) {
    message(LevelInfo, "Verifying %s\n", memoryKindName(kind));
    Comparison found;
    found.testFree = freePositionTest(options, kind);
    reportVerification(found);
}

}  // namespace mervex
