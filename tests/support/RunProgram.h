#pragma once
// Running the program from tests, the one way for each need: in this process
// (the quick way, with the console captured) or as the built program in a
// process of its own (for what needs a real process: signals, file-size limits,
// parallel runs, pipes, shell command lines). The in-process run is the only
// place the tests call the program's entry.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "driver/RunMain.h"
#include "sim/VirtualTargetHook.h"
#include "support/RunEntry.h"
#include "support/Shell.h"

namespace mervex::test {

namespace fs = std::filesystem;

struct RunOptions {
    std::string input;           // standard input
    std::string signalAfter;     // send `signalNumber` once standard output holds this text
    int signalNumber = SIGINT;
    long fileSizeLimit = -1;     // RLIMIT_FSIZE of the program in bytes, -1 unlimited
    std::string closeOutputAfter;  // stop reading standard output once it holds this text (`| head`)
};

#ifdef MERVEX_BINARY  // defined for the test programs that wait for the built program
// Run the program in `dir` with the arguments. A run that stays silent for five
// minutes is killed: its output may be buffered until it ends, and a sanitizer
// build on a busy machine reads a large chip slowly. With whileStopped, the
// program is stopped instead of signalled when its output holds
// options.signalAfter; whileStopped runs, and the program goes on.
inline Outcome runProgram(const fs::path& dir, const std::vector<std::string>& args, const RunOptions& options = {},
                          const std::function<void()>& whileStopped = {}) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (options.fileSizeLimit >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = rlim_t(options.fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        std::string program = MERVEX_BINARY;
        argv.push_back(&program[0]);
        std::vector<std::string> copies(args);
        for (std::string& a : copies) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!options.input.empty()) {
        ssize_t written = write(in[1], options.input.data(), options.input.size());
        (void)written;
    }
    close(in[1]);
    Outcome outcome;
    bool signalled = false;
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, 300000) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? outcome.out : outcome.err).append(buffer, size_t(got));
        }
        if (fds[0].fd >= 0 && !options.closeOutputAfter.empty() &&
            outcome.out.find(options.closeOutputAfter) != std::string::npos) {
            close(fds[0].fd);
            fds[0].fd = -1;
            --open;
        }
        if (!signalled && !options.signalAfter.empty() && outcome.out.find(options.signalAfter) != std::string::npos) {
            if (whileStopped) {
                int stopped = 0;
                kill(pid, SIGSTOP);
                waitpid(pid, &stopped, WUNTRACED);
                whileStopped();
                kill(pid, SIGCONT);
            } else {
                kill(pid, options.signalNumber);
            }
            signalled = true;
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

#endif

// mervex's run in this process, on the given clock (the virtual targets' too).
inline Outcome runInProcess(const std::vector<std::string>& args, TargetClock clock) {
    return runEntry("mervex", args, [&](int argc, char** argv) {
        const VirtualPortBackend virtualTargets(clock);
        return runMain(argc, argv, {&virtualTargets}, clock.clock);
    });
}

// mervex's run in this process on the system's clock, as the program runs.
inline Outcome runInProcess(const std::vector<std::string>& args) {
    SystemClock clock;
    return runInProcess(args, clock);
}

}  // namespace mervex::test
