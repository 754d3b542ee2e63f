#include "driver/EepromSaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "console/Console.h"
#include "console/Errors.h"
#include "image/ImageWriter.h"

namespace mervex {

const char* const EepromSaveFileName = "(eeprom).sav";

namespace {

// An earlier save file may hold the only copy of a chip's EEPROM: it is moved
// to the first free "(eeprom).sav.N". False with errno set when it stays.
bool moveEarlierAside() {
    struct stat info;
    if (::lstat(EepromSaveFileName, &info) != 0) return errno == ENOENT;
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = std::string(EepromSaveFileName) + "." + std::to_string(n);
        if (::lstat(aside.c_str(), &info) == 0) continue;
        if (errno != ENOENT || std::rename(EepromSaveFileName, aside.c_str()) != 0) return false;
        message(LevelWarning, "Earlier \"%s\" kept as \"%s\"\n", EepromSaveFileName, aside.c_str());
        return true;
    }
    errno = EEXIST;
    return false;
}

// Write the HEX text to the open temporary file and push it to the disk.
bool writeSynced(int fd, const MemoryImage& image, bool keepFF) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::FILE* stream = ::fchmod(fd, 0666 & ~mask) == 0 ? ::fdopen(fd, "w") : nullptr;
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

// Give the synced temporary file its name. A link never replaces a file that
// another run in this directory has just saved; where the file system has no
// links, a rename does.
bool placeFile(const std::string& temporary) {
    if (::link(temporary.c_str(), EepromSaveFileName) == 0) {
        (void)::unlink(temporary.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    return std::rename(temporary.c_str(), EepromSaveFileName) == 0;
}

// The new name must survive a power loss as well: sync the directory. A file
// system that cannot sync a directory (EINVAL) gives no stronger promise.
bool syncDirectory() {
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

}  // namespace

void EepromSaveFile::keep(const MemoryImage& image, bool keepFF) {
    std::string temporary = std::string(EepromSaveFileName) + ".XXXXXX";
    bool ok = moveEarlierAside();
    int fd = ok ? ::mkstemp(&temporary[0]) : -1;
    ok = fd >= 0 && writeSynced(fd, image, keepFF);
    bool placed = ok && placeFile(temporary);
    struct stat info;
    ok = placed && syncDirectory() && ::lstat(EepromSaveFileName, &info) == 0;
    if (!ok) {
        const int error = errno;
        if (fd >= 0) ::unlink(temporary.c_str());
        if (placed) ::unlink(EepromSaveFileName);
        errno = error;
        message(LevelError, "Can't save EEPROM to HEX-file \"%s\", chip not erased\n", EepromSaveFileName);
        throw rtl_error(ExitFile);
    }
    kept_ = true;
    device_ = info.st_dev;
    inode_ = info.st_ino;
}

void EepromSaveFile::discard() {
    if (!kept_) return;
    kept_ = false;
    struct stat info;
    if (::lstat(EepromSaveFileName, &info) != 0 || info.st_dev != device_ || info.st_ino != inode_) return;
    if (::unlink(EepromSaveFileName) != 0)
        message(LevelWarning, "Can't remove \"%s\", the chip holds its contents again\n", EepromSaveFileName);
}

}  // namespace mervex
