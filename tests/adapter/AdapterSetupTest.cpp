// Adapter set-up: the loop-back detections' exact register traffic and
// verdicts, and createAdapter's choices, modifiers and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "adapter/AdapterDetection.h"
#include "adapter/AdapterSetup.h"
#include "adapter/LptAdapter.h"
#include "adapter/WiringDrawing.h"
#include "console/Errors.h"
#include "support/CaptureConsole.h"
#include "support/FakePortIo.h"
#include "support/ManualClock.h"
#include "support/RecordingPort.h"
#include "support/Text.h"

namespace mervex {
namespace {

using test::contains;

using test::AccessKind;
using test::PortAccess;
using test::RecordingPort;

using CableModel = std::function<uint8_t(uint8_t data, uint8_t control)>;

// Status answers of the cables, from the data lines they loop back.
const CableModel nothingAttached = [](uint8_t, uint8_t) -> uint8_t { return 0x00; };
const CableModel stk200 = [](uint8_t d, uint8_t) -> uint8_t { return (d & 0x01) ? 0x20 : 0x00; };
const CableModel stk300 = [](uint8_t d, uint8_t) -> uint8_t { return (d & 0x01) ? 0x80 : 0x00; };
const CableModel stkBoth = [](uint8_t d, uint8_t) -> uint8_t { return (d & 0x01) ? 0xA0 : 0x00; };
const CableModel byteBlaster = [](uint8_t d, uint8_t) -> uint8_t {
    return uint8_t(((d & 0x20) ? 0x40 : 0) | ((d & 0x80) ? 0x20 : 0));
};
const CableModel byteBlasterMV = [](uint8_t d, uint8_t c) -> uint8_t { return uint8_t(byteBlaster(d, c) | 0x08); };
const CableModel byteBlasterII = [](uint8_t d, uint8_t) -> uint8_t { return (d & 0x10) ? 0x48 : 0x00; };
// Cables that answer only the lines a stage looks at: ERROR counts for the
// ByteBlaster-II only with D4 low, and for the MV only with D5 and D7 low.
const CableModel ackFollowsD4Alone = [](uint8_t d, uint8_t) -> uint8_t { return (d & 0x10) ? 0x40 : 0x00; };
const CableModel errorFollowsD7 = [](uint8_t d, uint8_t c) -> uint8_t {
    return uint8_t(byteBlaster(d, c) | ((d & 0x80) ? 0x08 : 0));
};

std::vector<uint8_t> writesTo(const RecordingPort& port, PortRegister reg) {
    std::vector<uint8_t> values;
    for (const PortAccess& a : port.log)
        if (a.kind == AccessKind::Write && a.reg == reg) values.push_back(a.value);
    return values;
}

TEST(AdapterDetection, StkProbesD0AndJudgesPeAndBusy) {
    struct Case {
        const CableModel* cable;
        const char* verdictLine;
        int verdict;
    };
    const Case cases[] = {
        {&nothingAttached, "Atmel adapter for STK not found\n", 0},
        {&stk300, "Atmel adapter for STK300 found\n", 1},
        {&stk200, "Atmel adapter for STK200 found\n", 2},
        {&stkBoth, "Atmel adapter for STK*00 found\n", 3},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        test::CaptureConsole capture(false, false, LevelDebug);
        RecordingPort port;
        port.control = 0xCE;
        port.statusFor = *c.cable;
        EXPECT_EQ(detectCable(port, *builtinCable(AdapterType::Stk), clock), c.verdict);
        EXPECT_EQ(capture.out(), std::string("    ") + c.verdictLine);
        EXPECT_EQ(writesTo(port, PortRegister::Control), std::vector<uint8_t>{0xCC});
        EXPECT_EQ(writesTo(port, PortRegister::Data), (std::vector<uint8_t>{0x0D, 0x0E}));
        EXPECT_EQ(port.count(AccessKind::Read, PortRegister::Status), 2u);
        EXPECT_EQ(clock.nowUs(), 20);  // one 10 us settle before each read
    }
}

TEST(AdapterDetection, ByteBlasterVariantsAndTheirRegisterSequences) {
    struct Case {
        const CableModel* cable;
        int verdict;
        const char* verdictLine;
        std::vector<uint8_t> data;
        std::vector<uint8_t> control;
    };
    const Case cases[] = {
        {&nothingAttached, 0, "ByteBlaster not found\n", {0xFF, 0x5F, 0xFF}, {0x04}},
        {&byteBlaster, 1, "ByteBlaster found\n", {0xFF, 0xEF, 0x5F, 0xFF}, {0x04}},
        {&byteBlasterMV, 2, "ByteBlasterMV found\n", {0xFF, 0xEF, 0x5F, 0xFF}, {0x04}},
        {&byteBlasterII, 3, "ByteBlaster-II found\n", {0xFF, 0xEF, 0x00}, {0x04, 0x0B}},
        {&stk200, 0, "ByteBlaster not found\n", {0xFF, 0x5F, 0xFF}, {0x04}},
        {&ackFollowsD4Alone, 3, "ByteBlaster-II found\n", {0xFF, 0xEF, 0x00}, {0x04, 0x0B}},
        {&errorFollowsD7, 1, "ByteBlaster found\n", {0xFF, 0xEF, 0x5F, 0xFF}, {0x04}},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        test::CaptureConsole capture(false, false, LevelDebug);
        RecordingPort port;
        port.control = 0x06;
        port.statusFor = *c.cable;
        EXPECT_EQ(detectCable(port, *builtinCable(AdapterType::ByteBlaster), clock), c.verdict);
        EXPECT_EQ(capture.out(), std::string("    ") + c.verdictLine);
        EXPECT_EQ(writesTo(port, PortRegister::Data), c.data) << c.verdictLine;
        EXPECT_EQ(writesTo(port, PortRegister::Control), c.control) << c.verdictLine;
    }
}

TEST(AdapterDetection, ProbingAllCablesNamesTheOneFoundAndGivesThePortBack) {
    struct Case {
        const CableModel* cable;
        const char* found;  // "": none
    };
    const Case cases[] = {
        {&nothingAttached, ""},
        {&stkBoth, "Atmel adapter for STK*00"},
        {&byteBlasterMV, "ByteBlasterMV"},
        {&byteBlasterII, "ByteBlaster-II"},  // found enabled, then disabled again
    };
    for (const Case& c : cases) {
        ManualClock clock;
        test::CaptureConsole capture(false, false, LevelDebug);
        RecordingPort port;
        port.data = 0x5A;
        port.control = 0x04;
        port.statusFor = *c.cable;
        const FoundCable found = probeCables(port, clock);
        EXPECT_EQ(found.row ? verdictName(*found.row, found.verdict) : "", c.found);
        EXPECT_EQ(port.data, 0x5A) << c.found;
        EXPECT_EQ(port.control, 0x04) << c.found;
    }
}

// createAdapter against a fake device at /dev/fake with the given cable.
struct SetupRun {
    std::unique_ptr<Programmer> adapter;
    int status = 0;
    std::string out;
    size_t opens = 0;
    uint8_t data = 0, control = 0;

