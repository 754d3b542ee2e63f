#include "sim/VirtualTargetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "base/ReplaceFile.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "sim/TargetHex.h"
#include "sim/TargetSettings.h"

namespace mervex {

const char* const VirtualTargetMagic = "mervex virtual target, format ";

namespace {

constexpr size_t MaxFileSize = 64u << 20;  // far above the largest chip's text
// The last line of every file written, so that a file cut short is never taken for a whole one.
constexpr const char* EndLine = "[end]";

// Where in the file a failure arose, as its message begins.
std::string placeIn(const std::string& name, int line) {
    return "Virtual target '" + name + (line > 0 ? "', line " + std::to_string(line) : std::string("'")) + ": ";
}

[[noreturn]] void fileError(const std::string& name, int line, const std::string& reason) {
    throw app_error(ExitUsage, "%s%s\n", placeIn(name, line).c_str(), reason.c_str());
}

// A line's blanks; other white space is part of its text.
std::string trimLine(const std::string& text) { return trim(text, " \t\r"); }

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
    text += "\n";
    text += EndLine;
    text += "\n";
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
    if (lines.empty()) fileError(name, 0, "the file is empty");
    const std::string magic = VirtualTargetMagic;
    if (lines.size() == 1 && !hasVirtualTargetHeader(lines[0]) && magic.compare(0, lines[0].size(), lines[0]) == 0)
        fileError(name, 1, "the file ends inside its first line");
    if (!hasVirtualTargetHeader(lines[0]))
        fileError(name, 1, "not a virtual target (the first line must begin with \"" +
                               std::string(VirtualTargetMagic) + "\")");
    std::string version = trimLine(lines[0].substr(std::strlen(VirtualTargetMagic)));
    if (version != std::to_string(VirtualTargetFormat))
        fileError(name, 1, "format " + version + " is not supported (this program reads format " +
                               std::to_string(VirtualTargetFormat) + ")");

    // Settings first: the chip decides how the others are checked.
    std::vector<SettingLine> settings;
    std::map<std::string, int> seen;
    size_t at = 1;
    for (; at < lines.size(); ++at) {
        std::string line = trimLine(lines[at]);
        int number = int(at + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') break;
        size_t equals = line.find('=');
        if (equals == std::string::npos) fileError(name, number, "expected KEY = VALUE, found '" + line + "'");
        SettingLine s{trimLine(line.substr(0, equals)), trimLine(line.substr(equals + 1)), number};
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
    for (const SettingLine& s : settings) {
        if (s.key == "chip") continue;
        try {
            if (s.key.compare(0, 5, "last.") == 0)
                applyCounterSetting(target->lastRun, s.key, s.value);
            else
                applyTargetSetting(*target, s.key, s.value);
        } catch (const app_error& failure) {
            throw failureAt(failure, ExitUsage, placeIn(name, s.line));
        }
    }

    // Then the memories, each a complete HEX file of its own.
    bool hadFlash = false, hadEeprom = false;
    int endLine = 0;
    std::unique_ptr<HexDecoder> decoder;
    int sectionLine = 0;
    for (; at < lines.size(); ++at) {
        std::string line = trimLine(lines[at]);
        int number = int(at + 1);
        if (line.empty() || line[0] == '#') continue;
        if (endLine > 0)
            fileError(name, number, "text after the line " + std::string(EndLine) + " on line " + std::to_string(endLine));
        if (line[0] == '[') {
            if (decoder && !decoder->ended())
                fileError(name, sectionLine, "the memory has no end record before line " + std::to_string(number));
            if (line == EndLine) {
                endLine = number;
                continue;
            }
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
        try {
            decoder->feed(line);
        } catch (const app_error& failure) {
            throw failureAt(failure, ExitUsage, placeIn(name, number));
        }
    }
    if (decoder && !decoder->ended()) fileError(name, sectionLine, "the memory has no end record");
    // Files of the first version have no end line but always both memories;
    // anything less is a file cut short, not an erased chip.
    if (endLine == 0 && !(hadFlash && hadEeprom))
        fileError(name, 0, std::string("the file is cut short (it ends before its ") +
                               (hadFlash ? "[eeprom]" : "[flash]") + " section, without the closing line " + EndLine + ")");
    return target;
}

namespace {

// The text of the file open on fd, from its start whatever the descriptor's
// offset; name is the path for messages.
std::string readTargetText(int fd, const std::string& name) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) fileError(name, 0, "not a regular file");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, off_t(text.size()));
        if (n == 0) return text;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw rtl_error(ExitSystem, "Can't read virtual target '%s'\n", name.c_str());
        }
        text.append(buffer, size_t(n));
        if (text.size() > MaxFileSize) fileError(name, 0, "the file is too large");
    }
}

}  // namespace

std::unique_ptr<VirtualTarget> loadVirtualTarget(const std::string& path) {
    // Non-blocking: the path may name a FIFO, whose open would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw rtl_error(ExitSystem, "Can't open virtual target '%s'\n", path.c_str());
    }
    std::string text;
    try {
        text = readTargetText(fd, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return parseVirtualTarget(text, path);
}

std::unique_ptr<VirtualTarget> loadVirtualTarget(const LockedFile& file, const std::string& path) {
    return parseVirtualTarget(readTargetText(file.fd(), path), path);
}

LockedFile holdVirtualTarget(const std::string& path) {
    LockedFile file;
    if (file.tryOpen(path)) return file;
    if (errno == EWOULDBLOCK) {
        throw app_error(ExitSystem, "Virtual target '%s' is in use by another process\n", path.c_str());
    }
    throw rtl_error(ExitSystem, "Can't open virtual target '%s'\n", path.c_str());
}

void saveVirtualTarget(const VirtualTarget& target, const std::string& path, LockedFile* holder) {
    if (!replaceFile(path, formatVirtualTarget(target), holder)) {
        throw rtl_error(ExitSystem, "Can't write virtual target '%s'\n", path.c_str());
    }
}

bool createVirtualTarget(const VirtualTarget& target, const std::string& path) {
    if (createFile(path, formatVirtualTarget(target))) return true;
    if (errno == EEXIST) return false;
    throw rtl_error(ExitSystem, "Can't write virtual target '%s'\n", path.c_str());
}

}  // namespace mervex
