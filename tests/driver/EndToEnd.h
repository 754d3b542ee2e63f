#pragma once
// Running the real mervex program against virtual target files in a private
// temporary directory: the process, its output and status, the target's state
// before and after, and the files it reads and writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/ImageFile.h"
#include "image/ImageWriter.h"
#include "image/MemoryImage.h"
#include "sim/VirtualTarget.h"
#include "sim/VirtualTargetFile.h"
#include "support/Files.h"

namespace mervex::test {

namespace fs = std::filesystem;

// How a program run ended.
struct Outcome {
    int status = -1;  // exit status, -1 when killed
    int signal = 0;   // the signal that killed it, 0 when it exited
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string input;           // standard input
    std::string signalAfter;     // send `signalNumber` once standard output holds this text
    int signalNumber = SIGINT;
    long fileSizeLimit = -1;     // RLIMIT_FSIZE of the program in bytes, -1 unlimited
    std::string closeOutputAfter;  // stop reading standard output once it holds this text (`| head`)
};

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

// The output with the run's total time, which varies, as "Total time T".
inline std::string withoutTimes(std::string text) {
    const std::string label = "Total time ";
    for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
        const size_t end = text.find('\n', at);
        text.replace(at + label.size(), (end == std::string::npos ? text.size() : end) - at - label.size(), "T");
    }
    return text;
}

// A fixture with a fresh directory, a target file in it and helpers to run mervex.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(MERVEX_TEST_TMP) /
              ("e2e-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    // A new erased target of the chip with short busy times (polling is fast).
    static std::unique_ptr<VirtualTarget> chip(const std::string& name) {
        std::unique_ptr<VirtualTarget> target = newVirtualTarget(name);
        target->busy = TargetBusyTimes{50, 50, 100, 50};
        return target;
    }

    // Store the target as the run's target file.
    void store(const VirtualTarget& target) { saveVirtualTarget(target, targetPath()); }

    // The target as the last run left it.
    std::unique_ptr<VirtualTarget> stored() { return loadVirtualTarget(targetPath()); }

    std::string targetPath() const { return (dir / "board.vchip").string(); }
    std::string port() const { return "-p" + targetPath(); }

    // Run mervex with the port of the target file and no progress bars (whileStopped: as for runProgram).
    Outcome run(std::vector<std::string> args, const RunOptions& options = {},
                const std::function<void()>& whileStopped = {}) {
        args.insert(args.begin(), {"-ip-", port()});
        return runProgram(dir, args, options, whileStopped);
    }

    // Write an Intel HEX file of the given blocks (address, bytes) into the directory.
    std::string hexFile(const std::string& name, const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& blocks) {
        MemoryImage image;
        for (const auto& b : blocks)
            image.append(std::make_unique<MemoryBlock>(b.first, uint32_t(b.second.size()), b.second.data()));
        ImageFile file;
        file.path = (dir / name).string();
        EXPECT_TRUE(writeImageFile(image, file, true));
        return file.path;
    }

    void textFile(const std::string& name, const std::string& text) { writeFile(dir / name, text); }

    static std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
        std::vector<uint8_t> bytes(n);
        uint32_t x = seed;
        for (uint8_t& b : bytes) {
            x = x * 1103515245u + 12345u;
            b = uint8_t(x >> 16);
            if (b == 0xFF) b = 0x5A;
        }
        return bytes;
    }

    fs::path dir;
};

}  // namespace mervex::test
