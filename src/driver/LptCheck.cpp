#include "driver/LptCheck.h"

#include <string>

#include "adapter/AdapterDetection.h"
#include "adapter/PortFactory.h"
#include "adapter/PortProbe.h"
#include "adapter/WiringDrawing.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Units.h"
#include "driver/CheckVerdict.h"

namespace mervex {

namespace {

// "VUDER and XILINX": the built-in wirings that no loop-back tells.
std::string wiringsWithoutLoopbacks() {
    std::string names;
    std::string last;
    for (size_t i = 0; i < BuiltinCableCount; ++i) {
        if (builtinCables[i].detected()) continue;
        if (!last.empty()) names += (names.empty() ? "" : ", ") + last;
        last = builtinPinMap(builtinCables[i].type).name;
    }
    return names.empty() ? last : names + " and " + last;
}

// "-ab asks for the ByteBlaster wiring", "no -a asks for the VUDER wiring".
std::string askedFor(AdapterType type) {
    const BuiltinCable& row = *builtinCable(type);
    const std::string wiring = builtinPinMap(type).name;
    if (row.letter == '\0') return "no -a asks for the " + wiring + " wiring";
    return formatText("-a%c asks for the %s wiring", row.letter, wiring.c_str());
}

}  // namespace

std::unique_ptr<ParallelPort> checkPort(const AdapterSettings& settings, Clock& clock) {
    std::unique_ptr<ParallelPort> port;
    try {
        port = openPort(settings.portSpec, settings.portBackends, clock);
    } catch (const app_error& failure) {
        throw portFailed(failure);
    }
    const std::string cycle = formatText("opened, write cycle %s", formatTime(port->cycleTime(), UnitUs));
    if (!dataLinesReadBack(*port)) {
        reportStep("Port", cycle + "; the data lines do not read back what is written");
        throw checkFailed("port", ExitSync,
                          "the port's data lines are dead or switched to input: set the port to SPP or EPP in "
                          "the firmware setup, and check the card's driver and its cable inside the PC");
    }
    reportStep("Port", cycle + "; the data lines read back what is written");
    return port;
}

void checkCable(ParallelPort& port, AdapterSettings& settings, Clock& clock) {
    const FoundCable found = probeCables(port, clock);
    const BuiltinCable* asked = builtinCable(settings.type);
    if (found.row == nullptr) {
        reportStep("Cable", "no cable answers its loop-backs (" + wiringsWithoutLoopbacks() +
                                " cables have none to answer by)");
        const bool needsAnswer = asked == nullptr ? settings.type == AdapterType::AutoBuffered : asked->detected();
        if (needsAnswer && !settings.forceAdapter)
            throw checkFailed("cable", ExitSystem,
                              "plug the cable in and give the target its supply (buffered cables take theirs from "
                              "it), or name the cable you have: -as, -ab, -ax, no -a for VUDER");
        return;
    }
    std::string text = formatText("%s (-a%c) answers its loop-backs", verdictName(*found.row, found.verdict).c_str(),
                                  found.row->letter);
    if (sensesTargetSupply(*found.row, found.verdict)) text += ", and senses the target's supply";
    reportStep("Cable", text);
    if (settings.type == AdapterType::AutoBuffered) {
        settings.type = found.row->type;
        return;
    }
    if (asked == nullptr || asked == found.row) return;  // a user's map, or the cable asked for
    // A run with another wiring than the cable's gets no answer; one that detects its cable does not find it.
    throw checkFailed("cable", asked->detected() ? ExitSystem : ExitSync,
                      formatText("use -a%c for this cable (%s)", found.row->letter, askedFor(settings.type).c_str()));
}

std::unique_ptr<Programmer> wiredAdapter(std::unique_ptr<ParallelPort> port, const AdapterSettings& settings,
                                         Clock& clock) {
    std::unique_ptr<LptAdapter> adapter = createAdapterOn(std::move(port), settings, clock);
    message(LevelInfo, "%s", drawAdapterPinMap(adapter->pinMap()).c_str());
    return adapter;
}

}  // namespace mervex
