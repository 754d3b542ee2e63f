#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "console/Errors.h"
#include "image/ImageReader.h"
#include "image/ImageTestFiles.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"

namespace mervex {
namespace {

using test::BlockList;
using test::blocksOf;
using test::hexRecord;

// Scripted answers to the checksum prompt.
std::string answers;
size_t answersGiven = 0;  // prompts answered, EOF included
int scriptedAnswer() {
    const size_t i = answersGiven++;
    return i < answers.size() ? answers[i] : EOF;
}

struct ReadResult {
    int status = 0;  // 0 when the read returned
    std::string out;
    BlockList blocks;
    std::map<uint32_t, uint8_t> bytes;
};

ReadResult readFile(const std::string& path, const std::string& reply, uint8_t format, const ImageBounds& bounds) {
    answers = reply;
    answersGiven = 0;
    ReadResult result;
    MemoryImage image;
    {
        test::CaptureConsole capture;
        try {
            readImageFile(image, ImageFile{format, path}, scriptedAnswer, nullptr, bounds);
        } catch (const app_error& e) {
            reportFailure(e);
            result.status = e.status();
        }
        result.out = capture.out();
    }
    result.blocks = blocksOf(image);
    result.bytes = test::bytesOf(image);
    return result;
}

ReadResult readText(const std::string& text, const std::string& reply = "", uint8_t format = FormatIntelHex,
                    const ImageBounds& bounds = {}) {
    const std::string path = test::scratchPath("reader-input");
    test::writeFile(path, text);
    return readFile(path, reply, format, bounds);
}

const std::string End = ":00000001FF\n";

std::string lines(const std::vector<std::string>& records) {
    std::string text;
    for (const auto& r : records) text += r + "\n";
    return text;
}

std::vector<uint8_t> counting(size_t n, uint8_t from = 0) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(from + i);
    return bytes;
}

std::string contiguousRecords(size_t records) {
    std::string text;
    for (size_t i = 0; i < records; ++i) text += hexRecord(0, unsigned(i * 16), counting(16, uint8_t(i))) + "\n";
    return text + End;
}

struct AcceptCase {
    const char* name;
    std::string text;
    BlockList blocks;
    std::string outputHas;  // a piece of the console output, or empty for no output
};

TEST(HexReader, AcceptedFiles) {
    const std::string rec255 = hexRecord(0, 0x200, counting(255));
    const AcceptCase cases[] = {
        {"compact", ":0400000001020304F2\n" + End, {{0, 4}}, ""},
        {"CRLF, blanks, blank and comment lines",
         ": 04 0000 00 0102 0304 F2\r\n   \r\n   # remark\r\n\t\r\n:00000001FF\r\n", {{0, 4}}, ""},
        {"lower-case digits", ":0400000001020304f2\n:00000001ff\n", {{0, 4}}, ""},
        {"255-byte record with CRLF", rec255 + "\r\n" + End, {{0x200, 255}}, ""},
        {"300 contiguous records", contiguousRecords(300), {{0, 4096}, {0x1000, 704}}, ""},
        {"type 4 base", ":020000040001F9\n" + hexRecord(0, 0x10, counting(4)) + "\n" + End, {{0x10010, 4}}, ""},
        {"type 2 base", ":020000021000EC\n" + hexRecord(0, 0x10, counting(4)) + "\n" + End, {{0x10010, 4}}, ""},
        {"linear base above 2 GiB", hexRecord(4, 0, {0x80, 0x00}) + "\n" + hexRecord(0, 0xFFF0, counting(16)) + "\n" + End,
         {{0x8000FFF0u, 16}}, ""},
        {"record wrapping past 4 GiB continues at 0",
         hexRecord(4, 0, {0xFF, 0xFF}) + "\n" + hexRecord(0, 0xFFF8, counting(16)) + "\n" + End,
         {{0, 8}, {0xFFFFFFF8u, 8}}, ""},
        {"base record stays until the next", lines({hexRecord(4, 0, {0, 2}), hexRecord(0, 0, {1}), hexRecord(0, 0xFFFF, {2}),
                                                    hexRecord(4, 0, {0, 3}), hexRecord(0, 0, {3})}) + End,
         {{0x20000, 1}, {0x2FFFF, 2}}, ""},
        {"first record at the top address", hexRecord(4, 0, {0xFF, 0xFF}) + "\n" + hexRecord(0, 0xFFFF, {1}) + "\n" + End,
         {{0xFFFFFFFFu, 1}}, ""},
        {"sorted by address", lines({hexRecord(0, 0x100, {1}), hexRecord(0, 0, {2})}) + End, {{0, 1}, {0x100, 1}}, ""},
        {"equal addresses sorted by last address",
         lines({hexRecord(0, 0x10, {1, 2, 3}), hexRecord(0, 0, {9}), hexRecord(0, 0x10, {1})}) + End,
         {{0, 1}, {0x10, 1}, {0x10, 3}}, "0x10-0x10 with equal data"},
        {"gap starts a new block", lines({hexRecord(0, 0, {1}), hexRecord(0, 2, {2})}) + End, {{0, 1}, {2, 1}}, ""},
        {"many overlaps: the first ten reported, the rest counted",
         lines(std::vector<std::string>(12, hexRecord(0, 0x20, {5, 6}))) + End, BlockList(12, {0x20, 2}),
         "Warning: HEX file records overlapped in addresses 0x20-0x21 with equal data\n"
         "Warning: HEX file records overlapped in 56 more places with equal data\n"},
        {"overlap with equal data", lines({hexRecord(0, 0, counting(16)), hexRecord(0, 8, counting(8, 8))}) + End,
         {{0, 16}, {8, 8}}, "Warning: HEX file records overlapped in addresses 0x8-0xF with equal data\n"},
        {"zero-data record", ":00001000F0\n" + End, {}, "Warning: Zero-data HEX line ignored\n  ':00001000F0'\n"},
        {"start address records", lines({":0400000300001000E9", ":04000005000010 00E7", hexRecord(0, 0, {7})}) + End,
         {{0, 1}}, "Warning: Start address record in HEX file ignored\n"},
        {"no data records", End, {}, "Warning: '" + test::scratchPath("reader-input") + "' has no data records\n"},
        {"nothing read after the end record", hexRecord(0, 0, {1}) + "\n" + End + "garbage\n" + hexRecord(0, 9, {1}) + "\n",
         {{0, 1}}, ""},
        {"short base records read no outside bytes",
         lines({hexRecord(4, 0, {}), hexRecord(0, 1, {1}), hexRecord(2, 0, {0x12}), hexRecord(0, 0, {2})}) + End,
         {{1, 1}, {0x12000, 1}}, ""},
    };
    for (const AcceptCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReadResult r = readText(c.text);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.blocks, c.blocks);
        if (c.outputHas.empty()) {
            EXPECT_EQ(r.out, "");
        } else {
            EXPECT_NE(r.out.find(c.outputHas), std::string::npos) << r.out;
        }
    }
}

