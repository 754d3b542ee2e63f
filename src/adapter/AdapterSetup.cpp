#include "adapter/AdapterSetup.h"

#include <utility>

#include "adapter/AdapterDetection.h"
#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "adapter/PinMapConfig.h"
#include "adapter/PortFactory.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Units.h"

namespace mervex {

namespace {

void adapterNotFound(const char* adapter, const char* tried, bool forced) {
    if (forced) {
        message(LevelWarning, "%s not found, but forced by '-!'\n", adapter);
        return;
    }
    throw app_error(ExitSystem, "%s not found\n", adapter)
        .then(LevelInfo,
              formatText("Hint: no %s answered: check the cable and its power, try -aa to find it, name "
                         "another cable (-as, -ab, -ax, no -a for VUDER), or use this wiring anyway with -!\n",
                         tried));
}

const char* byteBlasterName(ByteBlasterVariant variant) {
    switch (variant) {
    case ByteBlasterVariant::ByteBlasterMV: return "ByteBlasterMV";
    case ByteBlasterVariant::ByteBlasterII: return "ByteBlaster-II";
    default: return "ByteBlaster";
    }
}

PinMap stkMap(uint32_t oscillatorHz) {
    PinMap map = builtinPinMap(AdapterType::Stk);
    completeForClock(map, AdapterType::Stk, oscillatorHz);
    return map;
}

void fillPinMap(PinMap& map, AdapterType type, ParallelPort& port, const AdapterSettings& settings) {
    switch (type) {
    case AdapterType::ByteBlaster: {
        ByteBlasterVariant variant = detectByteBlaster(port);
        if (variant == ByteBlasterVariant::None)
            adapterNotFound("Altera ByteBlaster", "ByteBlaster cable", settings.forceAdapter);
        map = builtinPinMap(type, int(variant));
        break;
    }
    case AdapterType::Stk:
        if (!detectStk(port)) adapterNotFound("Atmel STK* adapter", "STK200/STK300 cable", settings.forceAdapter);
        map = stkMap(settings.oscillatorHz);
        break;
    case AdapterType::AutoBuffered: {
        if (detectStk(port)) {
            message(LevelInfo, "Cable found by -aa: %s\n", "Atmel STK200/STK300");
            map = stkMap(settings.oscillatorHz);
            break;
        }
        ByteBlasterVariant variant = detectByteBlaster(port);
        if (variant == ByteBlasterVariant::None) {
            throw app_error(ExitSystem, "Known buffered adapter not found\n")
                .then(LevelInfo,
                      "Hint: neither an STK200/STK300 nor a ByteBlaster cable answered: check the cable and its "
                      "power, or name an unbuffered cable (-ax, no -a for VUDER)\n");
        }
        message(LevelInfo, "Cable found by -aa: %s\n", byteBlasterName(variant));
        map = builtinPinMap(AdapterType::ByteBlaster, int(variant));
        break;
    }
    case AdapterType::UserMap: break;  // loaded before the port was opened
    default: {
        // A wiring without detection; only VUDER takes the modifiers.
        map = builtinPinMap(type);
        if (!builtinCable(type)->modifiable) break;
        if (settings.lazyBlaster) {
            if (!port.canControlDirection()) {
                throw app_error(ExitSystem, "Can't control LPT data direction bit (required for -AZ)\n");
            }
            applyLazyBlaster(map);
        }
        if (settings.powerFromData) applyPowerFromData(map);
        break;
    }
    }
}

std::unique_ptr<Programmer> buildAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> map,
                                         const AdapterSettings& settings) {
    SckPeriods periods = settings.sckPeriods;
    uint32_t frequency = settings.oscillatorHz;
    if (frequency == 0) {
        auto adapter = std::make_unique<LptAdapter>(std::move(port), std::move(map), periods);
        message(LevelDebug, "with SCK low %d periods, high %d periods\n", periods.low, periods.high);
        return adapter;
    }
    SckTiming timing = deriveSckTiming(frequency, settings.frequencyIsSck, periods);
    auto adapter = std::make_unique<LptAdapter>(std::move(port), std::move(map), timing);
    char first[UnitTextSize];
    char second[UnitTextSize];
    message(LevelDebug, "%s frequency = %s\n", settings.frequencyIsSck ? "SPI SCK requested" : "MCU oscillator",
            formatFrequency(frequency, UnitHz, first));
    message(LevelDebug, "setup %s, hold %s\n", formatTime(timing.setupTime, UnitUs, first),
            formatTime(timing.holdTime, UnitUs, second));
    message(LevelDebug, "actual SCK frequency %s\n", formatFrequency(adapter->sckFrequency(), UnitMHz, first));
    return adapter;
}

}  // namespace

std::unique_ptr<Programmer> createAdapter(const AdapterSettings& settings, PortIo& io) {
    auto map = std::make_unique<PinMap>();
    if (settings.type == AdapterType::UserMap) {
        loadPinMap(*map, settings.userPinMap);
        validatePinMap(*map);
        message(LevelInfo, "Adapter '%s'\n", map->name);
    }

    std::unique_ptr<ParallelPort> port = openPort(settings.portSpec, settings.portBackends, io);
    message(LevelDebug, "LPT write cycle %s\n", formatTime(port->cycleTime(), UnitUs));

    fillPinMap(*map, settings.type, *port, settings);
    message(LevelDebug, "%s adapter mode\n", map->name);

    map->driveResetAsHeld();

    if (settings.oscillatorHz == 0 && !map->has(SignalId::Xtal)) {
        throw app_error(ExitUsage, "Can't generate XTAL, %s has no XTAL output\n", map->name);
    }
    return buildAdapter(std::move(port), std::move(map), settings);
}

}  // namespace mervex
