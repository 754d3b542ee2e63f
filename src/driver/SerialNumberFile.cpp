#include "driver/SerialNumberFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

enum class NumberRead { Ok, StreamError, NoNumber, TooLarge };

// Read one unsigned decimal number as "%lu" would, refusing what does not fit 32 bits.
NumberRead readNumber(std::FILE* stream, uint32_t& number) {
    int c;
    do {
        c = std::fgetc(stream);
    } while (c != EOF && std::isspace(c));
    if (c == '+') c = std::fgetc(stream);
    if (c == EOF || !std::isdigit(c)) return std::ferror(stream) ? NumberRead::StreamError : NumberRead::NoNumber;
    uint64_t value = 0;
    for (; c != EOF && std::isdigit(c); c = std::fgetc(stream)) {
        value = value * 10 + uint64_t(c - '0');
        if (value > UINT32_MAX) return NumberRead::TooLarge;
    }
    if (std::ferror(stream)) return NumberRead::StreamError;
    number = uint32_t(value);
    return NumberRead::Ok;
}

// The name the new contents replace: the file itself, not a symbolic link to it.
std::string resolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// Write text to a new file next to target and rename it over target; false with
// errno set on failure, and no temporary file left behind.
bool replaceFile(const std::string& target, const char* text) {
    std::string temp = target + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) return false;
    struct stat old;
    if (stat(target.c_str(), &old) == 0) (void)fchmod(fd, old.st_mode & 07777);
    std::FILE* stream = fdopen(fd, "w");
    if (stream == nullptr) {
        const int saved = errno;
        ::close(fd);
        unlink(temp.c_str());
        errno = saved;
        return false;
    }
    bool ok = std::fputs(text, stream) >= 0 && std::fflush(stream) == 0 && fsync(fileno(stream)) == 0;
    int saved = errno;
    if (std::fclose(stream) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        errno = saved;
    }
    return ok;
}

}  // namespace

void SerialNumberFile::open(const char* path) {
    close();
    path_ = path != nullptr ? path : "";
    stream_ = openFile(path_.c_str(), "r+");
    errno = 0;
    const NumberRead result = readNumber(stream_.get(), number_);
    if (result == NumberRead::Ok) return;
    const int readErrno = errno;
    message(LevelError, "Can't read %s\n", path_.c_str());
    close();
    // Only a failed read has a system text; otherwise say what the file lacks.
    if (result == NumberRead::StreamError) {
        errno = readErrno;
        throw rtl_error(ExitFile);
    }
    throw rtl_error(ExitFile, result == NumberRead::NoNumber ? "no number in file" : "number too large");
}

void SerialNumberFile::advance() {
    const unsigned long next = static_cast<uint32_t>(number_ + 1);
    char text[32];
    std::snprintf(text, sizeof text, "%lu\n", next);
    if (replaceFile(resolvedPath(path_), text)) return;
    message(LevelError, "Can't write %s\nnext serial number is %lu\n", path_.c_str(), next);
    throw rtl_error(ExitFile);
}

void SerialNumberFile::close() { stream_.reset(); }

}  // namespace mervex
