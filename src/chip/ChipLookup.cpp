#include <strings.h>

#include <cctype>
#include <cstring>
#include <string>

#include "chip/DeviceTable.h"

namespace mervex {

namespace {

bool sameLetters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Whether the first length characters of alternative equal the whole requested text.
bool alternativeEquals(const char* requested, size_t requestedLength, const char* alternative,
                       size_t length) {
    if (length != requestedLength) return false;
    for (size_t i = 0; i < length; ++i) {
        if (!sameLetters(requested[i], alternative[i])) return false;
    }
    return true;
}

// Chip families and the short forms other tools and build files spell them with:
// mega328P is m328p, tiny85 t85, 90usb1286 usb1286, 90CAN128 c128, 90S2313 2313.
struct FamilyShortForm {
    const char* family;
    const char* shortForm;
};
constexpr FamilyShortForm familyShortForms[] = {
    {"mega", "m"}, {"tiny", "t"}, {"90usb", "usb"}, {"90CAN", "c"}, {"90pwm", "pwm"}, {"90S", ""},
};

// Whether the requested text is the alternative's short form.
bool shortFormEquals(const char* requested, size_t requestedLength, const char* alternative, size_t length) {
    const std::string shortForm = shortChipName(std::string(alternative, length).c_str());
    return !shortForm.empty() &&
           alternativeEquals(requested, requestedLength, shortForm.c_str(), shortForm.size());
}

}  // namespace

std::string shortChipName(const char* name) {
    if (name == nullptr) return std::string();
    for (const FamilyShortForm& form : familyShortForms) {
        const size_t length = std::strlen(form.family);
        if (strncasecmp(name, form.family, length) != 0 || name[length] == '\0') continue;
        std::string shortName = std::string(form.shortForm) + (name + length);
        for (char& c : shortName) c = char(std::tolower(static_cast<unsigned char>(c)));
        return shortName;
    }
    return std::string();
}

const char* withoutAtPrefix(const char* name) {
    return name != nullptr && strncasecmp(name, "AT", 2) == 0 ? name + 2 : name;
}

bool nameMatches(const char* requested, const char* names) {
    if (requested == nullptr || names == nullptr) return false;
    const size_t requestedLength = std::strlen(requested);
    const char* alternative = names;
    for (;;) {
        const char* bar = std::strchr(alternative, '|');
        const size_t length = bar != nullptr ? size_t(bar - alternative) : std::strlen(alternative);
        if (alternativeEquals(requested, requestedLength, alternative, length) ||
            shortFormEquals(requested, requestedLength, alternative, length))
            return true;
        if (bar == nullptr) return false;
        alternative = bar + 1;
    }
}

int32_t findChipByName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; chipTable[i].names != nullptr; ++i) {
        if (nameMatches(name, chipTable[i].names)) return i;
    }
    return -1;
}

std::string primaryChipName(const ChipDescriptor& chip) {
    const std::string names = chip.names != nullptr ? chip.names : "";
    return names.substr(0, names.find('|'));
}

const ChipDescriptor& chipAt(int32_t index) {
    return chipTable[index >= 0 && index < ChipTableRows ? index : ChipTableRows];
}

const char* chipNameAt(int32_t index) {
    if (index < 0) return "unknown";
    // Past the last chip the names are absent, as in the end row, so a walk stops there.
    return index < ChipTableRows ? chipTable[index].names : nullptr;
}

int32_t ChipSelection::index() const {
    if (detectedIndex >= 0 && detectedIndex < ChipTableRows) return detectedIndex;
    return findChipByName(requestedName);
}

const ChipDescriptor& ChipSelection::selectedChip() const {
    return chipAt(index());
}

int32_t usableFlashSize(const ChipDescriptor& chip, bool eraseCounter) {
    return eraseCounter && chip.flash.size != 0 ? eraseCounterAddress(chip) : chip.flash.size;
}

const char* fuseByteName(int index) {
    static const char* const names[FuseByteCount] = {"_LOCK", "_LOW", "_HIGH", "_EXT"};
    return static_cast<unsigned>(index) < unsigned(FuseByteCount) ? names[index] : "???";
}

SckCycles sckTimingCycles(const ChipDescriptor& chip, uint32_t oscillatorHz, uint32_t sckDivider) {
    SckCycles cycles = {2, 2};
    if (chip.hasFlag(SlowSck)) {
        cycles = {2, 5};
    } else if (chip.hasFlag(VerySlowSck)) {
        cycles = {5, 17};
    } else if (oscillatorHz > 12000000u) {
        cycles = {3, 3};
    }
    const int32_t divider = int32_t(sckDivider);
    return {cycles.low * divider, cycles.high * divider};
}

const FuseDescriptor* findFuse(const ChipDescriptor& chip, const char* name, FuseByte* byte) {
    if (chip.fuseSet == nullptr || name == nullptr) return nullptr;
    for (int b = 0; b < FuseByteCount; ++b) {
        for (const FuseDescriptor* fuse = chip.fuseSet->lists[b]; fuse && fuse->info; ++fuse) {
            if (std::strcmp(fuse->info->name, name) != 0) continue;
            if (byte) *byte = FuseByte(b);
            return fuse;
        }
    }
    return nullptr;
}

}  // namespace mervex
