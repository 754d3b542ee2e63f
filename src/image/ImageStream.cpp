#include "image/ImageStream.h"

#include <cerrno>

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

UniqueFile openImageStream(const std::string& path, const char* mode) {
    UniqueFile stream(std::fopen(path.c_str(), mode));
    if (!stream) {
        const int openErrno = errno;  // printing may overwrite it
        message(LevelError, "Can't open file '%s'\n", path.c_str());
        errno = openErrno;
        throw rtl_error(ExitUsage);
    }
    return stream;
}

}  // namespace mervex
