#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/Console.h"
#include "console/Errors.h"
#include "driver/CommandLine.h"
#include "driver/HelpText.h"
#include "driver/Request.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

using test::CaptureConsole;

constexpr int Returned = -1;  // parseCommandLine returned normally

struct Parsed {
    int status = Returned;
    std::string out;  // everything after the banner
    uint8_t level = 0;
    uint8_t progressMode = 0;
};

// Runs the parser on the given arguments (the program path is added) with the
// console captured. The arguments are string literals, so the request's
// pointers into them stay valid.
Parsed parse(std::vector<const char*> args, Request& request, int startLevel = LevelInfo) {
    CaptureConsole capture(false, false, startLevel);
    console().progressMode = 2;
    args.insert(args.begin(), "mervex");
    Parsed result;
    try {
        parseCommandLine(int(args.size()), args.data(), request, {});
    } catch (const app_error& error) {
        reportFailure(error);
        result.status = error.status();
    }
    result.level = console().level;
    result.progressMode = console().progressMode;
    std::string out = capture.out();
    EXPECT_EQ(out.compare(0, std::string(BannerText).size(), BannerText), 0) << "banner missing: " << out;
    result.out = out.size() >= std::string(BannerText).size() ? out.substr(std::string(BannerText).size()) : out;
    return result;
}

std::string joinArgs(const std::vector<const char*>& args) {
    std::string text;
    for (const char* arg : args) text += std::string(text.empty() ? "" : " ") + "[" + arg + "]";
    return text;
}

const std::string Hint = "For short help type\n\tmervex -h\n";

std::string invalidSwitch(const std::string& arg) { return "ERROR:  Invalid switch '" + arg + "'\n" + Hint + "\n"; }
std::string switchGroup(const std::string& arg) {
    return "ERROR:  Invalid switch '" + arg + "'\n\t(Switch groups no longer supported)\n" + Hint + "\n";
}
std::string invalidValue(char letter, const std::string& arg) {
    return "ERROR:  Invalid value for switch -" + std::string(1, letter) + " in '" + arg + "'\n\n" + Hint + "\n";
}
std::string error(const std::string& text) { return "ERROR:  " + text; }
std::string badExtension(const std::string& shown) {
    return error("Invalid HEX file switch extension '-" + shown + "'\n");
}

struct RejectCase {
    std::vector<const char*> args;
    std::string message;
};

