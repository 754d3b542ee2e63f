#include "adapter/SckTiming.h"

#include <cmath>

namespace mervex {

SckTiming deriveSckTiming(uint32_t frequencyHz, bool frequencyIsSck, SckPeriods periods) {
    SckTiming timing;
    if (frequencyIsSck) {
        timing.setupTime = timing.holdTime = 0.5 * 1000000 / double(frequencyHz);
    } else {
        double period = 1.05 * 1000000 / double(frequencyHz);
        timing.setupTime = period * periods.low;
        timing.holdTime = period * periods.high;
    }
    return timing;
}

int portWritesFor(double timeUs, double cycleTimeUs) {
    // The small allowance keeps a quotient that is whole up to rounding error
    // (2.9999999 or 3.0000001) from costing a whole extra write.
    double writes = std::ceil(timeUs / cycleTimeUs - 1e-9);
    if (!(writes >= 1)) return 1;
    return writes > 1e6 ? 1000000 : int(writes);
}

}  // namespace mervex
