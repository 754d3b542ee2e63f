// The chip protocol through the real LptAdapter against the simulated chip.
// Lost synchronisation, resynchronisation and writes that never end are
// checked against the fake chip (tests/chip) and in whole runs (FaultMatrix).
#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "VirtualRig.h"
#include "support/CaptureConsole.h"

namespace mervex::test {
namespace {

// A write pass as the memory operation drives it: ascending bytes, then the open page.
void writeAll(ChipSession& session, MemoryKind kind, const std::vector<uint8_t>& image) {
    session.beginWritePass(kind);
    for (size_t a = 0; a < image.size(); ++a) session.writeMemoryByte(kind, uint32_t(a), image[a]);
    if (kind == MemoryKind::Code) session.commitOpenPage(kind);
}

// A read pass in the memory operation's chunks, of size bytes from address from.
std::vector<uint8_t> readAll(ChipSession& session, MemoryKind kind, size_t size, size_t from = 0) {
    session.beginMemoryPass();
    std::vector<uint8_t> bytes(size);
    const size_t chunk = kind == MemoryKind::Code ? 512 : 32;
    for (size_t i = 0; i < size; i += chunk) {
        size_t n = std::min(chunk, size - i);
        session.readMemoryBlock(kind, bytes.data() + i, uint32_t(from + i), n);
    }
    return bytes;
}

// Firmware-like contents: random bytes with runs of 0xFF, some whole pages.
std::vector<uint8_t> imageOf(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> image(size);
    for (size_t a = 0; a < size; ++a) image[a] = uint8_t(random());
    for (size_t a = 0; a < size; a += 1000) std::fill(image.begin() + std::ptrdiff_t(a), image.begin() + std::ptrdiff_t(std::min(size, a + 300)), 0xFF);
    return image;
}

ChipOptions polling(bool on = true, double delayScale = 1.0) {
    ChipOptions options;
    options.pollRequested = on;
    options.delayScale = delayScale;
    return options;
}

void connect(VirtualRig& rig) {
    rig.session.programmer()->enableAdapter();
    rig.session.connectChip();
}

TEST(VirtualTarget, ConnectsToEachChipFamily) {
    const char* chips[] = {"90S1200", "90S2313", "90S4434", "90S2333", "tiny12",   "tiny13",
                           "tiny2313", "mega103", "mega161", "mega8",   "mega2560", "86RF401"};
    for (const char* name : chips) {
        SCOPED_TRACE(name);
        VirtualRig rig(name);
        CaptureConsole capture;
        connect(rig);
        EXPECT_EQ(rig.session.detectedIndex(), findChipByName(name));
        rig.session.readLockBits();
        EXPECT_EQ(rig.session.lockLevel(), rig.session.selectedChip().lockLayout == 0 ? -1 : 0);
        rig.session.programmer()->disableAdapter();
    }
}

TEST(VirtualTarget, FullFlashWriteAndReadBack) {
    struct Case {
        const char* chip;
        bool polling;
        size_t from, to;  // the written part; 0, 0: all of the flash
    };
    // Where all of the flash would take long in a sanitizer build, a part: the
    // first 512 bytes of the byte-wise chip polled while busy, and the 16 KiB
    // around the 128 KiB line where the extended address changes.
    for (const Case& c : {Case{"mega8", false, 0, 0}, Case{"mega8", true, 0, 0}, Case{"90S2313", false, 0, 0},
                          Case{"90S2313", true, 0, 0x200}, Case{"mega2560", false, 0x1E000, 0x22000}}) {
        SCOPED_TRACE(std::string(c.chip) + (c.polling ? " polling" : " fixed delays"));
        VirtualRig rig(c.chip, 8000000, nullptr, polling(c.polling));
        CaptureConsole capture(false, false, LevelWarning);
        connect(rig);
        rig.session.eraseChip();
        const size_t size = size_t(rig.session.flashSize());
        const size_t from = c.from, to = c.to == 0 ? size : c.to;
        // An erased chip skips 0xFF bytes, so the blank rest costs nothing to write.
        std::vector<uint8_t> image = imageOf(size, 7);
        std::fill(image.begin(), image.begin() + long(from), 0xFF);
        std::fill(image.begin() + long(to), image.end(), 0xFF);
        writeAll(rig.session, MemoryKind::Code, image);
        EXPECT_TRUE(rig.target().flash == image);
        EXPECT_TRUE(readAll(rig.session, MemoryKind::Code, to - from, from) ==
                    std::vector<uint8_t>(image.begin() + long(from), image.begin() + long(to)));
        // Fixed delays wait the chip out; polling asks while it is busy.
        if (c.polling)
            EXPECT_GT(rig.target().lastRun.busyInstructions, 0u);
        else
            EXPECT_EQ(rig.target().lastRun.busyInstructions, 0u);
        EXPECT_EQ(capture.out(), "");
    }
}

TEST(VirtualTarget, EepromWriteAndReadBack) {
    VirtualRig rig("mega8", 8000000, nullptr, polling());
    CaptureConsole capture;
    connect(rig);
    std::vector<uint8_t> image = imageOf(size_t(rig.session.eepromSize()), 3);
    writeAll(rig.session, MemoryKind::Data, image);
    EXPECT_TRUE(readAll(rig.session, MemoryKind::Data, image.size()) == image);
}

TEST(VirtualTarget, FusesAndLockBitsRoundTrip) {
    VirtualRig rig("mega8");
    CaptureConsole capture;
    connect(rig);
    rig.session.parseFuseRequest("CKSEL=4,BOOTRST=ON,BLB0=2");
    rig.session.readFuses();
    ASSERT_TRUE(rig.session.canWriteFusesWithoutErase());
    rig.session.programFuses();
    rig.session.verifyFuses();
    EXPECT_EQ(rig.session.lockChip('1'), '1');
    rig.session.readLockBits();
    EXPECT_EQ(rig.session.lockLevel(), 1);
    // The boot lock bits written with the fuses survived the locking.
    rig.session.readFuses();
    EXPECT_EQ((rig.session.fuses().readValue[0] >> 2) & 3, 2);
}

}  // namespace
}  // namespace mervex::test
