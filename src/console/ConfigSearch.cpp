#include "console/ConfigSearch.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "console/Console.h"

namespace mervex {

namespace {

constexpr size_t ProgramPathSize = 1024;

// Copy text into buffer when it fits whole; a cut path would name another file.
bool copyWhole(char* buffer, size_t size, const char* text) {
    const size_t length = std::strlen(text);
    if (length >= size) return false;
    std::memcpy(buffer, text, length + 1);
    return true;
}

}  // namespace

bool isRegularFile(const char* path) {
    struct stat info;
    return path != nullptr && stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

bool nextPathToken(const char*& cursor, char* buffer, size_t size, size_t* fullLength) {
    if (cursor == nullptr || buffer == nullptr || size < 1) return false;
    while (*cursor == ':') ++cursor;
    if (*cursor == '\0') return false;
    const size_t length = std::strcspn(cursor, ":");
    const size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, cursor, copied);
    buffer[copied] = '\0';
    if (fullLength != nullptr) *fullLength = length;
    cursor += length;
    if (*cursor == ':') ++cursor;
    return true;
}

bool findInDirectories(char* buffer, size_t size, const char* name, const std::vector<const char*>& lists) {
    if (buffer == nullptr || name == nullptr || size < 1) return false;
    if (isRegularFile(name)) return copyWhole(buffer, size, name);
    if (lists.empty()) return false;
    if (std::strchr(name, '/') != nullptr && name[0] != '.') return false;
    const size_t nameLength = std::strlen(name);
    if (size <= nameLength + 1) return false;
    const size_t room = size - nameLength - 1;
    for (const char* list : lists) {
        const char* cursor = list;
        size_t dirLength = 0;
        while (nextPathToken(cursor, buffer, room, &dirLength)) {
            // A directory cut short would name another place; skip it.
            if (dirLength >= room) continue;
            if (buffer[dirLength - 1] != '/') {
                buffer[dirLength++] = '/';
            }
            std::memcpy(buffer + dirLength, name, nameLength + 1);
            if (isRegularFile(buffer)) return true;
        }
    }
    buffer[0] = '\0';
    return false;
}

std::string programDirectory(const char* programPath) {
    if (programPath == nullptr) return {};
    char directory[ProgramPathSize];
    bool found;
    if (std::strchr(programPath, '/') == nullptr) {
        std::vector<const char*> lists;
        if (const char* pathVariable = std::getenv("PATH")) lists.push_back(pathVariable);
        found = findInDirectories(directory, sizeof directory, programPath, lists);
    } else {
        found = copyWhole(directory, sizeof directory, programPath);
    }
    if (!found) return {};
    char* slash = std::strrchr(directory, '/');
    if (slash == nullptr) return ".";  // found in the current directory under its bare name
    if (slash == directory) return "/";
    return std::string(directory, slash);
}

const char* installedDataDirectory() {
#ifdef MERVEX_DATADIR
    return MERVEX_DATADIR;
#else
    return nullptr;
#endif
}

const char* relativeDataDirectory() {
#ifdef MERVEX_DATADIR_FROM_BINDIR
    return MERVEX_DATADIR_FROM_BINDIR;
#else
    return nullptr;
#endif
}

bool findConfigFile(char* buffer, size_t size, const char* name, const char* programPath) {
    return findConfigFile(buffer, size, name, programPath, installedDataDirectory());
}

bool findConfigFile(char* buffer, size_t size, const char* name, const char* programPath,
                    const char* dataDirectory) {
    if (buffer == nullptr || name == nullptr || size < 1) return false;
    std::vector<const char*> lists;
    const char* configPath = std::getenv("MERVEX_CONFIG_PATH");
    const bool defined = configPath != nullptr && *configPath != '\0';
    message(LevelTrace, "Config path %s\n", defined ? configPath : "not defined");
    if (defined) lists.push_back(configPath);
    std::string movedDataDirectory;
    const std::string directory = programDirectory(programPath);
    if (!directory.empty()) {
        message(LevelTrace, "Program path %s\n", directory.c_str());
        lists.push_back(directory.c_str());
        // An installed tree that was moved (DESTDIR, an unpacked package) keeps
        // its data beside the program's directory, not at the built-in place.
        const char* relative = relativeDataDirectory();
        if (relative != nullptr && *relative != '\0') {
            movedDataDirectory = directory + "/" + relative;
        }
    }
    // The data directories come last, so that a user's own file of the same name always wins.
    for (const char* data : {movedDataDirectory.c_str(), dataDirectory}) {
        if (data == nullptr || *data == '\0') continue;
        message(LevelTrace, "Data path %s\n", data);
        lists.push_back(data);
    }
    return findInDirectories(buffer, size, name, lists);
}

}  // namespace mervex
