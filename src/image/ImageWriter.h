#pragma once
// Saving of memory images as Intel HEX or raw binary files.
#include <cstdio>

#include "image/ImageFile.h"
#include "image/MemoryImage.h"

namespace mervex {

// Creates or truncates the file and writes the image in the file's format.
// Without `keepFF`, HEX leaves out 16-byte pieces of all 0xFF (except the one at
// address 0) and binary cuts the trailing 0xFF bytes (even length, at least 2 when
// the image holds a byte). Data that cannot be written deletes the file and
// fails with ExitFile, "%s - write error\n"; a file that cannot be created
// fails with ExitSystem (rtl_error).
void writeImageFile(const MemoryImage& image, const ImageFile& file, bool keepFF);

// Writes the image as Intel HEX records to an open stream.
void writeHexStream(const MemoryImage& image, std::FILE* stream, bool keepFF);

// Writes the image as raw binary to an open stream.
void writeBinaryStream(const MemoryImage& image, std::FILE* stream, bool keepFF);

}  // namespace mervex
