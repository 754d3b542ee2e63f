#include "chip/LockBits.h"

#include "chip/ChipDescriptor.h"
#include "chip/IspInstruction.h"
#include "chip/IspTransport.h"
#include "chip/LockLevel.h"
#include "console/Console.h"

namespace mervex {

namespace {

// The two lock bits (bit 1 = LB2, bit 0 = LB1) out of the byte the chip answers.
unsigned lockBitsOf(uint8_t layout, uint8_t r) {
    switch (layout) {
    case LockBits6And7: return (((r >> 6) & 1u) << 1) | ((r >> 7) & 1u);
    case LockBits2And1: return (r >> 1) & 3u;
    default: return r & 3u;
    }
}

}  // namespace

void readLockBits(ChipState& session) {
    const ChipDescriptor& chip = session.selectedChip();
    FuseValues& fuses = session.fuses;
    if (chip.lockLayout == LockNotReadable) {
        fuses.lockLevel = LockUnknown;
        return;
    }
    IspInstruction command = isp::readLockByte();
    IspInstruction reply = session.link().exchange(command);
    traceInstruction("Read Lock", command, reply);
    checkEcho(command, reply);
    switch (lockBitsOf(chip.lockLayout, reply[isp::DataIndex])) {
    case 3: fuses.lockLevel = LockNone; break;
    case 2: fuses.lockLevel = LockProgramming; break;
    default: fuses.lockLevel = LockReading; break;
    }
}

void printLockState(const ChipState& session) {
    const char* name = lockLevelName(session.fuses.lockLevel);
    if (name)
        message(LevelInfo, "Chip %s\n", name);
    else
        message(LevelInfo, "Lock state unknown\n");
}

char lockChip(ChipState& session, char level) {
    const bool full = level >= '2';
    const ChipDescriptor& chip = session.selectedChip();
    IspLink& link = session.link();
    IspInstruction command;
    if (chip.lockLayout != LockBits1And0) {
        command = isp::writeLockBitsOld(full ? 2 : 1);
    } else {
        uint8_t value = full ? 0xFC : 0xFE;
        if (chip.fuseSet && chip.fuseSet->list(FuseByte::Lock)) {
            // Keep the boot lock bits 5..2 as they are.
            IspInstruction read = isp::readLockByte();
            IspInstruction reply = link.exchange(read);
            traceInstruction("BLB* read", read, reply);
            checkEcho(read, reply);
            value &= uint8_t(reply[isp::DataIndex] | 0xC0);
        }
        command = isp::writeLockByte(value);
    }
    IspInstruction reply = link.exchange(command);
    traceInstruction("Lock chip", command, reply);
    checkEcho(command, reply);
    link.delay(session.timing.eraseDelay);
    // The lock byte read before is no longer what the chip holds.
    session.fuses.readBytes &= uint8_t(~(1u << int(FuseByte::Lock)));
    return full ? '2' : level;
}

}  // namespace mervex
