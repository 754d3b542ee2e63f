#include "driver/ProgrammingRun.h"

#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/EepromSaveFile.h"
#include "driver/EraseCounter.h"
#include "driver/FailureHints.h"
#include "driver/FirmwareSettings.h"
#include "driver/RunChecks.h"
#include "driver/RunLog.h"
#include "driver/ValueInsertion.h"
#include "image/ImageWriter.h"
#include "image/MemoryOperations.h"

namespace mervex {

namespace {

bool writeRequested(const Request& request) { return (request.write & WriteRequested) != 0; }

void insertValues(const Request& request, RunState& state) {
    if (request.osccalInsert.target != InsertNone) insertOsccal(request, state);
    if (request.serialInsert.target != InsertNone) insertSerialNumber(request, state);
    if (request.bytesInsert.target != InsertNone) insertBytes(request, state);
}

void checkBeforeWork(const Request& request, RunState& state) {
    checkIdentity(request, state.session, true);
    checkLockState(request, state);
    checkFuseWrite(request, state);
}

// Blank check of the requested memories; a memory that is not blank fails the run.
void blankCheckIfAsked(const Request& request, RunState& state) {
    if (request.blankCheck != 0) blankCheck(state.session, state.passOptions(request), request.blankCheck);
}

// Erase, with the EEPROM read before and written back after it for -e-. The
// copy is on disk before the erase and goes only when the chip has been read
// back equal to it: whatever ends the run in between, the EEPROM is kept.
void eraseStep(const Request& request, RunState& state) {
    ChipSession& session = state.session;
    MemoryImage saved;
    EepromSaveFile saveFile;
    if (request.saveEeprom) {
        if (session.detectedIndex() == -1 && !request.forceChip) {
            throw app_error(ExitIdentity, "Can't save EEPROM in unknown chip\n");
        }
        message(LevelInfo, "Saving EEPROM\n");
        readMemory(session, state.passOptions(request), MemoryKind::Data, saved);
        saveFile.keep(saved, request.readKeepFF);
    }
    try {
        session.eraseChip();
        checkBeforeWork(request, state);
        blankCheckIfAsked(request, state);
        if (request.saveEeprom) {
            message(LevelInfo, "Restoring EEPROM\n");
            writeMemory(session, state.passOptions(request), MemoryKind::Data, saved);
            // A write that did not take goes unnoticed with fixed delays.
            verifyMemory(session, state.passOptions(request), MemoryKind::Data, saved);
        }
    } catch (app_error& failure) {
        if (request.saveEeprom)
            failure.then(LevelError, formatText("EEPROM content saved to HEX-file \"%s\"\n", saveFile.path().c_str()));
        throw;
    } catch (...) {
        if (request.saveEeprom)
            message(LevelError, "EEPROM content saved to HEX-file \"%s\"\n", saveFile.path().c_str());
        throw;
    }
    saveFile.discard();
    if (state.eraseCount != EraseCountNotGiven) writeEraseCounter(request, state);
}

// Read run: the chip into the named files. A file whose data cannot be
// written is reported at once and fails the run at its end: the other memory
// is still read and saved.
void readIntoFiles(const Request& request, RunState& state) {
    const MemoryPassOptions options = state.passOptions(request);
    app_error unwritten(ExitFile);
    bool failed = false;
    const auto save = [&](MemoryKind kind, MemoryImage& image, const ImageFile& file) {
        if (file.path.empty()) return;
        readMemory(state.session, options, kind, image);
        try {
            writeImageFile(image, file, request.readKeepFF);
        } catch (const app_error& failure) {
            // A file that cannot even be created ends the run at once.
            if (failure.status() != ExitFile) throw;
            reportFailure(failure);
            unwritten.shown(failure.what());
            failed = true;
        }
    };
    save(MemoryKind::Code, state.codeImage, request.codeFile);
    save(MemoryKind::Data, state.dataImage, request.dataFile);
    if (failed) throw unwritten;
}

void writeAndVerifyMemories(const Request& request, RunState& state) {
    const MemoryPassOptions options = state.passOptions(request);
    if (!state.codeImage.empty()) {
        if (writeRequested(request)) writeMemory(state.session, options, MemoryKind::Code, state.codeImage);
        if (request.verify) {
            const int64_t counterAddress = eraseCounterAddress(state.session.selectedChip());
            if (state.eraseCounter && int64_t(imageLastAddress(state.codeImage)) >= counterAddress)
                message(LevelWarning, "Ignore -n switch, top two flash bytes used for code\n");
            verifyMemory(state.session, options, MemoryKind::Code, state.codeImage);
        }
    }
    if (!state.dataImage.empty()) {
        if (writeRequested(request)) writeMemory(state.session, options, MemoryKind::Data, state.dataImage);
        if (request.verify) verifyMemory(state.session, options, MemoryKind::Data, state.dataImage);
    }
}

void writeFusesAndLocks(const Request& request, RunState& state) {
    if (state.lockRequest != 0 && request.lockBeforeFuses) lockToLevel(state, state.lockRequest);
    ChipSession& session = state.session;
    if (session.fuses().listGiven) {
        if (writeRequested(request)) {
            session.programFuses();
            session.readFuses();
            session.printFuses("New fuses value");
            // With -v the verification reports it; without, a write that did not take still fails.
            if (!request.verify) session.checkFusesReadAsWritten();
        }
        if (request.verify) session.verifyFuses();
    }
    if (state.lockRequest != 0 && !request.lockBeforeFuses) lockToLevel(state, state.lockRequest);
}

// -ws: whether the chip already holds all the run would write, the images
// with their inserts and the fuses listed. The erase counter's bytes are out of
// the comparison: a run that does not erase counts no erase. A run that locks
// the chip, checks it for blank or sets the counter (-n#) is not left out.
bool chipHoldsRunResult(const Request& request, RunState& state) {
    if (state.lockRequest != 0 || request.blankCheck != 0 || request.eraseCount != EraseCountNotGiven ||
        state.session.selection().detectedIndex == -1)
        return false;
    ChipSession& session = state.session;
    const MemoryPassOptions options = state.passOptions(request);
    if (!state.codeImage.empty() && !memoryHoldsImage(session, options, MemoryKind::Code, state.codeImage))
        return false;
    if (!state.dataImage.empty() && !memoryHoldsImage(session, options, MemoryKind::Data, state.dataImage))
        return false;
    if (!session.fuses().listGiven) return true;
    session.readFuses();
    return session.fusesHoldRequest();
}

// -ws: decide whether the run writes, and take the serial number (held under
// the file's lock since it was inserted) only when it does.
bool leaveChipAsItIs(const Request& request, RunState& state) {
    if ((request.write & WriteWhenDiffers) == 0 || !writeRequested(request)) return false;
    const bool holds = chipHoldsRunResult(request, state);
    if (state.serialFile.hasNumber()) {
        if (holds)
            state.serialFile.close();
        else
            state.serialFile.take();
    }
    return holds;
}

// The chip holds the run's result: the comparison that found it is the verification.
void reportChipLeftAsItIs(const Request& request, RunState& state) {
    message(LevelInfo, "Chip already holds the image: nothing erased or written\n");
    if (!request.verify) return;
    const MemoryPassOptions options = state.passOptions(request);
    if (!state.codeImage.empty()) reportHeldImageVerified(options, MemoryKind::Code);
    if (!state.dataImage.empty()) reportHeldImageVerified(options, MemoryKind::Data);
    if (state.session.fuses().listGiven) state.session.verifyFuses();
}

// A chip that gives no steady answer while being connected is most often on
// another cable, without power, or clocked slower than assumed.
void connectOrHint(const Request& request, RunState& state) {
    try {
        state.session.connectChip();
    } catch (app_error& failure) {
        if (failure.status() == ExitSync)
            failure.then(LevelInfo,
                         noAnswerHint(request, *state.session.programmer(), state.session.enableReply()));
        throw;
    }
}

// -r alone: what the chip is and how its fuses stand; nothing is changed.
void describeChip(const Request& request, RunState& state) {
    ChipSession& session = state.session;
    checkIdentity(request, session, true);
    const ChipDescriptor& chip = session.selectedChip();
    message(LevelInfo, "Signature 0x%06X: %s\n", unsigned(chip.signature), chip.names);
    if (chip.calibrationCount != 0) session.readCalibration();
    if (chip.fuseSet != nullptr) {
        session.readFuses();
        session.printFuses("Fuses", LevelInfo);
    }
}

}  // namespace

void runProgramming(const Request& request, RunState& state, RunLog& log) {
    ChipSession& session = state.session;
    connectOrHint(request, state);
    session.readLockBits();
    session.printLockState();
    log.noteLockBefore(session.lockLevel());
    if (request.identifyOnly()) {
        describeChip(request, state);
        return;
    }
    checkIdentity(request, session, false);
    checkFirmwareSignature(request, state);
    applyFirmwareSettings(request, state);
    // An image that cannot fit must not cost the chip its contents.
    checkImagesFit(request, state);
    if (session.selectedChip().calibrationCount != 0) session.readCalibration();
    if (writeRequested(request) || request.verify) insertValues(request, state);
    if (state.eraseCounter) determineEraseCount(request, state);

    if (leaveChipAsItIs(request, state)) {
        checkBeforeWork(request, state);
        reportChipLeftAsItIs(request, state);
        updateSerialFile(state);
        return;
    }
    if (!request.erase) {
        checkBeforeWork(request, state);
        blankCheckIfAsked(request, state);
    } else {
        eraseStep(request, state);
    }

    checkImagesFit(request, state);
    if (request.read) {
        readIntoFiles(request, state);
    } else {
        writeAndVerifyMemories(request, state);
        log.noteFusesBefore(session.fuses());
        writeFusesAndLocks(request, state);
    }
    updateSerialFile(state);
}

}  // namespace mervex
