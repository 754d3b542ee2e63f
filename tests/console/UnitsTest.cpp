#include <gtest/gtest.h>

#include "console/Units.h"

namespace mervex {
namespace {

TEST(Units, FrequencyAndTimeChooseUnitByMagnitude) {
    struct Case {
        bool time;
        double value;
        int unit;
        const char* text;
    } cases[] = {
        {false, 800000, UnitHz, "0.80MHz"}, {false, 8000000, UnitHz, "8.0MHz"},
        {false, 250, UnitKHz, "250kHz"},    {false, 0.25, UnitMHz, "250kHz"},
        {true, 1250, UnitMs, "1.25s"},      {true, 0.5, UnitMs, "0.50ms"},
        {true, 0.25, UnitMs, "250us"},      {true, 0, UnitMs, "0.000000ns"},
        {true, 300, UnitMs, "300ms"},       {true, 300.5, UnitMs, "0.30s"},
        {true, 0.02, UnitS, "20.0ms"},        {true, 1e12, UnitS, "1000000000000s"},
        // The edges of the decimals: scaling multiplies by the double 0.001, a
        // little more than a thousandth, so 3 MHz given in hertz is 3.0MHz, and
        // 300 of a unit given in the smaller one moves on to the larger.
        {false, 3, UnitHz, "3.0Hz"},         {false, 30, UnitHz, "30Hz"},
        {false, 300, UnitHz, "300Hz"},       {false, 3000, UnitHz, "3.0kHz"},
        {false, 30000, UnitHz, "30kHz"},     {false, 300000, UnitHz, "0.30MHz"},
        {false, 3e6, UnitHz, "3.0MHz"},      {false, 3e7, UnitHz, "30MHz"},
        {false, 3e8, UnitHz, "0.30GHz"},     {false, 3e9, UnitHz, "3.0GHz"},
        {false, 3, UnitMHz, "3.0MHz"},       {false, 300, UnitKHz, "300kHz"},
        {false, 300, 0, "300GHz"},     {true, 3, UnitNs, "3.0ns"},
        {true, 30, UnitUs, "30us"},          {true, 3000, UnitUs, "3.0ms"},
        {true, 30000, UnitNs, "30us"},       {true, 3000, UnitMs, "3.0s"},
        {true, 300000, UnitMs, "300s"},
    };
    for (const auto& c : cases) {
        char buffer[UnitTextSize];
        const char* text = c.time ? formatTime(c.value, c.unit, buffer) : formatFrequency(c.value, c.unit, buffer);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(Units, HugeValuesStayWithinBuffer) {
    char buffer[UnitTextSize];
    const char* text = formatTime(1e300, UnitS, buffer);
    EXPECT_LE(std::string(text).size(), 31u);
}

TEST(Units, SharedBufferIsReusedWithoutCallerBuffer) {
    const char* first = formatTime(1, UnitMs);
    const char* second = formatFrequency(1, UnitHz);
    EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace mervex