TEST(CommandLine, RejectsWithMessageAndUsageStatus) {
    const std::string oscRange = error("-o: OSC frequency must be 0 or from 1kHz to 40MHz\n");
    const std::string divider = error("-o: divider can be used only with -o0 form of the switch\n");
    const std::string twoOfOneType = error("Can't handle two special code/data commands of one type\n");
    const RejectCase cases[] = {
        // chip
        {{"+"}, error("Chip name required for '+'\n")},
        {{"+at"}, error("Unsupported device \n")},
        {{"+mega"}, error("Unsupported device mega\n")},
        {{"+ATmega"}, error("Unsupported device mega\n")},
        // unknown switches
        {{"-"}, invalidSwitch("-")},
        {{"-x"}, invalidSwitch("-x")},
        {{"-0"}, invalidSwitch("-0")},
        {{"-6"}, invalidSwitch("-6")},
        {{"-M"}, invalidSwitch("-M")},
        {{"-s"}, invalidSwitch("-s")},
        {{"--"}, invalidSwitch("--")},
        {{"--log="}, invalidSwitch("--log=")},
        {{"--log"}, invalidSwitch("--log")},
        {{"--logfile=x"}, invalidSwitch("--logfile=x")},
        {{"--helpme"}, invalidSwitch("--helpme")},
        {{"--wiring=x"}, invalidSwitch("--wiring=x")},
        // switch groups
        {{"-ewv"}, switchGroup("-ewv")},
        {{"-bx"}, switchGroup("-bx")},
        {{"-e-x"}, switchGroup("-e-x")},
        {{"-r+x"}, switchGroup("-r+x")},
        {{"-v++"}, switchGroup("-v++")},
        {{"-w+pex"}, switchGroup("-w+pex")},
        {{"-kK"}, switchGroup("-kK")},
        {{"-!e"}, switchGroup("-!e")},
        {{"-1e"}, switchGroup("-1e")},
        {{"-%x"}, "Warning: use -id info level instead of obsolete -% switch\n" + switchGroup("-%x")},
        {{"-nx"}, switchGroup("-nx")},
        // information level
        {{"-iE"}, invalidValue('i', "-iE")},
        {{"-i7"}, invalidValue('i', "-i7")},
        {{"-ipx"}, invalidValue('i', "-ipx")},
        {{"-I9"}, invalidValue('I', "-I9")},
        {{"-iex"}, switchGroup("-iex")},
        {{"-ip+x"}, switchGroup("-ip+x")},
        {{"-i7x"}, switchGroup("-i7x")},
        // erase counter and lock
        {{"-n0"}, invalidValue('n', "-n0")},
        {{"-n65535"}, invalidValue('n', "-n65535")},
        {{"-n-1"}, invalidValue('n', "-n-1")},
        {{"-n99999999999999999999999"}, invalidValue('n', "-n99999999999999999999999")},
        {{"-l3"}, invalidValue('l', "-l3")},
        {{"-L+x"}, invalidValue('L', "-L+x")},
        // clock
        {{"-o"}, invalidValue('o', "-o")},
        {{"-oMHz"}, invalidValue('o', "-oMHz")},
        {{"-o8GHz"}, invalidValue('o', "-o8GHz")},
        {{"-o8MHzz"}, invalidValue('o', "-o8MHzz")},
        {{"-o8MHz x"}, invalidValue('o', "-o8MHz x")},
        {{"-o0,0"}, invalidValue('o', "-o0,0")},
        {{"-o0,257"}, invalidValue('o', "-o0,257")},
        {{"-o0,4x"}, invalidValue('o', "-o0,4x")},
        {{"-o0,"}, invalidValue('o', "-o0,")},
        {{"-o500kHz,"}, invalidValue('o', "-o500kHz,")},
        {{"-O0,-1"}, invalidValue('O', "-O0,-1")},
        {{"-o40.1MHz"}, oscRange},
        {{"-o999Hz"}, oscRange},
        {{"-o-8"}, oscRange},
        {{"-o8MHz,2"}, divider},
        {{"-o0,4", "-o8MHz"}, divider},
        // adapter group
        {{"-a"}, error("Adapter type or operation mode must be specified in -a switch\n")},
        {{"-ar"}, error("-ar switch not supported now, use adapter configuration file for inverted reset\n")},
        {{"-aR5"}, error("-ar switch not supported now, use adapter configuration file for inverted reset\n")},
        {{"-ai"}, error("Value required for switch '-ai'\n")},
        {{"-AIx"}, error("Value required for switch '-ai'\n")},
        {{"-ai5x"}, switchGroup("-ai5x")},
        {{"-ai0x"}, switchGroup("-ai0x")},
        {{"-ai0"}, invalidValue('a', "-ai0")},
        {{"-AI10001"}, invalidValue('A', "-AI10001")},
        {{"-ai20000"}, invalidValue('a', "-ai20000")},
        {{"-ai99999999999999"}, invalidValue('a', "-ai99999999999999")},
        {{"-ai100000000000000000000005"}, invalidValue('a', "-ai100000000000000000000005")},
        {{"-azq"}, switchGroup("-azq")},
        {{"-apz"}, switchGroup("-apz")},
        // files
        {{"-c"}, error("File name required for -c\n")},
        {{"-D"}, error("File name required for -D\n")},
        {{"-c", ""}, error("File name required for -c\n")},
        {{"a.hex", "b.hex", "c.hex"}, error("Too many files\n")},
        {{""}, error("Invalid command line\n")},
        {{":hex:code.hex"}, error("Invalid file type :hex:code.hex\n")},
        {{":ihexx:code.hex"}, error("Invalid file type :ihexx:code.hex\n")},
        {{"::code.hex"}, error("Invalid file type ::code.hex\n")},
        {{":bin:"}, error("File name required: ':bin:'\n")},
        {{":elf"}, error("File name required: ':elf'\n")},
        {{":elff:x"}, error("Invalid file type :elff:x\n")},
        {{"-ux"}, switchGroup("-ux")},
        {{"-ufl+"}, switchGroup("-ufl+")},
        {{":bin"}, error("File name required: ':bin'\n")},
        {{"a.hex", "-c", "b.hex"}, error("Can't use two files for CODE memory\n'a.hex'\n'b.hex'\n")},
        {{"-d:bin:x", "-d", ":ihex:y"}, error("Can't use two files for DATA memory\n'x'\n':ihex:y'\n")},
        {{"-f", "-fCKSEL=1"}, error("Only one -f switch can be used, place all fuses in one switch\n")},
        // special code/data commands
        {{"-D?SERNO2=10,f"}, badExtension("D?SERNO2=10,f")},
        {{"-C*SERNO2=10"}, badExtension("C*SERNO")},
        {{"-C*SERNO2=10,"}, badExtension("C*SERNO")},
        {{"-C*FOO=10"}, badExtension("C*FOO")},
        {{"-C*=10"}, badExtension("C*")},
        {{"-C*OSCCAL"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL1x=10"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL=zz"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL=FFFFFFFF"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL=100000000"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL=1E,x"}, badExtension("C*OSCCAL")},
        {{"-C*OSCCAL99999999999=1E"}, badExtension("C*OSCCAL")},
        {{"-C*BYTES3=100,A5C3"}, badExtension("C*BYTES")},
        {{"-C*BYTES1=100,G0"}, badExtension("C*BYTES")},
        {{"-C*BYTES1=100"}, badExtension("C*BYTES")},
        {{"-C?OSCCAL=1", "-D*OSCCAL=2"}, twoOfOneType},
        {{"-C*SERNO2=1,a", "-D*SERNO2=2,b"}, twoOfOneType},
    };
    for (const RejectCase& c : cases) {
        Request request;
        const Parsed result = parse(c.args, request);
        EXPECT_EQ(result.status, ExitUsage) << joinArgs(c.args);
        EXPECT_EQ(result.out, c.message) << joinArgs(c.args);
    }
}

TEST(CommandLine, CPlusIsAFileSwitchWithAnOddName) {
    // Only "*" and "?" start a special command; anything else after -c is a file name.
    Request request;
    EXPECT_EQ(parse({"-C+OSCCAL=10"}, request).status, Returned);
    EXPECT_EQ(request.codeFile.path, "+OSCCAL=10");
}

struct AcceptCase {
    std::vector<const char*> args;
    std::function<void(const Request&, const Parsed&)> check;
};

TEST(CommandLine, AcceptsEverySwitchForm) {
    const AcceptCase cases[] = {
        {{"+ATtiny13"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.chipName, "tiny13"); }},
        {{"+atMEGA8"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.chipName, "MEGA8"); }},
        {{"+m328p"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.chipName, "m328p"); }},
        {{"-u"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.useFirmware, UseFirmwareFuses | UseFirmwareLock | UseFirmwareAsFound);
         }},
        {{"-uF"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.useFirmware, UseFirmwareFuses); }},
        {{"-ul"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.useFirmware, UseFirmwareLock); }},
        {{"-ulf"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.useFirmware, UseFirmwareFuses | UseFirmwareLock); }},
        {{":ELF:fw.elf", "-d", "d.elf"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.codeFile.format, FormatElf);
             EXPECT_EQ(r.codeFile.path, "fw.elf");
             EXPECT_TRUE(r.codeFile.formatNamed);
             EXPECT_EQ(r.dataFile.format, FormatIntelHex);
             EXPECT_FALSE(r.dataFile.formatNamed);
         }},
        {{"+atT85"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.chipName, "T85"); }},
        {{"-e", "-w", "-v"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.erase);
             EXPECT_FALSE(r.saveEeprom);
             EXPECT_EQ(r.write, WriteRequested);
             EXPECT_TRUE(r.verify);
             EXPECT_FALSE(r.verifyAll);
         }},
        {{"-E-", "-W+p", "-V+", "-R+"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.saveEeprom);
             EXPECT_EQ(r.write, WriteRequested | WriteFillEeprom | WritePolling);
             EXPECT_TRUE(r.verifyAll);
             EXPECT_TRUE(r.read);
             EXPECT_TRUE(r.readKeepFF);
         }},
        {{"-wp"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.write, WriteRequested | WritePolling); }},
        {{"-w+pe"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.write, WriteRequested | WriteFillEeprom | WritePolling | WriteEepromPages);
         }},
        {{"-WE"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.write, WriteRequested | WriteEepromPages); }},
        {{"-wps"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.write, WriteRequested | WritePolling | WriteWhenDiffers);
         }},
        {{"--log=bench.log"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.logPath, "bench.log"); }},
        {{"--wiring"}, [](const Request& r, const Parsed&) { EXPECT_TRUE(r.showWiring); }},
        {{"-b"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.blankCheck, 3); }},
        {{"-bcd"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.blankCheck, 3); }},
        {{"-bc"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.blankCheck, BlankCheckCode); }},
        {{"-BD"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.blankCheck, BlankCheckData); }},
        {{"-bc", "-b"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.blankCheck, BlankCheckCode); }},
        {{"-ie"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelError); }},
        {{"-i2"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelWarning); }},
        {{"-ie", "-i"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelInfo); }},
        {{"-ie", "-ii"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelInfo); }},
        {{"-id"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelDebug); }},
        {{"-I5"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.level, LevelTrace); }},
        {{"-ip-"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.progressMode, 0); }},
        {{"-ip+"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.progressMode, 1); }},
        {{"-ip-", "-ip"}, [](const Request&, const Parsed& p) { EXPECT_EQ(p.progressMode, 2); }},
        {{"-%"},
         [](const Request&, const Parsed& p) {
             EXPECT_EQ(p.level, LevelDebug);
             EXPECT_EQ(p.out, "Warning: use -id info level instead of obsolete -% switch\n");
         }},
        {{"-n"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.eraseCounter);
             EXPECT_EQ(r.eraseCount, EraseCountNotGiven);
         }},
        {{"-n65534"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.eraseCount, 65534); }},
        {{"-N12abc"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.eraseCounter);
             EXPECT_EQ(r.eraseCount, 12);
         }},
        {{"-l2x"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.lockRequest, '2'); }},
        {{"-l+1"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.lockRequest, '1');
             EXPECT_TRUE(r.lockBeforeFuses);
         }},
        {{"-l1", "-l+"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.lockRequest, 0);
             EXPECT_TRUE(r.lockBeforeFuses);
         }},
        {{"-k"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.waitKey);
             EXPECT_FALSE(r.waitKeyEarly);
         }},
        {{"-K"},
         [](const Request& r, const Parsed&) {
             EXPECT_TRUE(r.waitKey);
             EXPECT_TRUE(r.waitKeyEarly);
         }},
        {{"-!"}, [](const Request& r, const Parsed&) { EXPECT_TRUE(r.forceChip); }},
        {{"-1"}, [](const Request& r, const Parsed&) { EXPECT_DOUBLE_EQ(r.delayScale, 1.5); }},
        {{"-3"}, [](const Request& r, const Parsed&) { EXPECT_DOUBLE_EQ(r.delayScale, 3.0); }},
        {{"-5", "-2"}, [](const Request& r, const Parsed&) { EXPECT_DOUBLE_EQ(r.delayScale, 2.0); }},
        // clock
        {{"-o8MHz"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.oscillatorHz, 8000000u);
             EXPECT_FALSE(r.frequencyIsSck);
         }},
        {{"-o8Mhz"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 8000000u); }},
        {{"-o3686.4"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 3686400u); }},
        {{"-o4.1"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 4100u); }},
        {{"-o1000Hz"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 1000u); }},
        {{"-o40MHz"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 40000000u); }},
        {{"-o500KHZ"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.oscillatorHz, 500000u); }},
        {{"-os500kHz"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.oscillatorHz, 500000u);
             EXPECT_TRUE(r.frequencyIsSck);
         }},
        {{"-os1MHz", "-o8MHz"}, [](const Request& r, const Parsed&) { EXPECT_FALSE(r.frequencyIsSck); }},
        {{"-o0,4"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.oscillatorHz, 0u);
             EXPECT_EQ(r.sckDivider, 4u);
         }},
        {{"-o0,256", "-o0"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.sckDivider, 256u); }},
        // adapter group
        {{"-ab", "-az", "-ap", "-ai150"},
         [](const Request& r, const Parsed&) {
             EXPECT_STREQ(r.adapterSpec, "b");
             EXPECT_TRUE(r.lazyBlaster);
             EXPECT_TRUE(r.powerFromData);
             EXPECT_DOUBLE_EQ(r.resetInactiveMs, 150.0);
         }},
        {{"-am:1=2:3", "-AZ"},
         [](const Request& r, const Parsed&) {
             EXPECT_STREQ(r.adapterSpec, "m:1=2:3");
             EXPECT_TRUE(r.lazyBlaster);
         }},
        {{"-ai10000"}, [](const Request& r, const Parsed&) { EXPECT_DOUBLE_EQ(r.resetInactiveMs, 10000.0); }},
        {{"-ai1"}, [](const Request& r, const Parsed&) { EXPECT_DOUBLE_EQ(r.resetInactiveMs, 1.0); }},
        // texts taken whole
        {{"-p/dev/ppi0"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.portSpec, "/dev/ppi0"); }},
        {{"-p"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.portSpec, ""); }},
        {{"-f"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.fuseList, ""); }},
        {{"-FCKSEL=1,SUT=2"}, [](const Request& r, const Parsed&) { EXPECT_STREQ(r.fuseList, "CKSEL=1,SUT=2"); }},
        // files
        {{"code.hex"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.codeFile.path, "code.hex");
             EXPECT_EQ(r.codeFile.format, FormatIntelHex);
             EXPECT_TRUE(r.dataFile.path.empty());
             EXPECT_TRUE(r.combinedFile);
         }},
        {{"code.hex", "data.hex"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.dataFile.path, "data.hex");
             EXPECT_FALSE(r.combinedFile);
         }},
        {{"-d", "data.hex", "code.hex"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.codeFile.path, "code.hex");
             EXPECT_EQ(r.dataFile.path, "data.hex");
             EXPECT_FALSE(r.combinedFile);
         }},
        {{"-c:BIN:x.bin"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.codeFile.path, "x.bin");
             EXPECT_EQ(r.codeFile.format, FormatBinary);
             EXPECT_FALSE(r.combinedFile);
         }},
        {{":IHEX:code.hex", "-D:bin:e.bin"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.codeFile.path, "code.hex");
             EXPECT_EQ(r.codeFile.format, FormatIntelHex);
             EXPECT_EQ(r.dataFile.path, "e.bin");
             EXPECT_EQ(r.dataFile.format, FormatBinary);
         }},
        {{"-C", "-e"}, [](const Request& r, const Parsed&) { EXPECT_EQ(r.codeFile.path, "-e"); }},
        // special code/data commands
        {{"-C?OSCCAL=1E,-3"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.osccalInsert.target, CodeLdi);
             EXPECT_EQ(r.osccalInsert.index, 0);
             EXPECT_EQ(r.osccalInsert.correction, -3);
             EXPECT_EQ(r.osccalInsert.address, 0x1Eu);
             EXPECT_TRUE(r.combinedFile);
         }},
        {{"-c*osccal2=10"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.osccalInsert.target, CodeByte);
             EXPECT_EQ(r.osccalInsert.index, 2);
             EXPECT_EQ(r.osccalInsert.correction, 0);
             EXPECT_EQ(r.osccalInsert.address, 0x10u);
         }},
        {{"-D*SERNO4=1F0,serial.txt"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.serialInsert.target, DataByte);
             EXPECT_EQ(r.serialInsert.length, 4);
             EXPECT_STREQ(r.serialInsert.file, "serial.txt");
             EXPECT_EQ(r.serialInsert.address, 0x1F0u);
         }},
        {{"-C*BYTES3=100,A5C3ff"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.bytesInsert.target, CodeByte);
             EXPECT_EQ(r.bytesInsert.count, 3);
             EXPECT_EQ(r.bytesInsert.bytes, (std::vector<uint8_t>{0xA5, 0xC3, 0xFF}));
             EXPECT_EQ(r.bytesInsert.address, 0x100u);
         }},
        {{"-C*BYTES1=1,00", "-D*BYTES2=2,0102"},
         [](const Request& r, const Parsed&) {
             EXPECT_EQ(r.bytesInsert.target, DataByte);
             EXPECT_EQ(r.bytesInsert.bytes, (std::vector<uint8_t>{0x01, 0x02}));
             EXPECT_EQ(r.bytesInsert.address, 2u);
         }},
    };
    for (const AcceptCase& c : cases) {
        Request request;
        const Parsed result = parse(c.args, request);
        EXPECT_EQ(result.status, Returned) << joinArgs(c.args) << "\n" << result.out;
        c.check(request, result);
    }
}

