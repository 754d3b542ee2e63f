#include "sim/VirtualCable.h"

#include <strings.h>

#include <algorithm>
#include <iterator>

#include "adapter/BuiltinCables.h"
#include "adapter/PinMapConfig.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

struct SimulatedCable {
    std::string name;
    std::string entries;  // pin-map entries and loop-backs; empty: nothing attached
};

// The built-in cables as they are built: each one's wiring with its clock line
// and the loop-backs its detection looks for; a modifiable wiring also with
// the supply from the data lines (-ap), laZyBlaster (-az) or both.
std::vector<SimulatedCable> simulatedCables() {
    std::vector<SimulatedCable> cables;
    for (size_t i = 0; i < BuiltinCableCount; ++i) {
        const BuiltinCable& row = builtinCables[i];
        for (const CableVariant& variant : row.variants) {
            if (variant.name == nullptr) break;
            std::string entries = variant.wiring != nullptr ? variant.wiring : row.wiring;
            if (row.clockLine != nullptr) entries += std::string(":xtal=") + row.clockLine;
            if (variant.loopbacks[0] != '\0') entries += std::string(":") + variant.loopbacks;
            cables.push_back({variant.name, entries});
            if (!row.modifiable) continue;
            const std::string power = std::string(":") + PowerFromDataEntries;
            const std::string lazy = std::string(":") + LazyBlasterEntries;
            cables.push_back({std::string(variant.name) + "-ap", entries + power});
            cables.push_back({std::string(variant.name) + "-az", entries + lazy});
            cables.push_back({std::string(variant.name) + "-azp", entries + lazy + power});
        }
    }
    cables.push_back({"none", ""});
    return cables;
}

constexpr uint32_t OutputBits = 0x00FF00FF;  // data and control bits of a combined mask
// Nothing drives the status lines: ERROR, ONLINE, PE and ACK float high, and so
// does BUSY, whose register bit is inverted; the unused bits read 1.
constexpr uint8_t IdleStatus = 0x7F;

// The blanks around an entry and its parts.
constexpr const char* Blanks = " \t";

}  // namespace

std::string VirtualCable::builtinCableNames() {
    std::string names;
    for (const SimulatedCable& cable : simulatedCables()) names += (names.empty() ? "" : ", ") + cable.name;
    return names;
}

std::unique_ptr<VirtualCable> VirtualCable::create(const std::string& text) {
    auto cable = std::unique_ptr<VirtualCable>(new VirtualCable());
    std::string entries;
    if (strcasecmp(text.c_str(), "gpio") == 0 || strncasecmp(text.c_str(), "gpio:", 5) == 0) {
        entries = cable->parseGpio(text);
    } else if (strncasecmp(text.c_str(), "user:", 5) == 0) {
        entries = text.substr(5);
    } else {
        const std::vector<SimulatedCable> cables = simulatedCables();
        const SimulatedCable* found = nullptr;
        for (const SimulatedCable& c : cables)
            if (strcasecmp(c.name.c_str(), text.c_str()) == 0) found = &c;
        if (!found)
            throw app_error(ExitUsage, "unknown cable '%s' (known: %s, or user:ENTRIES)\n", text.c_str(),
                            builtinCableNames().c_str());
        if (found->entries.empty()) {
            cable->attached_ = false;
            return cable;
        }
        entries = found->entries;
    }
    cable->parse(entries);
    return cable;
}

uint32_t VirtualCable::gpioPortBits(SignalId id) {
    switch (id) {
    case SignalId::Mosi: return 0x01;    // D0
    case SignalId::Sck: return 0x02;     // D1
    case SignalId::Reset: return 0x04;   // D2
    case SignalId::Miso: return 0x4000;  // ACK
    default: return 0;
    }
}

std::string VirtualCable::parseGpio(const std::string& text) {
    static const SignalId carried[] = {SignalId::Mosi, SignalId::Miso, SignalId::Sck, SignalId::Reset};
    static const char* const portPins[] = {"D0", "ACK", "D1", "D2"};
    gpio_ = std::make_unique<GpioCableWiring>();
    std::string entries;
    const std::string wiring = text.size() > 4 ? text.substr(5) : "mosi=10:miso=9:sck=11:reset=25";
    for (const std::string& piece : splitList(wiring, ":")) {
        const std::string entry = trim(piece, Blanks);
        const size_t equals = entry.find('=');
        const std::string key = trim(entry.substr(0, equals), Blanks);
        std::string value = equals == std::string::npos ? "" : trim(entry.substr(equals + 1), Blanks);
        const bool inverted = !value.empty() && value[0] == '~';
        if (inverted) value.erase(0, 1);
        uint64_t line = 0;
        if (!parseNumber(value, strtoulSyntax(10), line) || line >= GpioCableWiring::LineCount)
            throw app_error(ExitUsage, "invalid GPIO cable entry '%s' (lines 0 to 53)\n", entry.c_str());
        if (strcasecmp(key.c_str(), "busy") == 0 && !inverted) {
            gpio_->busy.push_back(uint32_t(line));
            continue;
        }
        const std::optional<SignalId> id = findSignal(key);
        const SignalId* found = id ? std::find(std::begin(carried), std::end(carried), *id) : std::end(carried);
        if (found == std::end(carried))
            throw app_error(ExitUsage, "invalid GPIO cable entry '%s' (mosi, miso, sck, reset or busy)\n",
                            entry.c_str());
        gpio_->line[size_t(*id)] = int32_t(line);
        entries += ":" + key + "=" + (inverted ? "~" : "") + portPins[found - std::begin(carried)];
    }
    return entries;
}

