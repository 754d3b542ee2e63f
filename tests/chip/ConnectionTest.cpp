#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "ChipFixture.h"
#include "console/Errors.h"
#include "console/SignalMonitor.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

class Connection : public ChipFixture {};

size_t countEvents(const FakeChip& chip, const std::string& name) {
    size_t n = 0;
    for (const std::string& e : chip.events) n += e == name;
    return n;
}

TEST_F(Connection, ChipInStepAtOnceTracesTheWholeConversation) {
    useChip("mega8");
    CaptureConsole capture(false, false, LevelTrace);
    session.connectChip();
    EXPECT_EQ(capture.out(),
              "    Reset\n"
              "        PgmOn reply: 00 AC 53 00\n"
              "        GetID reply: 00 30 00 1E\n"
              "        GetID reply: 00 30 00 93\n"
              "        GetID reply: 00 30 00 07\n"
              "    Read ID: 0x1E9307\n"
              "Device connected, mega8|mega8A detected\n");
    EXPECT_EQ(chip->events, (std::vector<std::string>{"reset on", "delay 100.000000"}));
    EXPECT_EQ(session.detectedIndex(), findChipByName("mega8"));
}

TEST_F(Connection, ResynchronisationByResetPulseAndSckPulses) {
    struct Case {
        const char* requested;
        bool syncOnResetPulse;
        int sckPulsesToSync;
        size_t resetPulses;
        size_t sckPulses;
        const char* synchronised;  // debug line expected, or nullptr
    };
    const Case cases[] = {
        {"mega8", true, 0, 1, 0, nullptr},
        {"mega8", false, 1, 1, 1, "Synchronised after 2 try"},
        {"mega8", false, 32, 1, 32, "Synchronised after 33 try"},
        // The 90S1200 forbids SCK pulses: the signature is read regardless.
        {"90S1200", false, 5, 1, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.requested) + " after " + std::to_string(c.sckPulsesToSync));
        useChip(c.requested);
        chip->syncOnResetPulse = c.syncOnResetPulse;
        chip->sckPulsesToSync = c.sckPulsesToSync;
        CaptureConsole capture(false, false, LevelDebug);
        session.connectChip();
        EXPECT_EQ(countEvents(*chip, "reset pulse"), c.resetPulses);
        EXPECT_EQ(countEvents(*chip, "sck pulse"), c.sckPulses);
        if (c.synchronised)
            EXPECT_NE(capture.out().find(c.synchronised), std::string::npos) << capture.out();
        else
            EXPECT_EQ(capture.out().find("Synchronised"), std::string::npos);
        EXPECT_EQ(chip->sent.back()[0], 0x30);
    }
}

TEST_F(Connection, NoSckPulsesWithoutAUsableRow) {
    useChip("mega8", ChipOptions(), false);
    chip->sckPulsesToSync = 3;
    CaptureConsole capture;
    session.connectChip();
    EXPECT_EQ(countEvents(*chip, "sck pulse"), 0u);
}

TEST_F(Connection, GivesUpAfter32SckPulses) {
    useChip("mega8");
    chip->sckPulsesToSync = 33;
    CaptureConsole capture(false, false, LevelTrace);
    EXPECT_EQ(statusOf([&] { session.connectChip(); }), ExitSync);
    EXPECT_EQ(countEvents(*chip, "sck pulse"), 32u);
    EXPECT_NE(capture.out().find("Try 32 to resync by SCK pulse"), std::string::npos);
    EXPECT_NE(capture.out().find("ERROR:  Can't resync\n"), std::string::npos);
}

TEST_F(Connection, SignalDuringResynchronisationEndsTheRun) {
    useChip("mega8");
    chip->sckPulsesToSync = 10;
    CaptureConsole capture;
    raisePendingSignal(SIGINT);
    EXPECT_EQ(statusOf([&] { session.connectChip(); }), ExitSignal);
    EXPECT_EQ(countEvents(*chip, "sck pulse"), 0u);
}

TEST_F(Connection, IdentificationByNameAmongSharedSignatures) {
    struct Case {
        const char* requested;
        uint32_t signature;
        const char* line;
    };
    const Case cases[] = {
        {"tiny22", 0x1E9106, "Device connected, tiny22 detected\n"},
        {"tiny22L", 0x1E9106, "Device connected, tiny22L detected\n"},
        {"mega8", 0x1E9106, "Device connected, tiny22 detected\n"},
        {"mega8", 0x000102, "Device connected, but not recognised, ID: 0x000102 (looks as protected)\n"},
        {"mega8", 0x123456, "Device connected, but not recognised, ID: 0x123456\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requested);
        useChip(c.requested);
        chip->signature = c.signature;
        CaptureConsole capture;
        session.connectChip();
        EXPECT_EQ(capture.out(), c.line);
    }
    useChip("mega8");
    chip->signature = 0x123456;
    connectQuietly();
    EXPECT_EQ(session.detectedIndex(), -1);
}

TEST_F(Connection, ChipEraseWaitsPulsesResetAndChecksTheEchoFirst) {
    ChipOptions options;
    options.resetInactiveMs = 3;
    options.delayScale = 2.0;
    useChip("mega8", options);
    session.chipErase();
    EXPECT_EQ(chip->sentText(), std::vector<std::string>{"AC 80 00 00"});
    // 50 ms until the write timing is known.
    EXPECT_EQ(chip->events,
              (std::vector<std::string>{"delay 50.000000", "reset off", "delay 3.000000", "reset on"}));

    // Then the connected chip's, scaled.
    connectQuietly();
    session.chipErase();
    EXPECT_EQ(chip->events.front(), "delay 40.000000");

    chip->clearLog();
    chip->wrongEchoAt = 0;
    CaptureConsole capture;
    EXPECT_EQ(statusOf([&] { session.chipErase(); }), ExitSync);
    EXPECT_TRUE(chip->events.empty());
}

}  // namespace
}  // namespace mervex::test