TEST(CommandLine, DefaultsWithoutSwitches) {
    Request request;
    ASSERT_EQ(parse({"+mega8"}, request).status, Returned);
    EXPECT_EQ(request.oscillatorHz, 800000u);
    EXPECT_EQ(request.sckDivider, 1u);
    EXPECT_DOUBLE_EQ(request.resetInactiveMs, 2.0);
    EXPECT_DOUBLE_EQ(request.delayScale, 1.0);
    EXPECT_EQ(request.eraseCount, EraseCountNotGiven);
    EXPECT_EQ(request.fuseList, nullptr);
    EXPECT_EQ(request.portSpec, nullptr);
    EXPECT_EQ(request.adapterSpec, nullptr);
    EXPECT_EQ(request.osccalInsert.address, NoInsertAddress);
    EXPECT_FALSE(request.filesGiven());
}

TEST(CommandLine, BannerShowsWhateverLevelFollows) {
    Request request;
    const Parsed result = parse({"-ie", "-x"}, request);
    EXPECT_EQ(result.out, invalidSwitch("-x"));  // errors still show at -ie
}

TEST(CommandLine, HelpSwitchEndsTheRunWithStatusZero) {
    struct HelpCase {
        std::vector<const char*> args;
        bool chipPage;
    };
    const HelpCase cases[] = {
        {{"-h"}, false},
        {{"-?"}, false},
        {{"-ie", "-H"}, false},
        {{"-h", "+tiny13"}, false},
        {{"-h", "-x"}, false},  // nothing after the help is looked at
        {{"+tiny13", "-h"}, true},
        {{"+ATtiny13", "-ie", "-?"}, true},
        {{"+tiny13", "--help"}, true},
    };
    for (const HelpCase& c : cases) {
        Request request;
        const Parsed result = parse(c.args, request);
        EXPECT_EQ(result.status, ExitOk) << joinArgs(c.args);
        EXPECT_EQ(result.level, LevelInfo) << joinArgs(c.args);
        const bool hasChipPage =
            result.out.find("\ntiny13|tiny13A: signature 1E9007, Flash 1KB, EEPROM 64B\n") != std::string::npos;
        const bool hasHelp = result.out.find("Use:\tmervex [SWITCHES]") != std::string::npos;
        EXPECT_EQ(hasChipPage, c.chipPage) << joinArgs(c.args);
        EXPECT_EQ(hasHelp, !c.chipPage) << joinArgs(c.args);
    }
}

