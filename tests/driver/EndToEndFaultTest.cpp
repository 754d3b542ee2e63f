// Whole runs that fail: nothing the user owns may be lost, the target is left
// switched off, and the exit status tells what went wrong.
#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/PpdevPort.h"
#include "console/Errors.h"
#include "driver/EndToEnd.h"
#include "image/ImageReader.h"
#include "sim/TargetSettings.h"
#include "support/Text.h"

namespace mervex::test {
namespace {


// The cable of the pin map below: LEDs, no key.
const char* const LedWiring = "mosi=D5:sck=D6:reset=D4:miso=ACK:led_ok=D2:led_error=D7";

class EndToEndFault : public EndToEnd {
protected:
    // The EEPROM contents kept in "(eeprom).sav" (or another name), as bytes from address 0.
    std::vector<uint8_t> savedEeprom(const std::string& name = "(eeprom).sav") {
        MemoryImage image;
        ImageFile file;
        file.path = (dir / name).string();
        readImageFile(image, file);
        std::vector<uint8_t> bytes(512, 0xFF);
        image.forEach([&bytes](const MemoryBlock& b) {
            for (uint32_t i = 0; i < b.length; ++i) bytes.at(b.address + i) = b.data[i];
        });
        return bytes;
    }
};

// With -e- the EEPROM read before the erase must survive whatever ends the run
// before it has been written back.
TEST_F(EndToEndFault, SavedEepromSurvivesEveryFailureAfterTheErase) {
    const std::vector<uint8_t> eeprom = pattern(512, 3);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* report;
        RunOptions options;
        void (*fault)(VirtualTarget&);
    };
    const Case cases[] = {
        {"not blank after the erase", {"+mega8", "-e-", "-b"}, 10, "ERROR:  Code not blank\n", {},
         [](VirtualTarget& t) {
             t.faults.stuckBit = true;
             t.faults.stuckBitAddress = 0x10;
             t.faults.stuckBitLevel = false;
         }},
        {"lost synchronisation", {"+mega8", "-e-", "-wp", "-fCKSEL=F"}, 40, "Synchronisation lost\n", {},
         [](VirtualTarget& t) { t.faults.wrongEchoAt = 800; }},
        {"write never ends", {"+mega8", "-e-", "-wp", "-fCKSEL=F"}, 10, "ERROR:  Poll: can't write byte to DATA memory",
         {}, [](VirtualTarget& t) { t.faults.stuckWriteAt = 100; }},
        {"signal during the restore", {"+mega8", "-e-"}, 80, "ERROR:  Terminated by user (SIGINT)\n",
         RunOptions{"", "Restoring EEPROM\n", SIGINT, -1, ""}, [](VirtualTarget&) {}},
        {"terminal closed during the restore", {"+mega8", "-e-"}, 80, "ERROR:  Terminated by user (SIGHUP)\n",
         RunOptions{"", "Restoring EEPROM\n", SIGHUP, -1, ""}, [](VirtualTarget&) {}},
        // Nobody reads the output after the erase (`| head`): the errors go to standard error.
        {"reader gone, restore fails", {"+mega8", "-e-", "-w", "-fCKSEL=F"}, 10, "ERROR:  failed, 511 errors\n",
         RunOptions{"", "", SIGINT, -1, "Device erased\n"}, [](VirtualTarget& t) { t.faults.stuckWriteAt = 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "(eeprom).sav");
        // The signal case writes with the chip's own slow EEPROM times, so it is still restoring.
        auto target = c.status == 80 ? newVirtualTarget("mega8") : chip("mega8");
        std::copy(eeprom.begin(), eeprom.end(), target->eeprom.begin());
        c.fault(*target);
        store(*target);
        const Outcome outcome = run(c.args, c.options);
        const std::string shown = c.options.closeOutputAfter.empty() ? outcome.out : outcome.err;
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_TRUE(contains(shown, c.report)) << shown;
        EXPECT_TRUE(contains(shown, "ERROR:  EEPROM content saved to HEX-file \"(eeprom).sav\"\n")) << shown;
        ASSERT_TRUE(fs::exists(dir / "(eeprom).sav"));
        EXPECT_EQ(savedEeprom(), eeprom);
    }
    // A run that restores the EEPROM leaves no file, also when nobody reads its output.
    for (const char* closeAfter : {"", "Device erased\n"}) {
        SCOPED_TRACE(closeAfter);
        fs::remove(dir / "(eeprom).sav");
        auto target = chip("mega8");
        std::copy(eeprom.begin(), eeprom.end(), target->eeprom.begin());
        store(*target);
        const Outcome outcome = run({"+mega8", "-e-", "-w", "-fCKSEL=4"}, RunOptions{"", "", SIGINT, -1, closeAfter});
        EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_FALSE(fs::exists(dir / "(eeprom).sav"));
        EXPECT_EQ(stored()->eeprom, eeprom);
        EXPECT_EQ(stored()->fuse(FuseByte::Low) & 0x0F, 4);
    }
}

// A second failed -e- run reads an already erased EEPROM: its save file must
// not replace the one that holds the chip's real contents.
TEST_F(EndToEndFault, EarlierSaveFileIsKeptAside) {
    const std::vector<uint8_t> eeprom = pattern(512, 5);
    auto target = chip("mega8");
    std::copy(eeprom.begin(), eeprom.end(), target->eeprom.begin());
    target->faults.stuckBit = true;
    target->faults.stuckBitAddress = 0x10;
    target->faults.stuckBitLevel = false;
    store(*target);
    fs::remove(dir / "(eeprom).sav");
    fs::remove(dir / "(eeprom).sav.1");
    ASSERT_EQ(run({"+mega8", "-e-", "-b"}).status, 10);
    const Outcome second = run({"+mega8", "-e-", "-b"});
    EXPECT_EQ(second.status, 10);
    EXPECT_TRUE(contains(second.out, "Warning: Earlier \"(eeprom).sav\" kept as \"(eeprom).sav.1\"\n")) << second.out;
    fs::rename(dir / "(eeprom).sav.1", dir / "(eeprom).sav");
    EXPECT_EQ(savedEeprom(), eeprom);
}

// Benches run one process per board, often from one directory: runs that save
// at the same moment never replace each other's copy, and a run that restored
// its EEPROM takes away its own copy, wherever another run has moved it.
TEST_F(EndToEndFault, ParallelRunsInOneDirectoryKeepEveryCopy) {
    constexpr int Runs = 4;
    std::vector<Outcome> outcomes(Runs);
    std::vector<std::thread> runs;
    for (int i = 0; i < Runs; ++i) {
        auto target = chip("mega8");
        std::fill(target->eeprom.begin(), target->eeprom.end(), uint8_t(i + 1));
        if (i % 2 == 1) target->faults.stuckWriteAt = 3;  // this restore does not take
        const std::string path = (dir / ("board" + std::to_string(i) + ".vchip")).string();
        saveVirtualTarget(*target, path);
        runs.emplace_back([&outcomes, this, i, path] {
            outcomes[i] = runProgram(dir, {"-ip-", "-p" + path, "+mega8", "-e-", "-w", "-fCKSEL=4"});
        });
    }
    for (std::thread& run : runs) run.join();
    std::multiset<uint8_t> kept;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("(eeprom).sav", 0) != 0) continue;
        const std::vector<uint8_t> bytes = savedEeprom(name);
        kept.insert(bytes == std::vector<uint8_t>(512, bytes.at(0)) ? bytes.at(0) : 0);
    }
    for (int i = 0; i < Runs; ++i) EXPECT_EQ(outcomes[i].status, i % 2 == 1 ? 10 : 0) << outcomes[i].out;
    EXPECT_EQ(kept, (std::multiset<uint8_t>{2, 4}));
}

