#pragma once
// Streams of image files, closed by their owner.
#include <cstdio>
#include <memory>
#include <string>

namespace mervex {

struct FileCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens an image file with the C library's mode text. On failure prints
// "Can't open file '%s'\n" and throws rtl_error with status 70.
UniqueFile openImageStream(const std::string& path, const char* mode);

}  // namespace mervex
