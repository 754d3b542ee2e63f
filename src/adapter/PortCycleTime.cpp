#include "adapter/PortCycleTime.h"

#include <algorithm>

#include "console/Console.h"
#include "console/Units.h"

namespace mervex {

namespace {

constexpr double MinimumCycleTime = 0.2;  // microseconds
constexpr size_t LongSeries = 100;
constexpr size_t ShortSeries = 4;
constexpr int Repeats = 100;

// Shortest time in milliseconds of 100 runs of the series of count updates.
double shortestSeriesMs(const UpdateSeries& series, size_t count, Clock& clock) {
    double best = 1000;
    Stopwatch watch(clock);
    // The minimum over many runs filters out scheduling noise.
    for (int i = 0; i < Repeats; ++i) {
        watch.restart();
        series(count);
        watch.stop();
        best = std::min(best, watch.elapsedMs());
    }
    return best;
}

}  // namespace

double measureUpdateCycle(const UpdateSeries& series, const char* kind, Clock& clock) {
    double t100 = shortestSeriesMs(series, LongSeries, clock);
    double t4 = shortestSeriesMs(series, ShortSeries, clock);
    // The difference of 96 updates cancels the fixed cost of a call and of the clock.
    double cycle = (t100 - t4) * 1000 / double(LongSeries - ShortSeries);
    if (cycle < MinimumCycleTime) {
        message(LevelWarning, "incredibly fast %s found, min write cycle time %s\n", kind, formatTime(cycle, UnitUs));
        message(LevelWarning, "Cycle time forced to %.2fus\n", MinimumCycleTime);
        cycle = MinimumCycleTime;
    }
    return cycle;
}

double measureCycleTime(ParallelPort& port, Clock& clock) {
    uint8_t control = port.readRegister(PortRegister::Control);
    port.writeRegister(PortRegister::Control, uint8_t(control & 0xEF));

    // Rewrite the current data value, so the measurement does not move the lines.
    uint8_t buffer[LongSeries];
    std::fill(buffer, buffer + LongSeries, port.readRegister(PortRegister::Data));
    return measureUpdateCycle([&](size_t count) { port.writeDataSequence(buffer, count); }, "LPT", clock);
}

}  // namespace mervex