// One run per target, as per port: while a run holds the target, another run
// or a change by mervex-vchip is refused at once and changes nothing, and the
// run that holds it completes.
TEST_F(EndToEndFault, ASecondRunOnATargetInUseIsRefused) {
    store(*chip("mega8"));
    const std::vector<uint8_t> code = pattern(256);
    hexFile("code.hex", {{0, code}});
    struct Contender {
        const char* name;
        std::function<Outcome()> run;
    };
    const Contender contenders[] = {
        {"mervex", [&] { return run({"+mega8", "-r", "-cback.hex"}); }},
        {"mervex-vchip set", [&] { return runVchipInProcess({"set", targetPath(), "clock=8M"}); }},
        {"mervex-vchip load",
         [&] { return runVchipInProcess({"load", targetPath(), "flash", (dir / "code.hex").string()}); }},
        {"mervex-vchip new --force", [&] { return runVchipInProcess({"new", "tiny13", targetPath(), "--force"}); }},
    };
    std::vector<Outcome> refused;
    std::string before, during;
    RunOptions options;
    options.signalAfter = "Device erased\n";
    const Outcome first = run({"+mega8", "-e", "-wp", "code.hex"}, options, [&] {
        before = readFile(targetPath());
        for (const Contender& c : contenders) refused.push_back(c.run());
        during = readFile(targetPath());
    });
    EXPECT_EQ(first.status, 0) << first.out;
    ASSERT_EQ(refused.size(), std::size(contenders));
    for (size_t i = 0; i < refused.size(); ++i) {
        SCOPED_TRACE(contenders[i].name);
        EXPECT_EQ(refused[i].status, 70);
        EXPECT_TRUE(contains(refused[i].out, "ERROR:  Virtual target '" + targetPath() + "' is in use by another process\n"))
            << refused[i].out;
    }
    EXPECT_EQ(during, before);
    EXPECT_FALSE(fs::exists(dir / "back.hex"));
    const auto after = stored();
    EXPECT_EQ(after->runCount, 1u);
    EXPECT_EQ(after->clockHz, 1000000u);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), after->flash.begin()));
}

