#include "chip/FuseRequest.h"

#include <algorithm>
#include <string>
#include <strings.h>

#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "chip/FuseNameHint.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

struct FuseItem {
    std::string name;
    std::string valueText;
    bool hasValue = false;
    bool mnemonic = false;  // the value was written as ON or OFF
    uint32_t value = 0;
};

// A hexadecimal number the way "%x" reads it (blanks, "+", "0x" accepted, the
// rest after the number ignored). A minus sign has no meaning for a fuse and
// is refused; a number too large for 32 bits reads as 0xFFFFFFFF.
bool readHex(const std::string& text, uint32_t& value) {
    NumberSyntax syntax = strtoulSyntax(16);
    syntax.minus = false;
    uint64_t number = 0;
    if (!parseNumber(text, syntax, number)) return false;
    value = uint32_t(std::min<uint64_t>(number, 0xFFFFFFFF));
    return true;
}

FuseItem splitItem(const std::string& text) {
    FuseItem item;
    size_t equals = text.find('=');
    item.name = text.substr(0, equals);
    if (equals == std::string::npos) return item;
    item.valueText = text.substr(equals + 1);
    if (item.valueText.empty()) return item;
    item.hasValue = true;
    if (strcasecmp(item.valueText.c_str(), "ON") == 0) {
        item.value = 0;
        item.mnemonic = true;
    } else if (strcasecmp(item.valueText.c_str(), "OFF") == 0) {
        item.value = 1;
        item.mnemonic = true;
    } else if (!readHex(item.valueText, item.value)) {
        throw app_error(ExitUsage, "Invalid value '%s' for fuse '%s'\n", item.valueText.c_str(), item.name.c_str());
    }
    return item;
}

int findFuseByte(const std::string& name) {
    for (int b = 0; b < FuseBytes; ++b)
        if (strcasecmp(name.c_str(), fuseByteName(b)) == 0) return b;
    return -1;
}

bool fieldNamed(const FuseDescriptor& field, const std::string& name) {
    return strcasecmp(name.c_str(), field.info->name) == 0 ||
           (field.info->alias && strcasecmp(name.c_str(), field.info->alias) == 0);
}

void addFuseByte(FuseValues& fuses, const ChipDescriptor& chip, int b, const FuseItem& item) {
    const char* name = item.name.c_str();
    if (!chip.fuseSet->lists[b]) {
        throw app_error(ExitUsage, "Fuse byte '%s' not exist in %s\n", name, chip.names);
    }
    if (item.mnemonic) {
        throw app_error(ExitUsage, "ON/OFF mnemonics can't be used for fuse byte name '%s'\n", name);
    }
    if (fuses.requestMask[b] != 0) {
        throw app_error(ExitUsage, "Duplicate fuse %s in command line\n", name);
    }
    if (!item.hasValue) {
        throw app_error(ExitUsage, "Value required for fuse %s\n", name);
    }
    if (item.value > 0xFF) {
        throw app_error(ExitUsage, "Value %X too large for fuse byte %s\n", item.value, name);
    }
    message(LevelTrace, "\t%% Fuse byte added: %s=%X\n", name, item.value);
    // The two lock bits themselves are never set through the lock byte's name.
    fuses.requestMask[b] = b == int(FuseByte::Lock) ? 0xFC : 0xFF;
    fuses.requestValue[b] = uint8_t(item.value);
}

void addField(FuseValues& fuses, const ChipDescriptor& chip, const FuseItem& item) {
    const char* name = item.name.c_str();
    for (int b = 0; b < FuseBytes; ++b) {
        const FuseDescriptor* list = chip.fuseSet->lists[b];
        for (const FuseDescriptor* field = list; field && field->info; ++field) {
            if (!fieldNamed(*field, item.name)) continue;
            const uint32_t max = uint32_t(field->maxValue());
            if (!item.hasValue) {
                throw app_error(ExitUsage, "Value required for fuse %s\n", name);
            }
            if (item.value > max) {
                throw app_error(ExitUsage, "Value %X too large for fuse %s\n", item.value, name);
            }
            if (item.mnemonic && field->width > 1) {
                throw app_error(ExitUsage, "ON/OFF mnemonics can't be used with %d-bit fuse '%s'\n", int(field->width),
                                name);
            }
            if ((fuses.requestMask[b] & field->mask()) != 0) {
                throw app_error(ExitUsage, "Duplicate fuse %s in command line\n", name);
            }
            message(LevelTrace, "\t%% Fuse added: %s=%X\n", name, item.value);
            fuses.requestMask[b] |= field->mask();
            fuses.requestValue[b] |= uint8_t(item.value << field->shift);
            return;
        }
    }
    throw app_error(ExitUsage, "Invalid fuse name '%s'\n", name).then(LevelInfo, fuseNamesHint(chip, item.name));
}

// Nothing requested yet; the known bits of the chip's fuse bytes.
void startRequest(FuseValues& fuses, const ChipDescriptor& chip) {
    if (!chip.fuseSet) {
        throw app_error(ExitUsage, "%s has no ISP-writable fuses\n", chip.names);
    }
    fuses.listGiven = true;
    for (int b = 0; b < FuseBytes; ++b) {
        fuses.requestValue[b] = 0;
        fuses.requestMask[b] = 0;
        fuses.knownMask[b] = 0;
        for (const FuseDescriptor* field = chip.fuseSet->lists[b]; field && field->info; ++field)
            fuses.knownMask[b] |= field->mask();
    }
}

}  // namespace

void parseFuseRequest(FuseValues& fuses, const ChipDescriptor& chip, const char* text) {
    if (!text) return;
    if (chip.names == nullptr) {
        // Without a chip there is no fuse set to parse against.
        throw app_error(ExitUsage, "Chip name must be specified\n");
    }
    startRequest(fuses, chip);
    for (const std::string& itemText : splitList(text, ",")) {
        if (itemText.size() > FuseItemMaxLength) {
            throw app_error(ExitUsage, "Fuse command too long\n");
        }
        FuseItem item = splitItem(itemText);
        int b = findFuseByte(item.name);
        if (b >= 0)
            addFuseByte(fuses, chip, b, item);
        else
            addField(fuses, chip, item);
    }
}

void addFuseBytes(FuseValues& fuses, const ChipDescriptor& chip, const uint8_t (&value)[FuseBytes],
                  const uint8_t (&mask)[FuseBytes]) {
    if (!fuses.listGiven) startRequest(fuses, chip);
    for (int b = 0; b < FuseBytes; ++b) {
        if (mask[b] == 0) continue;
        if (!chip.fuseSet->lists[b]) {
            throw app_error(ExitUsage, "Fuse byte '%s' not exist in %s\n", fuseByteName(b), chip.names);
        }
        const uint8_t taken = uint8_t(mask[b] & ~fuses.requestMask[b]);
        fuses.requestValue[b] = uint8_t((fuses.requestValue[b] & ~taken) | (value[b] & taken));
        fuses.requestMask[b] |= taken;
    }
}

}  // namespace mervex
