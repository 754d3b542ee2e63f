#include "driver/RunState.h"

#include <utility>

namespace mervex {

void RunState::setProgrammer(std::unique_ptr<Programmer> programmer) {
    session.attachedLink = nullptr;
    programmer_ = std::move(programmer);
    session.attachedLink = programmer_.get();
}

void RunState::releaseProgrammer() {
    session.attachedLink = nullptr;
    programmer_.reset();
}

void RunState::start(const Request& request) {
    releaseProgrammer();
    session = ChipSession();
    session.selection.requestedName = request.chipName;
    codeImage.clear();
    dataImage.clear();
    dataFromCombinedFile = false;
    serialFile = SerialNumberFile();
    fileWriteFailed = false;
    eraseCounter = request.eraseCounter;
    eraseCount = request.eraseCount;
    lockRequest = request.lockRequest;
    firmware = FirmwareParts();
    firmwareFile.clear();
    session.options.pollRequested = (request.write & WritePolling) != 0;
    session.options.eepromPages = (request.write & WriteEepromPages) != 0;
    session.options.preserveEeprom = request.saveEeprom;
    session.options.resetInactiveMs = request.resetInactiveMs;
}

MemoryPassOptions RunState::passOptions(const Request& request) const {
    MemoryPassOptions options;
    options.eraseCounter = eraseCounter;
    options.verifyAll = request.verifyAll;
    options.fillEeprom = (request.write & WriteFillEeprom) != 0;
    return options;
}

}  // namespace mervex
