#include "adapter/AdapterSetup.h"

#include <string>
#include <utility>
#include <vector>

#include "adapter/AdapterDetection.h"
#include "adapter/BuiltinCables.h"
#include "adapter/GpioSetup.h"
#include "adapter/LptAdapter.h"
#include "adapter/PinMapConfig.h"
#include "adapter/PortFactory.h"
#include "adapter/WiringDrawing.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Units.h"

namespace mervex {

namespace {

// The -a switches of the cables: those that can be detected in the order -aa
// tries them, then the others, the default wiring last.
std::string cableSwitches(bool detected) {
    std::string list;
    const auto add = [&list](const std::string& item) { list += (list.empty() ? "" : ", ") + item; };
    if (detected)
        for (const BuiltinCable* row : detectableCables()) add(std::string("-a") + row->letter);
    for (size_t i = 0; i < BuiltinCableCount; ++i)
        if (!builtinCables[i].detected() && builtinCables[i].letter != '\0')
            add(std::string("-a") + builtinCables[i].letter);
    if (const BuiltinCable* vuder = builtinCableOfLetter('\0'))
        add(std::string("no -a for ") + builtinPinMap(vuder->type).name);
    return list;
}

void adapterNotFound(const BuiltinCable& row, bool forced) {
    const char* name = row.detection.notFoundName;
    if (forced) {
        message(LevelWarning, "%s not found, but forced by '-!'\n", name);
        return;
    }
    throw app_error(ExitSystem, "%s not found\n", name)
        .then(LevelInfo, formatText("Hint: no %s cable answered: check the cable and its power, try -aa to find it, "
                                    "name another cable (%s), or use this wiring anyway with -!\n",
                                    row.detection.kind, cableSwitches(true).c_str()));
}

[[noreturn]] void noCableFound() {
    std::string kinds;
    const std::vector<const BuiltinCable*> rows = detectableCables();
    for (size_t i = 0; i < rows.size(); ++i)
        kinds += std::string(i == 0 ? "" : i + 1 < rows.size() ? ", " : " or ") + rows[i]->detection.kind;
    throw app_error(ExitSystem, "Known buffered adapter not found\n")
        .then(LevelInfo, formatText("Hint: no %s cable answered: check the cable and its power, or name an "
                                    "unbuffered cable (%s)\n",
                                    kinds.c_str(), cableSwitches(false).c_str()));
}

// The row's wiring for the cable its detection found (verdict; 0: none or no
// detection), completed for the frequency, with the modifiers a modifiable one takes.
PinMap cableWiring(const BuiltinCable& row, int verdict, const AdapterSettings& settings) {
    PinMap map = builtinPinMap(row.type, verdict);
    completeForClock(map, row.type, settings.oscillatorHz);
    if (!row.modifiable) return map;
    if (settings.lazyBlaster) applyLazyBlaster(map);
    if (settings.powerFromData) applyPowerFromData(map);
    return map;
}

// The same on the port, which must be able to float the data lines for -az.
PinMap cableMap(const BuiltinCable& row, int verdict, ParallelPort& port, const AdapterSettings& settings) {
    if (row.modifiable && settings.lazyBlaster && !port.canControlDirection()) {
        throw app_error(ExitSystem, "Can't control LPT data direction bit (required for -AZ)\n");
    }
    return cableWiring(row, verdict, settings);
}

// The row's wiring, then that of each of its cables with a wiring of its own.
void addCableWirings(std::vector<PinMap>& maps, const BuiltinCable& row, const AdapterSettings& settings) {
    maps.push_back(cableWiring(row, 0, settings));
    for (const CableVariant& variant : row.variants)
        if (variant.name != nullptr && variant.wiring != nullptr)
            maps.push_back(cableWiring(row, variant.verdict, settings));
}

void fillPinMap(PinMap& map, AdapterType type, ParallelPort& port, const AdapterSettings& settings, Clock& clock) {
    if (type == AdapterType::UserMap) return;  // loaded before the port was opened
    if (type == AdapterType::AutoBuffered) {
        const FoundCable found = findCable(port, clock);
        if (found.row == nullptr) noCableFound();
        message(LevelInfo, "Cable found by -aa: %s\n", verdictName(*found.row, found.verdict).c_str());
        map = cableMap(*found.row, found.verdict, port, settings);
        return;
    }
    const BuiltinCable& row = *builtinCable(type);
    int verdict = 0;
    if (row.detected()) {
        verdict = detectCable(port, row, clock);
        if (verdict == 0) adapterNotFound(row, settings.forceAdapter);
    }
    map = cableMap(row, verdict, port, settings);
}

std::unique_ptr<LptAdapter> buildAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> map,
                                         const AdapterSettings& settings, Clock& clock) {
    SckPeriods periods = settings.sckPeriods;
    uint32_t frequency = settings.oscillatorHz;
    if (frequency == 0) {
        auto adapter = std::make_unique<LptAdapter>(std::move(port), std::move(map), periods, clock);
        message(LevelDebug, "with SCK low %d periods, high %d periods\n", periods.low, periods.high);
        return adapter;
    }
    SckTiming timing = deriveSckTiming(frequency, settings.frequencyIsSck, periods);
    auto adapter = std::make_unique<LptAdapter>(std::move(port), std::move(map), timing, clock);
    reportSckTiming(settings, timing, adapter->sckFrequency());
    return adapter;
}

// Empty, or the user's map loaded and checked.
std::unique_ptr<PinMap> startingMap(const AdapterSettings& settings) {
    auto map = std::make_unique<PinMap>();
    if (settings.type != AdapterType::UserMap) return map;
    loadPinMap(*map, settings.userPinMap);
    validatePinMap(*map);
    message(LevelInfo, "Adapter '%s'\n", map->name);
    return map;
}

// The wiring on the open port, then the adapter that takes both over.
std::unique_ptr<LptAdapter> adapterOnPort(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> map,
                                          const AdapterSettings& settings, Clock& clock) {
    fillPinMap(*map, settings.type, *port, settings, clock);
    message(LevelDebug, "%s adapter mode\n", map->name);

    map->driveResetAsHeld();

    if (settings.oscillatorHz == 0 && !map->has(SignalId::Xtal)) {
        throw app_error(ExitUsage, "Can't generate XTAL, %s has no XTAL output\n", map->name);
    }
    return buildAdapter(std::move(port), std::move(map), settings, clock);
}

}  // namespace

