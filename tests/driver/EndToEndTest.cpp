// Whole runs of the mervex program against virtual targets: what a user sees,
// the exit status, the files and the chip afterwards.
#include <algorithm>
#include <string>
#include <vector>

#include "driver/EndToEnd.h"
#include "image/ImageReader.h"
#include "support/Text.h"

namespace mervex::test {
namespace {

const char* const Banner = "mervex/FreeBSD v1.29z0 (Dec 11 2013 22:19:58)\n";

// The output after the banner, with the total time made constant.
std::string body(const Outcome& outcome) {
    std::string text = withoutTimes(outcome.out);
    return text.compare(0, std::string(Banner).size(), Banner) == 0 ? text.substr(std::string(Banner).size()) : text;
}


using EndToEndRun = EndToEnd;

TEST_F(EndToEndRun, EraseWriteVerifyEndsAllOk) {
    store(*chip("mega8"));
    const std::vector<uint8_t> code = pattern(3000);
    hexFile("code.hex", {{0, code}});
    const Outcome outcome = run({"+mega8", "-e", "-w", "-v", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.substr(0, std::string(Banner).size()), Banner);
    EXPECT_EQ(body(outcome),
              "Device connected, mega8|mega8A detected\n"
              "Chip not locked\n"
              "Device erased\n"
              "Device connected, mega8|mega8A detected\n"
              "Programming 3000 bytes to CODE memory\n"
              "Verifying CODE memory\n"
              " passed\n"
              "Total time T\n"
              "All OK\n");
    EXPECT_EQ(outcome.err, "");
    const auto target = stored();
    EXPECT_TRUE(std::equal(code.begin(), code.end(), target->flash.begin()));
    EXPECT_TRUE(std::all_of(target->flash.begin() + 3000, target->flash.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(target->eraseCount, 1u);
}

// With EESAVE programmed the erase keeps the EEPROM: the 0xFF bytes of the data
// file, and with -w+ the positions the file leaves free, must still reach the chip.
TEST_F(EndToEndRun, EepromKeptByEesaveStillTakesTheFile) {
    auto target = chip("mega8");
    target->fuse(FuseByte::High) = 0xD1;  // EESAVE programmed
    const std::vector<uint8_t> old = pattern(0x60, 7);  // the rest is blank, which keeps the fill short
    std::copy(old.begin(), old.end(), target->eeprom.begin());
    store(*target);
    std::vector<uint8_t> data = pattern(32, 9);
    std::fill(data.begin() + 8, data.begin() + 16, 0xFF);
    hexFile("data.hex", {{0x40, data}});
    const Outcome outcome = run({"+mega8", "-e", "-w+p", "-d", "data.hex"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    const auto after = stored();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), after->eeprom.begin() + 0x40));
    EXPECT_EQ(std::count(after->eeprom.begin(), after->eeprom.end(), 0xFF),
              long(512 - 32 + std::count(data.begin(), data.end(), 0xFF)));
}

// Each example firmware, programmed into its chip and read back, matches the
// binary that avr-objcopy made of it (objcopy fills gaps with 0, the chip keeps 0xFF).
TEST_F(EndToEndRun, ExampleFirmwareRoundTrips) {
    struct Example {
        const char* chip;
        const char* hex;
        const char* bin;
        const char* eepHex;
        const char* eepBin;
    };
    const Example examples[] = {
        {"mega8", "blink-mega8/blink.hex", "blink-mega8/blink.bin", "blink-mega8/blink.eep.hex",
         "blink-mega8/blink.eep.bin"},
        {"mega2560", "table-mega2560/table.hex", "table-mega2560/table.bin", nullptr, nullptr},
    };
    const fs::path examplesDir = fs::path(MERVEX_SOURCE_DIR) / "examples";
    for (const Example& e : examples) {
        SCOPED_TRACE(e.hex);
        store(*chip(e.chip));
        std::vector<std::string> args = {std::string("+") + e.chip, "-e", "-wp", "-v", "-c" + (examplesDir / e.hex).string()};
        if (e.eepHex) args.push_back("-d" + (examplesDir / e.eepHex).string());
        ASSERT_EQ(run(args).status, 0);

        MemoryImage image;
        ImageFile source;
        source.path = (examplesDir / e.hex).string();
        readImageFile(image, source);
        std::vector<bool> covered;
        image.forEach([&covered](const MemoryBlock& b) {
            if (covered.size() < b.endAddress()) covered.resize(size_t(b.endAddress()), false);
            std::fill(covered.begin() + b.address, covered.begin() + long(b.endAddress()), true);
        });
        const std::vector<uint8_t> objcopy = readFileBytes(examplesDir / e.bin);
        ASSERT_EQ(objcopy.size(), covered.size());

        ASSERT_EQ(run({std::string("+") + e.chip, "-r", "-c:bin:back.bin"}).status, 0);
        const std::vector<uint8_t> back = readFileBytes(dir / "back.bin");
        ASSERT_EQ(back.size(), objcopy.size());
        for (size_t i = 0; i < back.size(); ++i)
            ASSERT_EQ(back[i], covered[i] ? objcopy[i] : 0xFF) << "at " << i;
        if (e.eepBin) {
            const std::vector<uint8_t> eeprom = readFileBytes(examplesDir / e.eepBin);
            const auto target = stored();
            EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), target->eeprom.begin()));
        }
    }
}

// A GPIO wiring programs a real firmware, also with RESET through an
// inverter; a line another user holds, a line or a chip that is not there
// each fail with status 70; a wiring that does not match says what to check.
TEST_F(EndToEndRun, GpioWiringsProgramOrFailClearly) {
    struct Case {
        const char* cable;
        std::vector<std::string> args;
        std::string expected;  // "All OK", or the failure
        int status = 70;
    };
    const std::string rpi = "-am=" + (fs::path(MERVEX_SOURCE_DIR) / "examples/pinmaps/rpi").string();
    const std::string missing = (dir / "gpiochip9").string();
    const std::string ok = "All OK\n";
    const Case cases[] = {
        {"gpio", {rpi}, ok, 0},
        {"gpio:mosi=10:miso=9:sck=11:reset=~25", {"-am:mosi=GPIO10:miso=9:sck=GPIO11:reset=~GPIO25"}, ok, 0},
        {"gpio:mosi=10:miso=9:sck=11:reset=~25", {rpi},
         "\nHint: check the wiring's lines (-id names the chip and the line numbers), check the target's power", 40},
        {"gpio:mosi=10:miso=9:sck=11:reset=25:busy=25", {rpi},
         "ERROR:  GPIO 'GPIO25' (line 25) of `" + targetPath() + "' is in use by 'spi0 CS0'\n"},
        {"gpio", {"-am:mosi=GPIO10:miso=9:sck=GPIO11:reset=GPIO60"},
         "ERROR:  GPIO chip `" + targetPath() + "' has no line named 'GPIO60'\n"},
        {"gpio", {rpi, "-p" + missing}, "ERROR:  Can't open GPIO chip `" + missing + "'\nERROR:  No such"},
        {"gpio", {rpi, "-p" + targetPath() + ",1.5"}, ok, 0},  // a forced cycle time is ignored
    };
    const fs::path firmware = fs::path(MERVEX_SOURCE_DIR) / "examples/blink-mega8/blink.hex";
    MemoryImage image;
    ImageFile source;
    source.path = firmware.string();
    readImageFile(image, source);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cable);
        auto target = chip("mega8");
        target->cable = c.cable;
        store(*target);
        std::vector<std::string> args = c.args;
        for (const char* arg : {"+mega8", "-e", "-w", "-v"}) args.push_back(arg);
        args.push_back(firmware.string());
        const Outcome outcome = run(args);
        EXPECT_TRUE(contains(outcome.out, c.expected)) << outcome.out;
        EXPECT_EQ(outcome.status, c.status);
        const auto after = stored();
        if (c.expected != ok) {
            EXPECT_EQ(after->runCount, target->runCount + (c.args.size() > 1 ? 0 : 1));
            continue;
        }
        image.forEach([&after](const MemoryBlock& b) {
            EXPECT_TRUE(std::equal(b.data.get(), b.data.get() + b.length, after->flash.begin() + b.address));
        });
    }
}

