#pragma once
// Elapsed time with microsecond resolution, one time-out, and sleeps.
#include <cstdint>

namespace mervex {

struct TimeVal {
    int32_t sec = 0;
    int32_t usec = 0;  // 0..999999
};

// Source of time and sleep.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimeVal now() = 0;
    // Sleep the whole interval (resuming after interrupting signals).
    virtual void sleep(TimeVal interval) = 0;
};

// A clock whose time moves only when it sleeps or is told to: tests and
// benchmarks install one so that time-outs run instantly and deterministically.
// Simulated hardware moves it on by the time its work takes, so that waits
// measured on it end as they would on the real thing.
class SteppedClock : public Clock {
public:
    virtual void advanceUs(int64_t us) = 0;
};

Clock& systemClock();
// The clock all stopwatches use: the installed one, else the system clock.
Clock& activeClock();
// The installed clock; nullptr while the system clock is in use.
SteppedClock* steppedClock();
// Install a clock; nullptr restores the system clock.
void setClock(SteppedClock* clock);

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

// A wait too short to sleep (a phase of a bit-banged clock): a spin on the
// system clock; a stepped clock is moved on, rounded up to whole microseconds,
// as the wait is a minimum.
void spinUs(double us);

}  // namespace mervex
