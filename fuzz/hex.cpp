// Feeds arbitrary bytes to the Intel HEX reader. Whatever it accepts must form a
// sound image, and writing that image and reading it back must give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "console/Console.h"
#include "console/Errors.h"
#include "image/ImageReader.h"
#include "image/ImageWriter.h"

using namespace mervex;

namespace {

// Odd-sized inputs accept checksum errors, even-sized ones refuse them.
int answer = EOF;
int scriptedAnswer() { return answer; }

void check(bool condition) {
    if (!condition) std::abort();
}

std::map<uint32_t, uint8_t> bytesOf(const MemoryImage& image) {
    std::map<uint32_t, uint8_t> bytes;
    image.forEach([&bytes](const MemoryBlock& b) {
        for (uint32_t i = 0; i < b.length; ++i) bytes[b.address + i] = b.data[i];
    });
    return bytes;
}

// Sorted, bounded blocks; overlaps only with equal bytes.
void checkImage(const MemoryImage& image) {
    const MemoryBlock* previous = nullptr;
    std::map<uint32_t, uint8_t> seen;
    image.forEach([&](const MemoryBlock& b) {
        check(b.length >= 1 && b.length <= 4096);
        check(b.endAddress() <= (uint64_t(1) << 32));
        if (previous != nullptr)
            check(previous->address < b.address ||
                  (previous->address == b.address && previous->lastAddress() <= b.lastAddress()));
        for (uint32_t i = 0; i < b.length; ++i) {
            auto [at, fresh] = seen.emplace(b.address + i, b.data[i]);
            check(fresh || at->second == b.data[i]);
        }
        previous = &b;
    });
}

std::FILE* sink() {
    static std::FILE* devNull = std::fopen("/dev/null", "w");
    return devNull;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    console().redirect(sink(), sink(), false, false);
    console().level = LevelTrace;  // format every message too
    if (size == 0) return 0;       // fmemopen refuses an empty buffer
    answer = size % 2 ? 'y' : EOF;

    std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr) return 0;
    MemoryImage image;
    bool accepted = true;
    try {
        readHexStream(image, in, "fuzz-input", scriptedAnswer);
    } catch (const app_error&) {
        accepted = false;
    }
    std::fclose(in);
    if (!accepted) return 0;
    checkImage(image);

    char* text = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    if (out == nullptr) return 0;
    writeHexStream(image, out, true);
    std::fclose(out);
    std::FILE* again = fmemopen(text, length, "r");
    MemoryImage back;
    try {
        readHexStream(back, again, "fuzz-output", scriptedAnswer);
    } catch (const app_error&) {
        std::abort();  // our own output must always read
    }
    std::fclose(again);
    std::free(text);
    check(bytesOf(back) == bytesOf(image));
    return 0;
}
