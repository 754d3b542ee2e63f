#pragma once
// The one console: level-filtered messages with prefixes, the stderr copy rule,
// and the state of the progress bar.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "console/Stopwatch.h"

namespace mervex {

enum MessageLevel : int {
    LevelPrompt = 0,
    LevelError = 1,
    LevelWarning = 2,
    LevelInfo = 3,
    LevelDebug = 4,
    LevelTrace = 5,
};

class Console {
public:
    Console();
    ~Console() = default;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Point the console at other streams (tests); terminal flags are given, not probed.
    void redirect(std::FILE* out, std::FILE* err, bool outIsTerminal, bool errIsTerminal);

    bool progressEnabled() const;

    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool stdoutIsTerminal = false;
    bool stderrIsTerminal = false;
    bool outLost = false;  // a write to `out` failed: errors go to `err` as well
    uint8_t level = LevelInfo;
    uint8_t progressMode = 2;  // 0 off, 1 always, 2 automatic
    std::optional<Stopwatch> progressClock;  // on the clock the bar was started with
    bool progressActive = false;
    bool progressLabelPending = false;
    int32_t progressTotal = 50;
    int32_t progressDone = 0;
    int32_t progressWidth = 50;
    int32_t progressStars = 0;
    char progressBar[51] = {};
    char progressLabel[11] = {};
};

// Process-wide: the process has one terminal, whose streams, level and progress
// bar every part of a run shares.
Console& console();

// Print one message at the given level; the format carries its own line ends.
// errno is as it was before the call.
void message(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Read one character from standard input; EOF at end of input.
int readConsoleChar();

// Read an answer line and return its first character; the rest of the line is
// discarded. EOF at end of input.
int readConsoleAnswer();

}  // namespace mervex
