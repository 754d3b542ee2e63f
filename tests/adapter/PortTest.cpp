// The port backends' request traffic through a fake system-call layer, the
// measurement of the write cycle time, and the selection of the port from the -p text.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "adapter/PortFactory.h"
#include "adapter/PpdevPort.h"
#include "adapter/PpiPort.h"
#include "console/Errors.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/FakePortIo.h"
#include "support/ManualClock.h"

namespace mervex {
namespace {

using test::FakePortIo;
using test::IoCall;

// What the hints say of the system FakePortIo surveys by default.
const std::string NoPortHint = "Hint: this system has no parallel port device (/dev/parport*, /dev/ppi*)\n";

TEST(PpiPort, RequestCodesAreTheDeviceEncodings) {
    EXPECT_EQ(PpiGetData, 0x4001500Au);
    EXPECT_EQ(PpiGetStatus, 0x4001500Bu);
    EXPECT_EQ(PpiGetControl, 0x4001500Cu);
    EXPECT_EQ(PpiSetData, 0x80015010u);
    EXPECT_EQ(PpiSetControl, 0x80015012u);
}

TEST(PpiPort, OpensMeasuresTheCycleTimeAndDrivesTheRegisters) {
    ManualClock clock;
    test::CaptureConsole capture(false, false, LevelDebug);
    FakePortIo io;
    io.clock = &clock;  // 1 us per data write
    io.data = 0x5A;
    io.control = 0x1C;
    {
        PpiPort port("/dev/ppi0", clock, io);
        EXPECT_EQ(io.openedPath, "/dev/ppi0");
        EXPECT_EQ(io.calls[0].value & O_ACCMODE, O_RDWR);
        EXPECT_NEAR(port.cycleTime(), 1.0, 1e-9);
        EXPECT_FALSE(port.canControlDirection());
        EXPECT_NE(capture.out().find("Parallel port `/dev/ppi0' found, ioctl interface activated\n"),
                  std::string::npos);

        // Cycle time measurement: interrupt enable cleared (and only bits 0-3 written), the
        // data lines rewritten with their own value, 100 runs of 100 and of 4 writes.
        auto control = io.callsOf(PpiSetControl);
        ASSERT_EQ(control.size(), 1u);
        EXPECT_EQ(control[0].value, 0x0C);
        auto data = io.callsOf(PpiSetData);
        EXPECT_EQ(data.size(), 100u * 100 + 100u * 4);
        for (const IoCall& c : data) ASSERT_EQ(c.value, 0x5A);

        io.calls.clear();
        io.status = 0x78;
        EXPECT_EQ(port.readRegister(PortRegister::Status), 0x78);
        port.writeRegister(PortRegister::Control, 0x2B);
        port.writeRegister(PortRegister::Status, 0xFF);
        const uint8_t series[] = {1, 2, 3};
        port.writeDataSequence(series, 3);
        ASSERT_EQ(io.calls.size(), 5u);
        EXPECT_EQ(io.calls[0].request, PpiGetStatus);
        EXPECT_EQ(io.calls[1].request, PpiSetControl);
        EXPECT_EQ(io.calls[1].value, 0x0B);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(io.calls[2 + i].request, PpiSetData);
            EXPECT_EQ(io.calls[2 + i].value, i + 1);
        }
        io.calls.clear();
    }
    ASSERT_EQ(io.calls.size(), 1u);
    EXPECT_EQ(io.calls[0].kind, IoCall::Close);
}

TEST(PpiPort, ImplausiblyFastPortIsForcedToTheMinimumCycle) {
    ManualClock clock;  // no time passes at all
    test::CaptureConsole capture;
    FakePortIo io;
    PpiPort port("/dev/ppi0", clock, io);
    EXPECT_DOUBLE_EQ(port.cycleTime(), 0.2);
    EXPECT_NE(capture.out().find("Warning: incredibly fast LPT found, min write cycle time 0.000000ns\n"),
              std::string::npos)
        << capture.out();
    EXPECT_NE(capture.out().find("Warning: Cycle time forced to 0.20us\n"), std::string::npos);
}

TEST(PpiPort, OpenFailureIsASystemError) {
    test::CaptureConsole capture;
    ManualClock clock;
    FakePortIo io;
    io.openErrno = ENOENT;
    try {
        PpiPort port("/dev/nonexistent", clock, io);
        FAIL() << "opened";
    } catch (const rtl_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitSystem);
        EXPECT_EQ(e.savedErrno(), ENOENT);
    }
    // The system's ports follow the system's text.
    EXPECT_EQ(capture.out(),
              "ERROR:  Can't open parport device `/dev/nonexistent'\nERROR:  " + std::string(std::strerror(ENOENT)) +
                  "\n" + NoPortHint);
    EXPECT_EQ(io.countOf(IoCall::Close), 0u);
}

