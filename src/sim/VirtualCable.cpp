#include "sim/VirtualCable.h"

#include <strings.h>

#include "adapter/PinInfo.h"
#include "adapter/PinMapConfig.h"
#include "base/TextUtil.h"
#include "console/Errors.h"

namespace mervex {

namespace {

struct BuiltinCable {
    const char* name;
    const char* entries;
};

// The cables as they are built: wiring, buffer, and the loop-backs that the
// program's detection looks for. STK200 ties D0 to PE; STK300 feeds D0 through
// an inverter to BUSY; the ByteBlasters tie D5 to PE and D7 to ACK and hold
// ERROR low (ByteBlaster) or at the target supply (MV); ByteBlaster-II ties D4
// to ACK and ERROR.
const BuiltinCable builtinCables[] = {
    {"vuder", "name=VUDER:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=D3"},
    {"vuder-ap", "name=VUDER:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=D3:power=D0,D1,D2,D7"},
    {"vuder-az", "name=VUDER:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=D3:enable=~BIDIR_EN"},
    {"vuder-azp", "name=VUDER:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=D3:enable=~BIDIR_EN:power=D0,D1,D2,D7"},
    {"stk200", "name=STK200:mosi=D5:miso=ACK:sck=D4:reset=D7:xtal=D6:enable=~D2,~D3:PE<D0"},
    {"stk300", "name=STK300:mosi=D5:miso=ACK:sck=D4:reset=D7:xtal=D6:enable=~D2,~D3:BUSY<~D0"},
    {"byteblaster", "name=ByteBlaster:mosi=D6:miso=BUSY:sck=D0:reset=D1:xtal=D3:enable=~ALF:PE<D5:ACK<D7:ERROR<0"},
    {"byteblaster-mv",
     "name=ByteBlasterMV:mosi=D6:miso=BUSY:sck=D0:reset=D1:xtal=D3:enable=~ALF:PE<D5:ACK<D7:ERROR<1"},
    {"byteblaster-ii",
     "name=ByteBlaster-II:mosi=D6:miso=BUSY:sck=D0:reset=D1:xtal=D2:enable=D4,D5,D7,STROBE,ALF,INIT,SELECT:"
     "ACK<D4:ERROR<D4"},
    {"xilinx", "name=XILINX:mosi=D0:miso=ONLINE:sck=D1:reset=D2:set=D4:enable=~D3"},
    {"none", ""},
};

constexpr uint32_t OutputBits = 0x00FF00FF;  // data and control bits of a combined mask
constexpr uint8_t HighImpedance = 0x20;     // control bit 5: the data lines are inputs
// Nothing drives the status lines: ERROR, ONLINE, PE and ACK float high, and so
// does BUSY, whose register bit is inverted; the unused bits read 1.
constexpr uint8_t IdleStatus = 0x7F;

// The blanks around an entry and its parts.
constexpr const char* Blanks = " \t";

uint8_t statusBit(uint32_t mask) { return uint8_t((mask >> 8) & 0xFF); }

}  // namespace

const char* VirtualCable::builtinCableNames() {
    return "vuder, vuder-ap, vuder-az, vuder-azp, stk200, stk300, byteblaster, byteblaster-mv, "
           "byteblaster-ii, xilinx, none";
}

std::unique_ptr<VirtualCable> VirtualCable::create(const std::string& text, std::string& error) {
    auto cable = std::unique_ptr<VirtualCable>(new VirtualCable());
    std::string entries;
    if (strncasecmp(text.c_str(), "user:", 5) == 0) {
        entries = text.substr(5);
    } else {
        const BuiltinCable* found = nullptr;
        for (const BuiltinCable& b : builtinCables)
            if (strcasecmp(b.name, text.c_str()) == 0) found = &b;
        if (!found) {
            error = "unknown cable '" + text + "' (known: " + builtinCableNames() + ", or user:ENTRIES)";
            return nullptr;
        }
        if (found->entries[0] == '\0') {
            cable->attached_ = false;
            return cable;
        }
        entries = found->entries;
    }
    if (!cable->parse(entries, error)) return nullptr;
    return cable;
}

bool VirtualCable::parse(const std::string& entries, std::string& error) {
    for (const std::string& piece : splitList(entries, ":")) {
        const std::string entry = trim(piece, Blanks);
        if (entry.empty()) continue;
        if (entry.find('<') != std::string::npos) {
            if (!parseLoopback(entry, error)) return false;
            continue;
        }
        try {
            parseEntry(wiring_, entry);
        } catch (const app_error&) {
            // The pin-map parser has printed the particular reason.
            error = "invalid cable entry '" + entry + "'";
            return false;
        }
    }
    for (SignalId id : {SignalId::Mosi, SignalId::Miso, SignalId::Sck, SignalId::Reset}) {
        if (!wiring_.has(id)) {
            error = std::string("the cable has no ") + signalInfo(id).name + " line";
            return false;
        }
    }
    for (const Loopback& loop : loopbacks_) {
        for (SignalId id : {SignalId::Miso, SignalId::Key}) {
            if (statusBit(wiring_.entry(id).pins()) & loop.statusBit) {
                error = std::string("a loop-back drives the status line of ") + signalInfo(id).name;
                return false;
            }
        }
    }
    return true;
}

bool VirtualCable::parseLoopback(const std::string& entry, std::string& error) {
    size_t at = entry.find('<');
    std::string destination = trim(entry.substr(0, at), Blanks);
    std::string source = trim(entry.substr(at + 1), Blanks);
    const PinInfo* status = findPin(destination);
    if (!status || status->direction != DirectionInput) {
        error = "loop-back '" + entry + "' must lead to a status line (ERROR, ONLINE, PE, ACK, BUSY)";
        return false;
    }
    Loopback loop;
    loop.statusBit = statusBit(status->mask);
    loop.statusInverted = status->inverted;
    for (const Loopback& other : loopbacks_) {
        if (other.statusBit == loop.statusBit) {
            error = "two loop-backs drive " + destination;
            return false;
        }
    }
    if (source == "0" || source == "1") {
        loop.fixed = true;
        loop.level = source == "1";
    } else {
        bool negated = !source.empty() && source[0] == '~';
        std::string name = negated ? source.substr(1) : source;
        const PinInfo* pin = findPin(name);
        if (!pin || pin->direction != DirectionOutput || pin->mask == 0x200000) {
            error = "loop-back '" + entry + "' must come from an output line, 0 or 1";
            return false;
        }
        loop.sourceMask = pin->mask;
        loop.sourceInverted = pin->inverted != negated;
    }
    loopbacks_.push_back(loop);
    return true;
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
    bool floating = (control & HighImpedance) != 0;
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
    bool floating = (control & HighImpedance) != 0;
    uint32_t registers = uint32_t(data) | uint32_t(control) << 16;
    auto put = [&value](uint8_t bits, bool registerLevel) {
        value = uint8_t(registerLevel ? (value | bits) : (value & ~bits));
    };

    for (const Loopback& loop : loopbacks_) {
        bool level = loop.level;
        if (!loop.fixed) {
            // Undriven data lines float high.
            if (floating && (loop.sourceMask & 0xFF) != 0) level = true;
            else level = ((registers & loop.sourceMask) != 0) != loop.sourceInverted;
        }
        put(loop.statusBit, level != loop.statusInverted);
    }
    const SignalEntry& key = wiring_.entry(SignalId::Key);
    if (key.present()) put(statusBit(key.pins()), keyPressed != (key.clearMask != 0));

    if (misoDriven && evaluate(data, control).buffer) {
        const SignalEntry& m = wiring_.entry(SignalId::Miso);
        put(statusBit(m.pins()), miso != (m.clearMask != 0));
    }
    return value;
}

}  // namespace mervex
