#include "driver/RunLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/LockedFile.h"
#include "base/Sha256.h"
#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// The UTC time now, ISO 8601 with milliseconds: "2026-12-08T15:01:03.125Z".
std::string utcNow() {
    struct timeval now;
    ::gettimeofday(&now, nullptr);
    struct tm parts;
    ::gmtime_r(&now.tv_sec, &parts);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", int(now.tv_usec / 1000));
    return text;
}

// Length of the valid UTF-8 sequence at text[at], or 0.
size_t utf8Length(const std::string& text, size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    size_t length;
    uint32_t value;
    if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        value = first & 0x07;
    } else if (first >= 0xE0) {
        length = first <= 0xEF ? 3 : 0;
        value = first & 0x0F;
    } else if (first >= 0xC2) {
        length = 2;
        value = first & 0x1F;
    } else {
        return 0;
    }
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not text.
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
    return length;
}

constexpr size_t MaxErrorText = 1024;

std::string hexBytes(const uint8_t* bytes, size_t count) {
    std::string hex;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", unsigned(bytes[i]));
        hex += pair;
    }
    return hex;
}

std::string quotedOrNull(const char* text) { return text != nullptr ? jsonString(text) : "null"; }

std::string levelOrNull(int level) { return level == LockUnknown ? "null" : std::to_string(level); }

// The fuse bytes that were read, by their names.
std::string fuseObject(const FuseValues& fuses) {
    static const char* const names[FuseBytes] = {"lock", "low", "high", "ext"};
    std::string object = "{";
    for (int i = 0; i < FuseBytes; ++i) {
        if ((fuses.readBytes >> i & 1) == 0) continue;
        if (object.size() > 1) object += ",";
        object += jsonString(names[i]) + ":" + jsonString(hexBytes(&fuses.readValue[i], 1));
    }
    return object + "}";
}

// One file as the log names it: memory, path, and for a regular file its size
// and SHA-256 (null when it cannot be read, or is a pipe that reading would drain).
std::string fileEntry(const char* memory, const char* role, const std::string& path) {
    std::string size = "null";
    std::string digest = "null";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        Sha256 hash;
        uint64_t total = 0;
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got < 0) continue;
            hash.update(buffer, size_t(got));
            total += uint64_t(got);
        }
        if (got == 0) {
            size = std::to_string(total);
            digest = jsonString(hash.hexDigest());
        }
    }
    if (fd >= 0) ::close(fd);
    return std::string("{\"memory\":") + jsonString(memory) + ",\"role\":" + jsonString(role) +
           ",\"path\":" + jsonString(path) + ",\"size\":" + size + ",\"sha256\":" + digest + "}";
}

void addFiles(std::string& list, const Request& request, const char* role) {
    if (!request.codeFile.path.empty()) {
        if (!list.empty()) list += ",";
        list += fileEntry("code", role, request.codeFile.path);
    }
    if (!request.dataFile.path.empty()) {
        if (!list.empty()) list += ",";
        list += fileEntry("data", role, request.dataFile.path);
    }
}

std::string operationList(const Request& request) {
    std::string list;
    const auto add = [&list](const char* name) { list += (list.empty() ? "" : ",") + jsonString(name); };
    if (request.erase) add(request.saveEeprom ? "erase-keep-eeprom" : "erase");
    if (request.blankCheck != 0) add("blank-check");
    if (request.read) add("read");
    if (request.write & WriteRequested) add("write");
    if (request.verify) add("verify");
    if (request.fuseList != nullptr) add("fuses");
    if (request.lockRequest == '1') add("lock-1");
    if (request.lockRequest == '2') add("lock-2");
    if (request.eraseCounter) add("erase-counter");
    return "[" + list + "]";
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    char escape[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            quoted += escape;
        } else if (c < 0x80) {
            quoted += char(c);
        } else if (const size_t length = utf8Length(text, i)) {
            quoted.append(text, i, length);
            i += length - 1;
        } else {
            // A byte that is not UTF-8 (a file name in another encoding) is
            // taken as Latin-1, so the line stays valid JSON.
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            quoted += escape;
        }
    }
    return quoted + "\"";
}

RunLog::RunLog(Clock& clock) : startTime_(utcNow()), clock_(clock) { clock_.restart(); }

RunLog::~RunLog() {
    if (fd_ >= 0) ::close(fd_);
}

void RunLog::open(const char* path) {
    path_ = path;
    fd_ = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw rtl_error(ExitSystem, "Can't open file '%s'\n", path);
    }
}

void RunLog::noteError(const std::string& text) {
    // Bounded as one printed message is: a failure's text is a few short lines.
    if (isOpen() && errorText_.size() < MaxErrorText) errorText_.append(text, 0, MaxErrorText);
}

