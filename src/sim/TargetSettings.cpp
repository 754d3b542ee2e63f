#include "sim/TargetSettings.h"

#include <strings.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/TextUtil.h"
#include "console/Errors.h"
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

// A setting's parse takes the whole value or leaves the target as it was. It
// returns false when the value is not of the expected form, and throws the
// reason (ExitUsage) when a value of that form does not fit the target.
using ParseSetting = bool (*)(VirtualTarget& t, const std::string& value);
using FormatSetting = std::string (*)(const VirtualTarget& t);

template <FuseByte Byte>
bool parseFuse(VirtualTarget& t, const std::string& value) {
    uint64_t n = 0;
    if (!parseHex(value, 0xFF, n)) return false;
    t.fuse(Byte) = uint8_t(n);
    return true;
}

template <FuseByte Byte>
std::string formatFuse(const VirtualTarget& t) {
    return formatHexByte(t.fuse(Byte));
}

template <double TargetBusyTimes::*Field>
bool parseBusy(VirtualTarget& t, const std::string& value) {
    double d = 0;
    if (!parseDouble(value, d) || d > 10e6) return false;
    t.busy.*Field = d;
    return true;
}

template <double TargetBusyTimes::*Field>
std::string formatBusy(const VirtualTarget& t) {
    return formatDouble(t.busy.*Field);
}

// A 32-bit count of the target or of its faults.
template <typename Owner, uint32_t Owner::*Field>
uint32_t& countIn(VirtualTarget& t) {
    if constexpr (std::is_same_v<Owner, TargetFaults>) return t.faults.*Field;
    else return t.*Field;
}

template <typename Owner, uint32_t Owner::*Field>
bool parseCount(VirtualTarget& t, const std::string& value) {
    uint64_t n = 0;
    if (!parseUnsigned(value, 0xFFFFFFFF, n)) return false;
    countIn<Owner, Field>(t) = uint32_t(n);
    return true;
}

bool parseCalibration(VirtualTarget& t, const std::string& value) {
    std::vector<uint8_t> bytes;
    uint64_t n = 0;
    for (const std::string& item : splitList(value, ListSeparators)) {
        if (!parseHex(item, 0xFF, n)) return false;
        bytes.push_back(uint8_t(n));
    }
    if (int32_t(bytes.size()) != t.chip().calibrationCount)
        throw app_error(ExitUsage, "the chip has %d calibration bytes, not %zu\n", int(t.chip().calibrationCount),
                        bytes.size());
    t.calibration = bytes;
    return true;
}

std::string formatCalibration(const VirtualTarget& t) {
    std::string calibration;
    for (uint8_t b : t.calibration) calibration += (calibration.empty() ? "" : " ") + formatHexByte(b);
    return calibration;
}

bool parseStuckBit(VirtualTarget& t, const std::string& value) {
    if (strcasecmp(value.c_str(), "none") == 0) {
        t.faults.stuckBit = false;
        return true;
    }
    size_t first = value.find(':');
    size_t second = first == std::string::npos ? first : value.find(':', first + 1);
    uint64_t n = 0, bit = 0, level = 0;
    if (second == std::string::npos || !parseHex(value.substr(0, first), 0xFFFFFFFF, n) ||
        !parseUnsigned(value.substr(first + 1, second - first - 1), 7, bit) ||
        !parseUnsigned(value.substr(second + 1), 1, level))
        return false;
    if (n >= t.flash.size())
        throw app_error(ExitUsage, "stuck bit address %s lies beyond the flash\n", value.substr(0, first).c_str());
    t.faults.stuckBit = true;
    t.faults.stuckBitAddress = uint32_t(n);
    t.faults.stuckBitNumber = uint8_t(bit);
    t.faults.stuckBitLevel = level != 0;
    return true;
}

std::string formatStuckBit(const VirtualTarget& t) {
    const TargetFaults& f = t.faults;
    if (!f.stuckBit) return "none";
    char text[48];
    std::snprintf(text, sizeof text, "%X:%u:%u", unsigned(f.stuckBitAddress), unsigned(f.stuckBitNumber),
                  f.stuckBitLevel ? 1u : 0u);
    return text;
}

