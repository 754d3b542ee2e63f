// The LPT adapter's bit-banged SPI: exact port traffic of the transfers and
// pulses, the sequences with and without XTAL, and the timing derivation.
#include <gtest/gtest.h>

#include <vector>

#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "adapter/PinMapConfig.h"
#include "console/Units.h"
#include "support/CaptureConsole.h"
#include "support/ManualClock.h"
#include "support/RecordedAdapter.h"
#include "support/RecordingPort.h"
#include "support/RunningPinMap.h"

namespace mervex::test {
namespace {

TEST(LptAdapterSpi, TransferByteWritesEachBitAsOneSequenceThenReadsMiso) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckTiming{0.5, 0.5}, clock, &port);
    ASSERT_EQ(adapter->bitSequenceLength(), 2u);  // L = H = 1
    port->clearLog();
    // MISO (ACK) answers 1011 0010.
    port->statusScript = {0x40, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00};

    uint8_t in = adapter->transferByte(0xAC);  // 1010 1100

    EXPECT_EQ(in, 0xB2);
    // RESET active (D4 low) during the bits; MOSI D5, SCK D6.
    std::vector<uint8_t> expectedData = {0x20, 0x60, 0x00, 0x40, 0x20, 0x60, 0x00, 0x40,
                                         0x20, 0x60, 0x20, 0x60, 0x00, 0x40, 0x00, 0x40};
    EXPECT_EQ(port->dataWrites(), expectedData);
    EXPECT_EQ(port->sequenceCalls, 8u);
    EXPECT_EQ(port->count(AccessKind::SequenceWrite, PortRegister::Data), 16u);
    EXPECT_EQ(port->count(AccessKind::Read, PortRegister::Status), 8u);
    EXPECT_EQ(port->log.size(), 16u + 8u);
    // Each status read follows its bit's last write.
    for (size_t bit = 0; bit < 8; ++bit) EXPECT_EQ(port->log[bit * 3 + 2].kind, AccessKind::Read);
}

// A byte ends with SCK high, as a bit does: the next byte's first write is its
// falling edge. Anything else first writes the resting value, once.
TEST(LptAdapterSpi, BytesFollowBackToBackAndTheRestoreComesBeforeAnythingElse) {
    ManualClock clock;
    struct Case {
        const char* name;
        void (*next)(LptAdapter&);
        size_t ownWrites;  // data writes of the operation after the restore
    };
    const Case cases[] = {
        {"delay", [](LptAdapter& a) { a.delay(1); }, 0},
        {"flush", [](LptAdapter& a) { a.flush(); }, 0},
        {"setReset", [](LptAdapter& a) { a.setReset(false); }, 1},
        {"pulseSck", [](LptAdapter& a) { a.pulseSck(); }, 3},
        {"pulseReset", [](LptAdapter& a) { a.pulseReset(); }, 3},
    };
    for (const Case& c : cases) {
        RecordingPort* port;
        auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckTiming{0.5, 0.5}, clock, &port);
        port->clearLog();
        const uint8_t bytes[2] = {0x01, 0x80};
        adapter->sendBlock(bytes, 2);
        adapter->transferByte(0x00);
        std::vector<uint8_t> data = port->dataWrites();
        ASSERT_EQ(data.size(), 48u) << "nothing between the bytes";
        // The last bit of 0x01 (MOSI and SCK high), then the first bit of 0x80.
        EXPECT_EQ(std::vector<uint8_t>(data.begin() + 14, data.begin() + 18),
                  (std::vector<uint8_t>{0x20, 0x60, 0x20, 0x60}));
        const uint8_t resting = adapter->dataShadow();
        c.next(*adapter);
        data = port->dataWrites();
        ASSERT_EQ(data.size(), 48u + 1u + c.ownWrites) << c.name;
        EXPECT_EQ(data[48], resting) << c.name;
        if (c.ownWrites > 1) {
            EXPECT_EQ(data.back(), adapter->dataShadow()) << c.name << " ends at rest";
        }
    }
}

TEST(LptAdapterSpi, SendAndReceiveByte) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckTiming{0.5, 0.5}, clock, &port);
    port->clearLog();
    adapter->sendByte(0x80);
    std::vector<uint8_t> expected = {0x20, 0x60, 0x00, 0x40, 0x00, 0x40, 0x00, 0x40,
                                     0x00, 0x40, 0x00, 0x40, 0x00, 0x40, 0x00, 0x40};
    EXPECT_EQ(port->dataWrites(), expected);
    EXPECT_EQ(port->count(AccessKind::Read, PortRegister::Status), 0u);

    port->clearLog();
    port->status = 0x40;
    EXPECT_EQ(adapter->receiveByte(), 0xFF);
    for (uint8_t v : port->dataWrites()) EXPECT_EQ(v & 0x20, 0) << "MOSI must stay inactive";
    EXPECT_EQ(port->count(AccessKind::Read, PortRegister::Status), 8u);
}

