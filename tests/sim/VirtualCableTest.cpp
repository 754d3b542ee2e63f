// The simulated cables: the loop-backs the adapter detection looks for, the
// buffer that cuts the chip off, supply, LEDs and key, and whole adapters
// built by adapter set-up on a target file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "adapter/AdapterDetection.h"
#include "adapter/AdapterSetup.h"
#include "base/TextUtil.h"
#include "console/Errors.h"
#include "sim/VirtualCable.h"
#include "sim/VirtualPort.h"
#include "sim/VirtualTargetFile.h"
#include "sim/VirtualTargetHook.h"
#include "support/CaptureConsole.h"
#include "support/ManualClock.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

std::unique_ptr<VirtualPort> portWith(ManualClock& clock, const std::string& cable, const std::string& chip = "mega8") {
    auto target = newVirtualTarget(chip);
    target->cable = cable;
    return std::make_unique<VirtualPort>(std::move(target), clock);
}

struct DetectCase {
    const char* cable;
    const char* stk;  // the suffix of the STK verdict
    int byteBlaster;  // the ByteBlaster detection's verdict
};

class CableDetection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(CableDetection, TheAdapterDetectionsRecogniseIt) {
    CaptureConsole capture(false, false, LevelDebug);
    ManualClock clock;
    EXPECT_EQ(detectCable(*portWith(clock, GetParam().cable), *builtinCable(AdapterType::Stk), clock) != 0,
              std::string(GetParam().stk) != " not");
    EXPECT_NE(capture.out().find(std::string("Atmel adapter for STK") + GetParam().stk + " found"), std::string::npos);
    EXPECT_EQ(detectCable(*portWith(clock, GetParam().cable), *builtinCable(AdapterType::ByteBlaster), clock),
              GetParam().byteBlaster);
}

INSTANTIATE_TEST_SUITE_P(
    Cables, CableDetection,
    ::testing::Values(DetectCase{"vuder", " not", 0}, DetectCase{"vuder-ap", " not", 0},
                      DetectCase{"vuder-az", " not", 0}, DetectCase{"stk200", "200", 0}, DetectCase{"stk300", "300", 0},
                      DetectCase{"byteblaster", " not", 1}, DetectCase{"byteblaster-mv", " not", 2},
                      DetectCase{"byteblaster-ii", " not", 3}, DetectCase{"xilinx", " not", 0},
                      DetectCase{"none", " not", 0}));

// Probes and loop-backs are separate data in a cable's row: every simulated
// cable, a new row's included, must be found as itself, and the others not at all.
TEST(VirtualCable, ProbingFindsEveryDetectableCableAsItself) {
    CaptureConsole capture;
    ManualClock clock;
    for (const std::string& name : splitList(VirtualCable::builtinCableNames(), ", ")) {
        std::string expected;
        for (const BuiltinCable* row : detectableCables())
            for (const CableVariant& variant : row->variants)
                if (variant.name != nullptr && name == variant.name) expected = verdictName(*row, variant.verdict);
        const FoundCable found = probeCables(*portWith(clock, name), clock);
        EXPECT_EQ(found.row ? verdictName(*found.row, found.verdict) : "", expected) << name;
    }
}

TEST(VirtualCable, NothingAttachedReadsIdleLines) {
    ManualClock clock;
    auto port = portWith(clock, "none");
    for (uint8_t data : {0x00, 0x5A, 0xFF}) {
        port->writeRegister(PortRegister::Data, data);
        EXPECT_EQ(port->readRegister(PortRegister::Status), 0x7F);
    }
    EXPECT_FALSE(port->chip().drivesMiso());
}

TEST(VirtualCable, ADisabledBufferCutsTheChipOff) {
    ManualClock clock;
    // STK: RESET on D7 (low = held), buffer enabled by D2 and D3 low.
    auto port = portWith(clock, "stk200");
    port->writeRegister(PortRegister::Data, 0x0C);
    EXPECT_FALSE(port->chip().drivesMiso());
    port->writeRegister(PortRegister::Data, 0x00);
    EXPECT_TRUE(port->chip().drivesMiso());
    port->writeRegister(PortRegister::Data, 0x08);
    EXPECT_FALSE(port->chip().drivesMiso());
    // The port comes up with all data lines low, which enables the STK buffer too.
    EXPECT_EQ(port->target().lastRun.enable.switchedOn, 2u);
    EXPECT_FALSE(port->target().lastRun.enable.on);
}

