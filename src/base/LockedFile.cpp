#include "base/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mervex {

namespace {

bool namesSameFile(int fd, const std::string& path) {
    struct stat held, named;
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

bool lockExclusive(int fd, bool wait) {
    int locked;
    do {
        locked = ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0;
}

bool LockedFile::open(const std::string& path) { return open(path, true); }

bool LockedFile::tryOpen(const std::string& path) { return open(path, false); }

bool LockedFile::open(const std::string& path, bool wait) {
    close();
    for (;;) {
        // Non-blocking: the path may name a FIFO.
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        if (!lockExclusive(fd, wait)) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        if (namesSameFile(fd, path)) {
            fd_ = fd;
            return true;
        }
        // Replaced (or removed) while we waited: try the file that has the name now.
        ::close(fd);
    }
}

bool LockedFile::read(std::string& text, size_t limit) const {
    text.clear();
    if (::lseek(fd_, 0, SEEK_SET) != 0) return false;
    char buffer[512];
    while (text.size() <= limit) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        text.append(buffer, size_t(n));
    }
    if (text.size() > limit + 1) text.resize(limit + 1);
    return true;
}

void LockedFile::adopt(int fd) {
    close();
    fd_ = fd;
}

void LockedFile::close() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    fd_ = -1;
}

}  // namespace mervex
