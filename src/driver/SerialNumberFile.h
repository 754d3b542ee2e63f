#pragma once
// The serial number file: one decimal number, read before a run writes it into
// the image and advanced after a successful write run.
#include <cstdint>
#include <string>

#include "driver/OpenFile.h"

namespace mervex {

class SerialNumberFile {
public:
    // Open the file for reading and update and read its number. An unopenable
    // file gives "Can't open file" (status 70); a file without a number
    // "Can't read %s" (status 50) with a second line that says why.
    void open(const char* path);

    // True between open() and close().
    bool isOpen() const { return stream_ != nullptr; }

    // The number read by open().
    uint32_t number() const { return number_; }

    // Replace the file's contents with number() + 1 and a line end. The new
    // contents go to a temporary file in the same directory that is then
    // renamed over the old one, so a failure never loses the number. On failure:
    // "Can't write %s\nnext serial number is %lu\n", status 50.
    void advance();

    // Close the file, if open.
    void close();

private:
    FilePtr stream_;
    std::string path_;
    uint32_t number_ = 0;
};

}  // namespace mervex
