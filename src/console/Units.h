#pragma once
// Short texts for frequencies and times, with the unit chosen by magnitude.
namespace mervex {

// Unit indexes: frequency 0 GHz, 1 MHz, 2 kHz, 3 Hz; time 0 s, 1 ms, 2 us, 3 ns.
constexpr int UnitHz = 3, UnitKHz = 2, UnitMHz = 1;
constexpr int UnitS = 0, UnitMs = 1, UnitUs = 2, UnitNs = 3;
constexpr int UnitTextSize = 33;

// Without a buffer the text lands in one shared buffer overwritten by the next such call.
const char* formatFrequency(double value, int unitIndex, char* buffer = nullptr);
const char* formatTime(double value, int unitIndex, char* buffer = nullptr);

}  // namespace mervex
