#include "driver/InputLoading.h"

#include <memory>
#include <utility>

#include "adapter/AdapterSetup.h"
#include "chip/DeviceTable.h"
#include "driver/EraseCounter.h"
#include "image/ImageReader.h"

namespace mervex {

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
                data.append(
                    std::make_unique<MemoryBlock>(block->address - flashSize, block->length, block->data.get()));
            }
            code.unlink(block);  // the returned owner destroys it
        }
        block = following;
    }
    return true;
}

void loadInputFiles(const Request& request, RunState& state) {
    if (!(request.write & WriteRequested) && !request.verify) return;
    if (!request.codeFile.path.empty()) readImageFile(state.codeImage, request.codeFile);
    if (!request.dataFile.path.empty()) readImageFile(state.dataImage, request.dataFile);
    // Without a chip there is no flash size to split at.
    if (request.combinedFile && !state.codeImage.empty() && selectedChipIndex() != -1)
        state.dataFromCombinedFile = splitCombinedImage(state.codeImage, state.dataImage, uint32_t(flashSize()));
}

void createProgrammer(const Request& request, RunState& state) { state.setProgrammer(createAdapter(request)); }

}  // namespace mervex
