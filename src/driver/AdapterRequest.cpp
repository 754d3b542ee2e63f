#include "driver/AdapterRequest.h"

#include <cctype>

#include "adapter/BuiltinCables.h"
#include "chip/ChipDescriptor.h"
#include "console/ConfigSearch.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/HelpText.h"

namespace mervex {

namespace {

constexpr size_t FoundPathSize = 1024;
constexpr const char* PinMapExtension = ".cfg";

[[noreturn]] void invalidAdapterValue(const std::string& offending) {
    throw app_error(ExitUsage, "Invalid value for switch -%c in '%s'\n\n%s\n", 'A', offending.c_str(), HelpHintText);
}

}  // namespace

AdapterType adapterTypeOf(const char* adapterSpec) {
    if (adapterSpec == nullptr) return AdapterType::Default;
    const std::string text = adapterSpec;
    if (text.empty()) invalidAdapterValue(text);
    const char letter = char(std::tolower(static_cast<unsigned char>(text[0])));
    if (letter == 'm') return AdapterType::UserMap;
    AdapterType type = AdapterType::AutoBuffered;
    if (letter != 'a') {
        const BuiltinCable* cable = builtinCableOfLetter(letter);
        if (cable == nullptr || cable->letter == '\0') invalidAdapterValue(text);
        type = cable->type;
    }
    if (text.size() > 1) invalidAdapterValue(text.substr(1));
    return type;
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

AdapterSettings adapterSettingsOf(const Request& request, const ChipDescriptor& chip, const PortBackends& backends) {
    AdapterSettings settings;
    settings.type = adapterTypeOf(request.adapterSpec);
    if (settings.type == AdapterType::UserMap) settings.userPinMap = userPinMapOf(request.adapterSpec, request.programPath);
    if (request.portSpec != nullptr) settings.portSpec = request.portSpec;
    settings.portBackends = backends;
    settings.lazyBlaster = request.lazyBlaster;
    settings.powerFromData = request.powerFromData;
    settings.forceAdapter = request.forceChip;
    settings.oscillatorHz = request.oscillatorHz;
    settings.frequencyIsSck = request.frequencyIsSck;
    const SckCycles cycles = sckTimingCycles(chip, request.oscillatorHz, request.sckDivider);
    settings.sckPeriods = SckPeriods{int(cycles.low), int(cycles.high)};
    return settings;
}

}  // namespace mervex
