#include "target/VirtualTargetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "console/Console.h"
#include "console/Errors.h"
#include "target/TargetHex.h"
#include "target/TargetSettings.h"

namespace mervex {

const char* const VirtualTargetMagic = "mervex virtual target, format ";

namespace {

constexpr size_t MaxFileSize = 64u << 20;  // far above the largest chip's text

[[noreturn]] void fileError(const std::string& name, int line, const std::string& reason) {
    if (line > 0) message(LevelError, "Virtual target '%s', line %d: %s\n", name.c_str(), line, reason.c_str());
    else message(LevelError, "Virtual target '%s': %s\n", name.c_str(), reason.c_str());
    throw app_error(ExitUsage);
}

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

struct SettingLine {
    std::string key;
    std::string value;
    int line;
};

void appendHex(std::string& text, const char* section, const std::vector<uint8_t>& memory) {
    text += "\n[";
    text += section;
    text += "]\n";
    for (const std::string& record : encodeHex(memory, true)) text += record + "\n";
}

// Write all of text to fd; false with errno set on failure.
bool writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    return true;
}

mode_t newFileMode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool hasVirtualTargetHeader(const std::string& firstLine) {
    return firstLine.compare(0, std::strlen(VirtualTargetMagic), VirtualTargetMagic) == 0;
}

std::string formatVirtualTarget(const VirtualTarget& target) {
    std::string text = VirtualTargetMagic + std::to_string(VirtualTargetFormat) + "\n";
    text += "# A simulated AVR: mervex -p<this file> programs it, mervex-vchip shows and changes it.\n";
    for (const auto& [key, value] : formatTargetSettings(target)) text += key + " = " + value + "\n";
    text += "\n# The last run.\n";
    for (const auto& [key, value] : formatCounters(target.lastRun)) text += key + " = " + value + "\n";
    appendHex(text, "flash", target.flash);
    appendHex(text, "eeprom", target.eeprom);
    return text;
}

std::unique_ptr<VirtualTarget> parseVirtualTarget(const std::string& text, const std::string& name) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || !hasVirtualTargetHeader(lines[0]))
        fileError(name, 1, "not a virtual target (the first line must begin with \"" +
                               std::string(VirtualTargetMagic) + "\")");
    std::string version = trim(lines[0].substr(std::strlen(VirtualTargetMagic)));
    if (version != std::to_string(VirtualTargetFormat))
        fileError(name, 1, "format " + version + " is not supported (this program reads format " +
                               std::to_string(VirtualTargetFormat) + ")");

    // Settings first: the chip decides how the others are checked.
    std::vector<SettingLine> settings;
    std::map<std::string, int> seen;
    size_t at = 1;
    for (; at < lines.size(); ++at) {
        std::string line = trim(lines[at]);
        int number = int(at + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') break;
        size_t equals = line.find('=');
        if (equals == std::string::npos) fileError(name, number, "expected KEY = VALUE, found '" + line + "'");
        SettingLine s{trim(line.substr(0, equals)), trim(line.substr(equals + 1)), number};
        if (s.key.empty()) fileError(name, number, "a setting without a key");
        if (seen.count(s.key))
            fileError(name, number, "'" + s.key + "' given twice (first on line " + std::to_string(seen[s.key]) + ")");
        seen[s.key] = number;
        settings.push_back(s);
    }
    if (!seen.count("chip")) fileError(name, 0, "no 'chip = NAME' setting");

    std::unique_ptr<VirtualTarget> target;
    for (const SettingLine& s : settings) {
        if (s.key != "chip") continue;
        target = newVirtualTarget(s.value);
        if (!target) fileError(name, s.line, "unknown chip '" + s.value + "'");
    }
    std::string error;
    for (const SettingLine& s : settings) {
        if (s.key == "chip") continue;
        bool ok = s.key.compare(0, 5, "last.") == 0 ? applyCounterSetting(target->lastRun, s.key, s.value, error)
                                                    : applyTargetSetting(*target, s.key, s.value, error);
        if (!ok) fileError(name, s.line, error);
    }

    // Then the memories, each a complete HEX file of its own.
    bool hadFlash = false, hadEeprom = false;
    std::unique_ptr<HexDecoder> decoder;
    int sectionLine = 0;
    for (; at < lines.size(); ++at) {
        std::string line = trim(lines[at]);
        int number = int(at + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            if (decoder && !decoder->ended())
                fileError(name, sectionLine, "the memory has no end record before line " + std::to_string(number));
            bool flash = line == "[flash]";
            if (!flash && line != "[eeprom]") fileError(name, number, "unknown section '" + line + "'");
            bool& had = flash ? hadFlash : hadEeprom;
            if (had) fileError(name, number, "section " + line + " given twice");
            had = true;
            decoder = std::make_unique<HexDecoder>(flash ? target->flash : target->eeprom);
            sectionLine = number;
            continue;
        }
        if (!decoder) fileError(name, number, "expected a section, found '" + line + "'");
        if (!decoder->feed(line, error)) fileError(name, number, error);
    }
    if (decoder && !decoder->ended()) fileError(name, sectionLine, "the memory has no end record");
    return target;
}

std::unique_ptr<VirtualTarget> loadVirtualTarget(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        message(LevelError, "Can't open virtual target '%s'\n", path.c_str());
        throw rtl_error(ExitUsage);
    }
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
        if (text.size() > MaxFileSize) {
            std::fclose(file);
            fileError(path, 0, "the file is too large");
        }
    }
    bool failed = std::ferror(file) != 0;
    int savedErrno = errno;
    std::fclose(file);
    if (failed) {
        message(LevelError, "Can't read virtual target '%s'\n", path.c_str());
        errno = savedErrno;
        throw rtl_error(ExitUsage);
    }
    return parseVirtualTarget(text, path);
}

void saveVirtualTarget(const VirtualTarget& target, const std::string& path) {
    std::string text = formatVirtualTarget(target);
    mode_t mode = newFileMode(path);
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(&temporary[0]);
    bool ok = fd >= 0;
    if (ok) {
        ok = ::fchmod(fd, mode) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
        int savedErrno = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            savedErrno = errno;
        }
        if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
            ok = false;
            savedErrno = errno;
        }
        if (!ok) {
            ::unlink(temporary.c_str());
            errno = savedErrno;
        }
    }
    if (!ok) {
        message(LevelError, "Can't write virtual target '%s'\n", path.c_str());
        throw rtl_error(ExitUsage);
    }
}

}  // namespace mervex