void VirtualCable::parse(const std::string& entries) {
    std::string loopbacks;
    for (const std::string& piece : splitList(entries, ":")) {
        const std::string entry = trim(piece, Blanks);
        if (entry.empty()) continue;
        if (entry.find('<') != std::string::npos) {
            loopbacks += ":" + entry;
            continue;
        }
        try {
            parseEntry(wiring_, entry);
        } catch (app_error& failure) {
            // The particular reason first, then the entry it refused.
            throw failure.then(LevelError, formatText("invalid cable entry '%s'\n", entry.c_str()));
        }
    }
    for (SignalId id : {SignalId::Mosi, SignalId::Miso, SignalId::Sck, SignalId::Reset}) {
        if (!wiring_.has(id)) throw app_error(ExitUsage, "the cable has no %s line\n", signalInfo(id).name);
    }
    loopbacks_ = parseLoopbacks(loopbacks);
    for (SignalId id : {SignalId::Miso, SignalId::Key}) {
        if (statusBits(wiring_.entry(id).pins()) & loopbackBits(loopbacks_))
            throw app_error(ExitUsage, "a loop-back drives the status line of %s\n", signalInfo(id).name);
    }
}

bool VirtualCable::signalActive(SignalId id, uint32_t registers, bool dataFloating) const {
    const SignalEntry& e = wiring_.entry(id);
    if (!e.present()) return false;
    // Undriven data lines do nothing: a signal on them is inactive.
    if (dataFloating && (e.pins() & 0xFF) != 0) return false;
    uint32_t set = e.setMask & OutputBits;
    uint32_t clear = e.clearMask & OutputBits;
    return (registers & set) == set && (registers & clear) == 0;
}

CableOutputs VirtualCable::evaluate(uint8_t data, uint8_t control) const {
    CableOutputs out;
    if (!attached_) return out;
    bool floating = (control & DataLinesFloat) != 0;
    uint32_t registers = uint32_t(data) | uint32_t(control) << 16;

    out.power = signalActive(SignalId::Power, registers, floating);
    out.enable = signalActive(SignalId::Enable, registers, floating);
    out.ledOk = signalActive(SignalId::LedOk, registers, floating);
    out.ledError = signalActive(SignalId::LedError, registers, floating);
    out.buffer = !has(SignalId::Enable) || out.enable;

    // Without supply lines the target has a supply of its own.
    out.pins.powered = !has(SignalId::Power) || out.power;
    if (out.buffer) {
        // An undriven RESET is pulled up by the chip: it runs.
        const SignalEntry& reset = wiring_.entry(SignalId::Reset);
        bool resetFloating = floating && (reset.pins() & 0xFF) != 0;
        out.pins.reset = resetFloating || signalActive(SignalId::Reset, registers, floating);
        out.pins.sck = signalActive(SignalId::Sck, registers, floating);
        out.pins.mosi = signalActive(SignalId::Mosi, registers, floating);
        out.pins.xtal = signalActive(SignalId::Xtal, registers, floating);
    }
    return out;
}

uint8_t VirtualCable::status(uint8_t data, uint8_t control, bool misoDriven, bool miso, bool keyPressed) const {
    uint8_t value = IdleStatus;
    if (!attached_) return value;
    auto put = [&value](uint8_t bits, bool registerLevel) {
        value = uint8_t(registerLevel ? (value | bits) : (value & ~bits));
    };

    value = driveLoopbacks(loopbacks_, value, data, control);    const SignalEntry& key = wiring_.entry(SignalId::Key);
    if (key.present()) put(statusBits(key.pins()), keyPressed != (key.clearMask != 0));

    if (misoDriven && evaluate(data, control).buffer) {
        const SignalEntry& m = wiring_.entry(SignalId::Miso);
        put(statusBits(m.pins()), miso != (m.clearMask != 0));
    }
    return value;
}

}  // namespace mervex
