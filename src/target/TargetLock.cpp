#include "target/TargetLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// A holder replaces the file only by a save, which locks the new file first: a
// second look at the path finds it locked. More tries mean a file replaced by
// something that does not lock (an editor); give up as if it were held.
constexpr int MaxTries = 10;

bool sameFile(int fd, const std::string& path) {
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

[[noreturn]] void refuseHeld(const std::string& path) {
    message(LevelError, "Virtual target '%s' is in use by another process\n", path.c_str());
    throw app_error(ExitUsage);
}

}  // namespace

TargetLock::TargetLock(std::string path) : path_(std::move(path)) {
    for (int tries = 0; tries < MaxTries; ++tries) {
        // Non-blocking: the path may name a FIFO, whose open would wait for a writer.
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            message(LevelError, "Can't open virtual target '%s'\n", path_.c_str());
            throw rtl_error(ExitUsage);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const rtl_error failure(ExitUsage);
            ::close(fd);
            if (failure.savedErrno() == EWOULDBLOCK) refuseHeld(path_);
            message(LevelError, "Can't lock virtual target '%s'\n", path_.c_str());
            throw failure;
        }
        if (sameFile(fd, path_)) {
            fd_ = fd;
            return;
        }
        ::close(fd);  // a save replaced the file meanwhile
    }
    refuseHeld(path_);
}

TargetLock::~TargetLock() {
    // Closing the last descriptor of the file releases the lock.
    if (fd_ >= 0) ::close(fd_);
}

void TargetLock::adopt(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

}  // namespace mervex
