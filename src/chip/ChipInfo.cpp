#include <cstring>
#include <string>

#include "chip/DeviceTable.h"
#include "chip/LowSupply.h"
#include "console/Console.h"

namespace mervex {

namespace {

constexpr int DeviceCellWidth = 12;
constexpr int DeviceLineLimit = 78;

// Notes at the end of a chip's description, for the chips named (alternatives joined by '|').
struct ChipNote {
    const char* chips;
    const char* text;
};

const ChipNote chipNotes[] = {
    {"90S2333", "Chip erase waits 30 ms, as on the 90S4433 and 90S2343\n"},
};

bool noteNamesChip(const ChipNote& note, const ChipDescriptor& chip) {
    const std::string list = std::string(note.chips) + "|";
    for (size_t from = 0, bar; (bar = list.find('|', from)) != std::string::npos; from = bar + 1)
        if (nameMatches(list.substr(from, bar - from).c_str(), chip.names)) return true;
    return false;
}

void printChipNotes(const ChipDescriptor& chip) {
    const char* separator = "\n";
    for (const ChipNote& note : chipNotes) {
        if (!noteNamesChip(note, chip)) continue;
        message(LevelInfo, "%s%s", separator, note.text);
        separator = "";
    }
    // Polling waits this long for a byte it cannot confirm; fixed delays keep
    // the table's and need the scale, the only way on a chip that cannot poll.
    const int32_t lowSupplyMs = lowSupplyWriteMs(chip);
    if (lowSupplyMs == 0) return;
    const bool polls = chip.flash.pollMethod != PollNone && chip.eeprom.pollMethod != PollNone;
    message(LevelInfo, "%sAt a supply under 4 V use a delay switch (-2)%s: writes take up to %d ms there\n", separator,
            polls ? " or polling (-wp)" : "", int(lowSupplyMs));
}

void printFuseList(FuseByte byte, const FuseDescriptor* list) {
    message(LevelInfo, "\n%s fuse byte:\n", fuseByteName(int(byte)));
    for (const FuseDescriptor* field = list; field->info != nullptr; ++field) {
        const int32_t max = field->maxValue();
        message(LevelInfo, "  %-10s = 0 %s %2X - %s\n", field->info->name, max == 1 ? "or" : "to",
                unsigned(max), field->info->description);
        if (field->info->alias != nullptr) message(LevelInfo, "   (%s)\n", field->info->alias);
    }
}

}  // namespace

void printDeviceList() {
    message(LevelInfo, "\nSupported devices:");
    int column = 79;
    for (const ChipDescriptor* chip = chipTable; chip->names != nullptr; ++chip) {
        const int length = int(std::strlen(chip->names));
        const int target = (column / DeviceCellWidth + 1) * DeviceCellWidth;
        const int end = target + length;
        if (end > DeviceLineLimit || chip->hasFlag(ListBreak)) {
            message(LevelInfo, "\n");
            message(LevelInfo, "%*c%s", 1, ' ', chip->names);
            column = length + 1;
        } else {
            message(LevelInfo, "%*c%s", target - column, ' ', chip->names);
            column = end;
        }
    }
}

void printChipInfo(const char* name) {
    const int32_t index = findChipByName(name);
    if (index < 0) {
        message(LevelInfo, "%s is not supported\n", name != nullptr ? name : "");
        return;
    }
    const ChipDescriptor& chip = chipTable[index];
    message(LevelInfo, "\n%s: signature %X, Flash %ldKB, ", chip.names, unsigned(chip.signature),
            long(chip.flash.size / 1024));
    if (chip.eeprom.size >= 1024) {
        message(LevelInfo, "EEPROM %ldKB\n", long(chip.eeprom.size / 1024));
    } else {
        message(LevelInfo, "EEPROM %ldB\n", long(chip.eeprom.size));
    }
    if (chip.fuseSet == nullptr) {
        message(LevelInfo, "  has no ISP-writable fuses\n");
        printChipNotes(chip);
        return;
    }
    message(LevelInfo,
            "Fuse list\n  fuse programmed state is 0\n"
            "  use ON or OFF aliases for 1-bit fuses if you not shure\n");
    for (int b = 0; b < FuseByteCount; ++b) {
        const FuseByte byte = FuseByte(b);
        const FuseDescriptor* list = chip.fuseSet->list(byte);
        if (list != nullptr) printFuseList(byte, list);
    }
    printChipNotes(chip);
}

}  // namespace mervex
