#include "driver/EepromSaveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/LockedFile.h"
#include "base/ReplaceFile.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "image/ImageWriter.h"

namespace mervex {

const char* const EepromSaveFileName = "(eeprom).sav";

namespace {

// Give a file a new name without ever replacing a file of that name (one that
// a program not taking turns has just written): a link, then the old name
// goes. Where the file system has no links, a rename. False with errno set
// (EEXIST when the name is taken).
bool moveWithoutReplacing(const std::string& from, const char* to) {
    if (::link(from.c_str(), to) == 0) {
        (void)::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    return std::rename(from.c_str(), to) == 0;
}

// Runs saving in the same directory take turns at its save files: moving one
// aside, placing one and removing one each look at a name and then change it.
// Where the directory cannot be locked, the run goes on without.
class DirectoryLock {
public:
    DirectoryLock() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) (void)lockExclusive(fd_);  // without the lock the run goes on, as documented above
    }
    ~DirectoryLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd_;
};

std::string asideName(int n) { return std::string(EepromSaveFileName) + "." + std::to_string(n); }

// An earlier save file may hold the only copy of a chip's EEPROM: it is moved
// to the first free "(eeprom).sav.N". False with errno set when it stays.
bool moveEarlierAside() {
    struct stat info;
    for (int n = 1; n < 1000; ++n) {
        if (::lstat(EepromSaveFileName, &info) != 0) return errno == ENOENT;
        const std::string aside = asideName(n);
        if (::lstat(aside.c_str(), &info) == 0) continue;
        if (moveWithoutReplacing(EepromSaveFileName, aside.c_str())) {
            message(LevelWarning, "Earlier \"%s\" kept as \"%s\"\n", EepromSaveFileName, aside.c_str());
            return true;
        }
        if (errno == ENOENT) return true;  // gone meanwhile: nothing to keep
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

// Write the HEX text to the open temporary file and push it to the disk; `info`
// tells the file by its inode, as another run may move it aside at any time.
bool writeSynced(int fd, const MemoryImage& image, bool keepFF, struct stat& info) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::FILE* stream = ::fchmod(fd, 0666 & ~mask) == 0 && ::fstat(fd, &info) == 0 ? ::fdopen(fd, "w") : nullptr;
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    writeHexStream(image, stream, keepFF);
    bool ok = std::fflush(stream) == 0 && std::ferror(stream) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (std::fclose(stream) != 0 && ok) return false;
    errno = error;
    return ok;
}

}  // namespace

void EepromSaveFile::keep(const MemoryImage& image, bool keepFF) {
    const DirectoryLock lock;
    std::string temporary = std::string(EepromSaveFileName) + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    struct stat info;
    if (fd >= 0 && writeSynced(fd, image, keepFF, info)) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
        kept_ = moveEarlierAside() && moveWithoutReplacing(temporary, EepromSaveFileName);
        // The new name must survive a power loss as well.
        if (kept_ && syncDirectoryOf(EepromSaveFileName)) return;
    }
    const int error = errno;
    if (fd >= 0) ::unlink(temporary.c_str());
    std::string where;
    if (locate(where)) ::unlink(where.c_str());
    kept_ = false;
    errno = error;
    throw rtl_error(ExitFile, "Can't save EEPROM to HEX-file \"%s\", chip not erased\n", EepromSaveFileName);
}

void EepromSaveFile::discard() {
    const DirectoryLock lock;
    std::string where;
    if (!locate(where)) return;
    kept_ = false;
    if (::unlink(where.c_str()) != 0)
        message(LevelWarning, "Can't remove \"%s\", the chip holds its contents again\n", where.c_str());
}

std::string EepromSaveFile::path() const {
    const DirectoryLock lock;
    std::string where;
    return locate(where) ? where : EepromSaveFileName;
}

bool EepromSaveFile::locate(std::string& where) const {
    if (!kept_) return false;
    const auto ours = [this](const std::string& name) {
        struct stat info;
        return ::lstat(name.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
    };
    for (int n = 0; n < 1000; ++n) {
        where = n == 0 ? std::string(EepromSaveFileName) : asideName(n);
        if (ours(where)) return true;
    }
    return false;
}

}  // namespace mervex
