// The virtual port: modelled time, counters, and the state written back to
// the target file when the port closes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "console/Errors.h"
#include "sim/VirtualPort.h"
#include "sim/VirtualTargetFile.h"
#include "sim/VirtualTargetHook.h"
#include "support/CaptureConsole.h"
#include "support/ManualClock.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

// Bit-banging on the VUDER wiring: MOSI D5, SCK D6, RESET D4 (low = held), MISO ACK.
class VuderMaster {
public:
    explicit VuderMaster(ParallelPort& port) : port_(port) {}

    void holdReset() { port_.writeRegister(PortRegister::Data, 0x00); }
    uint8_t transfer(uint8_t out) {
        unsigned in = 0;
        for (int bit = 7; bit >= 0; --bit) {
            uint8_t mosi = (out >> bit) & 1 ? 0x20 : 0x00;
            const uint8_t sequence[6] = {mosi, mosi, mosi, uint8_t(mosi | 0x40), uint8_t(mosi | 0x40),
                                         uint8_t(mosi | 0x40)};
            port_.writeDataSequence(sequence, 6);
            in = in << 1 | ((port_.readRegister(PortRegister::Status) & 0x40) ? 1u : 0u);
        }
        port_.writeRegister(PortRegister::Data, 0x00);
        return uint8_t(in);
    }
    std::vector<uint8_t> instruction(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return {transfer(a), transfer(b), transfer(c), transfer(d)};
    }

private:
    ParallelPort& port_;
};

TEST(VirtualPort, ModelledTimeIsAccessesTimesAccessTimePlusTheWaits) {
    ManualClock clock;
    auto target = newVirtualTarget("mega8");
    target->accessTimeUs = 1.5;
    VirtualPort port(std::move(target), clock);
    EXPECT_DOUBLE_EQ(port.cycleTime(), 1.5);
    EXPECT_TRUE(port.canControlDirection());
    const uint8_t values[4] = {1, 2, 3, 4};
    port.writeDataSequence(values, 4);
    port.readRegister(PortRegister::Status);
    port.writeRegister(PortRegister::Control, 0x04);
    EXPECT_DOUBLE_EQ(port.modelledUs(), 6 * 1.5);
    // The port moves a manual clock along, so waits on the port end.
    EXPECT_EQ(clock.nowUs(), 9);
    sleepMs(clock, 5);
    port.readRegister(PortRegister::Data);
    EXPECT_DOUBLE_EQ(port.modelledUs(), 7 * 1.5 + 5000);
    const TargetCounters& c = port.target().lastRun;
    EXPECT_EQ(c.dataWrites, 4u);
    EXPECT_EQ(c.sequences, 1u);
    EXPECT_EQ(c.statusReads, 1u);
    EXPECT_EQ(c.controlWrites, 1u);
    EXPECT_EQ(c.dataReads, 1u);
    EXPECT_EQ(c.accesses(), 7u);
}

TEST(VirtualPort, TheRunIsWrittenBackWhenThePortCloses) {
    ManualClock clock;
    std::filesystem::create_directories(MERVEX_TEST_TMP);
    std::string path = std::string(MERVEX_TEST_TMP) + "/port-run-" + std::to_string(::getpid()) + ".vchip";
    auto fresh = newVirtualTarget("mega8");
    fresh->runCount = 4;
    saveVirtualTarget(*fresh, path);
    {
        CaptureConsole capture(false, false, LevelDebug);
        {
            std::unique_ptr<ParallelPort> port = openVirtualPort(path, clock);
            VuderMaster isp(*port);
            isp.holdReset();
            sleepMs(clock, 20);
            EXPECT_EQ(isp.instruction(0xAC, 0x53, 0, 0)[2], 0x53);
            isp.instruction(0xAC, 0x80, 0, 0);  // chip erase
            sleepMs(clock, 10);
            isp.instruction(0x40, 0x00, 0x00, 0xA5);
            isp.instruction(0x48, 0x00, 0x00, 0x5A);
            isp.instruction(0x4C, 0x00, 0x00, 0x00);
            isp.instruction(0xC0, 0x00, 0x10, 0x77);  // while the page is written: ignored
            sleepMs(clock, 10);
            isp.instruction(0xC0, 0x00, 0x11, 0x66);
            sleepMs(clock, 10);
        }
        EXPECT_NE(capture.out().find("Virtual target: "), std::string::npos);
        EXPECT_NE(capture.out().find(" 7 ISP instructions"), std::string::npos) << capture.out();
    }
    auto t = loadVirtualTarget(path);
    EXPECT_EQ(t->flash[0], 0xA5);
    EXPECT_EQ(t->flash[1], 0x5A);
    EXPECT_EQ(t->eeprom[0x10], 0xFF);
    EXPECT_EQ(t->eeprom[0x11], 0x66);
    EXPECT_EQ(t->eraseCount, 1u);
    EXPECT_EQ(t->runCount, 5u);
    const TargetCounters& c = t->lastRun;
    EXPECT_EQ(c.isp[0xAC], 2u);
    EXPECT_EQ(c.isp[0x40], 1u);
    EXPECT_EQ(c.instructions(), 7u);
    EXPECT_EQ(c.bits, 7u * 32);
    EXPECT_EQ(c.ignoredWrites, 1u);
    EXPECT_EQ(c.busyInstructions, 1u);
    EXPECT_EQ(c.writes, 3u);
    EXPECT_EQ(c.sckLowMinWrites, 3u);
    EXPECT_EQ(c.sckHighMinWrites, 3u);
    EXPECT_GT(c.modelledUs, 50000.0);
}

TEST(VirtualPort, ABadCableInTheFileIsRefusedWhenThePortOpens) {
    CaptureConsole capture;
    ManualClock clock;
    auto target = newVirtualTarget("mega8");
    target->cable = "parallel-universe";
    EXPECT_EQ(test::statusOf([&] { VirtualPort port(std::move(target), clock, "x.vchip"); }), ExitUsage);
    EXPECT_NE(capture.out().find("Virtual target 'x.vchip': unknown cable 'parallel-universe'"), std::string::npos);
}

}  // namespace
}  // namespace mervex::test
