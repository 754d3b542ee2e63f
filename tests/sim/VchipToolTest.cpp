// The companion tool mervex-vchip, in process and as the built program.
#include <unistd.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/Files.h"
#include "support/RunEntry.h"
#include "sim/VirtualTargetFile.h"

namespace mervex::test {
namespace {

std::string dir() {
    std::string d = std::string(MERVEX_TEST_TMP) + "/vchip-" + std::to_string(::getpid());
    std::filesystem::create_directories(d);
    return d;
}

TEST(VchipTool, NewShowAndSet) {
    std::string file = dir() + "/board.vchip";
    std::filesystem::remove(file);
    Outcome made = runVchipInProcess({"new", "mega8", file, "cable=stk200", "--fuse.high=D9", "lock=FE"});
    ASSERT_EQ(made.status, 0) << made.out;
    // No silent overwrite: the name is taken only where it is free, so the
    // second of two creating one file fails and the first file stays.
    const std::string first = readFile(file);
    EXPECT_EQ(runVchipInProcess({"new", "tiny13", file}).status, 70);
    EXPECT_EQ(readFile(file), first);
    for (const auto& entry : std::filesystem::directory_iterator(dir()))
        EXPECT_NE(entry.path().filename().string().rfind("board.vchip.", 0), 0u) << entry.path();
    Outcome shown = runVchipInProcess({"show", file});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("chip             mega8|mega8A, signature 1E9307"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("cable            stk200"), std::string::npos);
    EXPECT_NE(shown.out.find("fuses            low E1, high D9"), std::string::npos);  // factory low fuse
    EXPECT_NE(shown.out.find("lock             FE, locked - programming disabled"), std::string::npos);

    EXPECT_EQ(runVchipInProcess({"set", file, "fault.out-of-step=3", "clock=16M"}).status, 0);
    auto t = loadVirtualTarget(file);
    EXPECT_EQ(t->faults.outOfStepBits, 3u);
    EXPECT_EQ(t->clockHz, 16000000u);

    // A bad setting changes nothing, not even the settings before it.
    std::string before = readFile(file);
    Outcome bad = runVchipInProcess({"set", file, "clock=1M", "fault.out-of-step=32"});
    EXPECT_EQ(bad.status, 70);
    EXPECT_NE(bad.out.find("invalid value '32' for fault.out-of-step"), std::string::npos) << bad.out;
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(runVchipInProcess({"set", file, "chip=tiny13"}).status, 70);
    EXPECT_EQ(runVchipInProcess({"new", "mega8", file, "--force"}).status, 0);

    // The chip as avr-gcc and other tools spell it.
    const std::pair<const char*, const char*> spellings[] = {
        {"atmega328p", "mega328P|A6614Q,"}, {"m328p", "mega328P|A6614Q,"}, {"ATA6614Q", "mega328P|A6614Q,"},
        {"ATtiny85", "tiny85,"},           {"T85", "tiny85,"},           {"usb1287", "90usb1286|90usb1287,"},
    };
    for (const auto& s : spellings) {
        ASSERT_EQ(runVchipInProcess({"new", s.first, file, "--force"}).status, 0) << s.first;
        EXPECT_NE(runVchipInProcess({"show", file}).out.find("chip             " + std::string(s.second)), std::string::npos)
            << s.first;
    }
}

TEST(VchipTool, DumpAndLoadInBothFormats) {
    std::string file = dir() + "/dump.vchip";
    ASSERT_EQ(runVchipInProcess({"new", "tiny13", file, "--force"}).status, 0);
    std::string bin = dir() + "/code.bin";
    test::writeFile(bin, std::string("\x01\x02\x03", 3));
    ASSERT_EQ(runVchipInProcess({"load", file, "flash", bin}).status, 0);
    EXPECT_EQ(loadVirtualTarget(file)->flash[2], 0x03);

    std::string hex = dir() + "/flash.hex";
    ASSERT_EQ(runVchipInProcess({"dump", file, "flash", hex}).status, 0);
    std::string text = readFile(hex);
    EXPECT_EQ(text.compare(0, 44, ":10000000010203" + std::string(26, 'F') + "F7\n"), 0) << text.substr(0, 60);
    ASSERT_EQ(runVchipInProcess({"load", file, "eeprom", dir() + "/eeprom-too-big.bin", "hex"}).status, 70);  // missing file
    ASSERT_EQ(runVchipInProcess({"dump", file, "flash", dir() + "/flash.raw", "bin"}).status, 0);
    EXPECT_EQ(readFile(dir() + "/flash.raw").size(), 1024u);

    // Loading replaces the whole memory; bad input changes nothing.
    test::writeFile(dir() + "/bad.hex", ":0100000012EE\n:00000001FF\n");
    Outcome bad = runVchipInProcess({"load", file, "flash", dir() + "/bad.hex"});
    EXPECT_EQ(bad.status, 50);
    EXPECT_NE(bad.out.find("line 1: HEX record checksum error"), std::string::npos);
    test::writeFile(dir() + "/big.bin", std::string(65, '\0'));
    EXPECT_EQ(runVchipInProcess({"load", file, "eeprom", dir() + "/big.bin"}).status, 50);
    test::writeFile(dir() + "/one.hex", ":0100050042B8\n:00000001FF\n");
    ASSERT_EQ(runVchipInProcess({"load", file, "flash", dir() + "/one.hex"}).status, 0);
    auto t = loadVirtualTarget(file);
    EXPECT_EQ(t->flash[5], 0x42);
    EXPECT_EQ(t->flash[2], 0xFF);
}

TEST(VchipTool, HelpAndUsageErrors) {
    Outcome help = runVchipInProcess({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: mervex-vchip COMMAND"), std::string::npos);
    EXPECT_NE(help.out.find("fault.stuck-bit"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"frobnicate"}, {"new", "mega9", dir() + "/x.vchip"}, {"new", "mega8"},
          {"show"}, {"show", dir() + "/missing.vchip"}, {"dump", dir() + "/missing.vchip", "rom", "x"},
          {"set", dir() + "/missing.vchip", "clock"}}) {
        EXPECT_EQ(runVchipInProcess(args).status, 70) << (args.empty() ? "" : args[0]);
    }
}

// The built program, whose console starts with the failure, names the real
// cause; a file cut short is refused by every command and left as it is.
TEST(VchipTool, TheBuiltProgramReportsTheRealCause) {
#ifdef MERVEX_VCHIP_BINARY
    const std::string cut = dir() + "/cut.vchip";
    ASSERT_EQ(runVchipInProcess({"new", "mega8", cut, "--force"}).status, 0);
    const std::string whole = readFile(cut);
    test::writeFile(cut, whole.substr(0, whole.find("[flash]")));
    const std::string cutText = readFile(cut);
    const std::string missing = dir() + "/missing.vchip";
    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"show " + missing, "ERROR:  Can't open virtual target '" + missing + "'\nERROR:  No such file or directory\n"},
        {"set " + missing + " clock=1M", "ERROR:  No such file or directory\n"},
        {"show " + cut, "the file is cut short (it ends before its [flash] section"},
        {"set " + cut + " clock=8M", "the file is cut short"},
        {"dump " + cut + " flash " + dir() + "/cut.hex", "the file is cut short"},
    };
    for (const Case& c : cases) {
        const Outcome result = runShell(shellQuote(MERVEX_VCHIP_BINARY) + " " + c.args);
        EXPECT_EQ(result.status, 70) << c.args;
        EXPECT_NE(result.out.find(c.says), std::string::npos) << result.out;
    }
    EXPECT_EQ(readFile(cut), cutText);
#else
    GTEST_SKIP() << "mervex-vchip is not built";
#endif
}

TEST(VchipTool, TheBuiltProgramRunsTheReadmeExample) {
#ifdef MERVEX_VCHIP_BINARY
    std::string file = dir() + "/readme.vchip";
    std::filesystem::remove(file);
    std::string command = std::string("cd '") + dir() + "' && '" + MERVEX_VCHIP_BINARY +
                          "' new mega8 ./readme.vchip >/dev/null && '" + MERVEX_VCHIP_BINARY +
                          "' show ./readme.vchip >/dev/null";
    EXPECT_EQ(runShell(command).status, 0);
    EXPECT_TRUE(std::filesystem::exists(file));
#else
    GTEST_SKIP() << "mervex-vchip is not built";
#endif
}

}  // namespace
}  // namespace mervex::test