bool parseSignature(VirtualTarget& t, const std::string& value) {
    if (strcasecmp(value.c_str(), "none") == 0) {
        t.faults.signatureOverride = false;
        return true;
    }
    uint64_t n = 0;
    if (!parseHex(value, 0xFFFFFF, n)) return false;
    t.faults.signatureOverride = true;
    t.faults.signature = uint32_t(n);
    return true;
}

std::string formatSignature(const VirtualTarget& t) {
    if (!t.faults.signatureOverride) return "none";
    char text[16];
    std::snprintf(text, sizeof text, "%06X", unsigned(t.faults.signature));
    return text;
}

bool parseSignal(VirtualTarget& t, const std::string& value) {
    if (strcasecmp(value.c_str(), "none") == 0) {
        t.faults.signalAt = 0;
        t.faults.signalNumber = 0;
        return true;
    }
    size_t at = value.find('@');
    int number = at == std::string::npos ? 0 : signalNamed(value.substr(0, at));
    uint64_t n = 0;
    if (number == 0 || !parseUnsigned(value.substr(at + 1), 0xFFFFFFFF, n) || n == 0) return false;
    t.faults.signalAt = uint32_t(n);
    t.faults.signalNumber = number;
    return true;
}

const struct {
    const char* name;
    MisoFault fault;
} misoFaults[] = {{"none", MisoFault::None}, {"high", MisoFault::High}, {"low", MisoFault::Low},
                  {"crossed", MisoFault::Crossed}};

bool parseMisoFault(VirtualTarget& t, const std::string& value) {
    for (const auto& m : misoFaults) {
        if (strcasecmp(value.c_str(), m.name) != 0) continue;
        t.faults.miso = m.fault;
        return true;
    }
    return false;
}

std::string formatMisoFault(const VirtualTarget& t) {
    for (const auto& m : misoFaults)
        if (m.fault == t.faults.miso) return m.name;
    return "none";
}

template <bool TargetFaults::*Field>
bool parseFaultFlag(VirtualTarget& t, const std::string& value) {
    return parseYesNo(value, t.faults.*Field);
}

template <bool TargetFaults::*Field>
std::string formatFaultFlag(const VirtualTarget& t) {
    return t.faults.*Field ? "yes" : "no";
}

// Help lines begin their descriptions at this column.
constexpr size_t DescriptionColumn = 26;

// The built-in cable names, the first one the default, wrapped under the
// descriptions' column, and what else a cable may be.
std::string cableDescription() {
    const std::string indent(DescriptionColumn, ' ');
    const size_t width = 96;
    std::string text;
    size_t lineLength = indent.size();  // the first line begins after "  cable=NAME"
    bool first = true;
    for (const std::string& name : splitList(VirtualCable::builtinCableNames(), ", ")) {
        const std::string word = name + (first ? " (default)," : ",");
        first = false;
        if (lineLength + word.size() + 1 > width) {
            text += "\n" + indent;
            lineLength = indent.size();
        } else if (lineLength > indent.size()) {
            text += " ";
            ++lineLength;
        }
        text += word;
        lineLength += word.size();
    }
    return text + " or\n" + indent + "user:ENTRY:ENTRY... with pin-map entries (mosi=D5, key=~PE, ...)\n" + indent +
           "and loop-backs STATUSPIN<[~]PIN, STATUSPIN<0, STATUSPIN<1, or a GPIO chip (lines GPIO0..53):\n" +
           indent + "gpio (SPI0 pins, RESET on 25) or gpio:mosi=10:miso=9:sck=11:reset=~25:busy=7";
}