TEST(VirtualCable, LazyBlasterDataLinesAtHighImpedanceLeaveTheChipRunning) {
    ManualClock clock;
    auto port = portWith(clock, "vuder-az");
    port->writeRegister(PortRegister::Data, 0x00);  // RESET (D4) low
    port->writeRegister(PortRegister::Control, 0x20);
    EXPECT_FALSE(port->chip().drivesMiso());
    EXPECT_EQ(port->readRegister(PortRegister::Control), 0x20);
    port->writeRegister(PortRegister::Control, 0x00);
    EXPECT_TRUE(port->chip().drivesMiso());
}

TEST(VirtualCable, RecordsSupplyAndLedLinesAndPlaysTheKeyScript) {
    ManualClock clock;
    auto target = newVirtualTarget("mega8");
    target->cable = "user:mosi=D5:miso=ACK:sck=D6:reset=D4:power=D0,D1:led_ok=D2:led_error=~D3:key=~PE";
    target->key = {KeyInterval{2, 4}};
    VirtualPort port(std::move(target), clock);
    const TargetCounters& c = port.target().lastRun;

    port.writeRegister(PortRegister::Data, 0x08);  // error LED off, rest off
    EXPECT_FALSE(port.chip().drivesMiso());        // no supply
    port.writeRegister(PortRegister::Data, 0x0B);  // supply on, RESET low
    EXPECT_TRUE(port.chip().drivesMiso());
    port.writeRegister(PortRegister::Data, 0x07);  // and the error LED on
    port.writeRegister(PortRegister::Data, 0x0C);  // supply off, ok LED on
    EXPECT_TRUE(c.power.present);
    EXPECT_FALSE(c.power.on);
    EXPECT_EQ(c.power.switchedOn, 1u);
    EXPECT_TRUE(c.ledOk.on);
    EXPECT_FALSE(c.ledError.on);
    EXPECT_EQ(c.ledError.switchedOn, 2u);  // on at start (D3 low), and once more

    // The key pulls PE low while held: from 2 ms to 4 ms of modelled time.
    EXPECT_TRUE(port.readRegister(PortRegister::Status) & 0x20);
    clock.advanceUs(2500);
    EXPECT_FALSE(port.readRegister(PortRegister::Status) & 0x20);
    clock.advanceUs(2000);
    EXPECT_TRUE(port.readRegister(PortRegister::Status) & 0x20);
}

TEST(VirtualCable, RefusesBadSpecifications) {
    CaptureConsole capture;
    for (const char* text : {"stk500", "user:mosi=D5:sck=D6:reset=D4", "user:mosi=D5:miso=ACK:sck=D6:reset=D4:D0<D1",
                             "user:mosi=D5:miso=ACK:sck=D6:reset=D4:PE<ACK", "user:mosi=D5:miso=ACK:sck=D6:reset=D4:ACK<1",
                             "user:mosi=D5:miso=ACK:sck=D6:reset=D4:PE<1:PE<0", "user:mosi=D9:miso=ACK:sck=D6:reset=D4"}) {
        EXPECT_EQ(test::statusOf([&] { VirtualCable::create(text); }), ExitUsage) << text;
    }
    EXPECT_NE(VirtualCable::create("USER:mosi=D5:miso=ACK:sck=D6:reset=D4:PE<~D0:ERROR<0"), nullptr);
}

struct SetupCase {
    const char* cable;
    const char* adapterSpec;  // "" for none
    bool lazy;
    bool power;
    uint32_t oscillatorHz;
    uint32_t clockHz;
};

class AdapterOnCable : public ::testing::TestWithParam<SetupCase> {};