// A device that refuses every request (/dev/null, a terminal) is refused right
// after the open, before anything is written to it, and closed.
TEST(PpiPort, DeviceThatAnswersNoRequestIsNoPort) {
    test::CaptureConsole capture;
    ManualClock clock;
    FakePortIo io;
    io.notAPort = true;
    try {
        openDevicePort("/dev/null", clock, io);
        FAIL() << "opened";
    } catch (const app_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitUsage);
    }
    EXPECT_EQ(capture.out(),
              "ERROR:  `/dev/null' is not a parallel port or virtual target (the device answers no parallel port "
              "request)\n");
    EXPECT_TRUE(io.callsOf(PpiSetData).empty());
    EXPECT_EQ(io.countOf(IoCall::Close), 1u);
}

#ifdef MERVEX_HAVE_PPDEV
TEST(PpdevPort, ClaimsDrivesDirectionAndReleases) {
    ManualClock clock;
    test::CaptureConsole capture;
    FakePortIo io;
    io.clock = &clock;
    io.claimErrno = 0;
    {
        std::unique_ptr<ParallelPort> port = openDevicePort("/dev/parport0", clock, io);
        ASSERT_EQ(io.calls.size() > 4, true);
        EXPECT_EQ(io.calls[0].value & O_NONBLOCK, O_NONBLOCK);  // a held port is refused, not waited for
        EXPECT_EQ(io.calls[1].request, static_cast<unsigned long>(PPEXCL));  // for this process alone
        EXPECT_EQ(io.calls[2].request, static_cast<unsigned long>(PPCLAIM));
        EXPECT_EQ(io.calls[3].request, static_cast<unsigned long>(PPDATADIR));
        EXPECT_EQ(io.calls[3].value, 0);
        EXPECT_TRUE(port->canControlDirection());
        EXPECT_NEAR(port->cycleTime(), 1.0, 1e-9);
        EXPECT_EQ(io.callsOf(PPWDATA).size(), 100u * 100 + 100u * 4);
        EXPECT_TRUE(io.callsOf(PpiSetData).empty());

        io.calls.clear();
        port->writeRegister(PortRegister::Control, 0x24);  // data lines to input
        EXPECT_EQ(port->readRegister(PortRegister::Control), 0x24);
        port->writeRegister(PortRegister::Control, 0x25);  // direction unchanged: no request
        port->writeRegister(PortRegister::Control, 0x05);
        port->writeRegister(PortRegister::Data, 0x99);
        port->readRegister(PortRegister::Status);
        port->readRegister(PortRegister::Data);
        std::vector<std::pair<unsigned long, int>> expected = {
            {PPWCONTROL, 0x04}, {PPDATADIR, 1}, {PPRCONTROL, 0x04}, {PPWCONTROL, 0x05}, {PPWCONTROL, 0x05},
            {PPDATADIR, 0},     {PPWDATA, 0x99}, {PPRSTATUS, 0},     {PPRDATA, 0x99}};
        ASSERT_EQ(io.calls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(io.calls[i].request, expected[i].first) << i;
            EXPECT_EQ(io.calls[i].value, expected[i].second) << i;
        }
        io.calls.clear();
    }
    ASSERT_EQ(io.calls.size(), 2u);
    EXPECT_EQ(io.calls[0].request, static_cast<unsigned long>(PPRELEASE));
    EXPECT_EQ(io.calls[1].kind, IoCall::Close);
}