// Every setting of a target, in file order: the reading, the writing and the
// help of the companion tool all come from here.
const struct TargetSetting {
    const char* key;
    const char* value;     // the value's form in the help
    const char* help;      // nullptr: described on one help line with the rows after it
    const char* expected;  // what an invalid value should have been, for the message
    ParseSetting parse;
    FormatSetting format;
    std::string (*describe)() = nullptr;  // a description made from other tables, instead of help
} targetSettings[] = {
    {"cable", "NAME", "", "", [](VirtualTarget& t, const std::string& value) {
         VirtualCable::create(value);
         t.cable = value;
         return true;
     },
     [](const VirtualTarget& t) { return t.cable; }, cableDescription},
    {"clock", "HZ", "the chip's oscillator (1000000, 8M, 32k); 0: clocked through XTAL only",
     "a frequency up to 100M in Hz, k or M; 0 for XTAL",
     [](VirtualTarget& t, const std::string& value) { return parseFrequency(value, t.clockHz); },
     [](const VirtualTarget& t) { return std::to_string(t.clockHz); }},
    {"access-time", "US", "modelled time of one port access in microseconds (default 1)",
     "microseconds from 0.2 to 1000",
     [](VirtualTarget& t, const std::string& value) {
         double d = 0;
         if (!parseDouble(value, d) || d < 0.2 || d > 1000) return false;
         t.accessTimeUs = d;
         return true;
     },
     [](const VirtualTarget& t) { return formatDouble(t.accessTimeUs); }},
    {"fuse.low", "HH", nullptr, "a hexadecimal byte", parseFuse<FuseByte::Low>, formatFuse<FuseByte::Low>},
    {"fuse.high", "HH", nullptr, "a hexadecimal byte", parseFuse<FuseByte::High>, formatFuse<FuseByte::High>},
    {"fuse.ext", "HH", nullptr, "a hexadecimal byte", parseFuse<FuseByte::Ext>, formatFuse<FuseByte::Ext>},
    {"lock", "HH", "configuration bytes (hexadecimal)", "a hexadecimal byte", parseFuse<FuseByte::Lock>,
     formatFuse<FuseByte::Lock>},
    {"calibration", "HH,HH,...", "the OSCCAL calibration bytes", "hexadecimal bytes", parseCalibration,
     formatCalibration},
    {"busy.flash", "US", nullptr, "microseconds up to 10000000", parseBusy<&TargetBusyTimes::flashUs>,
     formatBusy<&TargetBusyTimes::flashUs>},
    {"busy.eeprom", "US", nullptr, "microseconds up to 10000000", parseBusy<&TargetBusyTimes::eepromUs>,
     formatBusy<&TargetBusyTimes::eepromUs>},
    {"busy.erase", "US", nullptr, "microseconds up to 10000000", parseBusy<&TargetBusyTimes::eraseUs>,
     formatBusy<&TargetBusyTimes::eraseUs>},
    {"busy.fuse", "US", "busy times in microseconds", "microseconds up to 10000000",
     parseBusy<&TargetBusyTimes::fuseUs>, formatBusy<&TargetBusyTimes::fuseUs>},
    {"fault.out-of-step", "N", "after each reset the chip needs N extra SCK pulses (0-31)",
     "a number of bits from 0 to 31",
     [](VirtualTarget& t, const std::string& value) {
         uint64_t n = 0;
         if (!parseUnsigned(value, 31, n)) return false;
         t.faults.outOfStepBits = uint32_t(n);
         return true;
     },
     [](const VirtualTarget& t) { return std::to_string(t.faults.outOfStepBits); }},
    {"fault.no-program-enable", "yes", "program enable is never answered", "yes or no",
     parseFaultFlag<&TargetFaults::noProgramEnable>, formatFaultFlag<&TargetFaults::noProgramEnable>},
    {"fault.wrong-echo", "N", "instruction N of a run is echoed wrongly (0: never)",
     "an instruction or write number, 0 for none", parseCount<TargetFaults, &TargetFaults::wrongEchoAt>,
     [](const VirtualTarget& t) { return std::to_string(t.faults.wrongEchoAt); }},
    {"fault.stuck-write", "N", "write N of a run never completes (0: never)",
     "an instruction or write number, 0 for none", parseCount<TargetFaults, &TargetFaults::stuckWriteAt>,
     [](const VirtualTarget& t) { return std::to_string(t.faults.stuckWriteAt); }},
    {"fault.stuck-bit", "ADDR:BIT:LEVEL", "a flash bit that never changes (none: off)",
     "none or ADDRESS:BIT:LEVEL, the address in hexadecimal", parseStuckBit, formatStuckBit},
    {"fault.signature", "HHHHHH", "answer this signature, e.g. 000102 (none: the chip's own)",
     "none or a 24-bit hexadecimal signature", parseSignature, formatSignature},
    {"fault.signal", "INT@N", "the run gets SIGINT (or TERM, QUIT) after instruction N (none: never)",
     "none or INT@N, TERM@N, QUIT@N: the signal after instruction N", parseSignal,
     [](const VirtualTarget& t) { return formatSignal(t.faults); }},
    {"fault.miso", "high|low|crossed", "the MISO line stuck high or low, or crossed with MOSI (none: sound)",
     "none, high, low or crossed", parseMisoFault, formatMisoFault},
    {"fault.no-power", "yes", "the target has no supply", "yes or no", parseFaultFlag<&TargetFaults::noPower>,
     formatFaultFlag<&TargetFaults::noPower>},
    {"fault.dead-data-lines", "yes", "the port's data lines never move and read back as FF", "yes or no",
     parseFaultFlag<&TargetFaults::deadDataLines>, formatFaultFlag<&TargetFaults::deadDataLines>},
    {"key", "none|pressed|FROM-TO,FROM-", "when the cable's key is held, in ms of modelled time",
     "none, pressed, or FROM-TO,FROM- in milliseconds",
     [](VirtualTarget& t, const std::string& value) {
         std::vector<KeyInterval> script;
         if (!parseKeyScript(value, script)) return false;
         t.key = script;
         return true;
     },
     [](const VirtualTarget& t) { return formatKeyScript(t.key); }},
    {"erase-count", "N", nullptr, "a count", parseCount<VirtualTarget, &VirtualTarget::eraseCount>,
     [](const VirtualTarget& t) { return std::to_string(t.eraseCount); }},
    {"runs", "N", "the life counters", "a count", parseCount<VirtualTarget, &VirtualTarget::runCount>,
     [](const VirtualTarget& t) { return std::to_string(t.runCount); }},
};

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

