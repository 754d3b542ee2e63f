#include "console/Stopwatch.h"

#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>

namespace mervex {

namespace {

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

TimeVal SystemClock::now() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return TimeVal{int32_t(tv.tv_sec), int32_t(tv.tv_usec)};
}

void SystemClock::sleep(TimeVal interval) {
    timespec request{interval.sec, long(interval.usec) * 1000};
    timespec remaining{};
    // An interrupting signal shortens nothing: sleep on for the remaining time.
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
}

void SystemClock::spinUs(double us) {
    if (!(us > 0)) return;
    using Steady = std::chrono::steady_clock;
    const Steady::time_point until = Steady::now() + std::chrono::nanoseconds(int64_t(us * 1000));
    while (Steady::now() < until) {
    }
}

void SteppedClock::spinUs(double us) {
    if (us > 0) advanceUs(int64_t(std::ceil(us - 1e-9)));
}

void Stopwatch::restart() {
    accumulated_ = TimeVal{};
    started_ = clock_->now();
    running_ = true;
}

void Stopwatch::stop() {
    if (!running_) return;
    accumulated_ = sum(accumulated_, difference(clock_->now(), started_));
    running_ = false;
}

double Stopwatch::elapsedMs() const {
    TimeVal total = accumulated_;
    if (running_) total = sum(total, difference(clock_->now(), started_));
    return double(total.sec) * 1000 + double(total.usec) * 0.001;
}

void Stopwatch::setTimeout(double ms) {
    timeoutStart_ = clock_->now();
    timeout_ = fromMs(ms);
}

bool Stopwatch::timedOut() const {
    TimeVal passed = difference(clock_->now(), timeoutStart_);
    return passed.sec > timeout_.sec || (passed.sec == timeout_.sec && passed.usec >= timeout_.usec);
}

void Stopwatch::sleepTimeout() {
    timeoutStart_ = clock_->now();
    clock_->sleep(timeout_);
}

void sleepMs(Clock& clock, double ms) {
    Stopwatch watch(clock);
    watch.setTimeout(ms);
    watch.sleepTimeout();
}

}  // namespace mervex