TEST(HexReader, RecordsFillBlocksOfAtMost4096Bytes) {
    // 16 records of 255 bytes: 4080 bytes fit, the 17th record opens a new block.
    std::string text;
    for (unsigned i = 0; i < 17; ++i) text += hexRecord(0, i * 255, counting(255, uint8_t(i))) + "\n";
    ReadResult r = readText(text + End);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.blocks, (BlockList{{0, 4080}, {4080, 255}}));
    EXPECT_EQ(r.bytes.at(4080), 16);
    EXPECT_EQ(r.bytes.at(4079), uint8_t(15 + 254));
}

struct RejectCase {
    const char* name;
    std::string text;
    std::string message;  // the whole console output
};

TEST(HexReader, RejectedFiles) {
    const std::string path = test::scratchPath("reader-input");
    const std::string longLine = ":100000" + std::string(3000, 'A');
    auto at = [&path](int line) { return "ERROR:  File '" + path + "', line " + std::to_string(line) + "\n"; };
    const std::string binary = "ERROR:  '" + path + "' is binary, not Intel HEX: give it as :bin:" + path + "\n";
    std::string tenEqual;
    for (int i = 0; i < 10; ++i) tenEqual += "Warning: HEX file records overlapped in addresses 0x0-0xF with equal data\n";
    const RejectCase cases[] = {
        {"one pair too many", ":0300000001020304F2\n" + End,
         "ERROR:  Invalid length of HEX line:\n  ':0300000001020304F2'\n" + at(1)},
        {"truncated record", ":10000000010203\n" + End, "ERROR:  Invalid length of HEX line:\n  ':10000000010203'\n" + at(1)},
        {"non-hex pair", ":04000000010G0304F2\n" + End, "ERROR:  Invalid length of HEX line:\n  ':04000000010G0304F2'\n" + at(1)},
        {"no colon", "0400000001020304F2\n" + End, "ERROR:  Invalid header in HEX line:\n  '0400000001020304F2'\n" + at(1)},
        {"header of seven digits", ":1000000\n" + End, "ERROR:  Invalid header in HEX line:\n  ':1000000'\n" + at(1)},
        {"signed length", ":-1000000FF\n" + End, "ERROR:  Invalid header in HEX line:\n  ':-1000000FF'\n" + at(1)},
        {"0x in header", ":0x000000FF\n" + End, "ERROR:  Invalid header in HEX line:\n  ':0x000000FF'\n" + at(1)},
        {"NUL byte inside the header", std::string(":0400\0" "00001020304F2\n", 19) + End, binary},
        {"binary code", std::string("\x0C\x94\x34\x00\x0C\x94\x46\x00", 8), binary},
        {"erased flash dump", std::string(600, '\xFF'), binary},
        {"zero bytes only", std::string(100, '\0'), binary},
        {"text, then binary in the first bytes", ":0400000001020304F2\n\x01\x02\n" + End, binary},
        // Not taken for a blank line, so that endless NULs end too.
        {"NULs after the first bytes", lines({"#" + std::string(200, '-'), std::string(3, '\0')}) + End,
         "ERROR:  Invalid header in HEX line:\n  ''\n" + at(2)},
        {"error on a later line", lines({hexRecord(0, 0, {1}), "", "# remark", ":0100000001"}) + End,
         "ERROR:  Invalid length of HEX line:\n  ':0100000001'\n" + at(4)},
        {"line count goes by line ends, not pieces", longLine + "\n" + ":zz\n" + End,
         "ERROR:  Invalid length of HEX line:\n  '" + longLine.substr(0, 521) + "'\n" + at(1)},
        {"non-ASCII bytes", ":04\xC3\xA9" "000001020304F2\n" + End,
         "ERROR:  Invalid header in HEX line:\n  ':04\xC3\xA9" "000001020304F2'\n" + at(1)},
        {"very long line read in pieces", longLine + "\n" + End,
         "ERROR:  Invalid length of HEX line:\n  '" + longLine.substr(0, 521) + "'\n" + at(1)},
        {"unknown record type", hexRecord(6, 0, {}) + "\n" + End, "ERROR:  Unknown HEX record type 0x 6\n" + at(1)},
        {"no end record", hexRecord(0, 0, {1}) + "\n", "ERROR:  No ending record in HEX file '" + path + "'\n"},
        {"empty file", "", "ERROR:  No ending record in HEX file '" + path + "'\n"},
        {"overlap with different data", lines({hexRecord(0, 0, counting(16)), hexRecord(0, 8, counting(8, 9))}) + End,
         "ERROR:  HEX file records overlapped in addresses 0x8-0xF with NON-equal data\n"},
        {"NON-equal overlap after many equal ones",
         lines(std::vector<std::string>(30, hexRecord(0, 0, counting(16)))) + hexRecord(0, 0xA, {0}) + "\n" + End,
         tenEqual + "ERROR:  HEX file records overlapped in addresses 0xA-0xA with NON-equal data\n"},
        {"overlap above 2 GiB",
         lines({hexRecord(4, 0, {0x90, 0}), hexRecord(0, 0x10, {1, 2}), hexRecord(0, 0x11, {3})}) + End,
         "ERROR:  HEX file records overlapped in addresses 0x90000011-0x90000011 with NON-equal data\n"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReadResult r = readText(c.text);
        EXPECT_EQ(r.status, ExitFile);
        EXPECT_EQ(r.out, c.message);
    }
}

// Reading stops at the first byte past the memory, whatever follows, and a
// HEX file cannot be much longer than one of the whole memory: any input, an
// endless one too, ends soon.
TEST(ImageReader, StopsAtTheEndOfTheMemory) {
    const std::string path = test::scratchPath("reader-input");
    ImageBounds code;
    code.end = 0x100;
    code.memory = "CODE memory";
    ImageBounds combined = code;
    combined.what = "data part of input file";
    combined.memory = "DATA memory";
    ImageBounds gcc = code;  // also as avr-gcc places an EEPROM of 0x100 bytes
    gcc.windowStart = 0x810000;
    gcc.windowEnd = 0x810100;
    const std::string atGcc = hexRecord(4, 0, {0x00, 0x81}) + "\n";
    const std::string fit = "ERROR:  Can't fit " + path + " in CODE memory\n";
    struct Case {
        const char* name;
        uint8_t format;
        std::string text;  // written to the file; "/dev/zero" reads that device instead
        ImageBounds bounds;
        std::string out;  // "" when the file is accepted
    };
    const Case cases[] = {
        {"HEX up to the end", FormatIntelHex, hexRecord(0, 0xF0, counting(16)) + "\n" + End, code, ""},
        {"HEX one byte past", FormatIntelHex, hexRecord(0, 0xF1, counting(16)) + "\n" + End, code, fit},
        {"HEX past, without an end", FormatIntelHex, hexRecord(0, 0x100, {1}) + "\n", code, fit},
        {"HEX far past", FormatIntelHex, hexRecord(4, 0, {0xFF, 0xFF}) + "\n" + hexRecord(0, 0xFFF8, counting(16)) + "\n" + End,
         code, fit},
        {"named as the fit check names it", FormatIntelHex, hexRecord(0, 0x1FF, {1}) + "\n" + End, combined,
         "ERROR:  Can't fit data part of input file in DATA memory\n"},
        {"in the second window", FormatIntelHex, atGcc + hexRecord(0, 0xF0, counting(16)) + "\n" + End, gcc, ""},
        {"past the second window", FormatIntelHex, atGcc + hexRecord(0, 0xF1, counting(16)) + "\n" + End, gcc, fit},
        {"binary up to the end", FormatBinary, std::string(0x100, 'x'), code, ""},
        {"binary one byte past", FormatBinary, std::string(0x101, 'x'), code, fit},
        {"endless binary", FormatBinary, "/dev/zero", code, "ERROR:  Can't fit /dev/zero in CODE memory\n"},
        {"endless zeros as HEX", FormatIntelHex, "/dev/zero", code,
         "ERROR:  '/dev/zero' is binary, not Intel HEX: give it as :bin:/dev/zero\n"},
        {"HEX of nothing but comments", FormatIntelHex, lines(std::vector<std::string>(70000, "#" + std::string(62, '-'))),
         code, "ERROR:  HEX file '" + path + "' is too long\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool device = c.text == "/dev/zero";
        if (!device) test::writeFile(path, c.text);
        const ReadResult r = readFile(device ? c.text : path, "", c.format, c.bounds);
        EXPECT_EQ(r.status, c.out.empty() ? 0 : ExitFile);
        EXPECT_EQ(r.out, c.out);
    }
}

// Checked pair by pair, 10^5 equal records would take 5·10^9 comparisons.
TEST(HexReader, ManyOverlapsAreCheckedFast) {
    const std::string path = test::scratchPath("reader-input");
    const std::string record = hexRecord(0, 0x40, counting(16)) + "\n";
    std::string text;
    for (int i = 0; i < 100000; ++i) text += record;
    test::writeFile(path, text + End);
    MemoryImage image;
    test::CaptureConsole capture;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(readImageFile(image, ImageFile{FormatIntelHex, path}));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 5.0);
    EXPECT_EQ(image.count(), 100000u);
    EXPECT_NE(capture.out().find("Warning: HEX file records overlapped in 4999949990 more places with equal data\n"),
              std::string::npos);
}

TEST(HexReader, ChecksumPrompt) {
    const std::string bad1 = ":0400000001020304F3";
    const std::string bad2 = ":0400100001020304E3";
    const std::string prompt = "ERROR:  CSUM error in line\n  '" + bad1 + "'\nIgnore ALL CSUM errors (y/N)?\n";
    struct Case {
        const char* reply;
        int status;
        size_t asked;
    } cases[] = {{"y", 0, 1}, {"Y", 0, 1}, {"n", ExitFile, 1}, {"\n", ExitFile, 1}, {"", ExitFile, 1}};
    const std::string location = "ERROR:  File '" + test::scratchPath("reader-input") + "', line 1\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        ReadResult r = readText(lines({bad1, bad2}) + End, c.reply);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(answersGiven, c.asked);
        EXPECT_EQ(r.out, c.status == 0 ? prompt : prompt + location);
        if (c.status == 0) {
            EXPECT_EQ(r.blocks, (BlockList{{0, 4}, {0x10, 4}}));
        }
    }
    // The answer holds for one file only: the next file asks again.
    ReadResult again = readText(lines({bad1}) + End, "n");
    EXPECT_EQ(again.status, ExitFile);
}

