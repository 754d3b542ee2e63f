#include "driver/RunChecks.h"

#include <string>

#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "chip/LockLevel.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/EraseCounter.h"
#include "driver/FailureHints.h"
#include "image/ImageReader.h"

namespace mervex {

namespace {

[[noreturn]] void refuseLocked(const char* text) {
    throw app_error(ExitChip, "%s", text).then(LevelInfo, lockedHint());
}

}  // namespace

void checkIdentity(const Request& request, ChipSession& session, bool strict) {
    const ChipSelection& selection = session.selection();
    const ChipDescriptor* otherChip = nullptr;
    std::string mismatch;
    if (selection.detectedIndex != -1) {
        const char* names = chipNameAt(selection.detectedIndex);
        // Nothing requested: whatever was found is the chip.
        if (request.chipName == nullptr || nameMatches(request.chipName, names)) return;
        mismatch = formatText("Requested <%s>, detected <%s>\n", request.chipName, names);
        otherChip = &chipAt(selection.detectedIndex);
    } else if (!strict) {
        return;
    }
    if (request.forceChip && request.chipName != nullptr) {
        if (!mismatch.empty()) message(LevelWarning, "%s", mismatch.c_str());
        session.forceRequestedChip();
        message(LevelWarning, "Device type forced to %s\n", request.chipName);
        return;
    }
    app_error failure(ExitIdentity);
    if (!mismatch.empty()) failure.then(LevelError, mismatch);
    failure.then(LevelError, "Can't continue\n");
    throw failure.then(LevelInfo, otherChip != nullptr ? otherChipHint(request, *otherChip) : unknownChipHint());
}

void checkLockState(const Request& request, const RunState& state) {
    const int lockLevel = state.session.lockLevel();
    const bool files = request.filesGiven();
    if (lockLevel >= LockProgramming && (request.write & WriteRequested)) {
        if (files || !state.session.selectedChip().hasFlag(WritableWhenLocked)) refuseLocked("Can't write to locked chip\n");
    }
    if (lockLevel >= LockReading) {
        if (request.blankCheck != 0 || (request.read && !request.forceChip) || (request.verify && files))
            refuseLocked("Can't read, blank check or verify fully locked chip\n");
    }
}

void checkFuseWrite(const Request& request, RunState& state) {
    if (state.session.selectedChip().fuseSet != nullptr) {
        state.session.readFuses();
        state.session.printFuses("Fuses");
    }
    if ((request.write & WriteRequested) && state.session.fuses().listGiven &&
        !state.session.canWriteFusesWithoutErase()) {
        throw app_error(ExitChip, "Can't write all requested fuses, need to erase chip\n");
    }
}

void checkImagesFit(const Request& request, const RunState& state) {
    const ChipDescriptor& chip = state.session.selectedChip();
    if (!state.codeImage.empty() && int64_t(imageLastAddress(state.codeImage)) >= int64_t(chip.flash.size))
        cannotFit(request.codeFile.path, "CODE memory");
    if (!state.dataImage.empty() && int64_t(imageLastAddress(state.dataImage)) >= int64_t(chip.eeprom.size))
        cannotFit(state.dataFromCombinedFile ? "data part of input file" : request.dataFile.path, "DATA memory");
}

void lockToLevel(RunState& state, char level) {
    const int lockLevel = state.session.lockLevel();
    if (level - '0' < lockLevel) {
        message(LevelWarning, "device already locked to level %d, can't change lock level!\n", lockLevel);
        return;
    }
    const char programmed = state.session.lockChip(level);
    // A lock write that did not take must not be reported as done.
    state.session.readLockBits();
    const int reached = state.session.lockLevel();
    if (reached != LockUnknown && reached < programmed - '0') {
        throw app_error(ExitChip, "Locking to level %c failed, chip %s\n", programmed, lockLevelName(reached));
    }
    message(LevelInfo, "Device locked to level %c!\n", programmed);
    if (reached == LockUnknown)
        message(LevelWarning, "This chip's lock bits can't be read back: the lock is unchecked\n");
}

}  // namespace mervex
