#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ChipFixture.h"
#include "console/Errors.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

ChipOptions optionsWith(bool polling, bool eepromPages = false, double scale = 1.0) {
    ChipOptions options;
    options.pollRequested = polling;
    options.eepromPages = eepromPages;
    options.delayScale = scale;
    return options;
}

class MemoryAccess : public ChipFixture {
protected:
    // Start a write pass of one memory, connected first for the chip's write timing.
    void startWrite(MemoryKind kind) {
        if (session.signature() < 0) connectQuietly();
        kind_ = kind;
        session.beginWritePass(kind);
    }
    void writeByte(uint32_t address, uint8_t value) { session.writeMemoryByte(kind_, address, value); }
    void writeBytes(uint32_t first, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i) writeByte(first + uint32_t(i), bytes[i]);
    }
    void commit() { session.commitOpenPage(kind_); }
    std::vector<std::string> sent() const { return chip->sentText(); }

    MemoryKind kind_ = MemoryKind::Code;
};

TEST_F(MemoryAccess, Mega8PageIsQueuedAsWholeWordsAndCommittedWhenTheNextPageBegins) {
    useChip("mega8");
    startWrite(MemoryKind::Code);
    std::vector<uint8_t> bytes(0x40);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i + 1);
    writeBytes(0, bytes);
    EXPECT_TRUE(chip->sent.empty());  // nothing goes out before the page is complete
    writeByte(0x40, 0x99);

    std::vector<std::string> expected;
    for (uint32_t a = 0; a < 0x40; ++a) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X 00 %02X %02X", a & 1 ? 0x48u : 0x40u, a >> 1, a + 1);
        expected.push_back(text);
    }
    expected.push_back("4C 00 1F 00");
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(chip->sendCalls, 1 + 2) << "the loads in one block; the page write around its echo";
    EXPECT_EQ(chip->events.back(), "delay 6.000000");

    chip->clearLog();
    commit();  // the pass ends: 0x40 is completed with 0xFF
    // A load carries the word's position in the page only; the page write the whole address.
    EXPECT_EQ(sent(), (std::vector<std::string>{"40 00 00 99", "48 00 00 FF", "4C 00 20 00"}));
    chip->clearLog();
    commit();  // nothing open any more
    EXPECT_TRUE(chip->sent.empty());
}

TEST_F(MemoryAccess, EepromByteGoesOutAtOnceAndWaitsTheScaledDelay) {
    useChip("mega8", optionsWith(false, false, 2.0));
    startWrite(MemoryKind::Data);
    writeByte(0x1FF, 0x55);
    EXPECT_EQ(sent(), std::vector<std::string>{"C0 01 FF 55"});
    EXPECT_EQ(chip->events, std::vector<std::string>{"delay 20.000000"});
    EXPECT_DOUBLE_EQ(session.writeTiming().flashPageDelay, 12.0);
    EXPECT_EQ(chip->eeprom[0x1FF], 0x55);
}

TEST_F(MemoryAccess, ErasedChipSkipsFFUnlessEepromMayHoldData) {
    struct Case {
        const char* chipName;
        MemoryKind kind;
        bool preserve;
        uint8_t eepromBefore;  // what the erase left in the EEPROM
        size_t reads;
        size_t writes;
    };
    const Case cases[] = {
        {"mega8", MemoryKind::Code, false, 0xFF, 0, 0},    // a page of 0xFF is never committed
        {"90S2313", MemoryKind::Code, false, 0xFF, 0, 0},  // byte-wise flash
        {"90S2313", MemoryKind::Data, false, 0xFF, 0, 0},  // no EESAVE: the erase blanked it
        {"mega8", MemoryKind::Data, false, 0xFF, 4, 0},    // EESAVE: looked at, already blank
        {"mega8", MemoryKind::Data, false, 0x00, 4, 4},    // EESAVE kept old data: overwritten
        {"mega8", MemoryKind::Data, true, 0xFF, 0, 4},     // restoring a saved EEPROM writes 0xFF too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chipName) + (c.kind == MemoryKind::Data ? " data" : " code"));
        ChipOptions options;
        options.preserveEeprom = c.preserve;
        useChip(c.chipName, options);
        eraseQuietly();
        std::fill(chip->eeprom.begin(), chip->eeprom.end(), c.eepromBefore);
        startWrite(c.kind);
        writeBytes(0, {0xFF, 0xFF, 0xFF, 0xFF});
        commit();
        const auto count = [this](uint8_t opcode) {
            return size_t(std::count_if(chip->sent.begin(), chip->sent.end(),
                                        [opcode](const IspInstruction& i) { return i[0] == opcode; }));
        };
        EXPECT_EQ(count(0xA0), c.reads);
        EXPECT_EQ(chip->sent.size() - c.reads, c.writes);
        EXPECT_EQ(chip->eeprom[3], c.kind == MemoryKind::Data ? 0xFF : c.eepromBefore);
    }
}

