#include "console/Progress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "console/Console.h"
#include "console/SignalMonitor.h"
#include "console/Units.h"

namespace mervex {

namespace {
constexpr int32_t MaxStars = 50;
constexpr size_t LabelLength = 10;
}  // namespace

void progressStart(Clock& clock, const char* label, int32_t total) {
    Console& con = console();
    if (!con.progressEnabled()) return;
    con.progressActive = true;
    con.progressTotal = total;
    con.progressDone = 0;
    con.progressStars = 0;
    std::snprintf(con.progressLabel, sizeof con.progressLabel, "%.*s", int(LabelLength), label ? label : "");
    con.progressBar[0] = '\0';
    con.progressWidth = std::min(total, MaxStars);
    con.progressClock.emplace(clock);
    con.progressClock->restart();
    con.progressLabelPending = true;
    progressAdvance(0);
}

void progressAdvance(int32_t count) {
    checkTermination();
    Console& con = console();
    if (!con.progressEnabled() || !con.progressActive) return;
    con.progressDone += count;
    // An empty memory gives a total of 0: no stars, no division.
    int32_t target = con.progressTotal > 0
                         ? int32_t(int64_t(con.progressDone) * con.progressWidth / con.progressTotal)
                         : 0;
    target = std::max(0, std::min(target, MaxStars));
    if (target == con.progressStars && !con.progressLabelPending) return;
    int32_t from = con.progressStars;
    if (target > con.progressStars) {
        std::memset(con.progressBar + con.progressStars, '*', size_t(target - con.progressStars));
        con.progressBar[target] = '\0';
        con.progressStars = target;
    }
    if (con.stdoutIsTerminal) {
        std::fprintf(con.out, "\r%-10s [%-*s]", con.progressLabel, int(con.progressWidth), con.progressBar);
    } else {
        if (con.progressLabelPending) {
            std::fprintf(con.out, "%-10s [", con.progressLabel);
            from = 0;
        }
        std::fputs(con.progressBar + from, con.out);
    }
    std::fflush(con.out);
    con.progressLabelPending = false;
}

void progressEnd() {
    Console& con = console();
    if (!con.progressEnabled() || !con.progressActive) return;
    con.progressClock->stop();
    if (con.progressLabelPending) progressAdvance(0);
    if (!con.stdoutIsTerminal) std::fputc(']', con.out);
    std::fputc('\n', con.out);
    con.progressActive = false;
    char elapsed[UnitTextSize];
    std::fprintf(con.out, "%*c done (%s)\n", 10, ' ', formatTime(con.progressClock->elapsedMs(), UnitMs, elapsed));
    con.progressClock.reset();  // the clock belongs to the run, which may end now
    std::fflush(con.out);
}

}  // namespace mervex
