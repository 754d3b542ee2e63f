#pragma once
// Running shell command lines from tests.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace mervex::test {

struct ShellResult {
    int status = -1;     // exit status, -1 when the shell did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

// Run a command line with /bin/sh, standard input from /dev/null.
inline ShellResult runShell(const std::string& command) {
    ShellResult result;
    const std::string full = "( " + command + " ) </dev/null 2>&1";
    std::FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
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
