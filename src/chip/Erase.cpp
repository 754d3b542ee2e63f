#include "chip/Erase.h"

#include "chip/ChipConnection.h"
#include "chip/ChipDescriptor.h"
#include "chip/IspTransport.h"
#include "chip/LockBits.h"
#include "chip/MemoryAccess.h"
#include "console/Console.h"

namespace mervex {

void chipErase(ChipState& session) {
    IspLink& link = session.link();
    IspInstruction command = isp::chipErase();
    IspInstruction reply = link.exchange(command);
    traceReply("Erase reply", reply);
    checkEcho(command, reply);
    link.delay(session.timing.eraseDelay);
    link.setReset(false);
    link.delay(session.options.resetInactiveMs);
    link.setReset(true);
}

void eraseChip(ChipState& session) {
    const ChipDescriptor& chip = session.selectedChip();
    if (chip.hasFlag(EraseBug)) {
        // Chips with the erase defect get an erase and one written byte before the real erase.
        message(LevelDebug, "%s erase bug correction\n", chip.names);
        chipErase(session);
        connectChip(session);
        beginMemoryPass(session);
        writeMemoryByte(session, MemoryKind::Code, 0, 0xFF);
        commitOpenPage(session, MemoryKind::Code);
    }
    chipErase(session);
    message(LevelInfo, "Device erased\n");
    connectChip(session);
    readLockBits(session);
    session.chipErased = true;
    session.eepromWrittenSinceErase = false;
}

}  // namespace mervex
