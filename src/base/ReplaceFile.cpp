#include "base/ReplaceFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace mervex {

namespace {

// The name the new contents replace: the file itself, not a symbolic link to it.
std::string resolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

mode_t modeFor(const std::string& path) {
    struct stat old;
    if (::stat(path.c_str(), &old) == 0) return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool syncDirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

namespace {

// Write text to a new temporary file beside target and give it target's name:
// over the old file, or (exclusive) only where the name is free.
bool installFile(const std::string& target, const std::string& text, LockedFile* holder, bool exclusive) {
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, modeFor(target)) == 0 && writeAll(fd, text) && ::fsync(fd) == 0 &&
              (holder == nullptr || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
    int saved = errno;
    // A holder keeps the new file open: its lock must stand when the file takes the name.
    if (holder == nullptr && ::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    // A link, unlike a rename, never takes a name that is already there.
    if (ok && (exclusive ? ::link(temporary.c_str(), target.c_str())
                         : std::rename(temporary.c_str(), target.c_str())) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok || exclusive) ::unlink(temporary.c_str());
    if (!ok) {
        if (holder != nullptr) ::close(fd);
        errno = saved;
        return false;
    }
    if (holder != nullptr) holder->adopt(fd);
    // The file has its name; a directory that cannot be flushed still fails
    // the replacement, since the new contents may not survive a power loss.
    return syncDirectoryOf(target);
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, LockedFile* holder) {
    return installFile(resolvedPath(path), text, holder, false);
}

bool createFile(const std::string& path, const std::string& text) { return installFile(path, text, nullptr, true); }

}  // namespace mervex
