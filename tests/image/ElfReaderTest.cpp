#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/Errors.h"
#include "image/ElfReader.h"
#include "image/ImageReader.h"
#include "image/ImageTestFiles.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"

namespace mervex {
namespace {

using test::BlockList;
using test::blocksOf;

using Bytes = std::vector<uint8_t>;

struct ElfSegment {
    uint32_t address;  // load (physical) address
    Bytes bytes;
    uint32_t type = 1;  // PT_LOAD
};

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// An executable as avr-gcc links it: header, program headers, then the contents.
Bytes elfFile(const std::vector<ElfSegment>& segments) {
    Bytes file(52 + 32 * segments.size(), 0);
    const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};
    std::copy(std::begin(ident), std::end(ident), file.begin());
    put16(file, 16, 2);   // executable
    put16(file, 18, 83);  // AVR
    put32(file, 20, 1);
    put32(file, 28, 52);  // program headers right after the header
    put16(file, 40, 52);
    put16(file, 42, 32);
    put16(file, 44, uint32_t(segments.size()));
    for (size_t i = 0; i < segments.size(); ++i) {
        const ElfSegment& s = segments[i];
        const size_t header = 52 + 32 * i;
        put32(file, header, s.type);
        put32(file, header + 4, uint32_t(file.size()));
        put32(file, header + 8, s.address);
        put32(file, header + 12, s.address);
        put32(file, header + 16, uint32_t(s.bytes.size()));
        put32(file, header + 20, uint32_t(s.bytes.size()));
        file.insert(file.end(), s.bytes.begin(), s.bytes.end());
    }
    return file;
}

Bytes filled(size_t n, uint8_t seed) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(seed + i);
    return bytes;
}

struct Parsed {
    int status = 0;
    std::string out;
    MemoryImage code;
    FirmwareParts parts;
};

Parsed parse(const Bytes& file) {
    Parsed result;
    test::CaptureConsole capture;
    try {
        parseElf(file.data(), file.size(), "fw.elf", result.code, result.parts);
    } catch (const app_error& e) {
        reportFailure(e);
        result.status = e.status();
    }
    result.out = capture.out();
    return result;
}

const std::vector<ElfSegment> avrGccLayout = {
    {0, filled(0x1100, 0)},            // .text, longer than one block
    {0x1100, filled(4, 0x40)},         // .data at its flash address
    {0x800100, {}},                    // .bss: nothing in the file
    {0x810000, filled(9, 0x80)},       // .eeprom
    {0x820000, {0xE2, 0xD1, 0xFD}},    // .fuse
    {0x830000, {0xFC}},                // .lock
    {0x840000, {0x0F, 0x95, 0x1E}},    // .signature, last byte first
};

TEST(ElfReader, TakesEachMemoryFromItsLoadAddress) {
    const Parsed r = parse(elfFile(avrGccLayout));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.parts.isElf);
    EXPECT_EQ(blocksOf(r.code), (BlockList{{0, 0x1000}, {0x1000, 0x100}, {0x1100, 4}}));
    EXPECT_EQ(r.code.first()->byteAt(0xFF), 0xFF);
    EXPECT_EQ(r.code.last()->byteAt(0x1103), 0x43);
    EXPECT_EQ(blocksOf(r.parts.eeprom), (BlockList{{0, 9}}));
    EXPECT_EQ(r.parts.eeprom.first()->byteAt(8), 0x88);
    EXPECT_EQ(r.parts.fuses, (Bytes{0xE2, 0xD1, 0xFD}));
    EXPECT_EQ(r.parts.lock, 0xFC);
    EXPECT_EQ(r.parts.signature, 0x1E950F);

    // Without the settings: nothing of them.
    const Parsed bare = parse(elfFile({{0x100, {1, 2}}, {0, {3}}}));
    ASSERT_EQ(bare.status, 0);
    EXPECT_EQ(blocksOf(bare.code), (BlockList{{0, 1}, {0x100, 2}}));
    EXPECT_TRUE(bare.parts.eeprom.empty());
    EXPECT_TRUE(bare.parts.fuses.empty());
    EXPECT_EQ(bare.parts.lock, -1);
    EXPECT_EQ(bare.parts.signature, -1);

    // A single fuse byte is the low one; segments of other types are skipped.
    const Parsed one = parse(elfFile({{0x820000, {0x6A}}, {0x810000, {1, 2, 3}, 2}}));
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(one.parts.fuses, Bytes{0x6A});
    EXPECT_TRUE(one.parts.eeprom.empty());

    // Nothing of the chip at an address beyond the signature: said and skipped.
    const Parsed other = parse(elfFile({{0, {1}}, {0x850000, {7, 7}}}));
    ASSERT_EQ(other.status, 0);
    EXPECT_EQ(other.out, "Warning: ELF segment at 0x850000 in 'fw.elf' ignored: no chip memory there\n");
    EXPECT_EQ(blocksOf(other.code), (BlockList{{0, 1}}));
}