    const LptAdapter& lpt() const { return dynamic_cast<const LptAdapter&>(*adapter); }
};

// The settings as the driver reads them from the -a group text (nullptr: none).
AdapterSettings withAdapter(const char* text, uint32_t frequency = 800000) {
    AdapterSettings settings;
    settings.type = adapterTypeOf(text);
    if (settings.type == AdapterType::UserMap) settings.userPinMap = userPinMapOf(text);
    settings.oscillatorHz = frequency;
    return settings;
}

// createAdapter with the settings of the -a group text, changed by adjust; a
// refusal of the text counts as the set-up's.
SetupRun runSetup(const char* text, const std::function<void(AdapterSettings&)>& adjust = nullptr,
                  const CableModel& cable = nothingAttached, bool ppdev = false) {
    ManualClock clock;
    test::CaptureConsole capture(false, false, LevelDebug);
    test::FakePortIo io;
    io.clock = &clock;
    io.statusFor = cable;
    if (ppdev) io.claimErrno = 0;
    SetupRun run;
    try {
        AdapterSettings settings = withAdapter(text);
        if (adjust) adjust(settings);
        settings.portSpec = "/dev/fake";
        run.adapter = createAdapter(settings, clock, io);
        run.data = io.data;
        run.control = io.control;
        run.adapter.reset();
    } catch (const app_error& e) {
        reportFailure(e);
        run.status = e.status();
    }
    run.out = capture.out();
    run.opens = io.countOf(test::IoCall::Open);
    EXPECT_EQ(io.countOf(test::IoCall::Close), run.opens) << "port left open";
    return run;
}


TEST(AdapterSetup, InvalidTypeAndPinMapErrorsComeBeforeThePortIsOpened) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"bx", "Invalid value for switch -A in 'x'\n\nFor short help type\n\tmervex -h\n\n"},
        {"q", "Invalid value for switch -A in 'q'\n"},
        {"", "Invalid value for switch -A in ''\n"},
        {"m:mosi=D5", "sck must be defined\n"},
        {"m:mosi=D9", "adapter: invalid pin name 'D9'\n"},
    };
    for (const Case& c : cases) {
        SetupRun run = runSetup(c.text);
        EXPECT_EQ(run.status, ExitUsage) << c.text;
        EXPECT_TRUE(contains(run.out, c.error)) << run.out;
        EXPECT_EQ(run.opens, 0u) << c.text;
    }
}

