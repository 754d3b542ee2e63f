#include "console/OpenFile.h"

#include <cerrno>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

FilePtr openFile(const char* path, const char* mode) {
    if (path == nullptr) path = "";
    FilePtr file(std::fopen(path, mode));
    if (!file) {
        throw rtl_error(ExitSystem, "Can't open file '%s'\n", path);
    }
    return file;
}

}  // namespace mervex
