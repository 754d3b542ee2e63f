#include "driver/ClockSwitch.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

constexpr double MinOscillatorHz = 1000.0;
constexpr double MaxOscillatorHz = 40000000.0;
constexpr unsigned long MaxSckDivider = 256;

// The divider after the first ',': a whole number and nothing else.
bool parseDivider(const char* text, uint32_t& divider) {
    NumberSyntax syntax = strtoulSyntax(10);
    syntax.rest = false;
    uint64_t value = 0;
    if (!parseNumber(text, syntax, value)) return false;
    if (value < 1 || value > MaxSckDivider) return false;
    divider = uint32_t(value);
    return true;
}

}  // namespace

bool parseClockSwitch(const char* value, Request& request) {
    request.frequencyIsSck = *value == 's' || *value == 'S';
    if (request.frequencyIsSck) ++value;

    if (const char* comma = std::strchr(value, ',')) {
        if (!parseDivider(comma + 1, request.sckDivider)) return false;
    }

    double frequency = 0;
    char unit[4] = {};
    char after = 0;
    const int items = std::sscanf(value, "%lf%3[^,]%c", &frequency, unit, &after);
    if (items < 1) return false;
    if (items == 3 && after != ',') return false;
    if (items == 1 || strcasecmp(unit, "KHZ") == 0) {
        frequency *= 1000.0;
    } else if (strcasecmp(unit, "MHZ") == 0) {
        frequency *= 1000000.0;
    } else if (strcasecmp(unit, "HZ") != 0) {
        return false;
    }

    if (frequency != 0.0) {
        if (!(frequency >= MinOscillatorHz && frequency <= MaxOscillatorHz)) {
            throw app_error(ExitUsage, "-o: OSC frequency must be 0 or from 1kHz to 40MHz\n");
        }
        if (request.sckDivider != 1) {
            throw app_error(ExitUsage, "-o: divider can be used only with -o0 form of the switch\n");
        }
    }
    // Decimal fractions such as 4.1 kHz come out a hair below the whole number
    // in binary; do not let the truncation lose a hertz to that.
    request.oscillatorHz = uint32_t(frequency + 1e-6);
    return true;
}

}  // namespace mervex
