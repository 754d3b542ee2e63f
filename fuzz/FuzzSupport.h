#pragma once
// What every fuzz target shares: the console sent to /dev/null and put back
// the way a fresh run finds it, and a check that aborts (so the fuzzer reports
// the input) when an invariant does not hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/Console.h"

namespace mervex::fuzz {

inline std::FILE* sink() {
    static std::FILE* devNull = std::fopen("/dev/null", "w");
    return devNull;
}

// The console as a run starts with it: at its default level (each message is
// still formatted, only into /dev/null).
inline void resetProcessState(int level = LevelInfo) {
    Console& con = console();
    con.redirect(sink(), sink(), false, false);
    con.level = uint8_t(level);
    con.progressMode = 0;
    con.progressActive = false;
    con.progressLabelPending = false;
}

inline void check(bool condition) {
    if (!condition) std::abort();
}

// The input up to its first NUL: what a command-line argument can hold.
inline std::string argumentText(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

}  // namespace mervex::fuzz
