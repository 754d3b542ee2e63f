#include "image/ImageWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "console/Errors.h"
#include "console/OpenFile.h"
#include "image/IntelHexRecord.h"

namespace mervex {

namespace {

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
    HexRecordWriter writer(
        [stream](const std::string& record) {
            std::fputs(record.c_str(), stream);
            std::fputc('\n', stream);
        },
        keepFF ? ErasedRecords::Written : ErasedRecords::LeftOutButAtZero);
    image.forEach([&writer](const MemoryBlock& block) { writer.data(block.address, block.data.get(), block.length); });
    writer.end();
}

void writeBinaryStream(const MemoryImage& image, std::FILE* stream, bool keepFF) {
    const uint64_t length = binaryLength(image, keepFF);
    image.forEach([&](const MemoryBlock& block) {
        if (block.address >= length) return;
        const uint64_t count = std::min<uint64_t>(block.length, length - block.address);
        std::fwrite(block.data.get(), 1, size_t(count), stream);
    });
}

void writeImageFile(const MemoryImage& image, const ImageFile& file, bool keepFF) {
    const bool hex = file.format != FormatBinary;
    FilePtr stream = openFile(file.path.c_str(), hex ? "wt" : "wb");
    if (hex)
        writeHexStream(image, stream.get(), keepFF);
    else
        writeBinaryStream(image, stream.get(), keepFF);
    // Buffered data may fail only when flushed or closed (a full disk), so both count.
    bool failed = std::fflush(stream.get()) != 0 || std::ferror(stream.get()) != 0;
    failed = std::fclose(stream.release()) != 0 || failed;
    if (!failed) return;
    // Only the partial regular file goes: the name may be a device such as
    // /dev/full, or a link, and neither is ours to delete.
    struct stat info;
    if (::lstat(file.path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) std::remove(file.path.c_str());
    throw app_error(ExitFile, "%s - write error\n", file.path.c_str());
}

}  // namespace mervex