TEST(AdapterSetup, DefaultWiringWithTimingReport) {
    SetupRun run = runSetup(nullptr);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out, "    LPT write cycle 1.00us\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "    VUDER adapter mode\n"));
    EXPECT_TRUE(contains(run.out, "    MCU oscillator frequency = 0.80MHz\n"));
    EXPECT_TRUE(contains(run.out, "    actual SCK frequency 143kHz\n")) << run.out;
}

TEST(AdapterSetup, ModifiersAndCompletionsOfTheWirings) {
    struct Case {
        const char* text;
        bool lazy, power;
        uint32_t frequency;
        const CableModel* cable;
        bool ppdev;
        SignalId signal;
        uint32_t setMask, clearMask;
    };
    const Case cases[] = {
        {nullptr, false, false, 800000, &nothingAttached, false, SignalId::Reset, 0, 0x10},  // RESET exchanged
        {nullptr, false, true, 800000, &nothingAttached, false, SignalId::Power, 0x87, 0},
        {nullptr, true, false, 800000, &nothingAttached, true, SignalId::Enable, 0, 0x200000},
        {"s", false, true, 800000, &stk200, false, SignalId::Power, 0, 0},  // -ap only changes VUDER
        {"S", false, false, 800000, &stk200, false, SignalId::Enable, 0, 0x4C},
        {"s", false, false, 0, &stk300, false, SignalId::Xtal, 0x40, 0},
        {"b", false, false, 800000, &byteBlasterII, false, SignalId::Enable, 0x0400B0, 0x0B0000},
        {"b", false, false, 800000, &byteBlaster, false, SignalId::Xtal, 0x08, 0},
        {"a", false, false, 800000, &byteBlasterMV, false, SignalId::Enable, 0x020000, 0},
        {"x", false, false, 800000, &nothingAttached, false, SignalId::Set, 0x10, 0},
        {"m:mosi=D5:miso=ACK:sck=D6:reset=~D4", false, false, 800000, &nothingAttached, false, SignalId::Reset, 0x10, 0},
    };
    for (const Case& c : cases) {
        AdapterSettings settings = withAdapter(c.text, c.frequency);
        settings.lazyBlaster = c.lazy;
        settings.powerFromData = c.power;
        ManualClock clock;
        test::CaptureConsole capture(false, false, LevelDebug);
        test::FakePortIo io;
        io.clock = &clock;
        io.statusFor = *c.cable;
        if (c.ppdev) io.claimErrno = 0;
        settings.portSpec = "/dev/fake";
        std::unique_ptr<Programmer> adapter = createAdapter(settings, clock, io);
        const PinMap& map = dynamic_cast<const LptAdapter&>(*adapter).pinMap();
        EXPECT_EQ(map.entry(c.signal).setMask, c.setMask) << (c.text ? c.text : "-");
        EXPECT_EQ(map.entry(c.signal).clearMask, c.clearMask) << (c.text ? c.text : "-");
        // --wiring draws, without the port, the wiring this set-up drives.
        const std::string driven = drawAdapterPinMap(map);
        const std::vector<PinMap> drawn = possibleWirings(settings);
        EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [&](const PinMap& m) { return drawPinMap(m) == driven; }))
            << driven;
    }
}

