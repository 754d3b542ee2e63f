#pragma once
// Opening files with the standard failure report.
#include <cstdio>
#include <memory>

namespace mervex {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) std::fclose(file);
    }
};

// An open stream, closed when its owner goes.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Open the file or report "Can't open file" and throw rtl_error with status 70.
FilePtr openFile(const char* path, const char* mode);

}  // namespace mervex