TEST_F(EndToEndRun, ReadFileSizes) {
    auto target = chip("mega8");
    const std::vector<uint8_t> bytes = pattern(0x102);
    std::copy(bytes.begin(), bytes.end(), target->flash.begin());
    target->eeprom[0x40] = 0x12;
    store(*target);
    struct Case {
        std::vector<std::string> args;
        const char* file;
        size_t size;  // bytes of a binary file, lines of a HEX file
    };
    const Case cases[] = {
        {{"-r", "-c:bin:a.bin"}, "a.bin", 258},
        {{"-r+", "-c:bin:a.bin"}, "a.bin", 8192},
        {{"-r+", "-n", "-c:bin:a.bin"}, "a.bin", 8190},
        {{"-r", "-ca.hex"}, "a.hex", 17 + 1},
        {{"-r+", "-ca.hex"}, "a.hex", 512 + 1},
        {{"-r", "-dd.hex"}, "d.hex", 2 + 1},  // the piece at 0 is always kept
        {{"-r+", "-d:bin:d.bin"}, "d.bin", 512},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "+mega8");
        const Outcome outcome = run(args);
        ASSERT_EQ(outcome.status, 0) << outcome.out;
        const std::string text = readFile(dir / c.file);
        if (std::string(c.file).find(".hex") != std::string::npos) {
            EXPECT_EQ(size_t(std::count(text.begin(), text.end(), '\n')), c.size) << c.args[0];
            EXPECT_TRUE(contains(text, ":00000001FF\n"));
        } else {
            EXPECT_EQ(text.size(), c.size) << c.args[0] << " " << c.args[1];
        }
    }
    EXPECT_TRUE(contains(readFile(dir / "d.hex"), ":1000400012FFFF"));
}

