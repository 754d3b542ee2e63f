// Agreement with the GNU and srecord tools: our reader against avr-gcc/avr-objcopy
// output committed in examples/, our writer against objcopy and srec_cat.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/ImageReader.h"
#include "image/ImageTestFiles.h"
#include "image/ImageWriter.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/Shell.h"

namespace mervex {
namespace {

using test::appendBlock;

std::string example(const std::string& name) { return std::string(MERVEX_SOURCE_DIR) + "/examples/" + name; }

MemoryImage readHex(const std::string& path) {
    MemoryImage image;
    readImageFile(image, ImageFile{FormatIntelHex, path});
    return image;
}

// The image as the tools' binary output lays it out: from `base` to the end of the
// last block, gaps filled with zeros.
std::string flatten(const MemoryImage& image, uint32_t base) {
    std::string flat;
    image.forEach([&](const MemoryBlock& b) {
        const size_t at = b.address - base;
        if (flat.size() < at + b.length) flat.resize(at + b.length, '\0');
        flat.replace(at, b.length, reinterpret_cast<const char*>(b.data.get()), b.length);
    });
    return flat;
}

struct Firmware {
    const char* hex;
    const char* bin;
    uint32_t firstAddress;  // lowest address in the file, where the binary starts
    uint32_t endAddress;    // end of the last block
    size_t minBlocks;
};

const Firmware firmwares[] = {
    {"blink-mega8/blink.hex", "blink-mega8/blink.bin", 0, 120, 1},
    {"blink-mega8/blink.eep.hex", "blink-mega8/blink.eep.bin", 0, 8, 1},
    // Code at 0x10000 and a table from 0x1F800 across 128 KiB to 0x21000.
    {"table-mega2560/table.hex", "table-mega2560/table.bin", 0, 0x21000, 4},
};

TEST(Firmware, HexMatchesObjcopyBinary) {
    for (const Firmware& f : firmwares) {
        SCOPED_TRACE(f.hex);
        test::CaptureConsole capture;
        MemoryImage image = readHex(example(f.hex));
        EXPECT_EQ(capture.out(), "");
        ASSERT_FALSE(image.empty());
        EXPECT_GE(image.count(), f.minBlocks);
        EXPECT_EQ(image.first()->address, f.firstAddress);
        EXPECT_EQ(image.last()->endAddress(), f.endAddress);
        EXPECT_EQ(flatten(image, f.firstAddress), test::readFile(example(f.bin)));
    }
}

TEST(Firmware, RoundTripThroughOurWriter) {
    const std::string path = test::scratchPath("roundtrip.hex");
    for (const Firmware& f : firmwares) {
        for (bool keepFF : {true, false}) {
            SCOPED_TRACE(std::string(f.hex) + (keepFF ? " keep 0xFF" : ""));
            MemoryImage original = readHex(example(f.hex));
            writeImageFile(original, ImageFile{FormatIntelHex, path}, keepFF);
            MemoryImage back = readHex(path);
            if (keepFF) {
                EXPECT_EQ(test::spansOf(back), test::spansOf(original));
            } else {
                // Only whole 16-byte pieces of 0xFF may be left out.
                std::string had = flatten(original, 0), got = flatten(back, 0);
                got.resize(had.size(), '\0');
                for (size_t i = 0; i < had.size(); ++i) {
                    if (got[i] != had[i]) {
                        ASSERT_EQ(uint8_t(had[i]), 0xFF) << "at " << i;
                    }
                }
            }
        }
    }
    // A gap-free image from 0 also saves as the same binary.
    MemoryImage blink = readHex(example("blink-mega8/blink.hex"));
    const std::string bin = test::scratchPath("roundtrip.bin");
    writeImageFile(blink, ImageFile{FormatBinary, bin}, true);
    EXPECT_EQ(test::readFile(bin), test::readFile(example("blink-mega8/blink.bin")));
}

// An image with data on both sides of 64 KiB and 128 KiB, with records that
// straddle those boundaries and pieces of 0xFF that the writer may leave out.
MemoryImage highImage() {
    MemoryImage image;
    auto run = [](size_t n, unsigned seed) {
        std::vector<uint8_t> bytes(n);
        for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(seed + i * 31 + i / 256);
        return bytes;
    };
    appendBlock(image, 0, run(100, 1));
    appendBlock(image, 0xFFF7, run(50, 2));                     // crosses 64 KiB
    appendBlock(image, 0x18000, std::vector<uint8_t>(64, 0xFF));  // erased
    appendBlock(image, 0x1FFE3, run(4096, 3));                  // crosses 128 KiB
    appendBlock(image, 0x30001, run(33, 4));
    return image;
}

TEST(Interop, ToolsReadOurHexFiles) {
    struct Tool {
        const char* name;
        const char* before;  // command text before the input path
        const char* between;  // between input and output path
        const char* after;
    } tools[] = {
        {"objcopy", "objcopy -I ihex -O binary '", "' '", "'"},
        {"srec_cat", "srec_cat '", "' -intel -o '", "' -binary"},
    };
    bool ranAny = false;
    for (const Tool& tool : tools) {
        if (!test::haveProgram(tool.name)) continue;
        ranAny = true;
        for (bool keepFF : {true, false}) {
            SCOPED_TRACE(std::string(tool.name) + (keepFF ? " keep 0xFF" : ""));
            const std::string hex = test::scratchPath("interop.hex");
            const std::string bin = test::scratchPath("interop.bin");
            MemoryImage image = highImage();
            writeImageFile(image, ImageFile{FormatIntelHex, hex}, keepFF);
            const std::string command = tool.before + hex + tool.between + bin + tool.after;
            const test::Outcome ran = test::runShell(command);
            ASSERT_EQ(ran.status, 0) << command << "\n" << ran.out;
            // The tool must see exactly what our reader sees in the file, and with
            // keepFF that is the whole image.
            MemoryImage back = readHex(hex);
            if (keepFF) {
                EXPECT_EQ(flatten(back, 0), flatten(image, 0));
            }
            const std::string converted = test::readFile(bin);
            EXPECT_EQ(converted.size(), 0x30022u);
            EXPECT_TRUE(converted == flatten(back, 0)) << "tool output differs";
        }
    }
    if (!ranAny) GTEST_SKIP() << "neither objcopy nor srec_cat is installed";
}

}  // namespace
}  // namespace mervex
