#pragma once
// Replacing (or creating) a small file's contents so that no reader ever sees
// it half written and a crash or power loss leaves the old contents or the new ones.
#include <string>

#include "base/LockedFile.h"

namespace mervex {

// Write text to a temporary file in the file's directory, flush it to disk,
// rename it over the file and flush the directory. The file keeps its mode (a
// new one gets 0666 less the umask). A symbolic link stays a link: the file it
// names is replaced. False with errno set on failure; the file is then as it
// was and no temporary file is left. With a holder of the file, the new file
// is locked before it takes the name and the holder moves onto it, so the name
// never stands for an unlocked file while the holder lives.
bool replaceFile(const std::string& path, const std::string& text, LockedFile* holder = nullptr);

// The same for a file that must not exist yet: the new file takes the name
// only if nothing has it, so of two callers creating one path the second
// fails (errno EEXIST) and the first file stays.
bool createFile(const std::string& path, const std::string& text);

// Flush the directory that holds path, so that a file just created or renamed
// there survives a power loss. False with errno set on failure.
bool syncDirectoryOf(const std::string& path);

}  // namespace mervex
