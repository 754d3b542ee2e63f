#pragma once
// Shell command lines from tests, for tools other than the built programs.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace mervex::test {

// How a program run ended.
struct Outcome {
    int status = -1;  // exit status, -1 when killed
    int signal = 0;   // the signal that killed it, 0 when it exited
    std::string out;
    std::string err;
};

// Run a command line with /bin/sh, standard input from /dev/null.
// The outcome's out holds standard output and standard error, interleaved.
inline Outcome runShell(const std::string& command) {
    Outcome result;
    const std::string full = "( " + command + " ) </dev/null 2>&1";
    std::FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int raw = pclose(pipe);
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    return result;
}

// The text as one single-quoted shell word.
inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// True if the program is found on PATH.
inline bool haveProgram(const std::string& name) {
    return runShell("command -v " + shellQuote(name) + " >/dev/null").status == 0;
}

}  // namespace mervex::test