// Two files with checksum errors and the answers typed on standard input, one per
// line: each file gets its own answer, not the line end of the previous one.
TEST(HexReader, ConsolePromptTakesOneAnswerLinePerFile) {
    const std::string first = test::scratchPath("prompt-1.hex");
    const std::string second = test::scratchPath("prompt-2.hex");
    test::writeFile(first, ":0400000001020304F3\n" + End);
    test::writeFile(second, ":0400000001020304F4\n" + End);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "y\nyes\n", 6), 6);
    ::close(fds[1]);
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(fds[0], 0);
        std::clearerr(stdin);
        test::CaptureConsole quiet;
        int failures = 0;
        for (const std::string* path : {&first, &second}) {
            MemoryImage image;
            try {
                readImageFile(image, ImageFile{FormatIntelHex, *path});
            } catch (const app_error&) {
                ++failures;
            }
        }
        std::_Exit(failures);
    }
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BinaryReader, ChunksOf4096FromAddressZero) {
    struct Case {
        size_t size;
        BlockList blocks;
    } cases[] = {
        {10000, {{0, 4096}, {0x1000, 4096}, {0x2000, 1808}}},
        {4096, {{0, 4096}}},
        {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::string content(c.size, '\0');
        for (size_t i = 0; i < c.size; ++i) content[i] = char(i * 7 + i / 4096);
        ReadResult r = readText(content, "", FormatBinary);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.blocks, c.blocks);
        for (size_t i = 0; i < c.size; ++i) ASSERT_EQ(r.bytes.at(uint32_t(i)), uint8_t(content[i]));
    }
}

TEST(ImageReader, MissingFileIsAnOpenError) {
    const std::string path = test::scratchPath("no-such-file.hex");
    for (uint8_t format : {FormatIntelHex, FormatBinary}) {
        test::CaptureConsole capture;
        MemoryImage image;
        try {
            readImageFile(image, ImageFile{format, path}, scriptedAnswer);
            ADD_FAILURE() << "no exception";
        } catch (const rtl_error& e) {
            reportFailure(e);
            EXPECT_EQ(e.status(), ExitSystem);
            EXPECT_EQ(e.savedErrno(), ENOENT);
        }
        EXPECT_EQ(capture.out(), "ERROR:  Can't open file '" + path + "'\nERROR:  No such file or directory\n");
    }
}

}  // namespace
}  // namespace mervex