TEST_F(EndToEndFault, KeyWithoutAKeyLightsTheErrorLed) {
    auto target = chip("mega8");
    target->cable = std::string("user:") + LedWiring;
    store(*target);
    const Outcome outcome = run({"+mega8", std::string("-am:") + LedWiring, "-k", "-e"});
    EXPECT_EQ(outcome.status, 70);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Key not defined for given adapter, can't process -k switch\n"));
    const auto after = stored();
    EXPECT_TRUE(after->lastRun.ledError.on);
    EXPECT_FALSE(after->lastRun.ledOk.on);
    EXPECT_EQ(after->eraseCount, 0u);
}

TEST_F(EndToEndFault, KeyStartsTheRun) {
    auto target = chip("mega8");
    target->cable = std::string("user:") + LedWiring + ":key=~BUSY";
    target->key = {KeyInterval{0, 150}, KeyInterval{400, -1}};  // held at start, pressed again later
    store(*target);
    for (const char* keySwitch : {"-k", "-K"}) {
        store(*target);
        const Outcome outcome =
            run({"+mega8", std::string("-am:") + LedWiring + ":key=~BUSY", keySwitch, "-b", "-ie"});
        EXPECT_EQ(outcome.status, 0) << outcome.out;
        EXPECT_TRUE(contains(outcome.out, "Press ADAPTER KEY for continue.\n"));
        const auto after = stored();
        EXPECT_TRUE(after->lastRun.ledOk.on);
        EXPECT_FALSE(after->lastRun.ledError.on);
    }
}

TEST_F(EndToEndFault, SignalDuringAWrite) {
    auto target = newVirtualTarget("mega8");
    target->cable = std::string("user:") + LedWiring;
    store(*target);
    hexFile("code.hex", {{0, pattern(8192)}});
    const Outcome outcome = run({"+mega8", std::string("-am:") + LedWiring, "-e", "-w", "code.hex"},
                                RunOptions{"", "Programming 8192 bytes", SIGINT, -1, ""});
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 80);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Terminated by user (SIGINT)\n\n"));
    EXPECT_FALSE(contains(outcome.out, "All OK"));
    EXPECT_TRUE(stored()->lastRun.ledError.on);
}

