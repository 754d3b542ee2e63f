#include "driver/AdapterRequest.h"

#include "adapter/BuiltinCables.h"
#include "adapter/PinMapConfig.h"
#include "chip/ChipDescriptor.h"

namespace mervex {

AdapterSettings wiringSettingsOf(const Request& request, const PortBackends& backends) {
    AdapterSettings settings;
    settings.type = adapterTypeOf(request.adapterSpec);
    if (settings.type == AdapterType::UserMap) settings.userPinMap = userPinMapOf(request.adapterSpec, request.programPath);
    if (request.portSpec != nullptr) settings.portSpec = request.portSpec;
    settings.portBackends = backends;
    settings.lazyBlaster = request.lazyBlaster;
    settings.powerFromData = request.powerFromData;
    settings.oscillatorHz = request.oscillatorHz;
    return settings;
}

AdapterSettings adapterSettingsOf(const Request& request, const ChipDescriptor& chip, const PortBackends& backends) {
    AdapterSettings settings = wiringSettingsOf(request, backends);
    settings.forceAdapter = request.forceChip;
    settings.frequencyIsSck = request.frequencyIsSck;
    const SckCycles cycles = sckTimingCycles(chip, request.oscillatorHz, request.sckDivider);
    settings.sckPeriods = SckPeriods{int(cycles.low), int(cycles.high)};
    return settings;
}

}  // namespace mervex