TEST_F(EndToEndRun, IdentityMismatchStopsBeforeTheErase) {
    auto target = chip("mega16");
    target->flash[0] = 0x11;
    store(*target);
    hexFile("code.hex", {{0, pattern(64)}});
    Outcome outcome = run({"+mega8", "-e", "-w", "code.hex"});
    EXPECT_EQ(outcome.status, 30);
    EXPECT_EQ(body(outcome),
              "Device connected, mega16|mega16A detected\n"
              "Chip not locked\n"
              "ERROR:  Requested <mega8>, detected <mega16|mega16A>\n"
              "ERROR:  Can't continue\n"
              "Hint: the chip on the cable is a mega16: name it +mega16, or go on as mega8 with -!\n");
    EXPECT_EQ(stored()->flash[0], 0x11);
    EXPECT_EQ(stored()->eraseCount, 0u);

    outcome = run({"+mega8", "-!", "-e", "-w", "-v", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Warning: Requested <mega8>, detected <mega16|mega16A>\n"
                                      "Warning: Device type forced to mega8\n"));
    EXPECT_EQ(stored()->flash[0], pattern(64)[0]);
}

TEST_F(EndToEndRun, LockedChips) {
    hexFile("code.hex", {{0, pattern(64)}});
    struct Case {
        uint8_t lock;
        std::vector<std::string> args;
        int status;
        const char* report;
        const char* chipName = "mega8";
    };
    const Case cases[] = {
        {0xFF, {"-l1"}, 0,
         "Device locked to level 1!\nWarning: This chip's lock bits can't be read back: the lock is unchecked\n",
         "90S1200"},
        {0xFE, {"-w", "code.hex"}, 10, "ERROR:  Can't write to locked chip\n"},
        {0xFE, {"-w", "-fCKSEL=4"}, 10, "ERROR:  Can't write to locked chip\n"},
        {0xFE, {"-r", "-cback.hex"}, 0, "Chip locked - programming disabled\n"},
        {0xFC, {"-r", "-cback.hex"}, 10, "ERROR:  Can't read, blank check or verify fully locked chip\n"},
        {0xFC, {"-b"}, 10, "ERROR:  Can't read, blank check or verify fully locked chip\n"},
        {0xFC, {"-v", "code.hex"}, 10, "ERROR:  Can't read, blank check or verify fully locked chip\n"},
        {0xFC, {"-r", "-!", "-cback.hex"}, 0, "Chip locked - reading and programming disabled\n"},
        {0xFC, {"-l1"}, 0, "Warning: device already locked to level 2, can't change lock level!\n"},
        {0xFC, {"-e", "-w", "-v", "code.hex"}, 0, "Programming 64 bytes to CODE memory\n"},
        // -l+ locks before the fuses are written, which the mega8's lock then keeps as they were.
        {0xFF, {"-w", "-fCKSEL=4", "-l+1"}, 10, "Device locked to level 1!\nProgramming fuses\n"},
        {0xFF, {"-w", "-fCKSEL=4", "-l1"}, 0, "BOOTRST     = 1\nDevice locked to level 1!\nTotal time"},
        {0xFF, {"-w", "-v", "code.hex", "-l2"}, 0, "Device locked to level 2!\n"},
    };
    for (const Case& c : cases) {
        auto target = chip(c.chipName);
        target->fuse(FuseByte::Lock) = c.lock;
        store(*target);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "+" + std::string(c.chipName));
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, c.status) << c.args[0] << " " << outcome.out;
        EXPECT_TRUE(contains(outcome.out, c.report)) << c.args[0] << " " << outcome.out;
        if (c.status != 0) {
            const auto after = stored();
            EXPECT_TRUE(std::all_of(after->flash.begin(), after->flash.end(), [](uint8_t b) { return b == 0xFF; }));
        }
    }
    EXPECT_EQ(stored()->lockLevel(), 2);
}