// Once the adapter may power the target, a signal ends the run through the
// handler (target switched off, status 80), never by the signal's default action.
TEST_F(EndToEndFault, SignalRightAfterTheAdapterIsEnabled) {
    for (int number : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
        store(*chip("mega8"));
        const Outcome outcome =
            run({"+mega8", "-id", "-r", "-cback.hex"}, RunOptions{"", "    Reset\n", number, -1, ""});
        EXPECT_EQ(outcome.signal, 0) << number;
        EXPECT_EQ(outcome.status, 80) << number;
        EXPECT_TRUE(contains(outcome.out, "ERROR:  Terminated by user (")) << outcome.out;
    }
}

TEST_F(EndToEndFault, ReadRunWithAnUnwritableFileFails) {
    store(*chip("mega8"));
    // Room for the small target file, not for a full HEX image of the flash.
    const Outcome outcome = run({"+mega8", "-r+", "-cback.hex"}, RunOptions{"", "", SIGINT, 8192, ""});
    EXPECT_EQ(outcome.status, 50) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "ERROR:  back.hex - write error\n")) << outcome.out;
    EXPECT_FALSE(contains(outcome.out, "All OK"));
    EXPECT_FALSE(fs::exists(dir / "back.hex"));
}

// An image that cannot fit is refused before the chip is erased.
TEST_F(EndToEndFault, FitIsCheckedBeforeTheErase) {
    auto target = chip("mega8");
    target->flash[0] = 0x42;
    target->eeprom[0] = 0x24;
    store(*target);
    hexFile("big.hex", {{0x1FF0, pattern(0x20)}});
    textFile("far.hex", ":0200000480007A\n:0100000055AA\n:00000001FF\n");  // 0x80000000: far above any flash
    struct Case {
        std::vector<std::string> args;
        const char* report;
    };
    const Case cases[] = {
        {{"+mega8", "-e", "-w", "-cbig.hex"}, "ERROR:  Can't fit big.hex in CODE memory\n"},
        {{"+mega8", "-e", "-w", "-dbig.hex"}, "ERROR:  Can't fit big.hex in DATA memory\n"},
        {{"+mega8", "-e", "-w", "-cfar.hex"}, "ERROR:  Can't fit far.hex in CODE memory\n"},
        {{"+mega8", "-e", "-w", "far.hex"}, "ERROR:  Can't fit data part of input file in DATA memory\n"},
        {{"+mega8", "-e-", "-w", "-v", "-cbig.hex"}, "ERROR:  Can't fit big.hex in CODE memory\n"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.args);
        EXPECT_EQ(outcome.status, 50) << c.args.back();
        EXPECT_TRUE(contains(outcome.out, c.report)) << outcome.out;
        EXPECT_FALSE(contains(outcome.out, "Device erased")) << c.args.back();
        const auto after = stored();
        EXPECT_EQ(after->flash[0], 0x42);
        EXPECT_EQ(after->eeprom[0], 0x24);
        EXPECT_EQ(after->eraseCount, 0u);
    }
}

