#include "sim/InstructionSet.h"

#include "chip/IspInstruction.h"
#include "sim/VirtualTarget.h"

namespace mervex {

namespace {

// Which chips of the device table have an instruction at all.
enum class Scope : uint8_t {
    Every,
    ByteFlash,     // flash written byte by byte
    PagedFlash,    // flash written through the page buffer
    LargeFlash,    // flash above 128 KiB: the extended address
    Eeprom,
    EepromPages4,  // EEPROM written by pages of 4 bytes
    EepromPages8,  // or of 8 bytes
    ReadyBusy,     // a memory that polls with ready/busy
    Calibration,   // OSCCAL bytes
    FuseBytes,     // separate low, high and extended fuse commands
    ShortFuse,     // one fuse byte, written in the short form
    Fuse50,        // that fuse byte read with 50
    LockByte,      // lock byte read and written whole
    ShortLock,     // lock bits written in the short form
    OldLockRead,   // lock bits read in the byte of an old chip
};

// One instruction form as its data sheet gives it, 32 bits from the first sent.
// 0 and 1 are fixed; a, b, c (address), H (high byte), i (data in), o (data
// out) and x (don't care) are free; blanks only group the bits. The first row
// of an operation that applies to a chip is that chip's form; a row naming
// chips (first names, joined by '|') comes before the row for the rest.
struct FormRow {
    IspOperation operation;
    Scope scope;
    const char* bits;
    const char* chips;  // nullptr: every chip of the scope
};

const FormRow formTable[] = {
    {IspOperation::ProgramEnable, Scope::Every, "1010 1100 0101 0011 xxxx xxxx xxxx xxxx", nullptr},
    {IspOperation::ChipErase, Scope::Every, "1010 1100 100x xxxx xxxx xxxx xxxx xxxx", nullptr},
    {IspOperation::ReadSignature, Scope::Every, "0011 0000 xxxx xxxx xxxx xxbb oooo oooo", nullptr},
    {IspOperation::ReadFlash, Scope::Every, "0010 H000 aaaa aaaa bbbb bbbb oooo oooo", nullptr},
    {IspOperation::WriteFlashByte, Scope::ByteFlash, "0100 H000 aaaa aaaa bbbb bbbb iiii iiii", nullptr},
    // The page buffer is addressed by the word's position in the page (b);
    // these chips fix the high bits of the second byte.
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 000x xxxx xxbb bbbb iiii iiii",
     "mega48|mega48P|mega48PB|mega88|mega88P|mega88PB|mega168|mega168P|mega168PB|mega328|mega328P|mega328PB"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 00xx xxxx xbbb bbbb iiii iiii",
     "mega164A|mega164P|mega324A|mega324P|mega324PA|mega324PB|mega644|mega644P|mega1284|mega1284P"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 0000 xxxx xxbb bbbb iiii iiii", "mega165|mega165A"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 0000 0000 xxbb bbbb iiii iiii",
     "mega325|mega325P|mega3250|mega3250P"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 0000 0000 xbbb bbbb iiii iiii",
     "mega645|mega645P|mega6450|mega6450P"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 000x xxxx xbbb bbbb iiii iiii",
     "90CAN32|90CAN64|90CAN128|mega16M1|mega32M1|mega64M1"},
    {IspOperation::LoadPageByte, Scope::PagedFlash, "0100 H000 xxxx xxxx xbbb bbbb iiii iiii", nullptr},
    {IspOperation::WritePage, Scope::PagedFlash, "0100 1100 aaaa aaaa bbbb bbbb xxxx xxxx", nullptr},
    {IspOperation::LoadExtendedAddress, Scope::LargeFlash, "0100 1101 0000 0000 cccc cccc 0000 0000", nullptr},
    {IspOperation::ReadEeprom, Scope::Eeprom, "1010 0000 xxxx aaaa bbbb bbbb oooo oooo", nullptr},
    {IspOperation::WriteEeprom, Scope::Eeprom, "1100 0000 xxxx aaaa bbbb bbbb iiii iiii", nullptr},
    {IspOperation::LoadEepromPage, Scope::EepromPages4, "1100 0001 0000 0000 0000 00bb iiii iiii", nullptr},
    {IspOperation::LoadEepromPage, Scope::EepromPages8, "1100 0001 0000 0000 0000 0bbb iiii iiii", nullptr},
    {IspOperation::WriteEepromPage, Scope::EepromPages4, "1100 0010 00xx aaaa aaaa aa00 xxxx xxxx", nullptr},
    {IspOperation::WriteEepromPage, Scope::EepromPages8, "1100 0010 00xx aaaa aaaa a000 xxxx xxxx", nullptr},
    {IspOperation::ReadyBusy, Scope::ReadyBusy, "1111 0000 0000 0000 xxxx xxxx xxxx xxxo", nullptr},
    {IspOperation::ReadCalibration, Scope::Calibration, "0011 1000 xxxx xxxx 0000 00bb oooo oooo", nullptr},
    {IspOperation::ReadLowFuse, Scope::FuseBytes, "0101 0000 0000 0000 xxxx xxxx oooo oooo", nullptr},
    {IspOperation::ReadHighFuse, Scope::FuseBytes, "0101 1000 0000 1000 xxxx xxxx oooo oooo", nullptr},
    {IspOperation::ReadExtendedFuse, Scope::FuseBytes, "0101 0000 0000 1000 xxxx xxxx oooo oooo", nullptr},
    {IspOperation::ReadLock, Scope::LockByte, "0101 1000 0000 0000 xxxx xxxx oooo oooo", nullptr},
    {IspOperation::WriteLowFuse, Scope::FuseBytes, "1010 1100 1010 0000 xxxx xxxx iiii iiii", nullptr},
    {IspOperation::WriteHighFuse, Scope::FuseBytes, "1010 1100 1010 1000 xxxx xxxx iiii iiii", nullptr},
    {IspOperation::WriteExtendedFuse, Scope::FuseBytes, "1010 1100 1010 0100 xxxx xxxx iiii iiii", nullptr},
    {IspOperation::WriteLockByte, Scope::LockByte, "1010 1100 111x xxxx xxxx xxxx iiii iiii", nullptr},
    {IspOperation::ReadLowFuse, Scope::Fuse50, "0101 0000 xxxx xxxx xxxx xxxx oooo oooo", nullptr},
    {IspOperation::ReadLock, Scope::OldLockRead, "0101 1000 xxxx xxxx xxxx xxxx oooo oooo", nullptr},
    {IspOperation::WriteShortFuse, Scope::ShortFuse, "1010 1100 101i iiii xxxx xxxx xxxx xxxx", nullptr},
    {IspOperation::WriteShortLock, Scope::ShortLock, "1010 1100 1111 1ii1 xxxx xxxx xxxx xxxx", nullptr},
};

bool inScope(Scope scope, const ChipDescriptor& chip) {
    switch (scope) {
    case Scope::Every: return true;
    case Scope::ByteFlash: return chip.flash.pageSize == 0;
    case Scope::PagedFlash: return chip.flash.pageSize != 0;
    case Scope::LargeFlash: return isp::needsExtendedAddress(chip.flash.size);
    case Scope::Eeprom: return chip.eeprom.size > 0;
    case Scope::EepromPages4: return chip.eeprom.pageSize == 4;
    case Scope::EepromPages8: return chip.eeprom.pageSize == 8;
    case Scope::ReadyBusy: return chip.flash.pollMethod == PollReadyBusy || chip.eeprom.pollMethod == PollReadyBusy;
    case Scope::Calibration: return chip.calibrationCount > 0;
    case Scope::FuseBytes: return chip.fuseLayout == FuseSeparateBytes;
    case Scope::ShortFuse: return chip.fuseLayout == FuseSingleRead58 || chip.fuseLayout == FuseSingleRead50;
    case Scope::Fuse50: return chip.fuseLayout == FuseSingleRead50;
    case Scope::LockByte: return chip.lockLayout == LockBits1And0;
    case Scope::ShortLock: return chip.lockLayout != LockBits1And0;
    case Scope::OldLockRead: return chip.lockLayout == LockBits6And7 || chip.lockLayout == LockBits2And1;
    }
    return false;
}

}  // namespace

InstructionSet::InstructionSet(const ChipDescriptor& chip) {
    bool taken[256] = {};
    for (const FormRow& row : formTable) {
        const uint8_t op = uint8_t(row.operation);
        if (taken[op] || !inScope(row.scope, chip) || (row.chips && !chipListNames(row.chips, chip))) continue;
        taken[op] = true;
        Form form{0, 0, row.operation};
        for (const char* c = row.bits; *c; ++c) {
            if (*c == ' ') continue;
            form.mask <<= 1;
            form.value <<= 1;
            if (*c == '0' || *c == '1') form.mask |= 1;
            if (*c == '1') form.value |= 1;
        }
        forms_.push_back(form);
    }
}

IspOperation InstructionSet::decode(const uint8_t frame[4], int bytes) const {
    uint32_t word = 0;
    uint32_t seen = 0;
    for (int i = 0; i < 4; ++i) {
        word = word << 8 | (i < bytes ? frame[i] : 0);
        seen = seen << 8 | (i < bytes ? 0xFF : 0);
    }
    for (const Form& form : forms_)
        if ((word & form.mask & seen) == (form.value & seen)) return form.operation;
    return IspOperation::None;
}

}  // namespace mervex
