#include "adapter/GpioWiring.h"

#include <strings.h>

#include "base/TextUtil.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// The kernel's names hold at most 31 characters.
constexpr size_t LineNameLimit = 31;

const char* signalUsing(const GpioWiring& wiring, const std::string& line) {
    for (size_t i = 0; i < SignalCount; ++i)
        for (const GpioLineName& used : wiring.lines[i])
            if (used.line == line) return signalInfo(SignalId(i)).name;
    return nullptr;
}

void parseGpioEntry(GpioWiring& wiring, const std::string& entry) {
    const auto [key, value] = splitEntry(entry);
    if (strcasecmp(key.c_str(), "name") == 0) {
        if (wiring.name()[0] != '\0') throw app_error(ExitUsage, "adapter: duplicate keyword 'name'\n");
        wiring.named.setName(trim(value.c_str()).c_str());
        return;
    }
    const std::optional<SignalId> id = findSignal(key);
    if (!id) throw app_error(ExitUsage, "adapter: invalid signal name '%s'\n", key.c_str());
    if (*id == SignalId::Xtal) {
        throw app_error(ExitUsage, "adapter: a GPIO line can't generate the chip's clock ('%s')\n", key.c_str());
    }
    if (wiring.has(*id)) throw app_error(ExitUsage, "adapter: duplicate signal name '%s'\n", key.c_str());

    for (const std::string& item : splitList(value, ",", true)) {
        GpioLineName line;
        line.line = trim(item.c_str());
        line.inverted = !line.line.empty() && line.line[0] == '~';
        if (line.inverted) line.line = trim(line.line.c_str() + 1);
        if (line.line.empty() || line.line.size() > LineNameLimit) {
            throw app_error(ExitUsage, "adapter: invalid GPIO line '%s'\n", line.line.c_str());
        }
        if (const char* user = signalUsing(wiring, line.line)) {
            throw app_error(ExitUsage, "adapter: can't use '%s' for '%s' - already used for '%s'\n",
                            line.line.c_str(), key.c_str(), user);
        }
        if (wiring.has(*id) && !signalInfo(*id).severalPins) {
            throw app_error(ExitUsage, "adapter: can't use multiply pins for signal '%s'\n", signalInfo(*id).name);
        }
        wiring.lines[size_t(*id)].push_back(line);
    }
}

}  // namespace

bool isLineNumber(const std::string& line) {
    return !line.empty() && line.size() <= 9 && line.find_first_not_of("0123456789") == std::string::npos;
}

GpioWiring loadGpioWiring(const UserPinMap& source) {
    GpioWiring wiring;
    forEachPinMapEntry(source, [&wiring](const std::string& entry) { parseGpioEntry(wiring, entry); });
    for (SignalId id : {SignalId::Mosi, SignalId::Sck, SignalId::Reset, SignalId::Miso}) {
        if (!wiring.has(id)) throw app_error(ExitUsage, "%s must be defined\n", signalInfo(id).name);
    }
    return wiring;
}

}  // namespace mervex