// EEPROM by pages: each page is read first, loaded whole with what the image
// leaves out taken from the chip, and written only when it changes. After a
// plain erase the EEPROM is known blank unless EESAVE kept it.
TEST_F(MemoryAccess, EepromPagesAreReadMergedAndWrittenOnlyWhenChanged) {
    struct Case {
        const char* name;
        bool erased;
        uint8_t highFuse;  // mega8: EESAVE is bit 3
        std::vector<std::string> expected;
    };
    const std::vector<std::string> readPage0 = {"A0 00 00 00", "A0 00 01 00", "A0 00 02 00", "A0 00 03 00"};
    const std::vector<std::string> readPage4 = {"A0 00 04 00", "A0 00 05 00", "A0 00 06 00", "A0 00 07 00"};
    const std::vector<std::string> writePage0 = {"C1 00 00 11", "C1 00 01 22", "C1 00 02 13", "C1 00 03 14",
                                                 "C2 00 00 00"};
    auto join = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Case cases[] = {
        {"unerased: both pages read, the unchanged one left alone", false, 0xD1, join({readPage0, writePage0, readPage4})},
        {"erased, EESAVE programmed: still read", true, 0xD1,
         join({{"58 08 00 00"}, readPage0, writePage0, readPage4})},
        {"erased, EESAVE not programmed: nothing read", true, 0xD9,
         join({{"58 08 00 00"}, {"C1 00 00 FF", "C1 00 01 22", "C1 00 02 FF", "C1 00 03 FF", "C2 00 00 00"},
               {"C1 00 00 15", "C1 00 01 16", "C1 00 02 17", "C1 00 03 18", "C2 00 04 00"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useChip("mega8", optionsWith(false, true));
        if (c.erased) eraseQuietly();
        for (uint8_t i = 0; i < 8; ++i) chip->eeprom[i] = uint8_t(0x11 + i);
        chip->fuse[2] = c.highFuse;
        startWrite(MemoryKind::Data);
        writeBytes(1, {0x22});
        writeBytes(4, {0x15, 0x16, 0x17, 0x18});
        commit();
        EXPECT_EQ(sent(), c.expected);
        EXPECT_EQ(std::count(chip->events.begin(), chip->events.end(), "delay 10.000000"),
                  std::count(c.expected.begin(), c.expected.end(), std::string("C2 00 00 00")) +
                      std::count(c.expected.begin(), c.expected.end(), std::string("C2 00 04 00")));
        EXPECT_EQ(chip->eeprom[1], 0x22);
        EXPECT_EQ(chip->eeprom[4], 0x15);
    }
}

TEST_F(MemoryAccess, EepromPagesPollTheLastPollableByte) {
    useChip("mega8", optionsWith(true, true));  // EEPROM read-back polling, 0xFF unpollable
    startWrite(MemoryKind::Data);
    writeBytes(8, {0x01, 0x02, 0x03, 0xFF});
    commit();
    const std::vector<std::string> text = sent();
    ASSERT_EQ(text.size(), 1u + 5u + 1u);  // the first byte read already differs
    EXPECT_EQ(text.back(), "A0 00 0A 00");  // 0x0B holds 0xFF, which polling cannot show
    EXPECT_TRUE(chip->events.empty());
}

TEST_F(MemoryAccess, MissingHalvesOfAWordAreLoadedAsFF) {
    useChip("mega8");
    startWrite(MemoryKind::Code);
    writeByte(0x13, 0xAB);  // odd: its low byte comes first as 0xFF
    writeByte(0x16, 0xCD);  // even: its high byte is completed at the commit
    commit();
    EXPECT_EQ(sent(), (std::vector<std::string>{"40 00 09 FF", "48 00 09 AB", "40 00 0B CD", "48 00 0B FF",
                                                 "4C 00 0B 00"}));

    // After an erase a half-FF word still goes whole, an all-FF word not at all.
    eraseQuietly();
    startWrite(MemoryKind::Code);
    writeBytes(0x20, {0xFF, 0x12, 0xFF, 0xFF, 0x34, 0xFF});
    commit();
    EXPECT_EQ(sent(), (std::vector<std::string>{"40 00 10 FF", "48 00 10 12", "40 00 12 34", "48 00 12 FF",
                                                 "4C 00 12 00"}));
}

TEST_F(MemoryAccess, OverlappingBlocksDoNotOverwriteLoadedBytesWithFF) {
    useChip("mega8");
    startWrite(MemoryKind::Code);
    writeBytes(0x00, {0x10, 0x11, 0x12, 0x13, 0x14});
    // A second block with the same bytes starts again at an odd address.
    writeBytes(0x03, {0x13, 0x14});
    commit();
    for (uint32_t a = 0; a < 5; ++a) EXPECT_EQ(chip->flash[a], 0x10 + a) << a;
    EXPECT_EQ(chip->flash[5], 0xFF);
}

TEST_F(MemoryAccess, PageAbove128KiBCarriesTheExtendedAddress) {
    useChip("mega2560");
    startWrite(MemoryKind::Code);
    writeByte(0x3FF00, 0x5A);
    commit();
    EXPECT_EQ(sent(), (std::vector<std::string>{"40 00 00 5A", "48 00 00 FF", "4D 00 01 00", "4C FF 80 00"}));
    EXPECT_EQ(chip->sendCalls, 1 + 2) << "the loads in one block; the page write around its echo";
    EXPECT_EQ(chip->flash[0x3FF00], 0x5A);
}

TEST_F(MemoryAccess, FlashReadSplitsAt128KiBAndSetsTheExtendedAddressPerPart) {
    useChip("mega2560");
    for (uint32_t a = 0x1FF00; a < 0x20100; ++a) chip->flash[a] = uint8_t(a * 7 + (a >> 17));
    session.beginMemoryPass();
    std::vector<uint8_t> buffer(512);
    session.readMemoryBlock(MemoryKind::Code, buffer.data(), 0x1FF00, buffer.size());
    for (uint32_t i = 0; i < 512; ++i) ASSERT_EQ(buffer[i], chip->flash[0x1FF00 + i]) << i;

    std::vector<std::string> text = sent();
    ASSERT_EQ(text.size(), 514u);
    EXPECT_EQ(text[0], "4D 00 00 00");
    EXPECT_EQ(text[1], "20 FF 80 00");
    EXPECT_EQ(text[256], "28 FF FF 00");
    EXPECT_EQ(text[257], "4D 00 01 00");
    EXPECT_EQ(text[258], "20 00 00 00");

    // The next read in the same 128 KB block sets nothing again.
    chip->clearLog();
    session.readMemoryBlock(MemoryKind::Code, buffer.data(), 0x20100, 4);
    EXPECT_EQ(sent().front(), "20 00 80 00");
}

TEST_F(MemoryAccess, SmallFlashNeverSendsTheExtendedAddress) {
    useChip("mega8");
    chip->flash[0x101] = 0x42;
    session.beginMemoryPass();
    uint8_t buffer[2];
    session.readMemoryBlock(MemoryKind::Code, buffer, 0x100, 2);
    EXPECT_EQ(sent(), (std::vector<std::string>{"20 00 80 00", "28 00 80 00"}));
    EXPECT_EQ(buffer[1], 0x42);
}

TEST_F(MemoryAccess, WrongEchoInABlockReadLosesSynchronisation) {
    useChip("mega8");
    chip->wrongEchoAt = 5;
    uint8_t buffer[32];
    session.beginMemoryPass();
    CaptureConsole capture;
    EXPECT_EQ(statusOf([&] { session.readMemoryBlock(MemoryKind::Data, buffer, 0, sizeof buffer); }), ExitSync);
    EXPECT_EQ(capture.out(), "ERROR:  \nSynchronisation lost\n");
}

// A byte that polling cannot confirm waits the longest write of the chip: the
// 90S2313's 9 ms under 4 V. Fixed delays keep the table's 6 ms.
TEST_F(MemoryAccess, ReadBackPollingWaitsOnlyForPollableValues) {
    useChip("90S2313");  // flash method 3 (0x7F), EEPROM method 2 (0x7F and 0x80)
    startWrite(MemoryKind::Data);
    writeByte(0x10, 0x7F);
    EXPECT_EQ(chip->events, std::vector<std::string>{"delay 6.000000"});
    useChip("90S2313", optionsWith(true));
    startWrite(MemoryKind::Data);
    EXPECT_EQ(session.pollMethod(), PollKind::ReadBack);
    writeByte(0x10, 0x7F);
    EXPECT_EQ(chip->events, std::vector<std::string>{"delay 9.000000"});
    chip->clearLog();
    writeByte(0x11, 0x12);
    EXPECT_TRUE(chip->events.empty());
    EXPECT_EQ(sent(), (std::vector<std::string>{"C0 00 11 12", "A0 00 11 00"}));
}

TEST_F(MemoryAccess, ReadyBusyPollingAsksUntilReady) {
    useChip("mega88", optionsWith(true));
    chip->busyAnswers = 3;
    startWrite(MemoryKind::Code);
    writeByte(0, 0x01);
    commit();
    std::vector<std::string> text = sent();
    ASSERT_EQ(text.size(), 3u + 4u);
    for (size_t i = 3; i < text.size(); ++i) EXPECT_EQ(text[i], "F0 00 FF 00");
    EXPECT_TRUE(chip->events.empty());
}

TEST_F(MemoryAccess, PollingTimesOutAfterFourTimesTheScaledDelay) {
    useChip("mega88", optionsWith(true, false, 1.5));
    chip->busyAnswers = -1;
    startWrite(MemoryKind::Code);
    writeBytes(0x80, {0x01, 0x02, 0x03});
    CaptureConsole capture;
    int64_t start = clock.nowUs();
    EXPECT_EQ(statusOf([&] { commit(); }), ExitChip);
    EXPECT_EQ(capture.out(), "ERROR:  Poll: can't write page at 0x80\n");
    // 4 x 6 ms x 1.5, plus the instructions sent before the time-out was seen.
    int64_t waited = clock.nowUs() - start;
    EXPECT_GE(waited, 36000);
    EXPECT_LT(waited, 36100);
}

// The first ready/busy answer is "busy", and then the process is held up far
// past the time-out: the chip has finished meanwhile, and one more question says so.
TEST_F(MemoryAccess, PollingHeldUpPastTheTimeOutAsksOnceMore) {
    useChip("mega88", optionsWith(true));
    chip->busyAnswers = 1;
    chip->stallAfter = 0xF0;
    chip->stallUs = 1000000;
    startWrite(MemoryKind::Code);
    writeBytes(0x80, {0x01, 0x02});
    EXPECT_EQ(statusOf([&] { commit(); }), 0);
    const std::vector<std::string> text = sent();
    EXPECT_EQ(std::count(text.begin(), text.end(), "F0 00 FF 00"), 2);
}

// A pass's later flash writes are polled only once three quarters of its
// quickest confirmed write have passed, and never later than three quarters of
// the fixed delay; EEPROM writes are polled from the start.
TEST_F(MemoryAccess, LaterFlashWritesArePolledAfterAHeadStart) {
    struct Case {
        const char* chip;
        MemoryKind kind;
        uint32_t second;  // the second write's address (flash: it commits the first page)
        int busyAnswers;
        int64_t stallUs;  // the process is held up after the first poll
        std::vector<std::string> events;
    };
    const Case cases[] = {
        // Three busy answers of 4 us each: the first page is confirmed after 16 us.
        {"mega88", MemoryKind::Code, 0x40, 3, 0, {"delay 0.012000"}},
        // The first read back confirms the page after 4 us.
        {"mega8", MemoryKind::Code, 0x40, 0, 0, {"delay 0.003000"}},
        {"mega88", MemoryKind::Code, 0x40, 1, 1000000, {"delay 4.500000"}},
        {"mega88", MemoryKind::Data, 1, 3, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + (c.kind == MemoryKind::Code ? " flash" : " EEPROM"));
        useChip(c.chip, optionsWith(true));
        chip->busyAnswers = c.busyAnswers;
        chip->stallAfter = 0xF0;
        chip->stallUs = c.stallUs;
        startWrite(c.kind);
        writeByte(0, 0x01);
        chip->clearLog();
        writeByte(c.second, 0x02);
        commit();
        EXPECT_EQ(chip->events, c.events);
        const std::vector<uint8_t>& memory = c.kind == MemoryKind::Code ? chip->flash : chip->eeprom;
        EXPECT_EQ(memory[c.second], 0x02);
    }
}

TEST_F(MemoryAccess, ByteWriteThatPollingCannotConfirmFails) {
    useChip("90S2313", optionsWith(true));
    startWrite(MemoryKind::Data);
    chip->eeprom.resize(0x10);  // the byte never reads back as written
    CaptureConsole capture;
    EXPECT_EQ(statusOf([&] { writeByte(0x20, 0x12); }), ExitChip);
    EXPECT_EQ(capture.out(), "ERROR:  Poll: can't write byte to DATA memory at 0x20\n");
}

TEST_F(MemoryAccess, UnpollableMemoryWarnsAndUsesFixedDelays) {
    useChip("mega103", optionsWith(true));  // flash cannot be polled
    connectQuietly();
    CaptureConsole capture(false, false, LevelWarning);
    startWrite(MemoryKind::Code);
    EXPECT_EQ(capture.out(), "Warning: Can't use write polling for CODE memory of mega103\n");
    EXPECT_EQ(session.pollMethod(), PollKind::FixedDelay);
}

TEST_F(MemoryAccess, EepromPagesOnAByteWiseChipWarnAndWriteBytes) {
    useChip("90S8515", optionsWith(false, true));
    connectQuietly();
    CaptureConsole capture(false, false, LevelWarning);
    startWrite(MemoryKind::Data);
    EXPECT_EQ(capture.out(), "Warning: Can't use page writes for DATA memory of 90S8515\n");
    writeByte(0x10, 0x12);
    EXPECT_EQ(sent(), std::vector<std::string>{"C0 00 10 12"});
}

}  // namespace
}  // namespace mervex::test
