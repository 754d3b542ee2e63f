// The target file: round trip, the messages for bad files, atomic saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "console/Errors.h"
#include "sim/TargetSettings.h"
#include "sim/VirtualTargetFile.h"
#include "sim/VirtualTargetHook.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/ManualClock.h"
#include "support/StatusOf.h"

namespace mervex::test {
namespace {

const std::string Header = "mervex virtual target, format 1\n";

std::string tempDir() {
    std::string dir = std::string(MERVEX_TEST_TMP) + "/targetfile-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(VirtualTargetFile, EverythingSurvivesTheRoundTrip) {
    auto t = newVirtualTarget("mega2560");
    for (auto [key, value] : TargetSettingList{{"cable", "user:mosi=D5:miso=ACK:sck=D6:reset=D4:key=~PE:ERROR<~D0"},
                                               {"clock", "8M"},
                                               {"access-time", "0.5"},
                                               {"fuse.low", "E2"},
                                               {"fuse.high", "99"},
                                               {"fuse.ext", "FD"},
                                               {"lock", "FC"},
                                               {"calibration", "9A"},
                                               {"busy.flash", "4500.5"},
                                               {"fault.out-of-step", "7"},
                                               {"fault.no-program-enable", "yes"},
                                               {"fault.wrong-echo", "12"},
                                               {"fault.stuck-write", "3"},
                                               {"fault.stuck-bit", "3FFFF:7:0"},
                                               {"fault.signature", "000102"},
                                               {"fault.signal", "TERM@40"},
                                               {"key", "10-20.5,100-"},
                                               {"erase-count", "42"}}) {
        applyTargetSetting(*t, key, value);
    }
    t->flash[0] = 0x0C;
    t->flash[0x1FFFF] = 0x12;
    t->flash[0x3FFF0] = 0x34;
    t->eeprom[0xFFF] = 0x56;
    t->lastRun.isp[0xAC] = 5;
    t->lastRun.dataWrites = 123456789012ull;
    t->lastRun.modelledUs = 1234567.25;
    t->lastRun.ledError = TargetLineRecord{true, true, 2};

    std::string text = formatVirtualTarget(*t);
    auto back = parseVirtualTarget(text, "round trip");
    EXPECT_EQ(formatVirtualTarget(*back), text);
    EXPECT_EQ(back->flash, t->flash);
    EXPECT_EQ(back->eeprom, t->eeprom);
    EXPECT_EQ(back->clockHz, 8000000u);
    EXPECT_EQ(back->key.size(), 2u);
    EXPECT_EQ(back->lastRun.dataWrites, 123456789012ull);
    EXPECT_TRUE(back->lastRun.ledError.on);
    // Memory lines of all 0xFF are left out; the extended address reaches above 64 KiB.
    EXPECT_NE(text.find(":020000040003F7\n"), std::string::npos);
    EXPECT_LT(text.size(), 6000u);
}

TEST(VirtualTargetFile, AMinimalFileIsANewChip) {
    auto t = parseVirtualTarget(Header + "# hand made\n\nchip = TINY13A\n[end]\n", "minimal");
    EXPECT_STREQ(t->chip().names, "tiny13|tiny13A");
    EXPECT_EQ(t->flash, std::vector<uint8_t>(1024, 0xFF));
    EXPECT_EQ(t->calibration.size(), 2u);
    EXPECT_EQ(t->cable, "vuder");
    // Files of the first version end with the EEPROM, without [end]: whole ones still read.
    const std::string old = Header + "chip = tiny13\n[flash]\n:0100000012ED\n:00000001FF\n[eeprom]\n:00000001FF\n";
    EXPECT_EQ(parseVirtualTarget(old, "old")->flash[0], 0x12);
}

struct BadFile {
    std::string text;
    const char* message;
};

TEST(VirtualTargetFile, BadFilesAreRefusedWithTheirLineAndStatus70) {
    const std::string chip = Header + "chip = mega8\n";
    const BadFile cases[] = {
        {"", "the file is empty"},
        {"mervex virtual tar", "line 1: the file ends inside its first line"},
        {chip + "clock = 1M\n", "the file is cut short (it ends before its [flash] section, without the closing line [end])"},
        {chip + "[flash]\n:00000001FF\n", "the file is cut short (it ends before its [eeprom] section"},
        {chip + "[end]\nclock = 1M\n", "line 4: text after the line [end] on line 3"},
        {chip + "[end]\n[flash]\n:00000001FF\n", "line 4: text after the line [end]"},
        {"hello\nchip = mega8\n", "line 1: not a virtual target"},
        {"mervex virtual target, format 2\nchip = mega8\n", "line 1: format 2 is not supported (this program reads format 1)"},
        {chip + "foo = 1\n", "line 3: unknown setting 'foo'"},
        {chip + "clock = fast\n", "line 3: invalid value 'fast' for clock"},
        {chip + "calibration = A5\n", "line 3: the chip has 4 calibration bytes, not 1"},
        // The entry's own reason first, then where it stands.
        {chip + "cable = user:mosi=D9\n",
         "ERROR:  adapter: invalid pin name 'D9'\nERROR:  Virtual target 'bad.vchip', line 3: invalid cable entry 'mosi=D9'\n"},
        {chip + "fault.stuck-bit = 2000:1:1\n", "line 3: stuck bit address 2000 lies beyond the flash"},
        {chip + "last.isp.XY = 1\n", "line 3: unknown counter 'last.isp.XY'"},
        {Header + "chip = mega9\n", "line 2: unknown chip 'mega9'"},
        {Header + "cable = vuder\n", "no 'chip = NAME' setting"},
        {chip + "chip = mega8\n", "line 3: 'chip' given twice (first on line 2)"},
        {chip + "junk\n", "line 3: expected KEY = VALUE, found 'junk'"},
        {chip + ":00000001FF\n", "line 3: expected KEY = VALUE"},
        {chip + "[rom]\n", "line 3: unknown section '[rom]'"},
        {chip + "[flash]\n:0100000012ED\n", "line 3: the memory has no end record"},
        {chip + "[flash]\n:0100000012ED\n[eeprom]\n", "line 3: the memory has no end record before line 5"},
        {chip + "[flash]\n:0100000012EE\n:00000001FF\n", "line 4: HEX record checksum error"},
        {chip + "[flash]\n:0120000000DF\n:00000001FF\n", "line 4: data at 0x2000 lies beyond the memory size 0x2000"},
        {chip + "[flash]\n0100000012ED\n", "line 4: a HEX record must begin with ':'"},
        {chip + "[flash]\n:1000000\n", "line 4: HEX record of wrong length"},
        {chip + "[flash]\n:0x000000FF\n", "line 4: HEX record with a character that is not a hexadecimal digit"},
        {chip + "[flash]\n:0300000001020304F2\n", "line 4: HEX record length does not match its byte count"},
        {chip + "[flash]\n:00000001FF\n:00000001FF\n", "line 5: record after the end record"},
        {chip + "[flash]\n:00000001FF\n[flash]\n:00000001FF\n", "line 5: section [flash] given twice"},
    };
    for (const BadFile& c : cases) {
        CaptureConsole capture;
        try {
            parseVirtualTarget(c.text, "bad.vchip");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const app_error& e) {
            reportFailure(e);
            EXPECT_EQ(e.status(), ExitUsage);
        }
        EXPECT_NE(capture.out().find(std::string("ERROR:  Virtual target 'bad.vchip'")), std::string::npos);
        EXPECT_NE(capture.out().find(c.message), std::string::npos) << capture.out();
    }
}

TEST(VirtualTargetFile, SavingReplacesTheFileWholeAndKeepsItsMode) {
    std::string dir = tempDir();
    std::string path = dir + "/save.vchip";
    auto t = newVirtualTarget("mega8");
    saveVirtualTarget(*t, path);
    ::chmod(path.c_str(), 0600);
    t->flash[5] = 0x55;
    saveVirtualTarget(*t, path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(loadVirtualTarget(path)->flash[5], 0x55);
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find("save.vchip."), std::string::npos) << entry.path();
}

TEST(VirtualTargetFile, FailuresToReadOrWriteAreStatus70) {
    CaptureConsole capture;
    auto t = newVirtualTarget("mega8");
    std::string missingDir = tempDir() + "/no/such/dir/x.vchip";
    try {
        saveVirtualTarget(*t, missingDir);
        ADD_FAILURE();
    } catch (const rtl_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitSystem);
        EXPECT_EQ(e.savedErrno(), ENOENT);
    }
    EXPECT_THROW(loadVirtualTarget(missingDir), rtl_error);
    ManualClock clock;
    EXPECT_EQ(test::statusOf([&] { (void)openVirtualPort(missingDir, clock); }), ExitSystem);
    EXPECT_NE(capture.out().find("Can't write virtual target"), std::string::npos);
    EXPECT_NE(capture.out().find("Can't open virtual target"), std::string::npos);
}

TEST(VirtualTargetFile, OnlyRegularFilesWithTheHeaderLineAreVirtualTargets) {
    std::string dir = tempDir();
    saveVirtualTarget(*newVirtualTarget("mega8"), dir + "/yes.vchip");
    writeFile(dir + "/old.vchip", "mervex virtual target, format 9\n");
    writeFile(dir + "/code.hex", ":00000001FF\n");
    writeFile(dir + "/empty", "");
    EXPECT_TRUE(isVirtualTargetFile(dir + "/yes.vchip"));
    EXPECT_TRUE(isVirtualTargetFile(dir + "/old.vchip"));  // recognised, then refused with its version
    EXPECT_FALSE(isVirtualTargetFile(dir + "/code.hex"));
    EXPECT_FALSE(isVirtualTargetFile(dir + "/empty"));
    EXPECT_FALSE(isVirtualTargetFile(dir));
    EXPECT_FALSE(isVirtualTargetFile(dir + "/missing"));

    CaptureConsole capture;
    ManualClock clock;
    EXPECT_EQ(test::statusOf([&] { (void)openVirtualPort(dir + "/old.vchip", clock); }), ExitUsage);
    EXPECT_NE(capture.out().find("format 9 is not supported"), std::string::npos);
}

}  // namespace
}  // namespace mervex::test
