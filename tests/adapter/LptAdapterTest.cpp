// The register and pin model of the LPT adapter: signal operations, input
// reading, construction and destruction traffic.
#include <gtest/gtest.h>

#include <memory>

#include "adapter/AdapterDetection.h"
#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "support/RecordedAdapter.h"
#include "support/RecordingPort.h"
#include "support/RunningPinMap.h"

namespace mervex::test {
namespace {

struct Bench {
    explicit Bench(const PinMap& map, uint8_t data = 0, uint8_t control = 0)
        : adapter(recordedAdapter(map, SckTiming{0.5, 0.5}, clock, &port, data, control)) {}
    ManualClock clock;
    RecordingPort* port = nullptr;
    std::unique_ptr<LptAdapter> adapter;
};

PortAccess readControl(uint8_t v) { return {AccessKind::Read, PortRegister::Control, v}; }
PortAccess writeData(uint8_t v) { return {AccessKind::Write, PortRegister::Data, v}; }
PortAccess writeControl(uint8_t v) { return {AccessKind::Write, PortRegister::Control, v}; }

TEST(LptAdapter, ConstructionReleasesOutputsThenActivatesSet) {
    PinMap map = runningMap(AdapterType::Xilinx);
    Bench bench(map, 0xE5, 0x04);
    const auto& log = bench.port->log;
    // One data read, seven deactivations and the activation of `set`, three accesses each.
    ASSERT_EQ(log.size(), 1u + 8 * 3);
    EXPECT_EQ(log[0], (PortAccess{AccessKind::Read, PortRegister::Data, 0xE5}));
    for (size_t op = 0; op < 8; ++op) {
        EXPECT_EQ(log[1 + op * 3].kind, AccessKind::Read);
        EXPECT_EQ(log[1 + op * 3].reg, PortRegister::Control);
        EXPECT_EQ(log[2 + op * 3].reg, PortRegister::Data);
        EXPECT_EQ(log[3 + op * 3].reg, PortRegister::Control);
    }
    // mosi D0 and sck D1 low, RESET (D2) high = running, enable (~D3) high = disabled, set (D4) high.
    EXPECT_EQ(bench.adapter->dataShadow(), uint8_t((0xE5 & ~0x03) | 0x04 | 0x08 | 0x10));
    EXPECT_EQ(bench.port->control, 0x04);
    EXPECT_FALSE(bench.adapter->xtalMode());
    EXPECT_STREQ(bench.adapter->typeName(), "LPT soft SPI");
}

TEST(LptAdapter, MixedPolaritySignalChangesAllPinsWithOneDataAndOneControlWrite) {
    Bench bench(runningMap(AdapterType::ByteBlaster, 3 /* ByteBlaster-II */), 0x00, 0x0B);
    bench.port->clearLog();
    uint8_t dataBefore = bench.adapter->dataShadow();

    bench.adapter->enableBuffers();
    std::vector<PortAccess> expected = {readControl(0x0B), writeData(uint8_t(dataBefore | 0xB0)), writeControl(0x04)};
    EXPECT_EQ(bench.port->log, expected);

    bench.port->clearLog();
    bench.adapter->disableBuffers();
    expected = {readControl(0x04), writeData(dataBefore), writeControl(0x0B)};
    EXPECT_EQ(bench.port->log, expected);
}

TEST(LptAdapter, AbsentSignalRewritesTheCurrentValues) {
    Bench bench(runningMap(AdapterType::Default), 0x00, 0x05);
    bench.port->clearLog();
    uint8_t shadow = bench.adapter->dataShadow();
    bench.adapter->setLedOk(false);
    bench.adapter->setLedError(true);
    std::vector<PortAccess> expected = {readControl(0x05), writeData(shadow), writeControl(0x05),
                                        readControl(0x05), writeData(shadow), writeControl(0x05)};
    EXPECT_EQ(bench.port->log, expected);
}

TEST(LptAdapter, StatusBitsInAMaskAreNeverWritten) {
    PinMap map = runningMap(AdapterType::Default);
    map.entry(SignalId::LedOk) = SignalEntry{0x004000 | 0x000001 | 0x040000, 0x000800};
    Bench bench(map);
    bench.port->clearLog();
    bench.adapter->setLedOk(true);
    EXPECT_EQ(bench.port->count(AccessKind::Write, PortRegister::Status), 0u);
    EXPECT_EQ(bench.port->data & 0x01, 0x01);
    EXPECT_EQ(bench.port->control & 0x04, 0x04);
}

TEST(LptAdapter, ResetActiveHoldsTheTargetInReset) {
    Bench bench(runningMap(AdapterType::Default));
    EXPECT_EQ(bench.port->data & 0x10, 0x10);  // released after construction
    bench.adapter->setReset(true);
    EXPECT_EQ(bench.port->data & 0x10, 0x00);
    bench.adapter->setReset(false);
    EXPECT_EQ(bench.port->data & 0x10, 0x10);
}

TEST(LptAdapter, KeyReadingFollowsItsPolarity) {
    struct Case {
        SignalEntry key;
        uint8_t status;
        bool pressed;
    };
    const Case cases[] = {
        {{0, 0x008000}, 0x00, true},   // BUSY without "~": register bit inverted
        {{0, 0x008000}, 0x80, false},
        {{0x004000, 0}, 0x40, true},   // ACK
        {{0x004000, 0}, 0xBF, false},
        {{0, 0}, 0xFF, false},         // no key
    };
    for (const Case& c : cases) {
        PinMap map = runningMap(AdapterType::Default);
        map.entry(SignalId::Key) = c.key;
        Bench bench(map);
        bench.port->status = c.status;
        EXPECT_EQ(bench.adapter->hasKey(), c.key.present());
        EXPECT_EQ(bench.adapter->isKeyPressed(), c.pressed) << std::hex << c.key.setMask << " " << int(c.status);
    }
}

TEST(LptAdapter, DestructionDisablesBuffersAndPowerBeforeClosing) {
    struct Case {
        bool power;
        bool enable;
        size_t accesses;
    };
    for (Case c : {Case{false, false, 0}, Case{true, false, 3}, Case{false, true, 3}, Case{true, true, 6}}) {
        PinMap map = runningMap(AdapterType::Default);
        if (c.power) applyPowerFromData(map);
        if (c.enable) map.entry(SignalId::Enable) = SignalEntry{0, 0x000008};
        Bench bench(map);
        if (c.enable) bench.adapter->enableBuffers();
        if (c.power) bench.adapter->powerOn();
        size_t before = bench.port->log.size();
        std::vector<PortAccess> finalLog;
        uint8_t lastData = 0;
        bench.port->onDestroy = [&](const RecordingPort& port) {
            finalLog = port.log;
            lastData = port.data;
        };
        bench.adapter.reset();
        EXPECT_EQ(finalLog.size(), before + c.accesses);
        if (c.enable) {
            EXPECT_EQ(lastData & 0x08, 0x08) << "buffers left enabled";
        }
        if (c.power) {
            EXPECT_EQ(lastData & 0x87, 0x00) << "supply left on";
        }
    }
}

}  // namespace
}  // namespace mervex::test
