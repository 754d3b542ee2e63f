#pragma once
// The clock of tests and benchmarks: time moves only when someone sleeps or
// advances it, so time-outs run instantly and deterministically.
#include <cstdint>

#include "console/Stopwatch.h"

namespace mervex {

class ManualClock : public SteppedClock {
public:
    TimeVal now() override { return current_; }
    void sleep(TimeVal interval) override { advanceUs(int64_t(interval.sec) * 1000000 + interval.usec); }
    void advanceUs(int64_t us) override {
        const int64_t total = nowUs() + us;
        current_.sec = int32_t(total / 1000000);
        current_.usec = int32_t(total % 1000000);
    }
    int64_t nowUs() const { return int64_t(current_.sec) * 1000000 + current_.usec; }

private:
    TimeVal current_{};
};

}  // namespace mervex
