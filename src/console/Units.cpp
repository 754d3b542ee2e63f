#include "console/Units.h"

#include <cstdio>

namespace mervex {

namespace {

const char* const FrequencyUnits[] = {"GHz", "MHz", "kHz", "Hz"};
const char* const TimeUnits[] = {"s", "ms", "us", "ns"};
constexpr int LargestIndex = 3;

char sharedBuffer[UnitTextSize];

const char* formatScaled(double value, int index, const char* const units[], char* buffer) {
    long double v = value;
    int i = index < 0 ? 0 : (index > LargestIndex ? LargestIndex : index);
    while (v > 300 && i > 0) {
        v *= 0.001;  // the double constant: a long double one rounds 3 MHz just below 3
        --i;
    }
    while (v <= 0.3 && i < LargestIndex) {
        v *= 1000;
        ++i;
    }
    char* out = buffer ? buffer : sharedBuffer;
    const int decimals = v < 0.003 ? 6 : v < 0.03 ? 4 : v < 0.3 ? 3 : v < 3 ? 2 : v < 30 ? 1 : 0;
    std::snprintf(out, 32, "%.*Lf%s", decimals, v, units[i]);
    return out;
}

}  // namespace

const char* formatFrequency(double value, int unitIndex, char* buffer) {
    return formatScaled(value, unitIndex, FrequencyUnits, buffer);
}

const char* formatTime(double value, int unitIndex, char* buffer) {
    return formatScaled(value, unitIndex, TimeUnits, buffer);
}

}  // namespace mervex
