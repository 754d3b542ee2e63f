#include "adapter/BuiltinCables.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "adapter/PinInfo.h"
#include "adapter/PinMapConfig.h"
#include "base/TextUtil.h"
#include "console/Errors.h"

namespace mervex {

namespace {

void addEntries(PinMap& map, const char* entries) {
    for (const std::string& entry : splitList(entries, ":")) parseEntry(map, entry);
}

// Status register bits of the lines the detections judge.
constexpr uint8_t Error = 0x08;
constexpr uint8_t Pe = 0x20;
constexpr uint8_t Ack = 0x40;
constexpr uint8_t Busy = 0x80;

}  // namespace

// STK200 ties D0 to PE; STK300 feeds D0 through an inverter to BUSY; the
// ByteBlasters tie D5 to PE and D7 to ACK and hold ERROR low (ByteBlaster) or
// at the target supply (MV); ByteBlaster-II ties D4 to ACK and ERROR.
//
// The STK detection drives D0 high, then low, and judges both loop-backs: a
// cable with both is reported as STK*00. The ByteBlaster detection tries the
// ByteBlaster-II while ACK answers D4, and leaves it enabled when found; the
// older ones answer D5 and D7 low and high, ERROR telling the MV apart.
const BuiltinCable builtinCables[] = {
    {'\0', AdapterType::Default, nullptr, "name=VUDER:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=D3", nullptr, true,
     {{"vuder", 0, "", nullptr}}, {}},
    {'b', AdapterType::ByteBlaster, "Altera ByteBlaster, ByteBlasterMV or ByteBlaster-II",
     "name=ByteBlaster:mosi=D6:miso=BUSY:sck=D0:reset=D1:xtal=D3:enable=~ALF", nullptr, false,
     {{"byteblaster", 1, "PE<D5:ACK<D7:ERROR<0", nullptr},
      {"byteblaster-mv", 2, "PE<D5:ACK<D7:ERROR<1", nullptr},
      {"byteblaster-ii", 3, "ACK<D4:ERROR<D4",
       "name=ByteBlasterII:mosi=D6:miso=BUSY:sck=D0:reset=D1:xtal=D2:enable=D4,D5,D7,STROBE,ALF,INIT,SELECT"}},
     {"ByteBlaster", {" not", "", "MV", "-II"}, "Altera ByteBlaster", "ByteBlaster", 2,
      {{{{0xFF, Ack}}, verdictBit(3), false, 2, {}, 0},
       {{{0xEF, Ack | Error}}, verdictBit(3), true, 2, {{PortRegister::Control, 0x0B}, {PortRegister::Data, 0x00}}, 2},
       {{{0x5F, Pe | Ack | Error}, {0xFF, Pe | Ack}}, verdictBit(1) | verdictBit(2), true, NotFound, {}, 0}}}},
    {'s', AdapterType::Stk, "STK200 or STK300 adapter", "name=STK:mosi=D5:miso=ACK:sck=D4:reset=D7:enable=~D2,~D3",
     "D6", false, {{"stk200", 2, "PE<D0", nullptr}, {"stk300", 1, "BUSY<~D0", nullptr}},
     {"Atmel adapter for STK", {" not", "300", "200", "*00"}, "Atmel STK* adapter", "STK200/STK300", 1,
      {{{{0x0D, Pe | Busy}, {0x0E, Pe | Busy}}, verdictBit(1) | verdictBit(2), true, NotFound, {}, 0}}}},
    {'x', AdapterType::Xilinx, "XILINX parallel download cable",
     "name=XILINX:mosi=D0:miso=ONLINE:sck=D1:reset=D2:set=D4:enable=~D3", nullptr, false,
     {{"xilinx", 0, "", nullptr}}, {}},
};
const size_t BuiltinCableCount = sizeof builtinCables / sizeof builtinCables[0];

const char* const LazyBlasterEntries = "enable=~BIDIR_EN";
const char* const PowerFromDataEntries = "power=D0,D1,D2,D7";

const BuiltinCable* builtinCable(AdapterType type) {
    for (const BuiltinCable& cable : builtinCables)
        if (cable.type == type) return &cable;
    return nullptr;
}

const BuiltinCable* builtinCableOfLetter(char letter) {
    const char lower = char(std::tolower(static_cast<unsigned char>(letter)));
    for (const BuiltinCable& cable : builtinCables)
        if (cable.letter == lower) return &cable;
    return nullptr;
}

AdapterType adapterTypeOf(const char* adapterSpec) {
    if (adapterSpec == nullptr) return AdapterType::Default;
    const std::string text = adapterSpec;
    const auto refuse = [](const std::string& offending) {
        return app_error(ExitUsage, "Invalid value for switch -%c in '%s'\n\n%s\n", 'A', offending.c_str(),
                         HelpHintText);
    };
    if (text.empty()) throw refuse(text);
    const char letter = char(std::tolower(static_cast<unsigned char>(text[0])));
    if (letter == 'm') return AdapterType::UserMap;
    AdapterType type = AdapterType::AutoBuffered;
    if (letter != 'a') {
        const BuiltinCable* cable = builtinCableOfLetter(letter);
        if (cable == nullptr || cable->letter == '\0') throw refuse(text);
        type = cable->type;
    }
    if (text.size() > 1) throw refuse(text.substr(1));
    return type;
}

std::vector<const BuiltinCable*> detectableCables() {
    std::vector<const BuiltinCable*> rows;
    for (const BuiltinCable& cable : builtinCables)
        if (cable.detected()) rows.push_back(&cable);
    std::stable_sort(rows.begin(), rows.end(), [](const BuiltinCable* a, const BuiltinCable* b) {
        return a->detection.autoOrder < b->detection.autoOrder;
    });
    return rows;
}

PinMap builtinPinMap(AdapterType type, int verdict) {
    const BuiltinCable& cable = *builtinCable(type);
    const char* wiring = cable.wiring;
    for (const CableVariant& variant : cable.variants)
        if (variant.name != nullptr && verdict != 0 && variant.verdict == verdict && variant.wiring != nullptr)
            wiring = variant.wiring;
    PinMap map;
    addEntries(map, wiring);
    return map;
}

void completeForClock(PinMap& map, AdapterType type, uint32_t oscillatorHz) {
    const BuiltinCable* cable = builtinCable(type);
    if (cable == nullptr || cable->clockLine == nullptr) return;
    const uint32_t line = findPin(cable->clockLine)->mask;
    if (oscillatorHz == 0)
        map.entry(SignalId::Xtal).setMask |= line;
    else
        map.entry(SignalId::Enable).clearMask |= line;
}

void applyLazyBlaster(PinMap& map) { addEntries(map, LazyBlasterEntries); }

void applyPowerFromData(PinMap& map) { addEntries(map, PowerFromDataEntries); }

}  // namespace mervex
