#include "sim/TargetSettings.h"

#include <strings.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/TextUtil.h"
#include "sim/VirtualCable.h"

namespace mervex {

namespace {

// Items of a list setting stand between commas or blanks.
constexpr const char* ListSeparators = ", \t";

// Fifteen significant digits, never in exponent form: the reader takes digits
// and a point only, so what is written must read back.
std::string formatDouble(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strchr(text, 'e') == nullptr) return text;
    const int exponent = int(std::floor(std::log10(std::fabs(value))));
    const int decimals = exponent >= 14 ? 0 : 14 - exponent;
    std::string fixed(size_t(std::snprintf(nullptr, 0, "%.*f", decimals, value)) + 1, '\0');
    std::snprintf(&fixed[0], fixed.size(), "%.*f", decimals, value);
    fixed.pop_back();
    if (fixed.find('.') != std::string::npos) {
        fixed.erase(fixed.find_last_not_of('0') + 1);
        if (fixed.back() == '.') fixed.pop_back();
    }
    return fixed;
}

std::string formatHexByte(uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", unsigned(value));
    return text;
}

// Settings are digits only: up to 19 decimal ones, or up to 8 hexadecimal ones
// after an optional "0x".
bool parseUnsigned(const std::string& text, uint64_t limit, uint64_t& value) {
    NumberSyntax decimal;
    decimal.maxDigits = 19;
    return parseNumber(text, decimal, value) && value <= limit;
}

bool parseHex(const std::string& text, uint64_t limit, uint64_t& value) {
    NumberSyntax hex;
    hex.base = 16;
    hex.hexPrefix = true;
    hex.maxDigits = 8;
    return parseNumber(text, hex, value) && value <= limit;
}

bool parseDouble(const std::string& text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool parseYesNo(const std::string& text, bool& value) {
    if (strcasecmp(text.c_str(), "yes") == 0 || text == "1" || strcasecmp(text.c_str(), "on") == 0) {
        value = true;
        return true;
    }
    if (strcasecmp(text.c_str(), "no") == 0 || text == "0" || strcasecmp(text.c_str(), "off") == 0) {
        value = false;
        return true;
    }
    return false;
}

// "8000000", "8M", "8MHz", "32k", "1.2M"; 0 means clocked through XTAL.
bool parseFrequency(const std::string& text, uint32_t& hz) {
    std::string number = text;
    double scale = 1;
    if (number.size() > 2 && strcasecmp(number.c_str() + number.size() - 2, "hz") == 0)
        number.resize(number.size() - 2);
    if (!number.empty() && (number.back() == 'k' || number.back() == 'K')) {
        scale = 1e3;
        number.pop_back();
    } else if (!number.empty() && number.back() == 'M') {
        scale = 1e6;
        number.pop_back();
    }
    double value = 0;
    if (!parseDouble(number, value)) return false;
    value *= scale;
    if (value > 100e6 || value != std::floor(value)) return false;
    hz = uint32_t(value);
    return true;
}

// The signals a user sends to stop a run, by their short names.
const struct {
    const char* name;
    int number;
} stopSignals[] = {{"INT", SIGINT}, {"TERM", SIGTERM}, {"QUIT", SIGQUIT}};

int signalNamed(const std::string& name) {
    for (const auto& s : stopSignals)
        if (strcasecmp(name.c_str(), s.name) == 0) return s.number;
    return 0;
}

std::string formatSignal(const TargetFaults& f) {
    for (const auto& s : stopSignals)
        if (f.signalAt != 0 && s.number == f.signalNumber) return std::string(s.name) + "@" + std::to_string(f.signalAt);
    return "none";
}

bool parseKeyScript(const std::string& text, std::vector<KeyInterval>& script) {
    script.clear();
    if (strcasecmp(text.c_str(), "none") == 0) return true;
    if (strcasecmp(text.c_str(), "pressed") == 0) {
        script.push_back(KeyInterval{0, -1});
        return true;
    }
    std::vector<std::string> items = splitList(text, ListSeparators);
    if (items.empty()) return false;
    for (const std::string& item : items) {
        size_t dash = item.find('-');
        if (dash == std::string::npos) return false;
        KeyInterval interval;
        if (!parseDouble(item.substr(0, dash), interval.fromMs)) return false;
        std::string to = item.substr(dash + 1);
        if (!to.empty() && (!parseDouble(to, interval.toMs) || interval.toMs <= interval.fromMs)) return false;
        script.push_back(interval);
    }
    return true;
}

std::string formatKeyScript(const std::vector<KeyInterval>& script) {
    if (script.empty()) return "none";
    if (script.size() == 1 && script[0].fromMs == 0 && script[0].toMs < 0) return "pressed";
    std::string text;
    for (const KeyInterval& k : script) {
        if (!text.empty()) text += ",";
        text += formatDouble(k.fromMs) + "-" + (k.toMs < 0 ? "" : formatDouble(k.toMs));
    }
    return text;
}

std::string formatLine(const TargetLineRecord& line) {
    if (!line.present) return "absent";
    return std::string(line.on ? "on" : "off") + " " + std::to_string(line.switchedOn);
}

bool parseLine(const std::string& text, TargetLineRecord& line) {
    line = TargetLineRecord{};
    if (text == "absent") return true;
    size_t space = text.find(' ');
    if (space == std::string::npos) return false;
    std::string level = text.substr(0, space);
    uint64_t count = 0;
    if ((level != "on" && level != "off") || !parseUnsigned(text.substr(space + 1), 0xFFFFFFFF, count)) return false;
    line.present = true;
    line.on = level == "on";
    line.switchedOn = uint32_t(count);
    return true;
}

bool applySetting(VirtualTarget& t, const std::string& key, const std::string& value, std::string& error) {
    uint64_t n = 0;
    double d = 0;
    bool yes = false;
    auto fail = [&error, &key, &value](const char* expected) {
        error = "invalid value '" + value + "' for " + key + " (expected " + expected + ")";
        return false;
    };
    if (key == "cable") {
        if (!VirtualCable::create(value, error)) return false;
        t.cable = value;
    } else if (key == "clock") {
        if (!parseFrequency(value, t.clockHz)) return fail("a frequency up to 100M in Hz, k or M; 0 for XTAL");
    } else if (key == "access-time") {
        if (!parseDouble(value, d) || d < 0.2 || d > 1000) return fail("microseconds from 0.2 to 1000");
        t.accessTimeUs = d;
    } else if (key == "fuse.low" || key == "fuse.high" || key == "fuse.ext" || key == "lock") {
        if (!parseHex(value, 0xFF, n)) return fail("a hexadecimal byte");
        FuseByte b = key == "lock" ? FuseByte::Lock
                     : key == "fuse.low" ? FuseByte::Low
                     : key == "fuse.high" ? FuseByte::High : FuseByte::Ext;
        t.fuse(b) = uint8_t(n);
    } else if (key == "calibration") {
        std::vector<uint8_t> bytes;
        for (const std::string& item : splitList(value, ListSeparators)) {
            if (!parseHex(item, 0xFF, n)) return fail("hexadecimal bytes");
            bytes.push_back(uint8_t(n));
        }
        if (int32_t(bytes.size()) != t.chip().calibrationCount) {
            error = "the chip has " + std::to_string(t.chip().calibrationCount) + " calibration bytes, not " +
                    std::to_string(bytes.size());
            return false;
        }
        t.calibration = bytes;
    } else if (key == "busy.flash" || key == "busy.eeprom" || key == "busy.erase" || key == "busy.fuse") {
        if (!parseDouble(value, d) || d > 10e6) return fail("microseconds up to 10000000");
        double& slot = key == "busy.flash"    ? t.busy.flashUs
                       : key == "busy.eeprom" ? t.busy.eepromUs
                       : key == "busy.erase"  ? t.busy.eraseUs : t.busy.fuseUs;
        slot = d;
    } else if (key == "fault.out-of-step") {
        if (!parseUnsigned(value, 31, n)) return fail("a number of bits from 0 to 31");
        t.faults.outOfStepBits = uint32_t(n);
    } else if (key == "fault.no-program-enable") {
        if (!parseYesNo(value, yes)) return fail("yes or no");
        t.faults.noProgramEnable = yes;
    } else if (key == "fault.wrong-echo" || key == "fault.stuck-write") {
        if (!parseUnsigned(value, 0xFFFFFFFF, n)) return fail("an instruction or write number, 0 for none");
        (key == "fault.wrong-echo" ? t.faults.wrongEchoAt : t.faults.stuckWriteAt) = uint32_t(n);
    } else if (key == "fault.stuck-bit") {
        if (strcasecmp(value.c_str(), "none") == 0) {
            t.faults.stuckBit = false;
            return true;
        }
        size_t first = value.find(':');
        size_t second = first == std::string::npos ? first : value.find(':', first + 1);
        uint64_t bit = 0, level = 0;
        if (second == std::string::npos || !parseHex(value.substr(0, first), 0xFFFFFFFF, n) ||
            !parseUnsigned(value.substr(first + 1, second - first - 1), 7, bit) ||
            !parseUnsigned(value.substr(second + 1), 1, level))
            return fail("none or ADDRESS:BIT:LEVEL, the address in hexadecimal");
        if (n >= t.flash.size()) {
            error = "stuck bit address " + value.substr(0, first) + " lies beyond the flash";
            return false;
        }
        t.faults.stuckBit = true;
        t.faults.stuckBitAddress = uint32_t(n);
        t.faults.stuckBitNumber = uint8_t(bit);
        t.faults.stuckBitLevel = level != 0;
    } else if (key == "fault.signature") {
        if (strcasecmp(value.c_str(), "none") == 0) {
            t.faults.signatureOverride = false;
            return true;
        }
        if (!parseHex(value, 0xFFFFFF, n)) return fail("none or a 24-bit hexadecimal signature");
        t.faults.signatureOverride = true;
        t.faults.signature = uint32_t(n);
    } else if (key == "fault.signal") {
        if (strcasecmp(value.c_str(), "none") == 0) {
            t.faults.signalAt = 0;
            t.faults.signalNumber = 0;
            return true;
        }
        size_t at = value.find('@');
        int number = at == std::string::npos ? 0 : signalNamed(value.substr(0, at));
        if (number == 0 || !parseUnsigned(value.substr(at + 1), 0xFFFFFFFF, n) || n == 0)
            return fail("none or INT@N, TERM@N, QUIT@N: the signal after instruction N");
        t.faults.signalAt = uint32_t(n);
        t.faults.signalNumber = number;
    } else if (key == "key") {
        std::vector<KeyInterval> script;
        if (!parseKeyScript(value, script)) return fail("none, pressed, or FROM-TO,FROM- in milliseconds");
        t.key = script;
    } else if (key == "erase-count" || key == "runs") {
        if (!parseUnsigned(value, 0xFFFFFFFF, n)) return fail("a count");
        (key == "runs" ? t.runCount : t.eraseCount) = uint32_t(n);
    } else {
        error = "unknown setting '" + key + "'";
        return false;
    }
    return true;
}

// The plain counters, in file order.
struct CounterField {
    const char* key;
    uint64_t TargetCounters::*field;
};

const CounterField counterFields[] = {
    {"last.port.data-reads", &TargetCounters::dataReads},
    {"last.port.status-reads", &TargetCounters::statusReads},
    {"last.port.control-reads", &TargetCounters::controlReads},
    {"last.port.data-writes", &TargetCounters::dataWrites},
    {"last.port.control-writes", &TargetCounters::controlWrites},
    {"last.port.status-writes", &TargetCounters::statusWrites},
    {"last.port.sequences", &TargetCounters::sequences},
    {"last.bits", &TargetCounters::bits},
    {"last.missed-pulses", &TargetCounters::missedPulses},
    {"last.busy-instructions", &TargetCounters::busyInstructions},
    {"last.ignored-writes", &TargetCounters::ignoredWrites},
    {"last.unknown-instructions", &TargetCounters::unknownInstructions},
    {"last.locked-writes", &TargetCounters::lockedWrites},
    {"last.writes", &TargetCounters::writes},
    {"last.eeprom-pages", &TargetCounters::eepromPages},
};

struct LineField {
    const char* key;
    TargetLineRecord TargetCounters::*field;
};

const LineField lineFields[] = {
    {"last.line.power", &TargetCounters::power},
    {"last.line.enable", &TargetCounters::enable},
    {"last.line.led-ok", &TargetCounters::ledOk},
    {"last.line.led-error", &TargetCounters::ledError},
};

}  // namespace

bool applyTargetSetting(VirtualTarget& target, const std::string& key, const std::string& value,
                        std::string& error) {
    // Every branch checks the whole value before it changes anything.
    return applySetting(target, key, value, error);
}

TargetSettingList formatTargetSettings(const VirtualTarget& t) {
    TargetSettingList list;
    list.emplace_back("chip", primaryChipName(t.chip()));
    list.emplace_back("cable", t.cable);
    list.emplace_back("clock", std::to_string(t.clockHz));
    list.emplace_back("access-time", formatDouble(t.accessTimeUs));
    list.emplace_back("fuse.low", formatHexByte(t.fuse(FuseByte::Low)));
    list.emplace_back("fuse.high", formatHexByte(t.fuse(FuseByte::High)));
    list.emplace_back("fuse.ext", formatHexByte(t.fuse(FuseByte::Ext)));
    list.emplace_back("lock", formatHexByte(t.fuse(FuseByte::Lock)));
    std::string calibration;
    for (uint8_t b : t.calibration) calibration += (calibration.empty() ? "" : " ") + formatHexByte(b);
    list.emplace_back("calibration", calibration);
    list.emplace_back("busy.flash", formatDouble(t.busy.flashUs));
    list.emplace_back("busy.eeprom", formatDouble(t.busy.eepromUs));
    list.emplace_back("busy.erase", formatDouble(t.busy.eraseUs));
    list.emplace_back("busy.fuse", formatDouble(t.busy.fuseUs));
    const TargetFaults& f = t.faults;
    list.emplace_back("fault.out-of-step", std::to_string(f.outOfStepBits));
    list.emplace_back("fault.no-program-enable", f.noProgramEnable ? "yes" : "no");
    list.emplace_back("fault.wrong-echo", std::to_string(f.wrongEchoAt));
    list.emplace_back("fault.stuck-write", std::to_string(f.stuckWriteAt));
    char text[48];
    if (f.stuckBit)
        std::snprintf(text, sizeof text, "%X:%u:%u", unsigned(f.stuckBitAddress), unsigned(f.stuckBitNumber),
                      f.stuckBitLevel ? 1u : 0u);
    list.emplace_back("fault.stuck-bit", f.stuckBit ? text : "none");
    std::snprintf(text, sizeof text, "%06X", unsigned(f.signature));
    list.emplace_back("fault.signature", f.signatureOverride ? text : "none");
    list.emplace_back("fault.signal", formatSignal(f));
    list.emplace_back("key", formatKeyScript(t.key));
    list.emplace_back("erase-count", std::to_string(t.eraseCount));
    list.emplace_back("runs", std::to_string(t.runCount));
    return list;
}

bool applyCounterSetting(TargetCounters& counters, const std::string& key, const std::string& value,
                         std::string& error) {
    uint64_t n = 0;
    error = "invalid value '" + value + "' for " + key;
    for (const CounterField& f : counterFields) {
        if (key != f.key) continue;
        if (!parseUnsigned(value, UINT64_MAX, n)) return false;
        counters.*f.field = n;
        return true;
    }
    for (const LineField& f : lineFields) {
        if (key == f.key) return parseLine(value, counters.*f.field);
    }
    if (key == "last.sck-low-min" || key == "last.sck-high-min") {
        if (!parseUnsigned(value, 0xFFFFFFFF, n)) return false;
        (key == "last.sck-low-min" ? counters.sckLowMinWrites : counters.sckHighMinWrites) = uint32_t(n);
        return true;
    }
    if (key == "last.modelled-us") return parseDouble(value, counters.modelledUs);
    if (key.compare(0, 9, "last.isp.") == 0) {
        uint64_t opcode = 0;
        if (key.size() != 11 || !parseHex(key.substr(9), 0xFF, opcode)) {
            error = "unknown counter '" + key + "'";
            return false;
        }
        if (!parseUnsigned(value, UINT64_MAX, n)) return false;
        counters.isp[opcode] = n;
        return true;
    }
    error = "unknown counter '" + key + "'";
    return false;
}

TargetSettingList formatCounters(const TargetCounters& c) {
    TargetSettingList list;
    for (const CounterField& f : counterFields) list.emplace_back(f.key, std::to_string(c.*f.field));
    list.emplace_back("last.sck-low-min", std::to_string(c.sckLowMinWrites));
    list.emplace_back("last.sck-high-min", std::to_string(c.sckHighMinWrites));
    list.emplace_back("last.modelled-us", formatDouble(c.modelledUs));
    for (const LineField& f : lineFields) list.emplace_back(f.key, formatLine(c.*f.field));
    for (unsigned op = 0; op < 256; ++op) {
        if (c.isp[op] == 0) continue;
        list.emplace_back("last.isp." + formatHexByte(uint8_t(op)), std::to_string(c.isp[op]));
    }
    return list;
}

namespace {

// The built-in cable names, the first one the default, wrapped under the
// descriptions' column.
std::string cableNamesHelp() {
    const std::string indent(26, ' ');
    const size_t width = 96;
    std::string text = "  cable=NAME" + indent.substr(12);
    size_t lineStart = 0;
    bool first = true;
    for (const std::string& name : splitList(VirtualCable::builtinCableNames(), ", ")) {
        const std::string word = name + (first ? " (default)," : ",");
        first = false;
        if (text.size() - lineStart + word.size() + 1 > width) {
            text += "\n";
            lineStart = text.size();
            text += indent;
        } else if (text.size() - lineStart > indent.size()) {
            text += " ";
        }
        text += word;
    }
    return text + " or\n";
}

}  // namespace

std::string targetSettingsHelp() {
    return cableNamesHelp() +
           "                          user:ENTRY:ENTRY... with pin-map entries (mosi=D5, key=~PE, ...)\n"
           "                          and loop-backs STATUSPIN<[~]PIN, STATUSPIN<0, STATUSPIN<1\n"
           "  clock=HZ                the chip's oscillator (1000000, 8M, 32k); 0: clocked through XTAL only\n"
           "  access-time=US          modelled time of one port access in microseconds (default 1)\n"
           "  fuse.low=HH fuse.high=HH fuse.ext=HH lock=HH   configuration bytes (hexadecimal)\n"
           "  calibration=HH,HH,...   the OSCCAL calibration bytes\n"
           "  busy.flash=US busy.eeprom=US busy.erase=US busy.fuse=US   busy times in microseconds\n"
           "  fault.out-of-step=N     after each reset the chip needs N extra SCK pulses (0-31)\n"
           "  fault.no-program-enable=yes   program enable is never answered\n"
           "  fault.wrong-echo=N      instruction N of a run is echoed wrongly (0: never)\n"
           "  fault.stuck-write=N     write N of a run never completes (0: never)\n"
           "  fault.stuck-bit=ADDR:BIT:LEVEL   a flash bit that never changes (none: off)\n"
           "  fault.signature=HHHHHH  answer this signature, e.g. 000102 (none: the chip's own)\n"
           "  fault.signal=INT@N      the run gets SIGINT (or TERM, QUIT) after instruction N (none: never)\n"
           "  key=none|pressed|FROM-TO,FROM-   when the cable's key is held, in ms of modelled time\n"
           "  erase-count=N runs=N    the life counters\n";
}

}  // namespace mervex