void reportSckTiming(const AdapterSettings& settings, const SckTiming& timing, double sckMHz) {
    char first[UnitTextSize];
    char second[UnitTextSize];
    message(LevelDebug, "%s frequency = %s\n", settings.frequencyIsSck ? "SPI SCK requested" : "MCU oscillator",
            formatFrequency(settings.oscillatorHz, UnitHz, first));
    message(LevelDebug, "setup %s, hold %s\n", formatTime(timing.setupTime, UnitUs, first),
            formatTime(timing.holdTime, UnitUs, second));
    message(LevelDebug, "actual SCK frequency %s\n", formatFrequency(sckMHz, UnitMHz, first));
}

std::unique_ptr<Programmer> createAdapter(const AdapterSettings& settings, Clock& clock, PortIo& io) {
    if (settings.portSpec && namesGpioChip(*settings.portSpec, settings.portBackends))
        return createGpioAdapter(settings, clock);
    // User map errors come before the port is opened.
    std::unique_ptr<PinMap> map = startingMap(settings);
    std::unique_ptr<ParallelPort> port = openPort(settings.portSpec, settings.portBackends, clock, io);
    message(LevelDebug, "LPT write cycle %s\n", formatTime(port->cycleTime(), UnitUs));
    return adapterOnPort(std::move(port), std::move(map), settings, clock);
}

std::unique_ptr<LptAdapter> createAdapterOn(std::unique_ptr<ParallelPort> port, const AdapterSettings& settings,
                                            Clock& clock) {
    return adapterOnPort(std::move(port), startingMap(settings), settings, clock);
}

std::vector<PinMap> possibleWirings(const AdapterSettings& settings) {
    std::vector<PinMap> maps;
    if (settings.type == AdapterType::UserMap) {
        maps.emplace_back();
        loadPinMap(maps.back(), settings.userPinMap);
        validatePinMap(maps.back());
    } else if (settings.type == AdapterType::AutoBuffered) {
        for (const BuiltinCable* row : detectableCables()) addCableWirings(maps, *row, settings);
    } else {
        addCableWirings(maps, *builtinCable(settings.type), settings);
    }
    return maps;
}

std::vector<std::string> wiringDrawings(const AdapterSettings& settings) {
    if (settings.portSpec && namesGpioChip(*settings.portSpec, settings.portBackends)) {
        const GpioWiring wiring = gpioWiringOf(settings);
        return {drawWiring(wiring.name(), gpioWiringConnector(wiring))};
    }
    std::vector<std::string> drawings;
    for (const PinMap& map : possibleWirings(settings)) drawings.push_back(drawPinMap(map));
    return drawings;
}

}  // namespace mervex