void applyTargetSetting(VirtualTarget& target, const std::string& key, const std::string& value) {
    for (const TargetSetting& setting : targetSettings) {
        if (key != setting.key) continue;
        if (setting.parse(target, value)) return;
        throw app_error(ExitUsage, "invalid value '%s' for %s (expected %s)\n", value.c_str(), key.c_str(),
                        setting.expected);
    }
    throw app_error(ExitUsage, "unknown setting '%s'\n", key.c_str());
}

TargetSettingList formatTargetSettings(const VirtualTarget& t) {
    TargetSettingList list;
    list.emplace_back("chip", primaryChipName(t.chip()));
    for (const TargetSetting& setting : targetSettings) list.emplace_back(setting.key, setting.format(t));
    return list;
}

namespace {

[[noreturn]] void unknownCounter(const std::string& key) {
    throw app_error(ExitUsage, "unknown counter '%s'\n", key.c_str());
}

// Take one counter's value: false when it is not of the counter's form.
bool parseCounter(TargetCounters& counters, const std::string& key, const std::string& value) {
    uint64_t n = 0;
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
        if (key.size() != 11 || !parseHex(key.substr(9), 0xFF, opcode)) unknownCounter(key);
        if (!parseUnsigned(value, UINT64_MAX, n)) return false;
        counters.isp[opcode] = n;
        return true;
    }
    unknownCounter(key);
}

}  // namespace

void applyCounterSetting(TargetCounters& counters, const std::string& key, const std::string& value) {
    if (!parseCounter(counters, key, value))
        throw app_error(ExitUsage, "invalid value '%s' for %s\n", value.c_str(), key.c_str());
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

std::string targetSettingsHelp() {
    // Rows without a description share the line of the next row that has one.
    std::string help;
    std::string forms = "  ";
    for (const TargetSetting& setting : targetSettings) {
        forms += (forms.size() > 2 ? " " : "") + std::string(setting.key) + "=" + setting.value;
        if (setting.help == nullptr) continue;
        help += forms + std::string(forms.size() < DescriptionColumn ? DescriptionColumn - forms.size() : 3, ' ') +
                (setting.describe ? setting.describe() : std::string(setting.help)) + "\n";
        forms = "  ";
    }
    return help;
}

}  // namespace mervex
