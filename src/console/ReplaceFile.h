#pragma once
// Replacing a small file's contents so that no reader ever sees it half
// written and a crash or power loss leaves the old contents or the new ones.
#include <string>

namespace mervex {

// Write text to a temporary file in the file's directory, flush it to disk,
// rename it over the file and flush the directory. The file keeps its mode (a
// new one gets 0666 less the umask). A symbolic link stays a link: the file it
// names is replaced. False with errno set on failure; the file is then as it
// was and no temporary file is left.
bool replaceFile(const std::string& path, const std::string& text);

// Flush the directory that holds path, so that a file just created or renamed
// there survives a power loss. False with errno set on failure.
bool syncDirectoryOf(const std::string& path);

}  // namespace mervex