TEST(LptAdapterSpi, InvertedMisoReturnsTheComplementOfTheSamples) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::ByteBlaster), SckTiming{0.5, 0.5}, clock, &port);
    port->statusScript = {0x80, 0x00, 0x80, 0x80, 0x00, 0x00, 0x80, 0x00};  // raw 1011 0010
    EXPECT_EQ(adapter->transferByte(0x00), uint8_t(~0xB2));
}

TEST(LptAdapterSpi, ResetPulseReleasesResetForAllButTheLastWrite) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckTiming{0.5, 0.5}, clock, &port);
    port->clearLog();
    adapter->pulseReset();
    std::vector<uint8_t> expected = {0x10, 0x00, adapter->dataShadow()};
    EXPECT_EQ(port->dataWrites(), expected);

    auto longer = recordedAdapter(runningMap(AdapterType::Default), SckTiming{2.5, 1.5}, clock, &port);
    EXPECT_EQ(longer->resetPulseSequence(), (std::vector<uint8_t>{0x10, 0x10, 0x10, 0x10, 0x00}));

    port->clearLog();
    longer->pulseSck();
    expected = {0x00, 0x00, 0x00, 0x40, 0x40, longer->dataShadow()};
    EXPECT_EQ(port->dataWrites(), expected);
}

TEST(LptAdapterSpi, SequencesDriveEnableAndPowerWhateverTheShadowHolds) {
    ManualClock clock;
    RecordingPort* port;
    PinMap map = runningMap(AdapterType::Default);
    applyPowerFromData(map);
    map.entry(SignalId::Enable) = SignalEntry{0, 0x000008};  // ~D3
    map.entry(SignalId::Xtal) = SignalEntry{};
    auto adapter = recordedAdapter(map, SckTiming{0.5, 0.5}, clock, &port);
    // Buffers disabled and supply off at rest; every bit drives them on, RESET active.
    EXPECT_EQ(adapter->dataShadow(), 0x18);
    EXPECT_EQ(adapter->bitZeroSequence(), (std::vector<uint8_t>{0x87, 0xC7}));
    EXPECT_EQ(adapter->bitOneSequence(), (std::vector<uint8_t>{0xA7, 0xE7}));
}

// SPI or RESET on a control line: single register writes, MOSI's register
// first at each bit, the port's inversion of STROBE and SELECT applied.
TEST(LptAdapterSpi, ControlLineWiringsWriteEachBitRegisterByRegister) {
    using W = LptAdapter::PortWrite;
    constexpr PortRegister D = PortRegister::Data, C = PortRegister::Control;
    struct Case {
        std::vector<const char*> entries;
        std::vector<W> zero, one, resetPulse;
    };
    const Case cases[] = {
        {{"reset=SELECT", "sck=STROBE", "mosi=D0", "miso=ACK"},
         {{D, 0x00}, {C, 0x09}, {C, 0x08}},
         {{D, 0x01}, {C, 0x09}, {C, 0x08}},
         {{C, 0x01}, {C, 0x09}}},
        {{"reset=D1", "sck=D0", "mosi=STROBE", "miso=ACK"},
         {{C, 0x01}, {D, 0x00}, {D, 0x01}},
         {{C, 0x00}, {D, 0x00}, {D, 0x01}},
         {{D, 0x02}, {D, 0x00}}},
    };
    for (const Case& c : cases) {
        PinMap map;
        for (const char* entry : c.entries) parseEntry(map, entry);
        map.driveResetAsHeld();
        ManualClock clock;
        RecordingPort* port;
        auto adapter = recordedAdapter(map, SckTiming{0.5, 0.5}, clock, &port);
        ASSERT_TRUE(adapter->controlPath()) << c.entries[0];
        EXPECT_EQ(adapter->bitZeroWrites(), c.zero) << c.entries[0];
        EXPECT_EQ(adapter->bitOneWrites(), c.one) << c.entries[0];
        EXPECT_EQ(adapter->resetPulseWrites(), c.resetPulse) << c.entries[0];
        EXPECT_NEAR(adapter->sckFrequency(), 1.0 / 4, 1e-12);

        port->clearLog();
        port->statusScript = {0x40, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00};  // ACK: 1011 0010
        EXPECT_EQ(adapter->transferByte(0xAC), 0xB2);
        EXPECT_EQ(port->sequenceCalls, 0u);
        EXPECT_EQ(port->log.size(), 8u * (3 + 1)) << "three writes and a read per bit";
        adapter->flush();
        EXPECT_EQ(port->log.size(), 8u * (3 + 1) + 2) << "then the restore of both registers";
    }
}

