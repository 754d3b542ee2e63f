#include "chip/Fuses.h"

#include <cstdio>

#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "chip/IspInstruction.h"
#include "chip/IspTransport.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"

namespace mervex {

namespace {

constexpr int Lock = int(FuseByte::Lock);
constexpr int Low = int(FuseByte::Low);
constexpr int High = int(FuseByte::High);
constexpr int Ext = int(FuseByte::Ext);

const FuseDescriptor* fuseList(const ChipDescriptor& chip, int b) {
    return chip.fuseSet ? chip.fuseSet->lists[b] : nullptr;
}

uint8_t readFuseByte(IspLink& link, const IspInstruction& command) {
    IspInstruction reply = link.exchange(command);
    traceInstruction("Read Fuses", command, reply);
    checkEcho(command, reply);
    checkTermination();
    return reply[isp::DataIndex];
}

void writeFuseByte(ChipState& session, const IspInstruction& command) {
    IspLink& link = session.link();
    IspInstruction reply = link.exchange(command);
    link.delay(4 * session.timing.eepromByteDelay);
    traceInstruction("Write Fuses", command, reply);
    checkEcho(command, reply);
}

// Compare every requested field of the bytes last read with the value
// requested (merged, once written); each difference is named in `report`, if given.
bool requestedFieldsMatch(const ChipState& session, app_error* report) {
    const ChipDescriptor& chip = session.selectedChip();
    const FuseValues& fuses = session.fuses;
    bool matched = true;
    for (int b = 0; b < FuseBytes; ++b) {
        for (const FuseDescriptor* field = fuseList(chip, b); field && field->info; ++field) {
            if ((fuses.requestMask[b] & field->mask()) == 0) continue;
            unsigned expected = unsigned((fuses.requestValue[b] >> field->shift) & field->maxValue());
            unsigned read = unsigned((fuses.readValue[b] >> field->shift) & field->maxValue());
            if (expected != read) {
                if (report)
                    report->then(LevelError,
                                 formatText("%-8s: expected %X, read %X\n", field->info->name, expected, read));
                matched = false;
            }
        }
    }
    return matched;
}

}  // namespace

void readFuses(ChipState& session) {
    const ChipDescriptor& chip = session.selectedChip();
    FuseValues& fuses = session.fuses;
    const auto read = [&](int b, const IspInstruction& command) {
        fuses.readValue[b] = readFuseByte(session.link(), command);
        fuses.readBytes |= uint8_t(1u << b);
    };
    switch (chip.fuseLayout) {
    case FuseSingleRead58: read(Low, isp::readLockByte()); break;
    case FuseSingleRead50: read(Low, isp::readLowFuse()); break;
    case FuseSeparateBytes:
        if (fuseList(chip, Low)) read(Low, isp::readLowFuse());
        if (fuseList(chip, Lock)) read(Lock, isp::readLockByte());
        if (fuseList(chip, High)) read(High, isp::readHighFuse());
        if (fuseList(chip, Ext)) read(Ext, isp::readExtendedFuse());
        break;
    default: break;
    }
}

bool eesaveProgrammed(ChipState& session) {
    const ChipDescriptor& chip = session.selectedChip();
    FuseByte byte = FuseByte::Lock;
    const FuseDescriptor* eesave = findFuse(chip, "EESAVE", &byte);
    if (eesave == nullptr) return false;
    if (chip.fuseLayout != FuseSeparateBytes) return true;
    const IspInstruction reads[FuseBytes] = {isp::readLockByte(), isp::readLowFuse(), isp::readHighFuse(),
                                             isp::readExtendedFuse()};
    return (readFuseByte(session.link(), reads[int(byte)]) & eesave->mask()) == 0;
}

void printFuses(const ChipState& session, const char* title) {
    printFuses(session, title, session.fuses.listGiven ? LevelInfo : LevelDebug);
}

void printFuses(const ChipState& session, const char* title, int level) {
    const FuseValues& fuses = session.fuses;
    if (console().level < level) return;
    const ChipDescriptor& chip = session.selectedChip();
    message(level, "%s:\n", title);
    const int count = chip.calibrationCount < 0 ? 0 : chip.calibrationCount > 4 ? 4 : chip.calibrationCount;
    if (count != 0) {
        char bytes[4 * 3 + 1] = {};
        for (int i = 0; i < count; ++i)
            std::snprintf(bytes + 3 * i, sizeof bytes - size_t(3 * i), " %02X", unsigned(fuses.calibration[i]));
        message(level, "  OSCCAL%c =%s\n", count >= 2 ? 's' : ' ', bytes);
    }
    for (int b = 0; b < FuseBytes; ++b) {
        const FuseDescriptor* list = fuseList(chip, b);
        if (!list) continue;
        message(level, "  %-8s= %02X\n", fuseByteName(b), unsigned(fuses.readValue[b]));
        for (const FuseDescriptor* field = list; field->info; ++field)
            message(level, "    %-12s= %X\n", field->info->name,
                    unsigned((fuses.readValue[b] >> field->shift) & field->maxValue()));
    }
}

bool canWriteFusesWithoutErase(const ChipState& session) {
    const ChipDescriptor& chip = session.selectedChip();
    if (chip.fuseLayout != FuseSeparateBytes || !fuseList(chip, Lock)) return true;
    const FuseValues& fuses = session.fuses;
    return (fuses.requestValue[Lock] & fuses.requestMask[Lock] & ~fuses.readValue[Lock]) == 0;
}

uint8_t mergedFuseByte(uint8_t requestValue, uint8_t requestMask, uint8_t readValue, uint8_t knownMask) {
    return uint8_t((requestValue & requestMask) | ((readValue | ~knownMask) & ~requestMask));
}

void programFuses(ChipState& session) {
    message(LevelInfo, "Programming fuses\n");
    FuseValues& fuses = session.fuses;
    for (int b = 0; b < FuseBytes; ++b)
        fuses.requestValue[b] =
            mergedFuseByte(fuses.requestValue[b], fuses.requestMask[b], fuses.readValue[b], fuses.knownMask[b]);
    const ChipDescriptor& chip = session.selectedChip();
    const uint8_t* value = fuses.requestValue;
    auto requested = [&](int b) { return fuseList(chip, b) && fuses.requestMask[b] != 0; };
    switch (chip.fuseLayout) {
    case FuseSingleRead58:
    case FuseSingleRead50: writeFuseByte(session, isp::writeSingleFuse(value[Low])); break;
    case FuseSeparateBytes:
        if (requested(Low)) writeFuseByte(session, isp::writeLowFuse(value[Low]));
        if (requested(High)) writeFuseByte(session, isp::writeHighFuse(value[High]));
        if (requested(Ext)) writeFuseByte(session, isp::writeExtendedFuse(value[Ext]));
        if (requested(Lock)) writeFuseByte(session, isp::writeLockByte(value[Lock]));
        break;
    default: break;
    }
}

// Fail (ExitChip) when a requested field reads other than requested: the
// differences, then the conclusion.
void checkRequestedFields(const ChipState& session, const char* conclusion) {
    app_error failure(ExitChip);
    if (requestedFieldsMatch(session, &failure)) return;
    throw failure.then(LevelError, conclusion);
}

void verifyFuses(ChipState& session) {
    message(LevelInfo, "Verifying fuses\n");
    readFuses(session);
    checkRequestedFields(session, "Verifying of fuses failed\n");
    message(LevelInfo, "passed\n");
}

bool fusesHoldRequest(const ChipState& session) { return requestedFieldsMatch(session, nullptr); }

void checkFusesReadAsWritten(const ChipState& session) {
    checkRequestedFields(session, "Writing of fuses failed, the chip reads back other values\n");
}

}  // namespace mervex
