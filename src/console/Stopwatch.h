#pragma once
// Elapsed time with microsecond resolution, one time-out, and sleeps.
#include <cstdint>

namespace mervex {

struct TimeVal {
    int32_t sec = 0;
    int32_t usec = 0;  // 0..999999
};

// Source of time and sleep. The program's entry makes the one clock of a run
// and passes it down to whatever measures or waits.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimeVal now() = 0;
    // Sleep the whole interval (resuming after interrupting signals).
    virtual void sleep(TimeVal interval) = 0;
    // A wait too short to sleep (a phase of a bit-banged clock); nothing for
    // us <= 0.
    virtual void spinUs(double us) = 0;
};

// The time of day, and real sleeps.
class SystemClock final : public Clock {
public:
    TimeVal now() override;
    void sleep(TimeVal interval) override;
    // Spins: a sleep would last tens of microseconds at best.
    void spinUs(double us) override;
};

// A clock whose time moves only when it sleeps or is told to: tests and
// benchmarks run on one so that time-outs run instantly and deterministically.
// Simulated hardware moves it on by the time its work takes, so that waits
// measured on it end as they would on the real thing.
class SteppedClock : public Clock {
public:
    virtual void advanceUs(int64_t us) = 0;
    // Moves on, rounded up to whole microseconds, as the wait is a minimum.
    void spinUs(double us) override;
};

class Stopwatch {
public:
    explicit Stopwatch(Clock& clock) : clock_(&clock) {}

    void restart();
    void stop();
    double elapsedMs() const;
    void setTimeout(double ms);
    bool timedOut() const;
    void sleepTimeout();

    bool running() const { return running_; }
    TimeVal timeout() const { return timeout_; }

private:
    Clock* clock_;
    bool running_ = false;
    TimeVal accumulated_{};
    TimeVal started_{};
    TimeVal timeoutStart_{};
    TimeVal timeout_{};
};

// Plain delay: sleep for the given milliseconds.
void sleepMs(Clock& clock, double ms);

}  // namespace mervex
