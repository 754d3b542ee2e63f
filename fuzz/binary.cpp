// Feeds arbitrary bytes to the raw binary reader: the image must hold exactly
// the file's bytes from address 0, and writing it back must give them again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "console/Errors.h"
#include "image/ImageReader.h"
#include "image/ImageWriter.h"

using namespace mervex;
using namespace mervex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState(LevelTrace);
    // An empty input reads as the empty file it stands for.
    std::FILE* in = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : std::fopen("/dev/null", "rb");
    if (in == nullptr) return 0;
    MemoryImage image;
    try {
        readBinaryStream(image, in, "fuzz-input");
    } catch (const app_error&) {
        std::abort();  // every byte string is a binary image
    }
    std::fclose(in);

    std::vector<uint8_t> bytes;
    image.forEach([&bytes](const MemoryBlock& b) {
        check(b.address == bytes.size());
        check(b.length >= 1 && b.length <= 4096);
        bytes.insert(bytes.end(), b.data.get(), b.data.get() + b.length);
    });
    check(bytes.size() == size && (size == 0 || std::memcmp(bytes.data(), data, size) == 0));

    char* text = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    if (out == nullptr) return 0;
    writeBinaryStream(image, out, true);
    std::fclose(out);
    check(length == size && (size == 0 || std::memcmp(text, data, size) == 0));
    std::free(text);
    return 0;
}
