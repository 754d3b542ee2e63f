#include "chip/ChipConnection.h"

#include "chip/DeviceTable.h"
#include "chip/IspTransport.h"
#include "chip/MemoryAccess.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"

namespace mervex {

namespace {

// The row whose flags decide whether SCK pulses may be tried.
int32_t resyncRow(const ChipSelection& selection) {
    if (selection.requestedName) return findChipByName(selection.requestedName);
    return selection.detectedIndex;
}

bool sckResyncAllowed(const ChipSelection& selection) {
    int32_t row = resyncRow(selection);
    return row >= 0 && !chipTable[row].hasFlag(NoSckResync);
}

IspInstruction exchangeProgramEnable(IspLink& link) {
    IspInstruction reply = link.exchange(isp::programEnable());
    traceReply("PgmOn reply", reply);
    return reply;
}

// Program enable, its reply kept for the hints of a chip that does not answer.
bool enterProgramming(ChipState& session) {
    session.enableReply = exchangeProgramEnable(session.link());
    return session.enableReply[2] == isp::ProgramEnableAnswer;
}

}  // namespace

uint8_t programEnable(IspLink& link) { return exchangeProgramEnable(link)[2]; }

uint32_t readSignature(IspLink& link) {
    uint32_t signature = 0;
    for (uint8_t n = 0; n < 3; ++n) {
        IspInstruction command = isp::readSignature(n);
        IspInstruction reply = link.exchange(command);
        traceReply("GetID reply", reply);
        checkEcho(command, reply);
        signature = (signature << 8) | reply[isp::DataIndex];
        checkTermination();
    }
    return signature;
}

void identifyChip(ChipSelection& selection, uint32_t signature) {
    selection.detectedIndex = -1;
    const char* names = nullptr;
    for (int32_t row = 0; row < ChipTableRows; ++row) {
        if (chipTable[row].signature != signature) continue;
        selection.detectedIndex = row;
        names = chipTable[row].names;
        if (selection.requestedName && nameMatches(selection.requestedName, names)) break;
    }
    message(LevelInfo, "Device connected, ");
    if (selection.detectedIndex == -1) {
        message(LevelInfo, "but not recognised, ID: 0x%06X%s\n", unsigned(signature),
                signature == ProtectedSignature ? " (looks as protected)" : "");
    } else {
        message(LevelInfo, "%s detected\n", names);
    }
}

void connectChip(ChipState& session) {
    IspLink& link = session.link();
    message(LevelDebug, "Reset\n");
    link.setReset(true);
    link.delay(ResetWaitMs);

    bool inStep = enterProgramming(session);
    if (!inStep) {
        link.pulseReset();
        message(LevelTrace, "Try to resync by reset pulse");
        inStep = enterProgramming(session);
    }
    if (!inStep && sckResyncAllowed(session.selection)) {
        checkTermination();
        for (int t = 1; !inStep; ++t) {
            if (t > SckResyncTries) {
                throw app_error(ExitSync, "Can't resync\n");
            }
            message(LevelTrace, "Try %2d to resync by SCK pulse", t);
            link.pulseSck();
            inStep = enterProgramming(session);
            if (inStep)
                message(LevelDebug, "Synchronised after %d try\n", t + 1);
            else
                checkTermination();
        }
    }

    uint32_t signature = readSignature(link);
    message(LevelDebug, "Read ID: 0x%06X\n", unsigned(signature));
    session.signature = int32_t(signature);
    identifyChip(session.selection, signature);
    // The delays are the chip's that was found.
    setWriteTiming(session);
}

}  // namespace mervex
