#include "image/ImageWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "console/Console.h"
#include "console/OpenFile.h"
#include "image/IntelHexRecord.h"

namespace mervex {

namespace {

constexpr uint32_t RecordBytes = 16;

bool allErased(const uint8_t* bytes, uint32_t count) {
    return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0xFF; });
}

// Length of the binary file: the whole image with keepFF, otherwise up to the last
// byte that is not 0xFF, made even. Bytes that the image lacks are not padded.
uint64_t binaryLength(const MemoryImage& image, bool keepFF) {
    if (keepFF) return image.empty() ? 0 : image.last()->endAddress();
    uint64_t highest = 0;
    image.forEach([&highest](const MemoryBlock& block) {
        for (uint32_t i = block.length; i > 0; --i) {
            if (block.data[i - 1] != 0xFF) {
                highest = std::max<uint64_t>(highest, uint64_t(block.address) + (i - 1));
                break;
            }
        }
    });
    return (highest + 2) & ~uint64_t(1);
}

}  // namespace

void writeHexStream(const MemoryImage& image, std::FILE* stream, bool keepFF) {
    auto put = [stream](const std::string& record) {
        std::fputs(record.c_str(), stream);
        std::fputc('\n', stream);
    };
    unsigned upper = 0;
    image.forEach([&](const MemoryBlock& block) {
        for (uint32_t offset = 0; offset < block.length; offset += RecordBytes) {
            const uint32_t count = std::min(RecordBytes, block.length - offset);
            const uint8_t* bytes = block.data.get() + offset;
            const uint32_t address = block.address + offset;
            if (!keepFF && address != 0 && allErased(bytes, count)) continue;
            if ((address >> 16) != upper) {
                upper = address >> 16;
                const uint8_t base[2] = {uint8_t(upper >> 8), uint8_t(upper)};
                put(formatHexRecord(HexLinearBase, 0, base, 2));
            }
            put(formatHexRecord(HexData, uint16_t(address), bytes, count));
        }
    });
    put(formatHexRecord(HexEnd, 0, nullptr, 0));
}

void writeBinaryStream(const MemoryImage& image, std::FILE* stream, bool keepFF) {
    const uint64_t length = binaryLength(image, keepFF);
    image.forEach([&](const MemoryBlock& block) {
        if (block.address >= length) return;
        const uint64_t count = std::min<uint64_t>(block.length, length - block.address);
        std::fwrite(block.data.get(), 1, size_t(count), stream);
    });
}

bool writeImageFile(const MemoryImage& image, const ImageFile& file, bool keepFF) {
    const bool hex = file.format != FormatBinary;
    FilePtr stream = openFile(file.path.c_str(), hex ? "wt" : "wb");
    if (hex)
        writeHexStream(image, stream.get(), keepFF);
    else
        writeBinaryStream(image, stream.get(), keepFF);
    // Buffered data may fail only when flushed or closed (a full disk), so both count.
    bool failed = std::fflush(stream.get()) != 0 || std::ferror(stream.get()) != 0;
    failed = std::fclose(stream.release()) != 0 || failed;
    if (!failed) return true;
    message(LevelError, "%s - write error\n", file.path.c_str());
    // Only the partial regular file goes: the name may be a device such as
    // /dev/full, or a link, and neither is ours to delete.
    struct stat info;
    if (::lstat(file.path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(file.path.c_str());
    return false;
}

}  // namespace mervex