TEST(PpdevPort, RefusedClaimIsReportedAndClosesTheDevice) {
    struct Case {
        int error;
        const char* hint;
    };
    for (Case c : {Case{EBUSY, "in use by another driver or program: 'rmmod lp' frees it"},
                   Case{ENXIO, " (no port behind the device, or the port in use by another driver or program: "
                               "the kernel log (dmesg) says which; 'rmmod lp' frees it"},
                   Case{EACCES, "no permission"}}) {
        test::CaptureConsole capture;
        ManualClock clock;
        FakePortIo io;
        io.claimErrno = c.error;
        try {
            openDevicePort("/dev/parport0", clock, io);
            FAIL() << "claimed";
        } catch (const app_error& e) {
            reportFailure(e);
            EXPECT_EQ(e.status(), ExitSystem);
            EXPECT_NE(std::string(e.what()).find(c.hint), std::string::npos) << e.what();
        }
        EXPECT_NE(capture.out().find("Can't claim parport device `/dev/parport0'\n"), std::string::npos);
        EXPECT_EQ(io.countOf(IoCall::Close), 1u);
    }
}
#endif

TEST(PortFactory, DeviceThatIsNotPpdevIsDrivenWithPpiRequests) {
    ManualClock clock;
    test::CaptureConsole capture;
    FakePortIo io;  // refuses the claim as an unknown request
    std::unique_ptr<ParallelPort> port = openPort(std::string("./dev/ppi0,1.5"), {}, clock, io);
    EXPECT_EQ(io.openedPath, "./dev/ppi0");
    EXPECT_NE(capture.out().find("Warning: Forced LPT cycle time will be ignored\n"), std::string::npos);
    EXPECT_FALSE(io.callsOf(PpiSetData).empty());
    EXPECT_FALSE(port->canControlDirection());
}

TEST(PortFactory, NumbersAndAddressesAreReportedAndRefused) {
#ifdef MERVEX_HAVE_PPDEV
    const std::string device = "/dev/parport0";
#else
    const std::string device = "/dev/ppi0";
#endif
    const std::string PortHint = "Hint: -p takes, in the same argument, a port device (-p" + device +
                                 ") or a virtual target file (-pboard.vchip; without a slash it must exist)\n" +
                                 NoPortHint;
    struct Case {
        std::optional<std::string> text;
        const char* reports;  // debug lines before the refusal
    };
    const Case cases[] = {
        {std::nullopt, "LPT port number 2\nLPT base address 0x278\n"},
        {std::string("1"), "LPT port number 1\nLPT base address 0x378\n"},
        {std::string("3"), "LPT port number 3\nLPT base address 0x3BC\n"},
        {std::string("378"), "LPT base address 0x378\n"},
        {std::string("3bc,2"), "LPT base address 0x3BC\n"},
        {std::string("10"), ""},
        {std::string("0"), ""},
        {std::string("FF"), ""},
        {std::string("?"), ""},
        {std::string(""), ""},
    };
    for (const Case& c : cases) {
        test::CaptureConsole capture(false, false, LevelDebug);
        ManualClock clock;
        FakePortIo io;
        try {
            openPort(c.text, {}, clock, io);
            FAIL() << "accepted";
        } catch (const app_error& e) {
            reportFailure(e);
            EXPECT_EQ(e.status(), ExitUsage);
        }
        std::string out = capture.out();
        size_t warning = out.find("Forced LPT cycle time will be ignored\n");
        if (warning != std::string::npos) out.erase(0, out.find('\n', warning) + 1);
        std::string reports;
        for (size_t at = 0; at < std::string(c.reports).size();) {
            size_t end = std::string(c.reports).find('\n', at);
            reports += "    " + std::string(c.reports).substr(at, end + 1 - at);
            at = end + 1;
        }
        EXPECT_EQ(out, reports + "ERROR:  Invalid value for switch -p\n" + PortHint) << (c.text ? *c.text : "(none)");
        EXPECT_TRUE(io.calls.empty());
    }
}