// Without a chip name only the port query passes validation; nothing is then
// done that needs a chip.
TEST_F(EndToEndFault, NoChipNoChipWork) {
    hexFile("big.hex", {{0, pattern(0x100)}, {0x10000, pattern(0x10)}});
    struct Case {
        std::vector<std::string> args;
        const char* report;
    };
    const Case cases[] = {
        {{"-p?"}, "ERROR:  Invalid value for switch -p\n"},
        {{"-p?", "-w", "-fCKSEL=1"}, "ERROR:  Chip name must be specified\n"},
        {{"-p?", "-v", "big.hex"}, "ERROR:  Invalid value for switch -p\n"},
        {{"-w", "big.hex"}, "ERROR:  Chip name must be specified\n"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = runProgram(dir, c.args);
        EXPECT_EQ(outcome.status, 70) << c.args.back();
        EXPECT_TRUE(contains(outcome.out, c.report)) << outcome.out;
        EXPECT_EQ(outcome.signal, 0);
    }
}

// A failure with a likely cause ends with its message and hint lines after
// it; at -ie the message stands alone, as it always did. --check finds each
// cause: the class of the fault and what to do, or the -o to use.
TEST_F(EndToEndFault, LikelyCausesAreHinted) {
    const std::string tryCable =
        "Hint: try -aa to find the cable (or -as, -ab, -ax), check the target's power, give the chip's real clock "
        "with -o, or slow down with -2\n";
    const std::string noAnswer = "ERROR:  Can't resync\nHint: the chip gave no steady answer through the VUDER cable, "
                                 "its clock taken as 0.80MHz\n" + tryCable;
    const std::string findOut = "; mervex --check finds out more\n";
    const std::string misoLow = "Hint: MISO stays low: a chip clocked slower than -o says, a short to ground, or MISO "
                                "on the wrong pin" + findOut;
    const std::string misoHigh = "Hint: MISO stays high: no target, no power, or the cable not connected" + findOut;
    const std::string noSupply = "Result: FAIL (target)\nTo do: give the target its supply and check the ISP "
                                 "connector and its MISO pin (a signature read now would be FFFFFF, which is no "
                                 "answer)\n";
    const std::string otherCable = " answered: check the cable and its power, try -aa to find it, name another "
                                   "cable (-as, -ab, -ax, no -a for VUDER), or use this wiring anyway with -!\n";
    const std::string mega328Fuses = "mega328P has the fuses ";
    const std::string fuseBytes = "Hint: whole fuse bytes are named with a leading underscore";
    struct Case {
        const char* name;
        const char* chip;
        const char* settings;  // of the target, blank-separated
        std::vector<std::string> args;
        int status;
        std::string ending;  // exactly how the output ends
    };
    const Case cases[] = {
        {"STK200 cable taken for the default wiring", "mega328P", "cable=stk200", {"+mega328P", "-r"}, 40,
         noAnswer + misoLow},
        {"chip clocked slower than assumed", "mega8", "clock=32k", {"+mega8", "-r"}, 40, noAnswer + misoLow},
        {"no cable at all", "mega8", "cable=none", {"+mega8", "-r"}, 40, noAnswer + misoHigh},
        {"SCK frequency given", "mega328P", "cable=stk200", {"+mega328P", "-os1MHz", "-r"}, 40,
         "ERROR:  Can't resync\nHint: the chip gave no steady answer through the VUDER cable, SCK set to 1.00MHz\n" +
             tryCable + misoLow},
        {"MOSI and MISO crossed", "mega8", "fault.miso=crossed", {"+mega8", "-r"}, 40,
         noAnswer + "Hint: MISO follows MOSI: the two lines are crossed or shorted" + findOut},
        {"check: a sound target", "mega8", "", {"--check"}, 0, "Result: OK\nUse: +mega8 -o1MHz\n"},
        // The -o to use is the fuses' clock (CKDIV8 divides it) where the chip answers at it.
        {"check: a factory-fresh chip", "mega328P", "", {"--check"}, 0, "Result: OK\nUse: +mega328P -o1MHz\n"},
        {"check: fuses say faster than the chip runs", "mega8", "fuse.low=E4", {"--check"}, 0,
         "Result: OK\nUse: +mega8 -o800kHz\n"},
        {"check: no supply", "mega8", "fault.no-power=yes", {"--check"}, 40, noSupply},
        {"check: MISO stuck high", "mega8", "fault.miso=high", {"--check"}, 40, noSupply},
        {"check: MISO stuck low", "mega8", "fault.miso=low", {"--check", "+mega8"}, 40,
         "Result: FAIL (target)\nTo do: give the chip a clock (a clock fuse set to a crystal or an external clock "
         "that is not there stops it) and see that MISO is not shorted to ground (a signature read now would be "
         "000000, which is no answer)\n"},
        {"check: MOSI and MISO crossed", "mega8", "fault.miso=crossed", {"--check"}, 40,
         "Result: FAIL (target)\nTo do: swap MOSI and MISO at the connector, or clear the short between them\n"},
        {"check: another cable than the default", "mega8", "cable=stk200", {"--check"}, 40,
         "Result: FAIL (cable)\nTo do: use -as for this cable (no -a asks for the VUDER wiring)\n"},
        {"check: another cable than -ab", "mega8", "cable=stk300", {"--check", "-ab"}, 70,
         "Result: FAIL (cable)\nTo do: use -as for this cable (-ab asks for the ByteBlaster wiring)\n"},
        {"check: chip clocked too slow", "mega8", "clock=100k", {"--check"}, 40,
         "Result: FAIL (clock)\nTo do: the chip answers only at -o100kHz or slower: use +mega8 -o100kHz\n"},
        // On GPIO lines the steps on the ISP link tell; their SCK stays as set.
        {"check: on GPIO lines", "mega8", "cable=gpio",
         {"--check", "-am=" + (fs::path(MERVEX_SOURCE_DIR) / "examples/pinmaps/rpi").string()}, 0,
         "Result: OK\nUse: +mega8 -o800kHz\n"},
        {"check: no such port", "mega8", "", {"--check", "-pno-such.vchip"}, 70,
         "Result: FAIL (port)\nTo do: name the port with -p (its device, such as /dev/parport0, or a virtual target "
         "file), and see that nothing else holds it and that you may use it\n"},
        {"check: data lines dead", "mega8", "fault.dead-data-lines=yes", {"--check"}, 40,
         "Result: FAIL (port)\nTo do: the port's data lines are dead or switched to input: set the port to SPP or "
         "EPP in the firmware setup, and check the card's driver and its cable inside the PC\n"},
        {"check: another chip", "mega328P", "", {"--check", "+mega8"}, 30,
         "Result: FAIL (target)\nTo do: the chip is a mega328P: name it +mega328P\n"},
        {"at -ie the message alone", "mega328P", "cable=stk200", {"+mega328P", "-ie", "-r"}, 40,
         "v1.29z0 (Dec 11 2013 22:19:58)\nERROR:  Can't resync\n"},
        {"STK cable not there", "mega8", "", {"+mega8", "-as", "-r"}, 70,
         "ERROR:  Atmel STK* adapter not found\nHint: no STK200/STK300 cable" + otherCable},
        {"ByteBlaster not there", "mega8", "", {"+mega8", "-ab", "-r"}, 70,
         "ERROR:  Altera ByteBlaster not found\nHint: no ByteBlaster cable" + otherCable},
        {"no buffered cable for -aa", "mega8", "", {"+mega8", "-aa", "-r"}, 70,
         "ERROR:  Known buffered adapter not found\nHint: no STK200/STK300 or ByteBlaster cable "
         "answered: check the cable and its power, or name an unbuffered cable (-ax, no -a for VUDER)\n"},
        {"another chip on the cable", "mega328P", "", {"+mega8", "-r", "-cback.hex"}, 30,
         "ERROR:  Requested <mega8>, detected <mega328P|A6614Q>\nERROR:  Can't continue\n"
         "Hint: the chip on the cable is a mega328P: name it +mega328P, or go on as mega8 with -!\n"},
        {"chip not in the table", "mega8", "fault.signature=1E9999", {"+mega8", "-w", "code.hex"}, 30,
         "ERROR:  Can't continue\nHint: no chip of the table has this signature; an ID of 0x000000 or 0xFFFFFF "
         "means no real answer (check the cable and the target's power), else name the chip with + and add -! to "
         "go on as that chip\n"},
        {"locked chip", "mega8", "lock=FC", {"+mega8", "-w", "code.hex"}, 10,
         "ERROR:  Can't write to locked chip\n"
         "Hint: only an erase (-e) unlocks the chip, and it clears the flash and the EEPROM\n"},
        {"fuse name misspelt", "mega328P", "", {"+mega328P", "-w", "-fBODLEVL=4"}, 70,
         "ERROR:  Invalid fuse name 'BODLEVL'\nHint: " + mega328Fuses +
             "BODLEVEL, CKDIV, CKSEL, DWEN, BOOTSZ, BOOTRST, BLB1, BLB0, RSTDISBL, WDTON, EESAVE, CKOUT, SUT "
             "(closest first; 'mervex +mega328P -h' describes them)\n" + fuseBytes + ": _LOW, _HIGH, _EXT, _LOCK\n"},
        {"fuse byte named as other tools do", "mega8", "", {"+mega8", "-w", "-flfuse=E4"}, 70,
         "ERROR:  Invalid fuse name 'lfuse'\nHint: mega8 has the fuses SUT, CKSEL, BODEN, WDTON, CKOPT, EESAVE, "
         "BOOTSZ, BLB1, BLB0, BOOTRST, BODLEVEL, RSTDISBL (closest first; 'mervex +mega8 -h' describes them)\n" +
             fuseBytes + " (_LOW, _HIGH, _LOCK): _LOW=HH sets this one\n"},
    };
    hexFile("code.hex", {{0, pattern(16)}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto target = chipWith(c.chip, c.settings);
        store(*target);
        const Outcome outcome = run(c.args);
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        EXPECT_TRUE(endsWith(outcome.out, c.ending)) << outcome.out;
        // None of these runs gets as far as changing the chip, the checks least of all.
        const auto after = stored();
        const TargetCounters& counters = after->lastRun;
        EXPECT_EQ(counters.writes + counters.ignoredWrites + counters.lockedWrites + counters.eepromPages, 0u);
        EXPECT_EQ(after->flash, target->flash);
        EXPECT_EQ(after->eeprom, target->eeprom);
        EXPECT_TRUE(std::equal(std::begin(after->fuses), std::end(after->fuses), std::begin(target->fuses)));
        EXPECT_EQ(after->eraseCount, target->eraseCount);
    }
}

// What -p takes: a port in the same argument; an existing file needs no slash.
TEST_F(EndToEndFault, PortsAreExplained) {
#ifdef MERVEX_HAVE_PPDEV
    const std::string device = "-p/dev/parport0";
#else
    const std::string device = "-p/dev/ppi0";
#endif
    const std::string takes = "ERROR:  Invalid value for switch -p\nHint: -p takes, in the same argument, a port "
                              "device (" + device + ") or a virtual target file (-pboard.vchip; without a slash it "
                              "must exist)\n";
    store(*chip("mega8"));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string ending;
    };
    const Case cases[] = {
        {{"+mega8", "-pboard.vchip", "-r", "-cback.hex"}, 0, "All OK\n"},
        {{"+mega8", "-pno-such.vchip", "-r", "-cback.hex"}, 70, takes},
        {{"+mega8", "-r", "-cback.hex"}, 70, takes},
        {{"+mega8", "-p", "board.vchip", "-r"}, 70, "ERROR:  -p takes the port in the same argument: -pboard.vchip\n"},
        {{"+mega8", "-e", "-p", "/dev/null"}, 70, "ERROR:  -p takes the port in the same argument: -p/dev/null\n"},
        {{"+mega8", "-e", "-p", "gpio"}, 70, "ERROR:  -p takes the port in the same argument: -pgpio\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Outcome outcome = runProgram(dir, c.args);
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        // The lines that list this system's ports may follow.
        EXPECT_NE(outcome.out.find(c.ending), std::string::npos) << outcome.out;
        EXPECT_EQ(stored()->eraseCount, 0u);
    }
}

// -r alone tells what the chip on the cable is and changes nothing.
TEST_F(EndToEndFault, IdentifyOnlyChangesNothing) {
    struct Case {
        const char* chip;
        const char* cable;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> shown;  // lines the output holds, in this order
        const char* fault = "";          // set with mervex-vchip before the run
    };
    const Case cases[] = {
        // The stuck level is in the file from the moment it is set, never put there by a read.
        {"tiny2313", "vuder", {"+tiny2313", "-r"}, 0, {"Signature 0x1E910A: tiny2313", "All OK\n"},
         "fault.stuck-bit=100:3:0"},
        {"mega328P", "vuder", {"-r"}, 0,
         {"Device connected, mega328P|A6614Q detected\n", "Chip not locked\n", "Signature 0x1E950F: mega328P|A6614Q\n",
          "Fuses:\n  OSCCAL  = ", "  _LOW    = ", "    CKDIV       = ", "  _EXT    = ", "    BODLEVEL    = ",
          "All OK\n"}},
        {"mega8", "vuder", {"+mega8", "-r"}, 0, {"Signature 0x1E9307: mega8|mega8A\n", "All OK\n"}},
        {"mega8", "stk200", {"-aa", "-r"}, 0,
         {"Cable found by -aa: Atmel adapter for STK200\n", "Signature 0x1E9307: mega8|mega8A\n", "All OK\n"}},
        {"mega328P", "vuder", {"+mega8", "-r"}, 30,
         {"ERROR:  Requested <mega8>, detected <mega328P|A6614Q>\n", "Hint: the chip on the cable is a mega328P"}},
        // Anything more than -r still needs its files.
        {"mega8", "vuder", {"-e", "-r"}, 70, {"ERROR:  Chip name must be specified\n"}},
        {"mega8", "vuder", {"+mega8", "-e", "-r"}, 70, {"ERROR:  Can't read without target files\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip + std::string(" ") + c.args[0]);
        auto target = chip(c.chip);
        target->cable = c.cable;
        target->flash[0] = 0x12;
        target->eeprom[0] = 0x34;
        store(*target);
        if (*c.fault) {
            ASSERT_EQ(runVchipInProcess({"set", targetPath(), c.fault}).status, 0);
        }
        const std::string before = readFile(targetPath());
        const Outcome outcome = run(c.args);
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        size_t at = 0;
        for (const std::string& line : c.shown) {
            at = outcome.out.find(line, at);
            EXPECT_NE(at, std::string::npos) << line << "\n" << outcome.out;
        }
        // The file byte for byte, but for the record of the run.
        const auto after = stored();
        const auto was = parseVirtualTarget(before, targetPath());
        after->runCount = was->runCount;
        after->lastRun = was->lastRun;
        EXPECT_EQ(formatVirtualTarget(*after), before);
    }
}

// The virtual target, but from the second save on its file has become a
// directory, which no save can replace.
class SecondSaveFails : public VirtualPortBackend {
    class Port : public ParallelPort {
    public:
        Port(std::unique_ptr<ParallelPort> port, std::string path) : port_(std::move(port)), path_(std::move(path)) {
            cycleTime_ = port_->cycleTime();
            canControlDirection_ = port_->canControlDirection();
        }
        uint8_t readRegister(PortRegister reg) override { return port_->readRegister(reg); }
        void writeRegister(PortRegister reg, uint8_t value) override { port_->writeRegister(reg, value); }
        void writeDataSequence(const uint8_t* values, size_t count) override { port_->writeDataSequence(values, count); }
        void flush() override {
            if (++flushes_ == 2) {
                fs::remove(path_);
                fs::create_directories(fs::path(path_) / "in-the-way");
            }
            port_->flush();
        }

    private:
        std::unique_ptr<ParallelPort> port_;
        std::string path_;
        int flushes_ = 0;
    };

public:
    using VirtualPortBackend::VirtualPortBackend;
    std::unique_ptr<ParallelPort> open(const std::string& path) const override {
        return std::make_unique<Port>(VirtualPortBackend::open(path), path);
    }
};

// A save that fails after "All OK" leaves the file older than what the user
// was told: the run says so and does not end as a success.
TEST_F(EndToEndFault, ASaveThatFailsAfterAllOkFailsTheRun) {
    store(*chip("mega8"));
    SystemClock clock;
    const SecondSaveFails backend(clock);
    const Outcome outcome = runEntry("mervex", {"-ip-", port(), "+mega8", "-r"},
                                     [&](int argc, char** argv) { return runMain(argc, argv, {&backend}, clock); });
    EXPECT_EQ(outcome.status, ExitSystem);
    EXPECT_TRUE(contains(outcome.out, "All OK\nERROR:  Can't write virtual target '" + targetPath() +
                                          "'\nERROR:  Is a directory (the file keeps the state saved earlier in this "
                                          "run)\n"))
        << outcome.out;
}

}  // namespace
}  // namespace mervex::test
