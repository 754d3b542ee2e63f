#include "driver/RunState.h"

namespace mervex {

namespace {

ChipOptions chipOptionsOf(const Request& request) {
    ChipOptions options;
    options.pollRequested = (request.write & WritePolling) != 0;
    options.eepromPages = (request.write & WriteEepromPages) != 0;
    options.preserveEeprom = request.saveEeprom;
    options.resetInactiveMs = request.resetInactiveMs;
    options.delayScale = request.delayScale;
    return options;
}

}  // namespace

void RunState::start(const Request& request) {
    session.releaseProgrammer();
    session = ChipSession(request.chipName, chipOptionsOf(request));
    codeImage.clear();
    dataImage.clear();
    dataFromCombinedFile = false;
    serialFile = SerialNumberFile();
    eraseCounter = request.eraseCounter;
    eraseCount = request.eraseCount;
    lockRequest = request.lockRequest;
    firmware = FirmwareParts();
    firmwareFile.clear();
}

MemoryPassOptions RunState::passOptions(const Request& request) const {
    MemoryPassOptions options;
    options.eraseCounter = eraseCounter;
    options.verifyAll = request.verifyAll;
    options.fillEeprom = (request.write & WriteFillEeprom) != 0;
    return options;
}

}  // namespace mervex
