#include "driver/ValueInsertion.h"

#include <algorithm>
#include <cstdio>

#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

const char* memoryName(InsertTarget target) { return target == DataByte ? "DATA memory" : "CODE memory"; }

// The block that holds the address, or null. Addresses past 32 bits lie in none.
MemoryBlock* blockHolding(const MemoryImage& image, uint64_t address) {
    return image.findIf([address](const MemoryBlock& block) {
        return block.address <= address && address <= block.lastAddress();
    });
}

bool holds(const MemoryBlock* block, uint64_t address) {
    return block != nullptr && block->address <= address && address <= block->lastAddress();
}

[[noreturn]] void recordNotFound(const char* name) { throw app_error(ExitFile, "HEX record for %s not found\n", name); }

}  // namespace

void checkDestination(const RunState& state, const char* name, InsertTarget target, uint32_t address,
                      int32_t length) {
    const ChipDescriptor& chip = state.session.selectedChip();
    const int64_t limit = target == DataByte ? chip.eeprom.size : usableFlashSize(chip, state.eraseCounter);
    const int64_t room = target == CodeLdi ? 2 * int64_t(length) : int64_t(length);
    if (int64_t(address) > limit - room) {
        throw app_error(ExitUsage, "%s destination address too large\n", name);
    }
}

void insertIntoImage(RunState& state, const char* name, InsertTarget target, uint32_t address,
                     const uint8_t* bytes, int32_t count) {
    MemoryImage& image = target == DataByte ? state.dataImage : state.codeImage;
    if (image.empty()) {
        throw app_error(ExitUsage, "No hex records for %s, can't insert %s\n", target == DataByte ? "EEPROM" : "FLASH",
                        name);
    }
    MemoryBlock* block = nullptr;
    uint64_t at = address;
    for (int32_t i = 0; i < count; ++i) {
        if (!holds(block, at)) block = blockHolding(image, at);
        if (block == nullptr) recordNotFound(name);
        const uint8_t value = bytes[i];
        if (target != CodeLdi) {
            block->setByteAt(uint32_t(at), value);
            at += 1;
            continue;
        }
        // LDI is 1110 KKKK dddd KKKK, low byte first: the immediate's low nibble
        // goes into the first byte, its high nibble into the second.
        if (!holds(block, at + 1)) recordNotFound(name);
        const uint32_t low = uint32_t(at);
        block->setByteAt(low, uint8_t((block->byteAt(low) & 0xF0) | (value & 0x0F)));
        block->setByteAt(low + 1, uint8_t((block->byteAt(low + 1) & 0xF0) | (value >> 4)));
        at += 2;
    }
}

void insertOsccal(const Request& request, RunState& state) {
    const OsccalInsert& insert = request.osccalInsert;
    if (insert.index < 0 || insert.index >= state.session.selectedChip().calibrationCount) {
        throw app_error(ExitUsage, "OSCCAL%d not exist in selected chip\n", int(insert.index));
    }
    checkDestination(state, "OSCCAL", insert.target, insert.address, 1);
    int64_t value = int64_t(state.session.fuses().calibration[insert.index]) + insert.correction;
    if (value > 0xFF || value < 0) {
        value = value > 0xFF ? 0xFF : 0;
        message(LevelInfo, "Warning: corrected osccal value limited by 0x%02X\n", unsigned(value));
    }
    const uint8_t byte = uint8_t(value);
    insertIntoImage(state, "OSCCAL", insert.target, insert.address, &byte, 1);
    char correction[16] = "";
    if (insert.correction != 0) std::snprintf(correction, sizeof correction, "%+d", int(insert.correction));
    message(LevelInfo, "OSCCAL%d%s inserted to %s at 0x%lX %s\n", int(insert.index), correction,
            memoryName(insert.target), static_cast<unsigned long>(insert.address),
            insert.target == CodeLdi ? "as part of LDI command" : "");
}

void insertSerialNumber(const Request& request, RunState& state) {
    const SerialInsert& insert = request.serialInsert;
    if (insert.length < 1 || insert.length > 4) {
        throw app_error(ExitUsage, "Invalid SERNO length\n");
    }
    checkDestination(state, "SERNO", insert.target, insert.address, insert.length);
    SerialNumberFile& file = state.serialFile;
    file.open(insert.file, insert.length);
    const uint32_t number = file.number();
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(number >> (8 * i));
    // Taken only once it has its place, so that a request that cannot be met
    // costs no number.
    insertIntoImage(state, "SERNO", insert.target, insert.address, bytes, insert.length);
    // With -ws the number is taken only once the chip is found to differ; the
    // file stays locked until then, so that no other run takes it meanwhile.
    if ((request.write & WriteWhenDiffers) == 0) {
        if (request.write & WriteRequested) file.take();
        file.close();
    }
    message(LevelInfo, "Chip serial number is %ld\n", static_cast<long>(number));
    message(LevelDebug, "inserted as %d-byte value to %s at 0x%lX%s\n", int(insert.length),
            memoryName(insert.target), static_cast<unsigned long>(insert.address),
            insert.target == CodeLdi ? " as part of LDI command[s]" : "");
}

void insertBytes(const Request& request, RunState& state) {
    const BytesInsert& insert = request.bytesInsert;
    const int32_t count = std::min<int32_t>(insert.count, int32_t(insert.bytes.size()));
    insertIntoImage(state, "BYTES", insert.target, insert.address, insert.bytes.data(), count);
}

void updateSerialFile(RunState& state) { state.serialFile.keep(); }

}  // namespace mervex
