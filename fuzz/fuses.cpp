// Feeds arbitrary fuse lists to the fuse-list parser against chips of every
// kind. The first input line names the chip ("mega2560", "90S2333", "90S1200");
// a first line that names none picks a row of the device table by its bytes,
// or no chip at all. The rest of the input is the list.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "chip/ChipSession.h"
#include "chip/DeviceTable.h"
#include "chip/FuseRequest.h"
#include "console/Errors.h"

using namespace mervex;
using namespace mervex::fuzz;

namespace {

// The chip's name as the table spells it, alive as long as the table.
const char* chipFor(const std::string& line) {
    const int32_t named = findChipByName(line.c_str());
    if (named >= 0) return chipTable[named].names;
    unsigned sum = 0;
    for (unsigned char c : line) sum += c;
    const int32_t row = int32_t(sum % unsigned(ChipTableRows + 1));
    return row < ChipTableRows ? chipTable[row].names : nullptr;
}

// A parsed list only asks for bits that the chip's fuse byte has, with values
// inside the masks (the lock byte's own two bits are never asked for).
void checkFuses(const FuseValues& fuses, const ChipDescriptor& chip) {
    check(fuses.listGiven);
    for (int b = 0; b < FuseBytes; ++b) {
        uint8_t known = 0;
        for (const FuseDescriptor* f = chip.fuseSet->lists[b]; f && f->info; ++f) known |= f->mask();
        check(fuses.knownMask[b] == known);
        if (chip.fuseSet->lists[b] == nullptr) check(fuses.requestMask[b] == 0);
        if (b == int(FuseByte::Lock)) {
            check((fuses.requestMask[b] & 0x03) == 0);
        } else {
            check((fuses.requestValue[b] & ~fuses.requestMask[b]) == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState(LevelTrace);  // the parser's trace messages get formatted too
    const std::string text = argumentText(data, size);
    const size_t newline = text.find('\n');
    const std::string chipLine = text.substr(0, newline);
    const std::string list = newline == std::string::npos ? "" : text.substr(newline + 1);

    // The chip name: the table's spelling with its alternatives cut off.
    const char* names = chipFor(chipLine);
    std::string name = names != nullptr ? std::string(names).substr(0, std::string(names).find('|')) : "";
    const ChipDescriptor& chip = ChipSelection{names != nullptr ? name.c_str() : nullptr}.selectedChip();

    FuseValues fuses;
    try {
        parseFuseRequest(fuses, chip, list.c_str());
        checkFuses(fuses, chip);
    } catch (const app_error& error) {
        check(error.status() == ExitUsage);
    }
    resetProcessState();
    return 0;
}
