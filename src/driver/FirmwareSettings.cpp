#include "driver/FirmwareSettings.h"

#include <string>

#include "base/TextUtil.h"
#include "chip/DeviceTable.h"
#include "chip/FuseRequest.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

constexpr uint8_t LockBitsMask = 0x03;      // LB2, LB1
constexpr uint8_t BootLockBitsMask = 0xFC;  // what the _LOCK fuse byte name sets

// The chip a signature belongs to, as messages name it.
const char* chipWithSignature(int64_t signature) {
    for (int32_t row = 0; row < ChipTableRows; ++row)
        if (chipTable[row].signature == signature) return chipTable[row].names;
    return "unknown";
}

// The -l level of the lock bits LB2 and LB1; 0 for none.
char lockLevelOf(uint8_t lock, const std::string& file) {
    switch (lock & LockBitsMask) {
        case 3: return 0;
        case 2: return '1';
        case 0: return '2';
        default:
            throw app_error(ExitFile, "Lock byte %02X of '%s' is no lock mode (LB2 programmed without LB1)\n",
                            unsigned(lock), file.c_str());
    }
}

}  // namespace

void checkFirmwareParts(const Request& request, const RunState& state) {
    if (request.useFirmware == 0) return;
    const FirmwareParts& firmware = state.firmware;
    const std::string& file = state.firmwareFile;
    if (!firmware.isElf) {
        throw app_error(ExitUsage, "-u takes fuses and lock bits from an ELF file; '%s' is not one\n",
                        (request.codeFile.path.empty() ? request.dataFile.path : request.codeFile.path).c_str());
    }
    const bool fuses = (request.useFirmware & UseFirmwareFuses) && !firmware.fuses.empty();
    const bool lock = (request.useFirmware & UseFirmwareLock) && firmware.lock >= 0;
    if (request.useFirmware & UseFirmwareAsFound) {
        if (fuses || lock) return;
        throw app_error(ExitFile, "'%s' has neither a .fuse nor a .lock section\n", file.c_str());
    }
    if ((request.useFirmware & UseFirmwareFuses) && !fuses) {
        throw app_error(ExitFile, "'%s' has no .fuse section\n", file.c_str());
    }
    if ((request.useFirmware & UseFirmwareLock) && !lock) {
        throw app_error(ExitFile, "'%s' has no .lock section\n", file.c_str());
    }
}

void checkFirmwareSignature(const Request& request, const RunState& state) {
    const int64_t signature = state.firmware.signature;
    const ChipDescriptor& chip = state.session.selectedChip();
    if (signature < 0 || chip.signature == signature) return;
    const std::string mismatch =
        formatText("'%s' is built for <%s> (signature %06X), chip is <%s>\n", state.firmwareFile.c_str(),
                   chipWithSignature(signature), unsigned(signature), chip.names);
    if (!request.forceChip) throw app_error(ExitIdentity, "%s", mismatch.c_str()).then(LevelError, "Can't continue\n");
    message(LevelWarning, "%s", mismatch.c_str());
}

void applyFirmwareSettings(const Request& request, RunState& state) {
    const FirmwareParts& firmware = state.firmware;
    uint8_t value[FuseBytes] = {};
    uint8_t mask[FuseBytes] = {};
    if (request.useFirmware & UseFirmwareFuses) {
        for (size_t i = 0; i < firmware.fuses.size(); ++i) {
            value[int(FuseByte::Low) + i] = firmware.fuses[i];
            mask[int(FuseByte::Low) + i] = 0xFF;
        }
    }
    const bool write = (request.write & WriteRequested) != 0;
    if ((request.useFirmware & UseFirmwareLock) && firmware.lock >= 0 && write) {
        const uint8_t lock = uint8_t(firmware.lock);
        const char level = lockLevelOf(lock, state.firmwareFile);
        if (request.lockRequest == 0) state.lockRequest = level;
        // Boot lock bits only when the firmware programs some: unprogrammed they
        // are what an erase leaves, and asking for them would need one.
        if ((lock & BootLockBitsMask) != BootLockBitsMask) {
            value[int(FuseByte::Lock)] = lock;
            mask[int(FuseByte::Lock)] = BootLockBitsMask;
        }
    }
    for (int b = 0; b < FuseBytes; ++b) {
        if (mask[b] != 0) {
            state.session.addFuseBytes(value, mask);
            return;
        }
    }
}

}  // namespace mervex