TEST(LptAdapterSpi, TimingExamplesAtOneMicrosecondPerWrite) {
    struct Case {
        uint32_t frequency;
        bool isSck;
        SckPeriods periods;
        double setup, hold;
        size_t low, high;
    };
    const Case cases[] = {
        {1000000, true, {2, 2}, 0.5, 0.5, 1, 1},
        {800000, false, {2, 2}, 2.625, 2.625, 3, 3},
        {16000000, false, {3, 3}, 0.196875, 0.196875, 1, 1},
        {1000000, false, {5, 17}, 5.25, 17.85, 6, 18},
    };
    for (const Case& c : cases) {
        SckTiming timing = deriveSckTiming(c.frequency, c.isSck, c.periods);
        EXPECT_NEAR(timing.setupTime, c.setup, 1e-9);
        EXPECT_NEAR(timing.holdTime, c.hold, 1e-9);
        ManualClock clock;
        RecordingPort* port;
        auto adapter = recordedAdapter(runningMap(AdapterType::Default), timing, clock, &port);
        ASSERT_EQ(adapter->bitSequenceLength(), c.low + c.high) << c.frequency;
        size_t highWrites = 0;
        for (uint8_t v : adapter->bitZeroSequence()) highWrites += (v & 0x40) ? 1 : 0;
        EXPECT_EQ(highWrites, c.high);
        EXPECT_EQ(adapter->resetPulseLength(), c.low + c.high);
        EXPECT_NEAR(adapter->sckFrequency(), 1.0 / double(c.low + c.high + 1), 1e-12);
    }
    EXPECT_EQ(portWritesFor(0.0, 1.0), 1);
    EXPECT_EQ(portWritesFor(0.6, 0.2), 3);  // not 4 from rounding error
    EXPECT_EQ(portWritesFor(0.61, 0.2), 4);
}

TEST(LptAdapterSpi, XtalModeTogglesXtalOnEveryOddWrite) {
    test::CaptureConsole capture(false, false, LevelDebug);
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckPeriods{2, 2}, clock, &port);
    EXPECT_TRUE(adapter->xtalMode());
    ASSERT_EQ(adapter->bitSequenceLength(), 8u);
    const uint8_t fill = 0x00, mosi = 0x20, sck = 0x40, xtal = 0x08;
    for (size_t i = 0; i < 8; ++i) {
        uint8_t x = (i % 2) ? xtal : 0;
        uint8_t s = i >= 4 ? sck : 0;
        EXPECT_EQ(adapter->bitZeroSequence()[i], fill ^ s ^ x) << i;
        EXPECT_EQ(adapter->bitOneSequence()[i], fill ^ mosi ^ s ^ x) << i;
        uint8_t r = i < 7 ? 0x10 : 0;
        EXPECT_EQ(adapter->resetPulseSequence()[i], fill ^ r ^ x) << i;
    }
    EXPECT_NE(capture.out().find("0.50MHz XTAL will be generated\n"), std::string::npos) << capture.out();
}

TEST(LptAdapterSpi, DelayInXtalModeKeepsClockingUntilTheTimeOut) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckPeriods{2, 2}, clock, &port);
    port->clock = &clock;
    uint8_t resting = port->data;
    port->clearLog();

    adapter->delay(0.010);  // 10 us at 1 us per write: three bursts of four
    std::vector<uint8_t> burst = {uint8_t(resting ^ 0x08), uint8_t(resting ^ 0x08), resting, resting};
    std::vector<uint8_t> expected;
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), burst.begin(), burst.end());
    EXPECT_EQ(port->dataWrites(), expected);

    port->clearLog();
    adapter->delay(0);
    EXPECT_TRUE(port->dataWrites().empty());
}

TEST(LptAdapterSpi, DelayOutsideXtalModeSleepsWithoutPortTraffic) {
    ManualClock clock;
    RecordingPort* port;
    auto adapter = recordedAdapter(runningMap(AdapterType::Default), SckTiming{0.5, 0.5}, clock, &port);
    port->clearLog();
    adapter->delay(5);
    EXPECT_EQ(clock.nowUs(), 5000);
    EXPECT_TRUE(port->log.empty());
}

}  // namespace
}  // namespace mervex::test
