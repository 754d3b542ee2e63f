// A target whose file or directory may not be written is refused before the
// run touches it: its result could not be saved. Root may write anything, so
// as root the check runs in a child that has given up its privileges.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "console/Errors.h"
#include "sim/VirtualTarget.h"
#include "sim/VirtualTargetFile.h"
#include "sim/VirtualTargetHook.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/ManualClock.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;

// Runs the check in a child process, unprivileged when the tests run as root;
// true if the check returned true.
bool unprivileged(const std::function<bool()>& check) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
        std::_Exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The port refuses the target with its message and leaves the file as it was.
bool refused(const fs::path& file) {
    const std::string before = test::readFile(file);
    test::CaptureConsole console;
    try {
        ManualClock clock;
        (void)openVirtualPort(file.string(), clock);
        return false;
    } catch (const app_error& error) {
        reportFailure(error);
        return error.status() == ExitSystem &&
               console.out() == "ERROR:  Can't open virtual target '" + file.string() +
                                    "' for writing\nERROR:  " + std::strerror(EACCES) + "\n" &&
               test::readFile(file) == before;
    }
}

TEST(ReadOnlyTarget, FileOrDirectoryThatCannotBeWrittenIsRefused) {
    const fs::path dir = fs::path(MERVEX_TEST_TMP) / ("read-only-target-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "locked");
    const auto target = newVirtualTarget("mega8");
    const fs::path readOnlyFile = dir / "read-only.vchip";
    const fs::path inLockedDirectory = dir / "locked" / "board.vchip";
    saveVirtualTarget(*target, readOnlyFile.string());
    saveVirtualTarget(*target, inLockedDirectory.string());
    ::chmod(readOnlyFile.c_str(), 0444);
    ::chmod(inLockedDirectory.c_str(), 0666);
    ::chmod((dir / "locked").c_str(), 0555);
    ::chmod(dir.c_str(), 0755);

    if (!unprivileged([&] { return ::access(readOnlyFile.c_str(), R_OK) == 0; }))
        GTEST_SKIP() << "user nobody cannot reach the build";
    EXPECT_TRUE(unprivileged([&] { return refused(readOnlyFile); }));
    EXPECT_TRUE(unprivileged([&] { return refused(inLockedDirectory); }));
    fs::permissions(dir / "locked", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace mervex
