// The programmer on GPIO lines against a fake kernel: the line request as
// recorded, the updates of a transfer, the way out, and every failure of the
// set-up leaving no descriptor open.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "adapter/GpioAdapter.h"
#include "adapter/GpioSetup.h"
#include "support/CaptureConsole.h"
#include "support/FakeGpioIo.h"
#include "support/ManualClock.h"
#include "support/StatusOf.h"

#ifdef MERVEX_HAVE_GPIO

namespace mervex::test {
namespace {

constexpr const char* Chip0 = "/dev/gpiochip0";
constexpr const char* Rpi = "mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=GPIO25";

AdapterSettings gpioSettings(const std::string& entries, const std::string& port = Chip0) {
    AdapterSettings settings;
    settings.type = AdapterType::UserMap;
    settings.userPinMap.entries = entries;
    settings.portSpec = port;
    return settings;
}

FakeGpioIo piKernel() {
    FakeGpioIo io;
    io.chips.push_back(namedChip(Chip0, 54));
    return io;
}

TEST(GpioSetup, RequestsEveryLineOnceWithItsDirectionInversionAndFirstValue) {
    ManualClock clock;
    struct Case {
        const char* entries;
        std::vector<uint32_t> offsets;  // in the order of the signals
        uint64_t outputs, activeLow, initial;
    };
    const Case cases[] = {
        {Rpi, {10, 9, 11, 25}, 0b1101, 0, 0b1000},  // RESET starts running (its high level)
        {"mosi=10:miso=~9:sck=11:reset=~25:power=5,6:led_ok=~7:key=8", {10, 9, 11, 25, 5, 6, 7, 8}, 0b01111101,
         0b01001010, 0b00001000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        CaptureConsole quiet;
        FakeGpioIo io = piKernel();
        {
            auto adapter = createGpioAdapter(gpioSettings(c.entries), clock, io);
            ASSERT_EQ(io.requested.size(), 1u);
            const gpio_v2_line_request& r = io.requested[0];
            EXPECT_STREQ(r.consumer, "mervex");
            ASSERT_EQ(r.num_lines, c.offsets.size());
            uint64_t outputs = 0, activeLow = 0;
            for (size_t i = 0; i < c.offsets.size(); ++i) {
                EXPECT_EQ(r.offsets[i], c.offsets[i]) << i;
                const uint64_t flags = FakeGpioIo::flagsOf(r, i);
                EXPECT_NE(flags & GPIO_V2_LINE_FLAG_OUTPUT, flags & GPIO_V2_LINE_FLAG_INPUT ? 1u : 0u) << i;
                outputs |= (flags & GPIO_V2_LINE_FLAG_OUTPUT) ? uint64_t(1) << i : 0;
                activeLow |= (flags & GPIO_V2_LINE_FLAG_ACTIVE_LOW) ? uint64_t(1) << i : 0;
            }
            EXPECT_EQ(outputs, c.outputs);
            EXPECT_EQ(activeLow, c.activeLow);
            EXPECT_EQ(FakeGpioIo::initialValues(r), c.initial);
        }
        EXPECT_EQ(io.openDescriptors, 0);
    }
}

TEST(GpioAdapter, OneUpdatePerEdgeHoldsEachPhaseAndReadsMisoWhileSckIsHigh) {
    ManualClock clock;
    CaptureConsole capture(false, false, LevelDebug);
    FakeGpioIo io = piKernel();
    io.clock = &clock;
    io.cycleUs = 0;  // measured: each update takes 1 us
    auto adapter = createGpioAdapter(gpioSettings(Rpi), clock, io);  // 800 kHz: SCK low and high 2.625 us
    EXPECT_NE(capture.out().find("    GPIO update cycle 1.00us\n"), std::string::npos) << capture.out();
    EXPECT_DOUBLE_EQ(adapter->sckFrequency(), 1 / (2.625 + 2.625 + 1.0));
    for (const gpio_v2_line_values& update : io.updates) {
        ASSERT_EQ(update.mask, 0b1000u) << "the measurement rewrites RESET only";
        ASSERT_EQ(update.bits, 0b1000u) << "and leaves it running";
    }
    io.updates.clear();
    io.updateTimes.clear();
    io.traffic.clear();
    io.misoScript = {true, false, true, true, false, false, true, false};

    EXPECT_EQ(adapter->transferByte(0xA4), 0xB2);  // 1010 0100 out, 1011 0010 in

    std::string perBit;
    for (int bit = 0; bit < 8; ++bit) perBit += "SSG";
    EXPECT_EQ(io.traffic, perBit);  // SCK high until the next bit or another line's change
    adapter->setReset(true);
    EXPECT_EQ(io.traffic, perBit + "SS");  // SCK falls first
    // Request lines: 0 MOSI, 2 SCK. The falling edge carries MOSI only where it changes.
    const uint64_t mosi = 1, sck = 4;
    const uint64_t both = sck | mosi;
    const std::vector<uint64_t> masks = {mosi, sck, both, sck, both, sck, both, sck,
                                         sck,  sck, both, sck, both, sck, sck,  sck, sck, 0b1000};
    ASSERT_EQ(io.updates.size(), masks.size());
    for (size_t i = 0; i < masks.size(); ++i) {
        EXPECT_EQ(io.updates[i].mask, masks[i]) << i;
        if (i > 0 && i < 17) {
            EXPECT_GE(double(io.updateTimes[i] - io.updateTimes[i - 1]), 2.625) << i;
        }
    }
}

TEST(GpioAdapter, LeavesTheTargetRunningBeforeTheLinesAreReleased) {
    ManualClock clock;
    CaptureConsole quiet;
    FakeGpioIo io = piKernel();
    {
        auto adapter = createGpioAdapter(gpioSettings(Rpi + std::string(":power=GPIO5")), clock, io);
        adapter->enableAdapter();
        adapter->setReset(true);
        EXPECT_EQ(io.updates.back().mask, 0b1000u);
        EXPECT_EQ(io.updates.back().bits & 0b1000, 0u);  // held: the low level
        io.traffic.clear();
        io.updates.clear();
    }
    EXPECT_EQ(io.traffic, "SSC");  // RESET released, supply off, then the lines go back
    EXPECT_EQ(io.updates[0].mask, 0b01000u);
    EXPECT_EQ(io.updates[0].bits & 0b01000u, 0b01000u);
    EXPECT_EQ(io.updates[1].mask, 0b10000u);
    EXPECT_EQ(io.updates[1].bits & 0b10000u, 0u);
    EXPECT_EQ(io.openDescriptors, 0);
}

TEST(GpioSetup, AnyChipIsTheFirstThatHasTheLinesByName) {
    ManualClock clock;
    CaptureConsole quiet;
    FakeGpioIo io;
    io.chips.push_back(FakeGpioChip{"/dev/gpiochip0", {"A0", "A1", "GPIO10"}, {"", "", ""}});
    io.chips.push_back(namedChip("/dev/gpiochip4", 54));
    {
        auto adapter = createGpioAdapter(gpioSettings(Rpi, "gpio"), clock, io);
        EXPECT_EQ(io.requestedChip, "/dev/gpiochip4");
    }
    EXPECT_EQ(io.openDescriptors, 0);
}

TEST(GpioSetup, FailuresNameTheCauseAndLeaveNoLineRequested) {
    ManualClock clock;
    struct Case {
        const char* name;
        std::function<void(FakeGpioIo&)> kernel;
        std::string entries, port, expected;
    };
    const std::string rpi = Rpi;
    const Case cases[] = {
        {"busy line", [](FakeGpioIo& io) { io.chips[0].holders[25] = "spi0 CS0"; }, rpi, Chip0,
         "ERROR:  GPIO 'GPIO25' (line 25) of `/dev/gpiochip0' is in use by 'spi0 CS0'\nHint: stop the program"},
        {"no such name", nullptr, "mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=GPIO60", Chip0,
         "ERROR:  GPIO chip `/dev/gpiochip0' has no line named 'GPIO60'\n"},
        {"no such number", nullptr, "mosi=10:miso=9:sck=11:reset=54", Chip0,
         "ERROR:  GPIO chip `/dev/gpiochip0' has no line 54 (it has lines 0 to 53)\n"},
        {"one line twice", nullptr, "mosi=GPIO10:miso=GPIO9:sck=10:reset=GPIO25", Chip0,
         "ERROR:  adapter: GPIO 'GPIO10' (line 10) is wired to both 'mosi' and 'sck'\n"},
        {"no such chip", nullptr, rpi, "/dev/gpiochip5",
         "ERROR:  Can't open GPIO chip `/dev/gpiochip5'\nERROR:  No such file or directory\n"
         "Hint: the GPIO chips here: /dev/gpiochip0; -pgpio finds the wiring's lines by name on any of them\n"},
        {"permission", [](FakeGpioIo& io) { io.openErrno = EACCES; }, rpi, Chip0,
         "ERROR:  Can't open GPIO chip `/dev/gpiochip0'\nERROR:  Permission denied\nHint: "},
        {"no chip", [](FakeGpioIo& io) { io.notAChip = true; }, rpi, Chip0,
         "ERROR:  `/dev/gpiochip0' is not a GPIO chip\n"},
        {"old kernel", [](FakeGpioIo& io) { io.noVersion2 = true; }, rpi, Chip0,
         "ERROR:  The kernel has no GPIO character device interface v2 for `/dev/gpiochip0'\n"},
        {"request refused", [](FakeGpioIo& io) { io.requestErrno = EBUSY; }, rpi, Chip0,
         "ERROR:  Can't request the wiring's lines of GPIO chip `/dev/gpiochip0'\nERROR:  Device or resource busy\n"},
        {"any chip, a number", nullptr, "mosi=GPIO10:miso=9:sck=GPIO11:reset=GPIO25", "gpio",
         "ERROR:  -pgpio finds lines by their names; line 9 needs its chip named\n"},
        {"any chip, none fits", nullptr, "mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=RESET", "gpio",
         "ERROR:  No GPIO chip has all the lines of ''\nHint: searched /dev/gpiochip0;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureConsole capture;
        FakeGpioIo io = piKernel();
        if (c.kernel) c.kernel(io);
        EXPECT_EQ(statusOf([&] { (void)createGpioAdapter(gpioSettings(c.entries, c.port), clock, io); }), 70);
        EXPECT_NE(capture.out().find(c.expected), std::string::npos) << capture.out();
        EXPECT_EQ(io.openDescriptors, 0);
        EXPECT_TRUE(io.requested.empty());
    }
}

TEST(GpioSetup, WiringErrorsComeBeforeTheChipIsOpened) {
    ManualClock clock;
    struct Case {
        const char* entries;
        const char* expected;
    };
    const Case cases[] = {
        {"mosi=GPIO10:miso=GPIO9:sck=GPIO11", "ERROR:  reset must be defined\n"},
        {"xtal=GPIO4", "ERROR:  adapter: a GPIO line can't generate the chip's clock ('xtal')\n"},
        {"mosi=GPIO10,GPIO12", "ERROR:  adapter: can't use multiply pins for signal 'mosi'\n"},
        {"mosi=GPIO10:sck=GPIO10", "ERROR:  adapter: can't use 'GPIO10' for 'sck' - already used for 'mosi'\n"},
        {"mosi=~", "ERROR:  adapter: invalid GPIO line ''\n"},
    };
    for (const Case& c : cases) {
        CaptureConsole capture;
        FakeGpioIo io = piKernel();
        io.openErrno = ENOENT;
        EXPECT_EQ(statusOf([&] { (void)createGpioAdapter(gpioSettings(c.entries), clock, io); }), 70) << c.entries;
        EXPECT_EQ(capture.out(), c.expected) << c.entries;
    }
}

}  // namespace
}  // namespace mervex::test

#endif
