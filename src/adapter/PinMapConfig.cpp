#include "adapter/PinMapConfig.h"

#include <strings.h>

#include <cstring>

#include "adapter/PinInfo.h"
#include "base/TextUtil.h"
#include "console/ConfigSearch.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/OpenFile.h"

namespace mervex {

namespace {

constexpr size_t EntryLimit = 511;
constexpr size_t FoundPathSize = 1024;
constexpr const char* PinMapExtension = ".cfg";

// Entries are C text: a NUL byte ends them.
std::string trimmed(const std::string& text) { return trim(text.c_str()); }

// True if any signal already uses a bit of mask; names the first such signal.
const char* signalUsing(const PinMap& map, uint32_t mask) {
    for (size_t i = 0; i < SignalCount; ++i)
        if (map.entries[i].pins() & mask) return signalInfo(SignalId(i)).name;
    return nullptr;
}

void addPin(PinMap& map, SignalId id, const std::string& key, const std::string& item) {
    std::string pinName = trimmed(item);
    bool inverted = !pinName.empty() && pinName[0] == '~';
    if (inverted) pinName.erase(0, 1);

    const PinInfo* pin = findPin(pinName);
    if (pin == nullptr) {
        throw app_error(ExitUsage, "adapter: invalid pin name '%s'\n", pinName.c_str());
    }
    if (const char* user = signalUsing(map, pin->mask)) {
        throw app_error(ExitUsage, "adapter: can't use '%s' for '%s' - already used for '%s'\n", pinName.c_str(),
                        key.c_str(), user);
    }
    const SignalInfo& signal = signalInfo(id);
    if ((pin->direction & signal.direction) != signal.direction) {
        throw app_error(ExitUsage, "adapter: can't use %s pin '%s' for %s signal '%s'\n", directionName(pin->direction),
                        pin->name, directionName(signal.direction), signal.name);
    }
    SignalEntry& entry = map.entry(id);
    if (entry.present() && !signal.severalPins) {
        throw app_error(ExitUsage, "adapter: can't use multiply pins for signal '%s'\n", signal.name);
    }
    // The written "~" and the pin's own inversion cancel each other.
    if (inverted == pin->inverted)
        entry.setMask |= pin->mask;
    else
        entry.clearMask |= pin->mask;
}

}  // namespace

void forEachPinMapEntry(const UserPinMap& source, const std::function<void(const std::string&)>& apply) {
    if (source.file.empty()) {
        for (const std::string& entry : splitList(source.entries, ":")) apply(entry.substr(0, EntryLimit));
        return;
    }
    FilePtr file = openFile(source.file.c_str(), "rt");
    message(LevelTrace, "Loading config file '%s'\n", source.file.c_str());

    // A line longer than the buffer continues as the next line.
    char line[EntryLimit + 1];
    while (std::fgets(line, sizeof line, file.get()) != nullptr) {
        if (char* comment = std::strchr(line, '#')) *comment = '\0';
        if (char* comment = std::strchr(line, ';')) *comment = '\0';
        const std::string entry = trimEnd(line);
        if (!entry.empty()) apply(entry);
    }
}

std::pair<std::string, std::string> splitEntry(const std::string& entry) {
    size_t equals = entry.find('=');
    if (equals == std::string::npos || equals + 1 == entry.size()) {
        throw app_error(ExitUsage, "adapter: invalid string '%s'\n", entry.c_str());
    }
    return {trimmed(entry.substr(0, equals)), entry.substr(equals + 1)};
}

void parseEntry(PinMap& map, const std::string& entry) {
    const auto [key, value] = splitEntry(entry);

    if (strcasecmp(key.c_str(), "name") == 0) {
        if (map.name[0] != '\0') {
            throw app_error(ExitUsage, "adapter: duplicate keyword 'name'\n");
        }
        map.setName(trimmed(value).c_str());
        return;
    }

    std::optional<SignalId> id = findSignal(key);
    if (!id) {
        throw app_error(ExitUsage, "adapter: invalid signal name '%s'\n", key.c_str());
    }
    if (map.has(*id)) {
        throw app_error(ExitUsage, "adapter: duplicate signal name '%s'\n", key.c_str());
    }
    for (const std::string& item : splitList(value, ",", true)) addPin(map, *id, key, item);
}

UserPinMap userPinMapOf(const std::string& text, const char* programPath) {
    UserPinMap source;
    const size_t separator = text.find_first_of("=:");
    if (separator == std::string::npos) return source;
    const std::string rest = text.substr(separator + 1);
    if (rest.empty()) {
        throw app_error(ExitUsage, "Invalid adapter switch '%s'\n", text.c_str());
    }
    if (text[separator] == ':') {
        source.entries = rest;
        return source;
    }
    char path[FoundPathSize];
    // A shipped pin map is also found by its bare name: -am=dt006 for dt006.cfg.
    if (!findConfigFile(path, sizeof path, rest.c_str(), programPath) &&
        !findConfigFile(path, sizeof path, (rest + PinMapExtension).c_str(), programPath)) {
        throw app_error(ExitUsage, "File '%s' not found\n", rest.c_str());
    }
    source.file = path;
    return source;
}

void loadPinMap(PinMap& map, const UserPinMap& source) {
    forEachPinMapEntry(source, [&map](const std::string& entry) { parseEntry(map, entry); });
}

void validatePinMap(const PinMap& map) {
    for (SignalId id : {SignalId::Mosi, SignalId::Sck, SignalId::Reset, SignalId::Miso}) {
        if (!map.has(id)) {
            throw app_error(ExitUsage, "%s must be defined\n", signalInfo(id).name);
        }
    }
    // The XTAL clock is woven into the data-register series only. MOSI, SCK
    // and RESET may also sit on the control outputs (a plainer per-bit path),
    // but not on BIDIR_EN, which floats the data lines, nor beside XTAL.
    constexpr uint32_t DataLines = 0x0000FF, ControlOutputs = 0x0F0000;
    const bool xtal = map.has(SignalId::Xtal);
    for (SignalId id : {SignalId::Mosi, SignalId::Sck, SignalId::Reset, SignalId::Xtal}) {
        const uint32_t allowed = (id == SignalId::Xtal || xtal) ? DataLines : DataLines | ControlOutputs;
        if (map.entry(id).pins() & ~allowed) {
            app_error failure(ExitUsage, "%s must be in %s\n", signalInfo(id).name, "D0..D7 lines");
            if (id != SignalId::Xtal)
                failure.then(LevelError,
                             "mosi, sck and reset may also be on STROBE, ALF, INIT or SELECT without xtal\n");
            throw failure;
        }
    }
}

}  // namespace mervex
