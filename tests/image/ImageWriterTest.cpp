#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "console/Errors.h"
#include "image/ImageReader.h"
#include "image/ImageTestFiles.h"
#include "image/ImageWriter.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/StatusOf.h"

namespace mervex {
namespace {

using test::appendBlock;
using test::hexRecord;

std::string writeToText(const MemoryImage& image, uint8_t format, bool keepFF) {
    const std::string path = test::scratchPath(format == FormatBinary ? "writer-output.bin" : "writer-output.hex");
    test::CaptureConsole capture;
    writeImageFile(image, ImageFile{format, path}, keepFF);
    EXPECT_EQ(capture.out(), "");
    return test::readFile(path);
}

// Image read from a chip: contiguous 512-byte blocks from 0, all 0xFF except `set`.
MemoryImage chipImage(uint32_t size, const std::vector<std::pair<uint32_t, uint8_t>>& set) {
    std::vector<uint8_t> bytes(size, 0xFF);
    for (auto [address, value] : set) bytes[address] = value;
    MemoryImage image;
    for (uint32_t a = 0; a < size; a += 512)
        image.append(std::make_unique<MemoryBlock>(a, std::min(512u, size - a), bytes.data() + a));
    return image;
}

size_t countOf(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

TEST(HexWriter, RecordLayout) {
    std::vector<uint8_t> first32(32);
    for (int i = 0; i < 32; ++i) first32[i] = uint8_t(i);
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> blocks;
        std::string expected;
    } cases[] = {
        {"32 bytes at 0", {{0, first32}},
         ":10000000000102030405060708090A0B0C0D0E0F78\n:10001000101112131415161718191A1B1C1D1E1F68\n:00000001FF\n"},
        {"pieces from the block start", {{8, std::vector<uint8_t>(20, 0xAB)}},
         hexRecord(0, 8, std::vector<uint8_t>(16, 0xAB)) + "\n" + hexRecord(0, 0x18, std::vector<uint8_t>(4, 0xAB)) +
             "\n:00000001FF\n"},
        {"a record never spans two blocks", {{0, {1, 2}}, {2, {3}}},
         hexRecord(0, 0, {1, 2}) + "\n" + hexRecord(0, 2, {3}) + "\n:00000001FF\n"},
        {"empty image", {}, ":00000001FF\n"},
        {"erased piece at 0 is kept, others dropped", {{0, std::vector<uint8_t>(48, 0xFF)}},
         hexRecord(0, 0, std::vector<uint8_t>(16, 0xFF)) + "\n:00000001FF\n"},
        {"address record only when the upper half changes",
         {{0x1FFF0, std::vector<uint8_t>(32, 0)}, {0x20010, {5}}, {0x80000000u, {6}}},
         ":020000040001F9\n" + hexRecord(0, 0xFFF0, std::vector<uint8_t>(16, 0)) + "\n:020000040002F8\n" +
             hexRecord(0, 0, std::vector<uint8_t>(16, 0)) + "\n" + hexRecord(0, 0x10, {5}) + "\n:020000048000 7A\n" +
             hexRecord(0, 0, {6}) + "\n:00000001FF\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string expected = c.expected;
        expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
        MemoryImage image;
        for (auto& [address, bytes] : c.blocks) appendBlock(image, address, bytes);
        EXPECT_EQ(writeToText(image, FormatIntelHex, false), expected);
    }
}

TEST(HexWriter, ChipImageOf256KiB) {
    MemoryImage image = chipImage(256 * 1024, {{0x20010, 0x5A}});
    std::vector<uint8_t> piece(16, 0xFF);
    piece[0] = 0x5A;
    EXPECT_EQ(writeToText(image, FormatIntelHex, false),
              hexRecord(0, 0, std::vector<uint8_t>(16, 0xFF)) + "\n:020000040002F8\n" + hexRecord(0, 0x10, piece) +
                  "\n:00000001FF\n");

    const std::string all = writeToText(image, FormatIntelHex, true);
    EXPECT_EQ(countOf(all, "\n"), 16384u + 3u + 1u);
    EXPECT_EQ(countOf(all, ":0200000400"), 3u);
    EXPECT_NE(all.find(":020000040001F9\n"), std::string::npos);
    EXPECT_NE(all.find(":020000040003F7\n"), std::string::npos);
    // What was written reads back as the same memory.
    const std::string path = test::scratchPath("writer-output.hex");
    MemoryImage back;
    readImageFile(back, ImageFile{FormatIntelHex, path});
    EXPECT_EQ(test::spansOf(back), test::spansOf(image));
}

TEST(BinaryWriter, Lengths) {
    struct Case {
        const char* name;
        uint32_t size;
        std::vector<std::pair<uint32_t, uint8_t>> set;
        bool keepFF;
        size_t length;
    } cases[] = {
        {"last byte at 0x101", 8192, {{0x101, 0}}, false, 258},
        {"last byte at 0x100", 8192, {{0x100, 0}}, false, 258},
        {"erased", 8192, {}, false, 2},
        {"only byte 0 used", 8192, {{0, 0x12}}, false, 2},
        {"last byte at the top", 8192, {{8191, 0}}, false, 8192},
        {"keep 0xFF", 8192, {{0x100, 0}}, true, 8192},
        {"empty", 0, {}, false, 0},
        {"empty, keep 0xFF", 0, {}, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image = chipImage(c.size, c.set);
        const std::string bytes = writeToText(image, FormatBinary, c.keepFF);
        ASSERT_EQ(bytes.size(), c.length);
        for (auto [address, value] : c.set) {
            if (address < c.length) {
                EXPECT_EQ(uint8_t(bytes[address]), value);
            }
        }
    }
}

TEST(ImageWriter, UncreatableFileIsAnOpenError) {
    const std::string path = test::scratchPath("no-such-dir/out.hex");
    test::CaptureConsole capture;
    MemoryImage image;
    try {
        writeImageFile(image, ImageFile{FormatIntelHex, path}, false);
        ADD_FAILURE() << "no exception";
    } catch (const rtl_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitSystem);
    }
    EXPECT_EQ(capture.out(), "ERROR:  Can't open file '" + path + "'\nERROR:  No such file or directory\n");
}

// A file-size limit makes the writes fail the way a full disk does. Runs in a
// child process so the limit stays there.
TEST(ImageWriter, WriteErrorIsReportedAndLeavesNoFile) {
    for (uint8_t format : {FormatIntelHex, FormatBinary}) {
        SCOPED_TRACE(int(format));
        const std::string path = test::scratchPath("too-large.out");
        const std::string log = test::scratchPath("too-large.log");
        MemoryImage image = chipImage(64 * 1024, {});
        std::fflush(nullptr);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {1000, 1000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            int failed;
            std::string out;
            {
                test::CaptureConsole capture;
                failed = test::statusOf([&] { writeImageFile(image, ImageFile{format, path}, true); });
                out = capture.out();
            }
            limit = {RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            test::writeFile(log, out);
            std::_Exit(failed == ExitFile ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the writer did not fail with status 50";
        EXPECT_EQ(test::readFile(log), "ERROR:  " + path + " - write error\n");
        EXPECT_FALSE(test::fileExists(path));
    }
}

}  // namespace
}  // namespace mervex
