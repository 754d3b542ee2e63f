#pragma once
// Finding configuration files: the current directory, the directories of
// MERVEX_CONFIG_PATH, the directory that holds the program, then the installed
// data directory.
#include <cstddef>
#include <string>
#include <vector>

namespace mervex {

// Find a configuration file; on success the buffer holds the path to open.
// programPath is how the program was started (its first argument; nullptr:
// the program's directory is not searched).
bool findConfigFile(char* buffer, size_t size, const char* name, const char* programPath);

// The same search with the given data directory (nullptr: none) in place of the
// built-in one, searched after every other place.
bool findConfigFile(char* buffer, size_t size, const char* name, const char* programPath,
                    const char* dataDirectory);

// Where the installed pin maps live, or nullptr when the build names no such place.
const char* installedDataDirectory();

// The same place relative to the installed program's directory ("../share/mervex"),
// searched before installedDataDirectory() so that a moved install finds its own
// files; nullptr when the build does not say.
const char* relativeDataDirectory();

// Find the name as given, else in each directory of the ':'-separated lists, in order.
// A name with a directory part is only searched in the lists when it starts with '.'.
bool findInDirectories(char* buffer, size_t size, const char* name, const std::vector<const char*>& lists);

// The directory that holds the program started as programPath (looked up
// through PATH when it has no directory part); empty when it cannot be found.
std::string programDirectory(const char* programPath);

// True for an existing regular file (not a directory or device).
bool isRegularFile(const char* path);

// Copy the next ':'-separated name of a directory list into the buffer (cut to
// size - 1 characters) and move the cursor past it; false at the end of the list.
// fullLength, when given, receives the name's length before any cut.
bool nextPathToken(const char*& cursor, char* buffer, size_t size, size_t* fullLength = nullptr);

}  // namespace mervex
