#include "driver/EraseCounter.h"

#include <algorithm>
#include <memory>

#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "image/MemoryOperations.h"

namespace mervex {

uint32_t imageLastAddress(const MemoryImage& image) {
    uint32_t last = 0;
    image.forEach([&last](const MemoryBlock& block) { last = std::max(last, block.lastAddress()); });
    return last;
}

void determineEraseCount(const Request& request, RunState& state) {
    if (state.session.detectedIndex() == -1 && !request.forceChip) {
        message(LevelError, "Can't read number of erases from unknown or locked chip\n");
        if (state.eraseCount == EraseCountNotGiven) state.eraseCount = 1;
    } else {
        const uint16_t stored = state.session.readFlashWord(uint32_t(eraseCounterAddress(state.session.selectedChip())));
        if (stored == 0xFFFF) {
            message(LevelWarning, "Number of erases not initialized\n");
            if (state.eraseCount == EraseCountNotGiven) {
                state.eraseCount = 1;
                return;
            }
        } else {
            message(LevelInfo, "Read number of erases %u\n", unsigned(stored));
            if (state.eraseCount == EraseCountNotGiven) {
                state.eraseCount = uint16_t(stored + 1);
                return;
            }
        }
    }
    if (request.erase || (request.write & WriteRequested))
        message(LevelInfo, "Number of erases forced to %u\n", unsigned(state.eraseCount));
}

void writeEraseCounter(const Request& request, RunState& state) {
    if (state.session.detectedIndex() == -1) {
        throw app_error(ExitIdentity, "Can't write number of erases%s\n", " to unknown chip");
    }
    const uint32_t address = uint32_t(usableFlashSize(state.session.selectedChip(), state.eraseCounter));
    if (!state.codeImage.empty() && imageLastAddress(state.codeImage) >= address) {
        message(LevelError, "Can't write number of erases%s\n", ", locations used for code");
        state.eraseCounter = false;
        return;
    }
    const uint8_t bytes[2] = {uint8_t(state.eraseCount), uint8_t(state.eraseCount >> 8)};
    MemoryImage counter;
    counter.append(std::make_unique<MemoryBlock>(address, 2, bytes));
    message(LevelInfo, "Writing erase counter = %d\n", int(state.eraseCount));
    const MemoryPassOptions options = state.passOptions(request);
    writeMemory(state.session, options, MemoryKind::Code, counter);
    if (!request.verify) return;
    try {
        verifyMemory(state.session, options, MemoryKind::Code, counter);
    } catch (app_error& failure) {
        // A difference means the counter did not take; a lost connection stays what it is.
        if (failure.status() == ExitChip) failure.then(LevelError, "Can't write number of erases\n");
        throw;
    }
}

}  // namespace mervex
