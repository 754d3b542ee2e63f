#include <cstring>

#include "chip/DeviceTable.h"
#include "console/Console.h"

namespace mervex {

namespace {

constexpr int DeviceCellWidth = 12;
constexpr int DeviceLineLimit = 78;

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
}

}  // namespace mervex
