#pragma once
// Finding configuration files: the current directory, the directories of
// MERVEX_CONFIG_PATH, then the directory that holds the program.
#include <cstddef>
#include <vector>

namespace mervex {

// Remember the program's own path (the first argument) and forget any program
// directory found for an earlier one.
void setProgramPath(const char* path);

// Find a configuration file; on success the buffer holds the path to open.
bool findConfigFile(char* buffer, size_t size, const char* name);

// Find the name as given, else in each directory of the ':'-separated lists, in order.
// A name with a directory part is only searched in the lists when it starts with '.'.
bool findInDirectories(char* buffer, size_t size, const char* name, const std::vector<const char*>& lists);

// The directory that holds the program, or nullptr when it cannot be found.
// Computed once per program path.
const char* programDirectory();

// True for an existing regular file (not a directory or device).
bool isRegularFile(const char* path);

// Copy the next ':'-separated name of a directory list into the buffer (cut to
// size - 1 characters) and move the cursor past it; false at the end of the list.
// fullLength, when given, receives the name's length before any cut.
bool nextPathToken(const char*& cursor, char* buffer, size_t size, size_t* fullLength = nullptr);

}  // namespace mervex
