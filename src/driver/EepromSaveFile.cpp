#include "driver/EepromSaveFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/ReplaceFile.h"
#include "image/ImageWriter.h"

namespace mervex {

const char* const EepromSaveFileName = "(eeprom).sav";

namespace {

// Give a file a new name without ever replacing a file of that name (another
// run in this directory may have just saved one): a link, then the old name
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

// An earlier save file may hold the only copy of a chip's EEPROM: it is moved
// to the first free "(eeprom).sav.N". False with errno set when it stays.
bool moveEarlierAside() {
    struct stat info;
    for (int n = 1; n < 1000; ++n) {
        if (::lstat(EepromSaveFileName, &info) != 0) return errno == ENOENT;
        const std::string aside = std::string(EepromSaveFileName) + "." + std::to_string(n);
        if (::lstat(aside.c_str(), &info) == 0) continue;
        if (moveWithoutReplacing(EepromSaveFileName, aside.c_str())) {
            message(LevelWarning, "Earlier \"%s\" kept as \"%s\"\n", EepromSaveFileName, aside.c_str());
            return true;
        }
        if (errno == ENOENT) return true;  // another run has just moved it
        if (errno != EEXIST) return false;
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

// Move any earlier file aside and give the synced temporary file the name; a
// few tries, as other runs in the directory may save at the same moment.
bool placeFile(const std::string& temporary) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!moveEarlierAside()) return false;
        if (moveWithoutReplacing(temporary, EepromSaveFileName)) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

}  // namespace

void EepromSaveFile::keep(const MemoryImage& image, bool keepFF) {
    std::string temporary = std::string(EepromSaveFileName) + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    bool ok = fd >= 0 && writeSynced(fd, image, keepFF);
    const bool placed = ok && placeFile(temporary);
    // The new name must survive a power loss as well.
    struct stat info;
    ok = placed && syncDirectoryOf(EepromSaveFileName) && ::lstat(EepromSaveFileName, &info) == 0;
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
