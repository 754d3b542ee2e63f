// Feeds arbitrary bytes to the ELF reader. Whatever it accepts must form sound
// images (sorted blocks of at most 4096 bytes that never share an address, code
// below avr-gcc's EEPROM address, EEPROM within its 64 KiB) and settings of the
// sizes a chip has; whatever it refuses, it refuses with a message, not a crash.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "console/Errors.h"
#include "image/ElfReader.h"
#include "image/GccAddresses.h"

using namespace mervex;
using namespace mervex::fuzz;

namespace {

void checkImage(const MemoryImage& image, uint64_t end) {
    uint64_t next = 0;
    image.forEach([&](const MemoryBlock& b) {
        check(b.length >= 1 && b.length <= 4096);
        check(b.address >= next);
        next = b.endAddress();
    });
    check(next <= end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState(LevelTrace);
    MemoryImage code;
    FirmwareParts parts;
    try {
        parseElf(data, size, "fuzz-input", code, parts);
    } catch (const app_error&) {
        return 0;
    }
    check(parts.isElf && hasElfMagic(data, size));
    checkImage(code, GccEepromAddress);
    checkImage(parts.eeprom, GccWindowSize);
    check(parts.fuses.size() <= ElfMaxFuseBytes);
    check(parts.lock >= -1 && parts.lock <= 0xFF);
    check(parts.signature >= -1 && parts.signature <= 0xFFFFFF);
    return 0;
}
