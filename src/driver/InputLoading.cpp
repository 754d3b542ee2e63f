#include "driver/InputLoading.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "adapter/AdapterSetup.h"
#include "chip/DeviceTable.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/AdapterRequest.h"
#include "driver/EraseCounter.h"
#include "driver/FirmwareSettings.h"
#include "image/GccAddresses.h"
#include "image/ImageReader.h"

namespace mervex {

namespace {

bool inGccEepromWindow(const MemoryBlock& block) {
    return block.address >= GccEepromAddress && block.endAddress() <= uint64_t(GccEepromAddress) + GccWindowSize;
}

struct MemorySizes {
    uint64_t flash = 0;
    uint64_t eeprom = 0;
};

// The named chip's memories; before a chip is known, the largest of the table.
MemorySizes memorySizes(const ChipSelection& selection) {
    if (selection.index() != -1) {
        const ChipDescriptor& chip = selection.selectedChip();
        return {uint64_t(chip.flash.size), uint64_t(chip.eeprom.size)};
    }
    MemorySizes largest;
    for (int i = 0; i < ChipTableRows; ++i) {
        largest.flash = std::max(largest.flash, uint64_t(chipTable[i].flash.size));
        largest.eeprom = std::max(largest.eeprom, uint64_t(chipTable[i].eeprom.size));
    }
    return largest;
}

// How far a file's data may reach, named as the fit check of the run names it.
// EEPROM contents may also lie at avr-gcc's address for them; a combined file
// carries them above the flash.
ImageBounds eepromBounds(const MemorySizes& sizes) {
    ImageBounds bounds;
    bounds.end = sizes.eeprom;
    bounds.windowStart = GccEepromAddress;
    bounds.windowEnd = GccEepromAddress + sizes.eeprom;
    bounds.memory = "DATA memory";
    return bounds;
}

ImageBounds codeBounds(const Request& request, const MemorySizes& sizes) {
    if (request.combinedFile) {
        ImageBounds bounds = eepromBounds(sizes);
        bounds.end = sizes.flash + sizes.eeprom;
        bounds.what = "data part of input file";
        return bounds;
    }
    ImageBounds bounds;
    bounds.end = sizes.flash;
    bounds.memory = "CODE memory";
    return bounds;
}

}  // namespace

bool moveGccEepromDown(MemoryImage& data) {
    if (data.empty() || data.findIf([](const MemoryBlock& b) { return !inGccEepromWindow(b); }) != nullptr)
        return false;
    MemoryImage moved;
    while (!data.empty()) {
        const std::unique_ptr<MemoryBlock> block = data.unlink(data.first());
        moved.append(std::make_unique<MemoryBlock>(block->address - GccEepromAddress, block->length, block->data.get()));
    }
    data = std::move(moved);
    return true;
}

bool splitCombinedImage(MemoryImage& code, MemoryImage& data, uint32_t flashSize) {
    if (code.empty() || imageLastAddress(code) < flashSize) return false;
    MemoryBlock* block = code.findIf([flashSize](const MemoryBlock& b) { return b.lastAddress() >= flashSize; });
    while (block != nullptr) {
        MemoryBlock* following = code.next(block);
        if (block->lastAddress() >= flashSize) {
            if (block->address < flashSize) {
                const uint32_t codeLength = flashSize - block->address;
                code.insertAfter(block, std::make_unique<MemoryBlock>(block->address, codeLength, block->data.get()));
                data.append(std::make_unique<MemoryBlock>(0, block->length - codeLength,
                                                          block->data.get() + codeLength));
            } else {
                // avr-gcc's EEPROM address means EEPROM address 0, whatever the flash size.
                const uint32_t base = inGccEepromWindow(*block) ? GccEepromAddress : flashSize;
                data.append(std::make_unique<MemoryBlock>(block->address - base, block->length, block->data.get()));
            }
            code.unlink(block);  // the returned owner destroys it
        }
        block = following;
    }
    return true;
}

namespace {

// An ELF code file brings its EEPROM contents along, unless a data file is named too.
void loadCodeFile(const Request& request, RunState& state, const ImageBounds& bounds) {
    FirmwareParts& firmware = state.firmware;
    readImageFile(state.codeImage, request.codeFile, readConsoleAnswer, &firmware, bounds);
    if (!firmware.isElf) return;
    state.firmwareFile = request.codeFile.path;
    if (firmware.eeprom.empty()) return;
    if (!request.dataFile.path.empty()) {
        throw app_error(ExitUsage, "Can't use two files for %s\n'%s'\n'%s'\n", "DATA memory",
                        request.codeFile.path.c_str(), request.dataFile.path.c_str());
    }
    state.dataImage = std::move(firmware.eeprom);
    state.dataFromCombinedFile = true;
}

// An ELF data file gives its EEPROM contents only.
void loadDataFile(const Request& request, RunState& state, const ImageBounds& bounds) {
    MemoryImage contents;
    FirmwareParts parts;
    readImageFile(contents, request.dataFile, readConsoleAnswer, &parts, bounds);
    if (!parts.isElf) {
        state.dataImage = std::move(contents);
        moveGccEepromDown(state.dataImage);
        return;
    }
    if (parts.eeprom.empty()) message(LevelWarning, "'%s' has no EEPROM contents\n", request.dataFile.path.c_str());
    state.dataImage = std::move(parts.eeprom);
    if (!state.firmware.isElf) {
        state.firmware = std::move(parts);
        state.firmwareFile = request.dataFile.path;
    }
}

}  // namespace

void loadInputFiles(const Request& request, RunState& state) {
    if (!(request.write & WriteRequested) && !request.verify) return;
    const MemorySizes sizes = memorySizes(state.session.selection());
    if (!request.codeFile.path.empty()) loadCodeFile(request, state, codeBounds(request, sizes));
    if (!request.dataFile.path.empty()) loadDataFile(request, state, eepromBounds(sizes));
    checkFirmwareParts(request, state);
    // Without a chip there is no flash size to split at; an ELF file has placed its EEPROM already.
    const ChipSelection& selection = state.session.selection();
    if (request.combinedFile && !state.codeImage.empty() && selection.index() != -1 && !state.firmware.isElf)
        state.dataFromCombinedFile =
            splitCombinedImage(state.codeImage, state.dataImage, uint32_t(state.session.flashSize()));
}

void createProgrammer(const Request& request, const PortBackends& backends, Clock& clock, RunState& state) {
    state.session.attachProgrammer(
        createAdapter(adapterSettingsOf(request, state.session.selectedChip(), backends), clock));
}

}  // namespace mervex