TEST_F(EndToEndRun, FuseWriteAndVerify) {
    auto target = chip("mega8");
    target->fuse(FuseByte::Low) = 0xE1;
    store(*target);
    Outcome outcome = run({"+mega8", "-w", "-fCKSEL=4"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Programming fuses\n"));
    EXPECT_TRUE(contains(outcome.out, "New fuses value:\n"));
    EXPECT_EQ(stored()->fuse(FuseByte::Low), 0xE4);

    outcome = run({"+mega8", "-v", "-fCKSEL=4"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Verifying fuses\npassed\n"));
    outcome = run({"+mega8", "-v", "-fCKSEL=5"});
    EXPECT_EQ(outcome.status, 10);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Verifying of fuses failed\n"));

    // Boot lock bits programmed: raising them needs an erase.
    target = stored();
    target->fuse(FuseByte::Lock) = 0xF3;
    store(*target);
    outcome = run({"+mega8", "-w", "-fBLB0=3"});
    EXPECT_EQ(outcome.status, 10);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Can't write all requested fuses, need to erase chip\n"));
    EXPECT_EQ(stored()->fuse(FuseByte::Lock), 0xF3);
    outcome = run({"+mega8", "-e", "-w", "-v", "-fBLB0=3"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_EQ(stored()->fuse(FuseByte::Lock) & 0x0C, 0x0C);
}

TEST_F(EndToEndRun, OsccalIntoAnLdiWord) {
    auto target = chip("mega8");
    target->calibration = {0xA7, 0xA3, 0xA1, 0x9F};
    store(*target);
    std::vector<uint8_t> code(0x40, 0x00);
    code[0x1E] = 0xF0;  // LDI r31, 0x00
    code[0x1F] = 0xE0;
    hexFile("code.hex", {{0, code}});
    const Outcome outcome = run({"+mega8", "-e", "-wp", "-v", "-C?OSCCAL=1E", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "OSCCAL0 inserted to CODE memory at 0x1E as part of LDI command\n"));
    EXPECT_EQ(stored()->flash[0x1E], 0xF7);
    EXPECT_EQ(stored()->flash[0x1F], 0xEA);
}

TEST_F(EndToEndRun, SerialNumberAdvancesOnlyAfterASuccessfulWrite) {
    store(*chip("mega8"));
    hexFile("code.hex", {{0, std::vector<uint8_t>(0x200, 0)}});
    textFile("sn.txt", "4660\n");
    Outcome outcome = run({"+mega8", "-e", "-wp", "-v", "-C*SERNO2=100,sn.txt", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Chip serial number is 4660\n"));
    EXPECT_EQ(stored()->flash[0x100], 0x34);
    EXPECT_EQ(stored()->flash[0x101], 0x12);
    EXPECT_EQ(readFile(dir / "sn.txt"), "4661\n");

    // A chip that fails the verification gets no number from the file.
    auto target = stored();
    target->faults.stuckBit = true;
    target->faults.stuckBitAddress = 0x1F0;
    target->faults.stuckBitNumber = 3;
    target->faults.stuckBitLevel = true;
    store(*target);
    outcome = run({"+mega8", "-e", "-wp", "-v", "-C*SERNO2=100,sn.txt", "code.hex"});
    EXPECT_EQ(outcome.status, 10);
    EXPECT_EQ(readFile(dir / "sn.txt"), "4661\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}

TEST_F(EndToEndRun, EraseCounter) {
    store(*chip("mega8"));
    hexFile("code.hex", {{0, pattern(0x80)}});
    Outcome outcome = run({"+mega8", "-n", "-e", "-wp", "-v", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Warning: Number of erases not initialized\n"));
    EXPECT_TRUE(contains(outcome.out, "Writing erase counter = 1\n"));
    EXPECT_EQ(stored()->flash[0x1FFE], 1);
    EXPECT_EQ(stored()->flash[0x1FFF], 0);

    outcome = run({"+mega8", "-n", "-e", "-wp", "-v", "code.hex"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Read number of erases 1\n"));
    EXPECT_EQ(stored()->flash[0x1FFE], 2);

    outcome = run({"+mega8", "-n5", "-e"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Number of erases forced to 5\n"));
    EXPECT_EQ(stored()->flash[0x1FFE], 5);

    // Code that needs the counter's bytes wins over the counter.
    hexFile("full.hex", {{0x1F00, pattern(0x100)}});
    outcome = run({"+mega8", "-n", "-e", "-wp", "-v", "full.hex"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Can't write number of erases, locations used for code\n"));
    EXPECT_EQ(stored()->flash[0x1FFF], pattern(0x100)[0xFF]);
    outcome = run({"+mega8", "-n", "-v", "full.hex"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "Warning: Ignore -n switch, top two flash bytes used for code\nVerifying CODE memory\n"));
}

// -ws on a chip that holds the image, serial number and erase counter as the
// run would write them: nothing erased or written, the file and the counter
// kept, the comparison standing for the verification. A fuse or one byte
// changed: the whole image goes in as without the letter.
TEST_F(EndToEndRun, WriteOnlyWhenTheChipDiffers) {
    store(*chip("mega8"));
    std::vector<uint8_t> code = pattern(0x300);
    hexFile("code.hex", {{0, code}});
    textFile("sn.txt", "4660\n");
    const std::vector<std::string> args = {"+mega8", "-n", "-e", "-wps", "-v", "-C*SERNO2=0x100,sn.txt", "code.hex"};
    ASSERT_EQ(run(args).status, 0);
    const auto first = stored();
    ASSERT_EQ(first->flash[0x100], 0x34);
    ASSERT_EQ(readFile(dir / "sn.txt"), "4661\n");

    textFile("sn.txt", "4660\n");
    Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(body(outcome), "Chip serial number is 4660\n"
                                        "Read number of erases 1\n"
                                        "Chip already holds the image: nothing erased or written\n"
                                        "Verifying CODE memory\n"
                                        " passed\n"
                                        "Total time T\nAll OK\n"))
        << outcome.out;
    auto after = stored();
    EXPECT_EQ(after->lastRun.writes, 0u);
    EXPECT_EQ(after->lastRun.isp[0xAC], 1u);  // program enable only: no erase
    EXPECT_EQ(after->lastRun.isp[0x20] + after->lastRun.isp[0x28], 0x300u + 2);  // the image and the counter, once
    EXPECT_EQ(after->eraseCount, first->eraseCount);
    EXPECT_EQ(after->flash, first->flash);
    EXPECT_EQ(readFile(dir / "sn.txt"), "4660\n");

    // A fuse the chip does not hold yet makes the run write.
    std::vector<std::string> withFuse = args;
    withFuse.insert(withFuse.end() - 1, "-fSUT=0");
    outcome = run(withFuse);
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "Device erased\n")) << outcome.out;
    EXPECT_EQ(readFile(dir / "sn.txt"), "4661\n");

    code[0x2A7] ^= 0x5A;
    hexFile("code.hex", {{0, code}});
    outcome = run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "Writing erase counter = 3\n"));
    after = stored();
    code[0x100] = 0x35;
    code[0x101] = 0x12;
    EXPECT_TRUE(std::equal(code.begin(), code.end(), after->flash.begin()));
    EXPECT_EQ(after->flash[0x1FFE], 3);
    EXPECT_EQ(readFile(dir / "sn.txt"), "4662\n");
}

TEST_F(EndToEndRun, EraseCounterOfAnUnknownChip) {
    auto target = chip("mega8");
    target->faults.signatureOverride = true;
    target->faults.signature = 0x1E9999;
    store(*target);
    Outcome outcome = run({"+mega8", "-n", "-e"});
    EXPECT_EQ(outcome.status, 30);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Can't read number of erases from unknown or locked chip\n"
                                      "Number of erases forced to 1\n"));
    outcome = run({"+mega8", "-!", "-n", "-e"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "Writing erase counter = 1\n"));
    EXPECT_EQ(stored()->flash[0x1FFE], 1);
}

TEST_F(EndToEndRun, EraseCounterAbove128KiB) {
    auto target = chip("mega2560");
    target->flash[0x3FFFE] = 0x07;
    target->flash[0x3FFFF] = 0x01;
    store(*target);
    const Outcome outcome = run({"+mega2560", "-n", "-e"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(contains(outcome.out, "Read number of erases 263\n"));
    EXPECT_EQ(stored()->flash[0x3FFFE], 0x08);
    EXPECT_EQ(stored()->flash[0x3FFFF], 0x01);
}

TEST_F(EndToEndRun, BuiltInCablesAreFound) {
    struct Case {
        const char* cable;
        const char* adapterSwitch;
    };
    const Case cases[] = {
        {"stk200", "-as"},  {"stk300", "-as"},         {"byteblaster", "-ab"}, {"byteblaster-mv", "-ab"},
        {"byteblaster-ii", "-ab"}, {"stk200", "-aa"}, {"byteblaster", "-aa"}, {"xilinx", "-ax"},
        {"vuder-ap", "-ap"},
    };
    hexFile("code.hex", {{0, pattern(100)}});
    for (const Case& c : cases) {
        auto target = chip("mega8");
        target->cable = c.cable;
        store(*target);
        const Outcome outcome = run({"+mega8", c.adapterSwitch, "-e", "-wp", "-v", "code.hex"});
        EXPECT_EQ(outcome.status, 0) << c.cable << " " << c.adapterSwitch << "\n" << outcome.out;
        EXPECT_EQ(stored()->flash[99], pattern(100)[99]) << c.cable;
    }
}

// Every shipped pin map, named by its bare name, drives the cable it is for.
// The cables are written here from the wirings, not from the files, so a pin
// or a "~" wrong in a file breaks its run.
TEST_F(EndToEndRun, ShippedPinMapsDriveTheirCables) {
    struct Case {
        const char* map;
        const char* cable;
    };
    const Case cases[] = {
        {"89isp", "user:reset=SELECT:sck=STROBE:mosi=D0:miso=ACK"},
        {"abcmini", "user:reset=D2:sck=D1:mosi=D0:miso=ACK"},
        {"alf", "user:reset=D5:sck=D6:mosi=D7:miso=ACK:power=D0,D1,D2,D3:enable=~D4:led_error=STROBE:led_ok=ALF"},
        {"atisp", "user:reset=~D4:sck=~D6:mosi=~D5:miso=~ACK"},
        {"bascom", "user:reset=D2:sck=D3:mosi=D0:miso=BUSY"},
        {"blaster", "user:reset=D1:sck=D0:mosi=D6:miso=BUSY:enable=~ALF"},
        {"bsd", "user:reset=D5:sck=D6:mosi=D7:miso=ACK:power=D0,D1,D2,D3"},
        {"byteblaster", "byteblaster"},
        {"dapa", "user:reset=INIT:sck=STROBE:mosi=D0:miso=BUSY:power=D1"},
        {"dt006", "user:reset=D2:sck=D3:mosi=D0:miso=BUSY"},
        {"ere-isp-avr", "user:reset=~D2:sck=D1:mosi=D0:miso=ACK"},
        {"frank-stk200", "user:reset=D7:sck=D4:mosi=D5:miso=ACK:power=D3"},
        {"futurlec", "user:reset=D1:sck=D0:mosi=STROBE:miso=ACK"},
        {"picoweb", "user:reset=D0:sck=D1:mosi=D2:miso=ONLINE"},
        {"pony-stk200", "user:reset=D7:sck=D4:mosi=D5:miso=ACK:enable=~D2,~D3"},
        {"rpi", "gpio:mosi=10:miso=9:sck=11:reset=25"},
        {"sp12", "user:reset=D1:sck=D0:mosi=D7:miso=BUSY:power=D2,D3,D4,D5,D6"},
        {"stk200", "stk200"},
        {"vuder", "vuder"},
        {"vuder-leds-key", "user:reset=D4:sck=D6:mosi=D5:miso=ACK:xtal=D3:power=D0,D1:led_ok=D2:led_error=D7:key=~BUSY"},
        {"xil", "user:reset=D2:sck=D1:mosi=D0:miso=ONLINE:enable=~D3:power=D4"},
        {"xilinx", "xilinx"},
    };
    const fs::path shipped = fs::path(MERVEX_SOURCE_DIR) / "examples/pinmaps";
    for (const auto& file : fs::directory_iterator(shipped)) {
        if (file.path().extension() != ".cfg") continue;
        const std::string name = file.path().stem().string();
        const bool driven =
            std::any_of(std::begin(cases), std::end(cases), [&name](const Case& c) { return name == c.map; });
        EXPECT_TRUE(driven) << file.path() << " has no cable to drive";
    }
    hexFile("code.hex", {{0, pattern(100)}});
    for (const Case& c : cases) {
        const std::string file = std::string(c.map) + ".cfg";
        fs::copy_file(shipped / file, dir / file, fs::copy_options::overwrite_existing);
        auto target = chip("mega8");
        target->cable = c.cable;
        store(*target);
        const Outcome outcome = run({"+mega8", std::string("-am=") + c.map, "-e", "-w", "-v", "code.hex"});
        EXPECT_EQ(outcome.status, 0) << c.map << "\n" << outcome.out;
        EXPECT_TRUE(contains(outcome.out, "All OK\n")) << c.map << "\n" << outcome.out;
    }
}

TEST_F(EndToEndRun, XtalModeClocksTheChip) {
    auto target = chip("mega8");
    target->clockHz = 0;
    store(*target);
    Outcome outcome = run({"+mega8", "-b"});
    EXPECT_EQ(outcome.status, 40);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Can't resync\n"));
    outcome = run({"+mega8", "-o0", "-b"});
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "Code: Blank\nData: Blank\n"));
}

// Fixed delays from the device table and polling both program the chip, and
// so do a scaled delay and polling on a 90S2313 at a low supply, whose writes
// take 9 ms and which cannot poll 0x7F and 0x80; a write that never ends is
// found only by polling.
TEST_F(EndToEndRun, PollingAgainstFixedDelays) {
    const std::vector<uint8_t> unpollable = {0x7F, 0x80, 0x7F, 0x12, 0x80, 0x80, 0x7F, 0x7F};
    struct Case {
        const char* chip;
        double lowSupplyWriteUs;  // 0: the chip's own write times
        std::vector<std::string> switches;
        std::vector<uint8_t> code, data;
    };
    const Case cases[] = {
        {"mega8", 0, {"-w"}, pattern(300), pattern(20, 7)},
        {"mega8", 0, {"-wp"}, pattern(300), pattern(20, 7)},
        {"90S2313", 9000, {"-w", "-2"}, unpollable, unpollable},
        {"90S2313", 9000, {"-wp"}, unpollable, unpollable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " " + c.switches.back());
        hexFile("code.hex", {{0, c.code}});
        hexFile("data.hex", {{0x10, c.data}});
        auto target = newVirtualTarget(c.chip);
        if (c.lowSupplyWriteUs != 0) target->busy.flashUs = target->busy.eepromUs = c.lowSupplyWriteUs;
        store(*target);
        std::vector<std::string> args = {"+" + std::string(c.chip), "-e"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        args.insert(args.end(), {"-v", "code.hex", "data.hex"});
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 0) << outcome.out;
        const auto after = stored();
        EXPECT_EQ(after->lastRun.ignoredWrites, 0u);
        EXPECT_TRUE(std::equal(c.code.begin(), c.code.end(), after->flash.begin()));
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), after->eeprom.begin() + 0x10));
    }
    hexFile("code.hex", {{0, pattern(300)}});
    auto target = chip("mega8");
    target->faults.stuckWriteAt = 3;  // the erase, the first page, then the second page
    store(*target);
    const Outcome outcome = run({"+mega8", "-e", "-wp", "code.hex"});
    EXPECT_EQ(outcome.status, 10);
    EXPECT_TRUE(contains(outcome.out, "ERROR:  Poll: can't write page at 0x40\n")) << outcome.out;
}

// EEPROM by pages (-we): whole pages loaded with what the file leaves out taken
// from the chip, pages the chip already holds left alone, byte writes with a
// warning where the chip has no EEPROM pages.
TEST_F(EndToEndRun, EepromByPages) {
    const std::vector<uint8_t> old = pattern(0x80, 3);
    std::vector<uint8_t> data = pattern(0x20, 4);  // 0x10..0x2F
    std::copy(old.begin() + 0x18, old.begin() + 0x1C, data.begin() + 8);  // the page at 0x18 is there already
    hexFile("data.hex", {{0x10, data}, {0x41, {0xA1, 0xA2}}, {0x4B, {0xA3}}});
    struct Case {
        const char* chip;
        std::vector<std::string> args;
        uint64_t pages;     // EEPROM pages written
        uint64_t reads;     // EEPROM reads, -v included
        const char* report;  // a line of the output
        bool again;          // a second run of the same image writes nothing
    };
    // A page is read up to its first byte that differs from the file, and its
    // absent bytes all; with -v the file's 35 bytes are read back once more.
    // 4-byte pages: the page at 0x18 whole, the other 7 of the block up to their
    // first byte, at 0x40 bytes 0, 1 and 3, at 0x48 all 4.
    const uint64_t preReads4 = 4 + 7 + 3 + 4;
    const Case cases[] = {
        // 4-byte pages, ready/busy: 8 pages of the block less the one there, the
        // partial pages at 0x40 and 0x48.
        {"mega328P", {"-wpe", "-v"}, 7 + 2, preReads4 + 35, " passed\n", true},
        // Read-back polling of the last byte of each page.
        {"mega8", {"-wpe", "-v"}, 7 + 2, preReads4 + 35 + 9, " passed\n", true},
        // 8-byte pages, fixed delays: the page at 0x18 now holds changed bytes too.
        // Read: 1 byte at 0x10, 5 at 0x18 (the first new one is its byte 4), 1 at
        // 0x20 and 0x28, all but byte 2 at 0x40, all at 0x48.
        {"mega2560", {"-we", "-v"}, 6, 1 + 5 + 1 + 1 + 7 + 8 + 35, " passed\n", true},
        // An erase with EESAVE not programmed leaves nothing to read, nor to keep.
        {"mega328P", {"-e", "-wpe", "-v"}, 8 + 2, 35, "Device erased\n", false},
        // The saved EEPROM goes back by pages too, into a known blank EEPROM, and
        // is read back; the file's pages then find it written.
        {"mega328P", {"-e-", "-wpe", "-v"}, 0x80 / 4 + 9, 0x400 + 0x400 + preReads4 + 35, "Restoring EEPROM\n",
         false},
        {"90S8515", {"-we", "-v"}, 0, 35, "Warning: Can't use page writes for DATA memory of 90S8515\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " " + c.args[0]);
        auto target = chip(c.chip);
        std::copy(old.begin(), old.end(), target->eeprom.begin());
        store(*target);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), std::string("+") + c.chip);
        args.insert(args.end(), {"-d", "data.hex"});
        const Outcome outcome = run(args);
        ASSERT_EQ(outcome.status, 0) << outcome.out;
        EXPECT_TRUE(contains(outcome.out, c.report)) << outcome.out;
        const auto after = stored();
        EXPECT_EQ(after->lastRun.eepromPages, c.pages);
        EXPECT_EQ(after->lastRun.isp[0xC2], c.pages);
        EXPECT_EQ(after->lastRun.isp[0xA0], c.reads);
        std::vector<uint8_t> expected(after->eeprom.size(), 0xFF);
        if (c.args[0] != std::string("-e")) std::copy(old.begin(), old.end(), expected.begin());
        std::copy(data.begin(), data.end(), expected.begin() + 0x10);
        expected[0x41] = 0xA1;
        expected[0x42] = 0xA2;
        expected[0x4B] = 0xA3;
        EXPECT_EQ(after->eeprom, expected);

        // The same image again costs only the reads.
        if (!c.again) continue;
        ASSERT_EQ(run(args).status, 0);
        EXPECT_EQ(stored()->lastRun.eepromPages, 0u);
        EXPECT_EQ(stored()->lastRun.writes, 0u);
    }
}

// The README's first command: the demo script against this build.
// The example ELF file programs a virtual mega328P in one command, as
// examples/demo.sh shows it: flash and EEPROM as avr-objcopy extracts them, and
// the fuses and lock bits of its source.
TEST_F(EndToEndRun, ElfFirmwareProgramsTheChipInOneCommand) {
    store(*chip("mega328P"));
    const fs::path example = fs::path(MERVEX_SOURCE_DIR) / "examples/firmware-mega328p";
    const Outcome outcome = run({"+atmega328p", "-e", "-w", "-v", "-u", (example / "firmware.elf").string()});
    ASSERT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_TRUE(contains(body(outcome), "Programming 194 bytes to CODE memory\n"
                                        "Verifying CODE memory\n passed\n"
                                        "Programming 9 bytes to DATA memory\n"
                                        "Verifying DATA memory\n passed\n"
                                        "Programming fuses\n"))
        << outcome.out;
    EXPECT_TRUE(contains(body(outcome), "Verifying fuses\npassed\nDevice locked to level 2!\nTotal time T\nAll OK\n"));
    const auto target = stored();
    const std::vector<uint8_t> flash = readFileBytes(example / "firmware.bin");
    const std::vector<uint8_t> eeprom = readFileBytes(example / "firmware.eep.bin");
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), target->flash.begin()));
    EXPECT_TRUE(std::all_of(target->flash.begin() + long(flash.size()), target->flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), target->eeprom.begin()));
    EXPECT_EQ(target->fuse(FuseByte::Low), 0xE2);
    EXPECT_EQ(target->fuse(FuseByte::High), 0xD1);
    EXPECT_EQ(target->fuse(FuseByte::Ext), 0xFD);
    EXPECT_EQ(target->fuse(FuseByte::Lock), 0xFC);
}

// avr-gcc's files as they come, and what is refused before the chip is touched.
TEST_F(EndToEndRun, AvrGccFilesAsTheyCome) {
    const fs::path example = fs::path(MERVEX_SOURCE_DIR) / "examples/firmware-mega328p";
    fs::copy_file(example / "firmware.elf", dir / "fw.elf");
    const std::vector<uint8_t> code = pattern(100);
    const std::vector<uint8_t> eeprom = pattern(16, 5);
    hexFile("combined.hex", {{0, code}, {0x810000, eeprom}});
    hexFile("code.hex", {{0, code}});
    hexFile("eep.hex", {{0x810000, eeprom}});
    struct Case {
        const char* chip;
        std::vector<std::string> args;
        int status;
        const char* report;
        bool eepromWritten;
    };
    const Case cases[] = {
        {"mega8", {"+mega8", "-e", "-w", "fw.elf"}, 30,
         "ERROR:  'fw.elf' is built for <mega328P|A6614Q> (signature 1E950F), chip is <mega8|mega8A>\n"
         "ERROR:  Can't continue\n",
         false},
        {"mega8", {"+mega8", "-!", "-e", "-w", "fw.elf"}, 0,
         "Warning: 'fw.elf' is built for <mega328P|A6614Q> (signature 1E950F), chip is <mega8|mega8A>\n", false},
        {"mega328P", {"+m328p", "-e", "-w", "-v", "combined.hex"}, 0, "Programming 16 bytes to DATA memory\n", true},
        {"mega328P", {"+m328p", "-e", "-w", "-v", "code.hex", "eep.hex"}, 0, "Verifying DATA memory\n passed\n", true},
        {"mega328P", {"+m328p", "-e", "-w", "-uf", "code.hex"}, 70,
         "ERROR:  -u takes fuses and lock bits from an ELF file; 'code.hex' is not one\n", false},
        {"mega328P", {"+m328p", "-e", "-w", "fw.elf", "eep.hex"}, 70,
         "ERROR:  Can't use two files for DATA memory\n'fw.elf'\n'eep.hex'\n", false},
        {"mega328P", {"+m328p", "-e", "-w", "-v", "-ul", "-l1", "fw.elf"}, 0, "Device locked to level 1!\n", false},
        {"mega328P", {"+m328p", "-e", "-w", "-v", "-uf", "-fCKSEL=4", "fw.elf"}, 0, "    CKSEL       = 4\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        store(*chip(c.chip));
        const Outcome outcome = run(c.args);
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        EXPECT_TRUE(contains(outcome.out, c.report)) << outcome.out;
        const auto target = stored();
        if (c.status != 0) {
            EXPECT_EQ(target->eraseCount, 0u);
        }
        if (c.eepromWritten) {
            EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), target->eeprom.begin()));
        }
    }
    // The last run: CKSEL of -f, the rest of the file's bytes, and no lock bits.
    EXPECT_EQ(stored()->fuse(FuseByte::Low), 0xE4);
    EXPECT_EQ(stored()->fuse(FuseByte::High), 0xD1);
    EXPECT_EQ(stored()->fuse(FuseByte::Lock), 0xFF);
}

TEST_F(EndToEndRun, DemoScript) {
    const fs::path script = fs::path(MERVEX_SOURCE_DIR) / "examples" / "demo.sh";
    const fs::path build = fs::path(MERVEX_BINARY).parent_path();
    const std::string command =
        "cd '" + dir.string() + "' && bash '" + script.string() + "' '" + build.string() + "' > demo.log 2>&1";
    EXPECT_EQ(runShell(command).status, 0) << readFile(dir / "demo.log");
    EXPECT_TRUE(contains(readFile(dir / "demo.log"), "All OK\n"));
}

}  // namespace
}  // namespace mervex::test