void RunLog::noteInputFiles(const Request& request) {
    // Only runs that write or verify read their files.
    if (isOpen() && ((request.write & WriteRequested) || request.verify)) addFiles(inputFiles_, request, "input");
}

void RunLog::noteLockBefore(int lockLevel) {
    if (!lockNoted_) lockBefore_ = lockLevel;
    lockNoted_ = true;
}

void RunLog::noteFusesBefore(const FuseValues& fuses) {
    if (!fusesNoted_) fusesBefore_ = fuses;
    fusesNoted_ = true;
}

void RunLog::noteEnd(const Request& request, const RunState& state) {
    if (!isOpen()) return;
    const Programmer* programmer = state.session.programmer();
    std::string signature = "null";
    if (state.session.signature() >= 0) {
        char hex[12];
        std::snprintf(hex, sizeof hex, "%06X", unsigned(state.session.signature()) & 0xFFFFFFu);
        signature = jsonString(hex);
    }
    const int32_t detected = state.session.detectedIndex();
    std::string files = inputFiles_;
    if (request.read) addFiles(files, request, "output");

    std::string& b = body_;
    b = ",\"version\":" + jsonString(MERVEX_VERSION);
    b += ",\"port\":" + quotedOrNull(request.portSpec);
    b += ",\"cable\":" + quotedOrNull(programmer != nullptr ? programmer->adapterName() : nullptr);
    b += ",\"chip\":{\"requested\":" + quotedOrNull(request.chipName);
    b += ",\"detected\":" + quotedOrNull(detected >= 0 ? chipNameAt(detected) : nullptr);
    b += ",\"signature\":" + signature + "}";
    b += ",\"operations\":" + operationList(request);
    b += ",\"files\":[" + files + "]";

    std::string serial = "null";
    if (state.serialFile.hasNumber()) {
        const uint32_t number = state.serialFile.number();
        uint8_t bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(number >> (8 * i));
        const size_t length = size_t(request.serialInsert.length);
        serial = "{\"number\":" + std::to_string(number) + ",\"bytes\":" + jsonString(hexBytes(bytes, length)) + "}";
    }
    b += ",\"serial\":" + serial;
    const BytesInsert& inserted = request.bytesInsert;
    b += ",\"bytes\":" + (inserted.target != InsertNone ? jsonString(hexBytes(inserted.bytes.data(), inserted.bytes.size()))
                                                        : std::string("null"));
    // Fuses change only when the run programs them, after noting them.
    const FuseValues& after = state.session.fuses();
    b += ",\"fuses\":{\"before\":" + fuseObject(fusesNoted_ ? fusesBefore_ : after) + ",\"after\":" + fuseObject(after) + "}";
    b += ",\"lock\":{\"before\":" + levelOrNull(lockNoted_ ? lockBefore_ : after.lockLevel) +
         ",\"after\":" + levelOrNull(after.lockLevel) + "}";
    b += ",\"eraseCounter\":" +
         (state.eraseCounter && state.eraseCount != EraseCountNotGiven ? std::to_string(state.eraseCount) : std::string("null"));
}

bool RunLog::write(int status) {
    if (!isOpen()) return true;
    while (!errorText_.empty() && errorText_.back() == '\n') errorText_.pop_back();
    char duration[32];
    clock_.stop();
    std::snprintf(duration, sizeof duration, "%.0f", clock_.elapsedMs());
    const std::string line = "{\"time\":" + jsonString(startTime_) + body_ + ",\"result\":{\"status\":" +
                             std::to_string(status) + ",\"error\":" + jsonString(errorText_) +
                             "},\"durationMs\":" + duration + "}\n";

    // One write under the lock: parallel runs append whole lines, one after
    // another. A line cut short (disk full) is taken back out.
    const bool locked = lockExclusive(fd_);
    int error = errno;
    bool written = false;
    if (locked) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        ssize_t put;
        while ((put = ::write(fd_, line.data(), line.size())) < 0 && errno == EINTR) {
        }
        error = errno;
        if (put == ssize_t(line.size())) {
            written = ::fsync(fd_) == 0;
            error = errno;
        } else if (put >= 0) {
            error = ENOSPC;
            if (end >= 0 && ::ftruncate(fd_, end) != 0) error = errno;
        }
        ::flock(fd_, LOCK_UN);
    }
    ::close(fd_);
    fd_ = -1;
    if (!written) message(LevelError, "Can't write run log '%s'\n%s\n", path_.c_str(), std::strerror(error));
    return written;
}

}  // namespace mervex