TEST(ElfReader, RefusesWhatItCannotPlace) {
    struct Case {
        const char* why;
        std::function<Bytes()> file;
    };
    auto edited = [](std::vector<ElfSegment> segments, std::function<void(Bytes&)> edit) {
        return [segments, edit] {
            Bytes file = elfFile(segments);
            edit(file);
            return file;
        };
    };
    auto plain = [](std::vector<ElfSegment> segments) { return [segments] { return elfFile(segments); }; };
    const std::vector<ElfSegment> one = {{0, {1, 2, 3, 4}}};
    const Case cases[] = {
        {"no ELF header", [] { return Bytes{0x7F, 'E', 'L'}; }},
        {"no ELF header", [] { return Bytes(64, 0); }},
        {"the header is cut short", [] { return Bytes{0x7F, 'E', 'L', 'F', 1, 1, 1}; }},
        {"not a 32-bit little-endian file, as avr-gcc makes them", edited(one, [](Bytes& f) { f[4] = 2; })},
        {"not a 32-bit little-endian file, as avr-gcc makes them", edited(one, [](Bytes& f) { f[5] = 2; })},
        {"built for machine 40, not for AVR", edited(one, [](Bytes& f) { put16(f, 18, 40); })},
        {"not a linked executable (an object file?)", edited(one, [](Bytes& f) { put16(f, 16, 1); })},
        {"no program headers", edited(one, [](Bytes& f) { put16(f, 44, 0); })},
        {"program header entries of 16 bytes", edited(one, [](Bytes& f) { put16(f, 42, 16); })},
        {"program headers beyond the end of the file", edited(one, [](Bytes& f) { put16(f, 44, 2); })},
        {"program headers beyond the end of the file", edited(one, [](Bytes& f) { put32(f, 28, 0xFFFFFFF0); })},
        {"the segment at 0x0 lies beyond the end of the file", edited(one, [](Bytes& f) { put32(f, 52 + 16, 5); })},
        {"the segment at 0x0 lies beyond the end of the file",
         edited(one, [](Bytes& f) { put32(f, 52 + 4, 0xFFFFFFFF); })},
        {"the segment at 0x80FFFF runs past the end of its memory", plain({{0x80FFFF, {1, 2}}})},
        {"the segment at 0x81FFFF runs past the end of its memory", plain({{0x81FFFF, {1, 2}}})},
        {"two segments share code address 0x2", plain({{0, {1, 2, 3}}, {2, {3}}})},
        {"two segments share EEPROM address 0x0", plain({{0x810000, {1}}, {0x810000, {1}}})},
        {"the segment at 0x820000 lies outside .fuse (3 bytes)", plain({{0x820000, {1, 2, 3, 4}}})},
        {"the segment at 0x820003 lies outside .fuse (3 bytes)", plain({{0x820003, {1}}})},
        {".fuse is given twice", plain({{0x820000, {1, 2}}, {0x820001, {3}}})},
        {"a fuse byte is missing between others", plain({{0x820000, {1}}, {0x820002, {3}}})},
        {"the segment at 0x830000 lies outside .lock (1 byte)", plain({{0x830000, {0xFC, 0xFF}}})},
        {"the signature is not 3 bytes", plain({{0x840000, {0x0F, 0x95}}})},
        {"larger than 32 MiB", [] { return Bytes(ElfMaxFileSize + 1, 0); }},
    };
    for (const Case& c : cases) {
        const Parsed r = parse(c.file());
        EXPECT_EQ(r.status, ExitFile) << c.why;
        EXPECT_EQ(r.out, "ERROR:  Invalid ELF file 'fw.elf': " + std::string(c.why) + "\n");
    }
}

