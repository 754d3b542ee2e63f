#include "console/Stopwatch.h"

#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>

namespace mervex {

namespace {

class SystemClock : public Clock {
public:
    TimeVal now() override {
        timeval tv{};
        gettimeofday(&tv, nullptr);
        return TimeVal{int32_t(tv.tv_sec), int32_t(tv.tv_usec)};
    }
    void sleep(TimeVal interval) override {
        timespec request{interval.sec, long(interval.usec) * 1000};
        timespec remaining{};
        // An interrupting signal shortens nothing: sleep on for the remaining time.
        while (nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
    }
};

SteppedClock* installedClock = nullptr;

TimeVal difference(TimeVal later, TimeVal earlier) {
    TimeVal d{later.sec - earlier.sec, later.usec - earlier.usec};
    if (d.usec < 0) {
        d.usec += 1000000;
        --d.sec;
    }
    return d;
}

TimeVal sum(TimeVal a, TimeVal b) {
    TimeVal s{a.sec + b.sec, a.usec + b.usec};
    if (s.usec >= 1000000) {
        s.usec -= 1000000;
        ++s.sec;
    }
    return s;
}

TimeVal fromMs(double ms) {
    TimeVal t;
    t.sec = int32_t(ms * 0.001);
    t.usec = int32_t((ms - double(t.sec) * 1000) * 1000);
    return t;
}

}  // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

Clock& activeClock() { return installedClock ? *installedClock : systemClock(); }

SteppedClock* steppedClock() { return installedClock; }

void setClock(SteppedClock* clock) { installedClock = clock; }

void Stopwatch::restart() {
    accumulated_ = TimeVal{};
    started_ = activeClock().now();
    running_ = true;
}

void Stopwatch::stop() {
    if (!running_) return;
    accumulated_ = sum(accumulated_, difference(activeClock().now(), started_));
    running_ = false;
}

double Stopwatch::elapsedMs() const {
    TimeVal total = accumulated_;
    if (running_) total = sum(total, difference(activeClock().now(), started_));
    return double(total.sec) * 1000 + double(total.usec) * 0.001;
}

void Stopwatch::setTimeout(double ms) {
    timeoutStart_ = activeClock().now();
    timeout_ = fromMs(ms);
}

bool Stopwatch::timedOut() const {
    TimeVal passed = difference(activeClock().now(), timeoutStart_);
    return passed.sec > timeout_.sec || (passed.sec == timeout_.sec && passed.usec >= timeout_.usec);
}

void Stopwatch::sleepTimeout() {
    timeoutStart_ = activeClock().now();
    activeClock().sleep(timeout_);
}

void sleepMs(double ms) {
    Stopwatch watch;
    watch.setTimeout(ms);
    watch.sleepTimeout();
}

void spinUs(double us) {
    if (!(us > 0)) return;
    if (SteppedClock* clock = steppedClock()) {
        clock->advanceUs(int64_t(std::ceil(us - 1e-9)));
        return;
    }
    // A sleep would last tens of microseconds at best.
    using Steady = std::chrono::steady_clock;
    const Steady::time_point until = Steady::now() + std::chrono::nanoseconds(int64_t(us * 1000));
    while (Steady::now() < until) {
    }
}

}  // namespace mervex
