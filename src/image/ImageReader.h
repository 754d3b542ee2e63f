#pragma once
// Loading of code and data files (Intel HEX or raw binary) into memory images.
#include <cstdint>
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

// Where the data of a file must end, and how the "Can't fit %s in %s\n" message
// names the file and the memory when it does not. Reading stops at the first
// byte past the end, and a HEX file may not be much longer than a file of the
// whole memory, so any input, endless ones too, is read in bounded time and
// memory.
struct ImageBounds {
    uint64_t end = uint64_t(1) << 32;  // first address past the memory
    // A second place the data may lie in, [windowStart, windowEnd), such as
    // avr-gcc's address for the EEPROM; none by default.
    uint64_t windowStart = 0;
    uint64_t windowEnd = 0;
    std::string what;  // the file; its path when empty
    std::string memory = "the 4 GiB address space";

    // Whether count bytes from address lie within the bounds.
    bool hold(uint64_t address, uint64_t count) const {
        return address + count <= end || (address >= windowStart && address + count <= windowEnd);
    }
};

// Refuse data that lies beyond its memory: "Can't fit WHAT in MEMORY", status 50.
[[noreturn]] void cannotFit(const std::string& what, const std::string& memory);

// Appends the file's data to `image` (passed empty). HEX blocks come out sorted by
// address, at most 4096 bytes each; binary blocks are 4096 bytes from address 0.
// An ELF file (":elf:", or a file without prefix that begins like one) gives its
// flash contents to `image` and the rest to `*parts`, when given.
// Prints the message and throws app_error(50) for bad file contents; an unopenable
// file gives rtl_error(70). A HEX checksum error asks `answer` once per file.
void readImageFile(MemoryImage& image, const ImageFile& file, AnswerSource answer = readConsoleAnswer,
                   FirmwareParts* parts = nullptr, const ImageBounds& bounds = {});

// The Intel HEX part of readImageFile on an open stream; `name` is the path used in
// messages.
void readHexStream(MemoryImage& image, std::FILE* stream, const std::string& name,
                   AnswerSource answer = readConsoleAnswer, const ImageBounds& bounds = {});

// The binary part of readImageFile on an open stream.
void readBinaryStream(MemoryImage& image, std::FILE* stream, const std::string& name,
                      const ImageBounds& bounds = {});

}  // namespace mervex