TEST(CommandLine, HelpTextIsWholeAndEndsWithDeviceList) {
    Request request;
    const Parsed result = parse({"-h"}, request);
    const std::string& out = result.out;
    // The about text, an empty line, then the summary.
    EXPECT_EQ(out.rfind(std::string(AboutText) + "\nUse:\tmervex [SWITCHES] [[-c] cfile] [-d dfile]\n"
                                                 "\tSwitches (# represents number)\n\n -?,-h\t this help\n"
                                                 " -i set information level to not more than\n"
                                                 "     -ie or -i1  -- errors\n",
                        0),
              0u);
    // Lines that straddle the point where one long text would have been cut.
    EXPECT_NE(out.find(" -p<device>\n    <device> -- /dev/ppiN - ppi special file\n"
                       " -o#[Hz|kHz|MHz] define MCU oscillator frequency\n"),
              std::string::npos);
    EXPECT_NE(out.find("\t<list> syntax:\n\t    fusename=val,bytename=val,...\n"), std::string::npos);
    // The built-in cables' lines come from their table, amid the fixed lines.
    EXPECT_NE(out.find("(pin configuration entries as in config file)\n"
                       "    -ab  Altera ByteBlaster, ByteBlasterMV or ByteBlaster-II\n"
                       "    -as  STK200 or STK300 adapter\n"
                       "    -ax  XILINX parallel download cable\n"
                       "    -az  \"laZyBlaster\""),
              std::string::npos);
    // Switches added later come after the fixed text, before the devices.
    EXPECT_NE(out.find("\ttype 'mervex +name -h'\n\tfor list of fuse names for chip 'name'\n"
                       " -c,-d\t:elf: prefix for avr-gcc's ELF files (known without it too):\n"
                       "\tflash and EEPROM contents, checked against the chip's signature\n"
                       " -u[f][l]\tUse fuses (f) and lock bits (l) of the ELF file (both by default)\n"
                       "\twritten with -w like -f and -l, which take precedence; verified with -v\n"
                       " -r alone (no files)\tidentify the chip: signature, name, fuses, lock state;\n"
                       "\tnothing is changed, and +name may be left out\n"
                       " --version\tprint the version and the system it was built for\n"
                       " --help\tthis help, as -h\n"
                       " --wiring\tdraw the wiring of the cable that -a names: each DB-25 pin with its\n"
                       "\tsignal and the ISP header pins it goes to; nothing else is done\n"
                       " --check\tfind out why a chip does not answer: port, cable, target, clock;\n"
                       "\tnothing is written, and +name may be left out\n"
                       "\nSupported devices:\n 86RF401"),
              std::string::npos);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.substr(out.size() - 2), "\n\n");
    EXPECT_EQ(out.find("ERROR"), std::string::npos);
    Request longRequest;
    EXPECT_EQ(parse({"--help"}, longRequest).out, out);
}

}  // namespace
}  // namespace mervex