TEST(AdapterSetup, DetectionVerdictsAndForce) {
    SetupRun run = runSetup("s");
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(contains(run.out, "    Atmel adapter for STK not found\nERROR:  Atmel STK* adapter not found\n"))
        << run.out;

    const auto forced = [](AdapterSettings& settings) { settings.forceAdapter = true; };
    run = runSetup("s", forced);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.out, "Warning: Atmel STK* adapter not found, but forced by '-!'\n"));
    EXPECT_TRUE(contains(run.out, "    STK adapter mode\n"));

    run = runSetup("b");
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(contains(run.out, "ERROR:  Altera ByteBlaster not found\n"));

    run = runSetup("a", nullptr, byteBlasterMV);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.out, "    Atmel adapter for STK not found\n    ByteBlasterMV found\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "    ByteBlaster adapter mode\n"));

    run = runSetup("a", forced);
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(contains(run.out, "ERROR:  Known buffered adapter not found\n"));
}

TEST(AdapterSetup, RefusalsAfterThePortIsOpenCloseIt) {
    // ppi: no direction control
    SetupRun run = runSetup(nullptr, [](AdapterSettings& settings) { settings.lazyBlaster = true; });
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(contains(run.out, "ERROR:  Can't control LPT data direction bit (required for -AZ)\n"));
    EXPECT_EQ(run.opens, 1u);

    run = runSetup("x", [](AdapterSettings& settings) { settings.oscillatorHz = 0; });
    EXPECT_EQ(run.status, ExitUsage);
    EXPECT_TRUE(contains(run.out, "ERROR:  Can't generate XTAL, XILINX has no XTAL output\n"));
}

TEST(AdapterSetup, XtalModeReport) {
    SetupRun run = runSetup(nullptr, [](AdapterSettings& settings) {
        settings.oscillatorHz = 0;
        settings.sckPeriods = SckPeriods{4, 4};
    });
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out, "    0.50MHz XTAL will be generated\n    with SCK low 4 periods, high 4 periods\n"))
        << run.out;
}

TEST(AdapterSetup, ByteBlasterIIIsLeftEnabledForTheAdapterToStartFrom) {
    ManualClock clock;
    test::CaptureConsole capture(false, false, LevelDebug);
    test::FakePortIo io;
    io.clock = &clock;
    io.statusFor = byteBlasterII;
    AdapterSettings settings = withAdapter("b");
    settings.portSpec = "/dev/fake";
    std::unique_ptr<Programmer> adapter = createAdapter(settings, clock, io);
    const LptAdapter& lpt = dynamic_cast<const LptAdapter&>(*adapter);
    EXPECT_STREQ(lpt.pinMap().name, "ByteBlasterII");
    // The adapter started from data 0x00 and released its outputs: buffers off.
    EXPECT_EQ(lpt.dataShadow() & 0xB0, 0x00);
    EXPECT_EQ(io.control & 0x0F, 0x0B);
}

}  // namespace
}  // namespace mervex