TEST_P(AdapterOnCable, AdapterSetUpFindsTheCableAndTheChipAnswers) {
    const SetupCase& c = GetParam();
    std::filesystem::create_directories(MERVEX_TEST_TMP);
    std::string path = std::string(MERVEX_TEST_TMP) + "/cable-" + std::to_string(::getpid()) + "-" + c.cable + ".vchip";
    auto target = newVirtualTarget("mega8");
    target->cable = c.cable;
    target->clockHz = c.clockHz;
    saveVirtualTarget(*target, path);

    CaptureConsole capture;
    ManualClock clock;
    AdapterSettings settings;
    if (*c.adapterSpec) settings.type = adapterTypeOf(c.adapterSpec);
    settings.portSpec = path;
    const VirtualPortBackend virtualTargets(clock);
    settings.portBackends = {&virtualTargets};
    settings.lazyBlaster = c.lazy;
    settings.powerFromData = c.power;
    settings.oscillatorHz = c.oscillatorHz;
    {
        std::unique_ptr<Programmer> adapter = createAdapter(settings, clock);
        ASSERT_TRUE(adapter);
        if (adapter->hasPower()) adapter->powerOn();
        if (adapter->hasEnable()) adapter->enableBuffers();
        adapter->setReset(true);
        adapter->delay(30);
        uint8_t enable[4] = {0xAC, 0x53, 0x00, 0x00};
        adapter->transferBlock(enable, enable, 4);
        EXPECT_EQ(enable[2], 0x53) << c.cable;
        uint8_t id[4] = {0x30, 0x00, 0x01, 0x00};
        adapter->transferBlock(id, id, 4);
        EXPECT_EQ(id[1], 0x30);
        EXPECT_EQ(id[3], 0x93);
        adapter->setReset(false);
    }
    // The port wrote the run back into the file.
    auto after = loadVirtualTarget(path);
    EXPECT_EQ(after->runCount, 1u);
    EXPECT_EQ(after->lastRun.isp[0xAC], 1u);
    EXPECT_EQ(after->lastRun.missedPulses, 0u);
    EXPECT_FALSE(after->lastRun.enable.on);
    EXPECT_FALSE(after->lastRun.power.on);
}

INSTANTIATE_TEST_SUITE_P(Cables, AdapterOnCable,
                         ::testing::Values(SetupCase{"vuder", "", false, false, 800000, 1000000},
                                           SetupCase{"vuder-azp", "", true, true, 800000, 1000000},
                                           SetupCase{"stk200", "s", false, false, 800000, 1000000},
                                           SetupCase{"stk300", "a", false, false, 800000, 1000000},
                                           SetupCase{"byteblaster-mv", "a", false, false, 800000, 1000000},
                                           SetupCase{"byteblaster-ii", "b", false, false, 800000, 1000000},
                                           SetupCase{"xilinx", "x", false, false, 800000, 1000000},
                                           SetupCase{"vuder", "", false, false, 16000000, 16000000},
                                           SetupCase{"vuder", "", false, false, 0, 0},
                                           SetupCase{"stk200", "s", false, false, 0, 0}));

TEST(VirtualCable, AdapterSetUpReportsNothingAttached) {
    std::filesystem::create_directories(MERVEX_TEST_TMP);
    std::string path = std::string(MERVEX_TEST_TMP) + "/cable-" + std::to_string(::getpid()) + "-none.vchip";
    auto target = newVirtualTarget("mega8");
    target->cable = "none";
    saveVirtualTarget(*target, path);
    CaptureConsole capture;
    ManualClock clock;
    const VirtualPortBackend virtualTargets(clock);
    for (const char* text : {"a", "b", "s"}) {
        AdapterSettings settings;
        settings.type = adapterTypeOf(text);
        settings.portSpec = path;
        settings.portBackends = {&virtualTargets};
        EXPECT_EQ(test::statusOf([&] { (void)createAdapter(settings, clock); }), ExitSystem) << text;
    }
    EXPECT_NE(capture.out().find("Known buffered adapter not found"), std::string::npos);
    EXPECT_NE(capture.out().find("Altera ByteBlaster not found"), std::string::npos);
    EXPECT_NE(capture.out().find("Atmel STK* adapter not found"), std::string::npos);
}

}  // namespace
}  // namespace mervex::test
