#pragma once
// The serial programming instructions of each simulated chip, decoded as its
// data sheet writes them: every bit of an instruction form is fixed (0 or 1)
// or free (an address, data or don't-care bit). A frame whose fixed bits do
// not match any form of the chip is not an instruction of that chip, and
// silicon ignores it.
#include <cstdint>
#include <vector>

#include "chip/ChipDescriptor.h"

namespace mervex {

// What an instruction does; the simulated chip carries it out.
enum class IspOperation : uint8_t {
    None,  // no form of the chip matches
    ProgramEnable,
    ChipErase,
    ReadSignature,
    ReadFlash,
    WriteFlashByte,    // byte-wise flash
    LoadPageByte,      // paged flash: into the page buffer
    WritePage,         // paged flash: the page buffer into the flash
    LoadExtendedAddress,
    ReadEeprom,
    WriteEeprom,
    LoadEepromPage,    // into the EEPROM page buffer, by the byte's position in the page
    WriteEepromPage,   // the EEPROM page buffer into the page
    ReadyBusy,
    ReadCalibration,
    ReadLowFuse,
    ReadHighFuse,
    ReadExtendedFuse,
    ReadLock,
    WriteLowFuse,
    WriteHighFuse,
    WriteExtendedFuse,
    WriteShortFuse,    // the fuse bits 4..0 carried in the second byte
    WriteLockByte,
    WriteShortLock,    // 1111 1 LB2 LB1 1 in the second byte
};

class InstructionSet {
public:
    // The forms that chip answers to.
    explicit InstructionSet(const ChipDescriptor& chip);

    // The operation whose form the first `bytes` bytes of frame match (1..4;
    // fewer than 4 while the frame is still coming in), or None.
    IspOperation decode(const uint8_t frame[4], int bytes = 4) const;

private:
    struct Form {
        uint32_t mask;   // the fixed bits
        uint32_t value;  // their levels
        IspOperation operation;
    };
    std::vector<Form> forms_;
};

}  // namespace mervex
