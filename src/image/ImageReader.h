#pragma once
// Loading of code and data files (Intel HEX or raw binary) into memory images.
#include <cstdio>
#include <string>

#include "console/Console.h"
#include "image/ElfReader.h"
#include "image/ImageFile.h"
#include "image/MemoryImage.h"

namespace mervex {

// Gives the user's answer to the checksum prompt: the first character of an
// answer line, EOF when there is no more input.
using AnswerSource = int (*)();

// Appends the file's data to `image` (passed empty). HEX blocks come out sorted by
// address, at most 4096 bytes each; binary blocks are 4096 bytes from address 0.
// An ELF file (":elf:", or a file without prefix that begins like one) gives its
// flash contents to `image` and the rest to `*parts`, when given.
// Prints the message and throws app_error(50) for bad file contents; an unopenable
// file gives rtl_error(70). A HEX checksum error asks `answer` once per file.
void readImageFile(MemoryImage& image, const ImageFile& file, AnswerSource answer = readConsoleAnswer,
                   FirmwareParts* parts = nullptr);

// The Intel HEX part of readImageFile on an open stream; `name` is the path used in
// messages.
void readHexStream(MemoryImage& image, std::FILE* stream, const std::string& name,
                   AnswerSource answer = readConsoleAnswer);

// The binary part of readImageFile on an open stream.
void readBinaryStream(MemoryImage& image, std::FILE* stream, const std::string& name);

}  // namespace mervex
