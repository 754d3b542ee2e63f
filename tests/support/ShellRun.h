#pragma once
// Running shell command lines from tests, and private temporary directories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

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

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh directory under the tests' temporary directory, removed with its contents.
class TempDir {
public:
    explicit TempDir(const std::string& stem) {
        mkdir(MERVEX_TEST_TMP, 0755);
        std::string pattern = std::string(MERVEX_TEST_TMP) + "/" + stem + "XXXXXX";
        if (mkdtemp(&pattern[0]) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when the directory could not be made.
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace mervex::test