// Without a prefix an ELF file is known by its first bytes; with one, the prefix decides.
TEST(ElfReader, KnownByItsMagicNumberWithoutPrefix) {
    const std::string path = test::scratchPath("firmware");
    const Bytes elf = elfFile(avrGccLayout);
    test::writeFile(path, std::string(elf.begin(), elf.end()));
    struct Case {
        ImageFile file;
        int status;
        bool isElf;
    };
    const Case cases[] = {
        {{FormatIntelHex, path, false}, 0, true},
        {{FormatElf, path, true}, 0, true},
        {{FormatIntelHex, path, true}, ExitFile, false},
    };
    for (const Case& c : cases) {
        MemoryImage image;
        FirmwareParts parts;
        int status = 0;
        test::CaptureConsole capture;
        try {
            readImageFile(image, c.file, readConsoleAnswer, &parts);
        } catch (const app_error& e) {
            reportFailure(e);
            status = e.status();
        }
        EXPECT_EQ(status, c.status) << capture.out();
        EXPECT_EQ(parts.isElf, c.isElf);
        if (c.isElf) {
            EXPECT_EQ(image.totalLength(), 0x1104u);
        }
    }

    // A file that starts like one but is not: the HEX reader's verdict, and a HEX file as it was.
    test::writeFile(path, std::string("\x7F" "ELX\n:00000001FF\n"));
    MemoryImage image;
    FirmwareParts parts;
    test::CaptureConsole capture;
    EXPECT_THROW(readImageFile(image, ImageFile{FormatIntelHex, path}, readConsoleAnswer, &parts), app_error);
    EXPECT_FALSE(parts.isElf);
    test::writeFile(path, ":0100000042BD\n:00000001FF\n");
    readImageFile(image, ImageFile{FormatIntelHex, path}, readConsoleAnswer, &parts);
    EXPECT_EQ(blocksOf(image), (BlockList{{0, 1}}));
    EXPECT_EQ(std::remove(path.c_str()), 0);
}

// The example firmware as avr-gcc built it.
TEST(ElfReader, ReadsTheExampleFirmware) {
    MemoryImage code;
    FirmwareParts parts;
    readImageFile(code, ImageFile{FormatElf, std::string(MERVEX_SOURCE_DIR) + "/examples/firmware-mega328p/firmware.elf", true},
                  readConsoleAnswer, &parts);
    EXPECT_EQ(code.first()->address, 0u);
    EXPECT_EQ(code.first()->byteAt(0), 0x0C);  // the reset vector's jmp
    const std::string name = "mx-328p";
    ASSERT_EQ(blocksOf(parts.eeprom), (BlockList{{0, 9}}));
    EXPECT_EQ(std::string(parts.eeprom.first()->data.get(), parts.eeprom.first()->data.get() + 7), name);
    EXPECT_EQ(parts.fuses, (Bytes{0xE2, 0xD1, 0xFD}));
    EXPECT_EQ(parts.lock, 0xFC);
    EXPECT_EQ(parts.signature, 0x1E950F);
}

}  // namespace
}  // namespace mervex