TEST(PortFactory, MissingDeviceGivesTheOpenMessage) {
    test::CaptureConsole capture;
    ManualClock clock;
    try {
        openPort(std::string("/dev/nonexistent"), {}, clock);
        FAIL() << "opened";
    } catch (const rtl_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitSystem);
        EXPECT_EQ(e.savedErrno(), ENOENT);
    }
    EXPECT_NE(capture.out().find("Can't open parport device `/dev/nonexistent'\n"), std::string::npos);
}

// The hints after a port that is not there, from a system tree of files: a
// directory for each path ending in "/", a file of the mode for the others.
TEST(PortSurvey, ListsThePortsAndSaysWhatKeepsThemAway) {
    struct Node {
        const char* path;
        mode_t mode;
    };
    struct Case {
        const char* name;
        std::vector<Node> tree;
        bool inTheFilesGroup;
        const char* path;  // the -p path
        std::string hints;
    };
    const std::string modprobe = "Hint: the kernel knows the port parport0, but its user-space driver is not loaded: "
                                 "'modprobe ppdev' (as root) makes /dev/parport0\n";
    const std::string joinLp = "is open to the group lp, which you are not in: 'usermod -aG lp tester' (as root), "
                               "then log in again\n";
    const Case cases[] = {
        {"no kernel view, no device", {}, false, "/dev/parport0", NoPortHint},
        {"a kernel with no port", {{"sys/class/", 0}}, false, "",
         "Hint: this system has no parallel port: no /dev/parport*, and the kernel knows none (/sys/class/parport); "
         "a port on a PCI or PCIe card needs the parport_pc module ('modprobe parport_pc' as root)\n"},
        {"ppdev not loaded", {{"sys/class/parport/parport0/", 0}}, false, "/dev/parport0", modprobe},
        {"no device node", {{"sys/class/parport/parport0/", 0}, {"sys/class/ppdev/", 0}}, false, "",
         "Hint: the kernel knows the port parport0, but /dev/parport0 is missing: 'mknod /dev/parport0 c 99 0' (as "
         "root) makes it\n"},
        {"ports by number, one for a group",
         {{"dev/", 0}, {"dev/parport10", 0666}, {"dev/parport1", 0666}, {"dev/parport0", 0660}, {"dev/parportx", 0666},
          {"sys/class/parport/parport0/", 0}, {"sys/class/parport/parport2/", 0}},
         false, "/dev/parport3",
         "Hint: this system's parallel ports: /dev/parport0, /dev/parport1, /dev/parport10\n"
         "Hint: the kernel knows the port parport2, but its user-space driver is not loaded: 'modprobe ppdev' (as "
         "root) makes /dev/parport2\n"
         "Hint: /dev/parport0 " + joinLp},
        {"a member of the group", {{"dev/", 0}, {"dev/parport0", 0660}}, true, "/dev/parport0",
         "Hint: this system's parallel ports: /dev/parport0\n"},
        {"no group may", {{"dev/", 0}, {"dev/parport0", 0600}}, false, "/dev/parport0",
         "Hint: this system's parallel ports: /dev/parport0\n"
         "Hint: /dev/parport0 is open neither to you nor to a group of yours: have it given to a group (a udev rule; "
         "devfs.rules on FreeBSD)\n"},
        {"ppi devices, the named one no port", {{"dev/", 0}, {"dev/ppi0", 0666}, {"dev/lpt0", 0660}}, false,
         "/dev/lpt0", "Hint: this system's parallel ports: /dev/ppi0\nHint: /dev/lpt0 " + joinLp},
    };
    for (const Case& c : cases) {
        test::TempDir root("survey");
        for (const Node& node : c.tree) {
            const std::filesystem::path path = root.path() / node.path;
            if (path.filename().empty()) {
                std::filesystem::create_directories(path);
            } else {
                test::writeFile(path, "");
                ::chmod(path.c_str(), node.mode);
            }
        }
        PortSurvey survey = FakePortIo().survey;
        survey.root = root.str();
        struct stat info {};
        if (c.inTheFilesGroup && ::stat((root.str() + c.path).c_str(), &info) == 0) survey.user.groups = {info.st_gid};
        std::string hints;
        for (const std::string& hint : portHints(survey, c.path)) hints += hint;
        EXPECT_EQ(hints, c.hints) << c.name;
    }
}

}  // namespace
}  // namespace mervex
