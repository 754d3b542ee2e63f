#pragma once
// Elapsed time with microsecond resolution, one time-out, and sleeps.
#include <cstdint>

namespace mervex {

struct TimeVal {
    int32_t sec = 0;
    int32_t usec = 0;  // 0..999999
};

// Source of time and sleep. The system clock is the default; tests install a
// manual clock so that time-outs run instantly and deterministically.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimeVal now() = 0;
    // Sleep the whole interval (resuming after interrupting signals).
    virtual void sleep(TimeVal interval) = 0;
};

Clock& systemClock();
// The clock all stopwatches use; setClock(nullptr) restores the system clock.
Clock& activeClock();
void setClock(Clock* clock);

// Test clock: time moves only when someone sleeps or advance() is called.
class ManualClock : public Clock {
public:
    TimeVal now() override { return current_; }
    void sleep(TimeVal interval) override;
    void advanceUs(int64_t us);
    int64_t nowUs() const { return int64_t(current_.sec) * 1000000 + current_.usec; }

private:
    TimeVal current_{};
};

// Installs a ManualClock for the lifetime of the guard.
class ManualClockGuard {
public:
    ManualClockGuard() { setClock(&clock); }
    ~ManualClockGuard() { setClock(nullptr); }
    ManualClock clock;
};

class Stopwatch {
public:
    virtual ~Stopwatch() = default;

    void restart();
    void stop();
    double elapsedMs() const;
    void setTimeout(double ms);
    bool timedOut() const;
    void sleepTimeout();

    bool running() const { return running_; }
    TimeVal timeout() const { return timeout_; }

private:
    bool running_ = false;
    TimeVal accumulated_{};
    TimeVal started_{};
    TimeVal timeoutStart_{};
    TimeVal timeout_{};
};

// Plain delay: sleep for the given milliseconds on the active clock.
void sleepMs(double ms);

}  // namespace mervex
