#pragma once
// SPI clock timing: from the requested frequency to SCK low and high times,
// and from those times to whole port write cycles.
#include <cstdint>

namespace mervex {

// SCK low (MOSI set-up) and high times in microseconds.
struct SckTiming {
    double setupTime = 0;
    double holdTime = 0;
};

// SCK low and high times in oscillator periods.
struct SckPeriods {
    int low = 2;
    int high = 2;
};

// Times for a frequency f in Hz (f > 0): with frequencyIsSck, half an SCK period
// each; otherwise the given oscillator periods with a 5 % margin.
SckTiming deriveSckTiming(uint32_t frequencyHz, bool frequencyIsSck, SckPeriods periods);

// Number of port writes covering timeUs, rounded up, at least 1.
int portWritesFor(double timeUs, double cycleTimeUs);

}  // namespace mervex
