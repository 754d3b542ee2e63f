// The shell completions, driven as the shells drive them: bash through its
// completion variables, fish through `complete -C`; zsh is checked for syntax.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "chip/DeviceTable.h"
#include "support/Files.h"
#include "support/RunProgram.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellQuote;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) result.push_back(line);
    }
    return result;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Every chip name of the device table, alternatives split, with a "+" before it.
std::set<std::string> allChipWords() {
    std::set<std::string> names;
    for (int row = 0; row < ChipTableRows; ++row) {
        std::istringstream alternatives(chipTable[row].names);
        std::string name;
        while (std::getline(alternatives, name, '|')) names.insert("+" + name);
    }
    return names;
}

const std::string ProgramDir = fs::path(MERVEX_BINARY).parent_path().string();
const std::string SourceDir = MERVEX_SOURCE_DIR;

// A directory with a few files for the file-name completions.
class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        for (const char* name : {"code.hex", "code.bin", "board.vchip"}) test::writeFile(dir_.path() / name, "x");
        fs::create_directory(dir_.path() / "sub");
    }

    // Run a shell in the directory with the built program first on PATH and the
    // shipped pin maps on the configuration path.
    test::Outcome inShell(const std::string& command) const {
        return runShell("cd " + shellQuote(dir_.str()) + " && env PATH=" + shellQuote(ProgramDir) + ":\"$PATH\"" +
                        " MERVEX_CONFIG_PATH=" + shellQuote(SourceDir + "/examples/pinmaps") + " " + command);
    }

    // What bash offers for the line with the cursor at its end, as bash would
    // insert it (the part after the last "=" or ":").
    std::vector<std::string> bash(const std::string& line, const std::string& program = "mervex") const {
        const std::string function = "_" + std::string(program == "mervex" ? "mervex" : "mervex_vchip");
        const std::string script = "source " + shellQuote(SourceDir + "/completions/" + program + ".bash") +
                                   " && COMP_LINE=" + shellQuote(line) + " && COMP_POINT=${#COMP_LINE} && " +
                                   function + " && printf '%s\\n' \"${COMPREPLY[@]}\"";
        const test::Outcome result = inShell("bash --norc --noprofile -c " + shellQuote(script));
        EXPECT_EQ(result.status, 0) << line << "\n" << result.out;
        return lines(result.out);
    }

    // What fish offers for the line, descriptions cut off.
    std::vector<std::string> fish(const std::string& line) const {
        const std::string script = "source " + shellQuote(SourceDir + "/completions/mervex.fish") + "; complete -C" +
                                   shellQuote(line) + " | cut -f1";
        const test::Outcome result = inShell("fish --no-config -c " + shellQuote(script));
        EXPECT_EQ(result.status, 0) << line << "\n" << result.out;
        return lines(result.out);
    }

    test::TempDir dir_{"complete"};
};

struct Case {
    const char* line;
    std::vector<std::string> bash;  // as bash inserts them, in any order
    std::vector<std::string> fish;  // whole words; empty: the same as bash
};

const Case cases[] = {
    {"mervex +ATmega8 -fCK", {"-fCKOPT=", "-fCKSEL="}, {}},
    {"mervex +mega8 -fSUT=0,BOOT", {"0,BOOTRST=", "0,BOOTSZ="}, {"-fSUT=0,BOOTRST=", "-fSUT=0,BOOTSZ="}},
    {"mervex +mega8 -fBOOTRST=", {"OFF", "ON"}, {"-fBOOTRST=OFF", "-fBOOTRST=ON"}},
    {"mervex +mega8 -f_", {"-f_HIGH=", "-f_LOCK=", "-f_LOW="}, {}},
    {"mervex +tiny13 -fCK", {"-fCKDIV=", "-fCKDIV8=", "-fCKSEL="}, {}},  // names and aliases
    {"mervex -fCK", {}, {}},  // no chip named before: no fuse names
    {"mervex -a", {"-aa", "-ab", "-ai", "-am:", "-am=", "-ap", "-as", "-ax", "-az"}, {}},
    {"mervex -am=vud", {"vuder-leds-key.cfg", "vuder.cfg"}, {"-am=vuder-leds-key.cfg", "-am=vuder.cfg"}},
    {"mervex -ip", {"-ip", "-ip+", "-ip-"}, {}},
    {"mervex -i5", {"-i5"}, {}},
    {"mervex -w", {"-w", "-w+", "-w+e", "-w+p", "-w+pe", "-we", "-wp", "-wpe", "-wpes", "-wps", "-ws"}, {}},
    {"mervex -r", {"-r", "-r+"}, {}},
    {"mervex -v", {"-v", "-v+"}, {}},
    {"mervex -e", {"-e", "-e-"}, {}},
    {"mervex +mega8 -w co", {"code.bin", "code.hex"}, {}},
    {"mervex +mega8 -w -c co", {"code.bin", "code.hex"}, {}},
    {"mervex +mega8 -w -ccode.h", {"-ccode.hex"}, {}},
    {"mervex +mega8 -w :bin:code.b", {"code.bin"}, {":bin:code.bin"}},
    {"mervex +mega8 -w :", {"ihex:", "bin:", "elf:"}, {":bin:", ":elf:", ":ihex:"}},
    {"mervex -u", {"-u", "-uf", "-ul"}, {}},
    {"mervex --", {"--help", "--log=", "--version", "--wiring"}, {}},
    {"mervex +mega8 -p./bo", {"-p./board.vchip"}, {}},
    // -p offers what it takes: devices, virtual targets and directories.
    {"mervex +mega8 -pbo", {"-pboard.vchip"}, {}},
    {"mervex +mega8 -pco", {}, {}},
    {"mervex +mega8 -ps", {"-psub/"}, {}},
    // The format prefix after "-d" is kept once.
    {"mervex +mega8 -w -d :ihex:co", {"code.bin", "code.hex"}, {":ihex:code.bin", ":ihex:code.hex"}},
    // A fuse of more than one bit takes its values, not ON/OFF.
    {"mervex +mega8 -fBOOTSZ=", {"0", "1", "2", "3"}, {"-fBOOTSZ=0", "-fBOOTSZ=1", "-fBOOTSZ=2", "-fBOOTSZ=3"}},
    {"mervex +mega8 -fSUT=1,BSIZ=", {"0", "1", "2", "3"},
     {"-fSUT=1,BSIZ=0", "-fSUT=1,BSIZ=1", "-fSUT=1,BSIZ=2", "-fSUT=1,BSIZ=3"}},
    {"mervex +mega8 -f_LOW=", {}, {}},
    {"mervex +mega8 -w s", {"sub/"}, {}},
};

TEST_F(Completion, BashOffersSwitchesFuseNamesPinMapsAndFiles) {
    for (const Case& c : cases) {
        EXPECT_EQ(sorted(bash(c.line)), sorted(c.bash)) << c.line;
    }
}

TEST_F(Completion, BashCompletesTheVirtualTargetTool) {
    const struct {
        const char* line;
        std::vector<std::string> offered;
    } vchipCases[] = {
        {"mervex-vchip s", {"set", "show"}},
        {"mervex-vchip new mega16H", {"mega16HVA", "mega16HVB", "mega16HVBrevB"}},
        {"mervex-vchip new mega8 x.vchip cable=stk", {"stk200", "stk300"}},
        {"mervex-vchip new mega8 x.vchip --f", {"--force"}},
        {"mervex-vchip show bo", {"board.vchip"}},
        {"mervex-vchip show co", {}},
        {"mervex-vchip dump board.vchip ", {"eeprom", "flash"}},
        {"mervex-vchip load board.vchip flash code.hex ", {"bin", "hex"}},
        {"mervex-vchip set board.vchip fault.sig", {"fault.signal=", "fault.signature="}},
    };
    for (const auto& c : vchipCases) {
        EXPECT_EQ(sorted(bash(c.line, "mervex-vchip")), sorted(c.offered)) << c.line;
    }
}

TEST_F(Completion, BashOffersEveryChipName) {
    const std::vector<std::string> offered = bash("mervex +");
    const std::set<std::string> unique(offered.begin(), offered.end());
    EXPECT_EQ(unique.size(), offered.size());
    EXPECT_EQ(unique, allChipWords());
    EXPECT_EQ(sorted(bash("mervex +mega16H")), sorted({"+mega16HVA", "+mega16HVB", "+mega16HVBrevB"}));
    EXPECT_EQ(sorted(bash("mervex +mega48")), sorted({"+mega48", "+mega48A", "+mega48P", "+mega48PA", "+mega48PB"}));
}

TEST_F(Completion, FishOffersTheSameWords) {
    if (!test::haveProgram("fish")) GTEST_SKIP() << "fish is not installed";
    for (const Case& c : cases) {
        if (std::string(c.line).find(" s") != std::string::npos) continue;  // fish lists directories its own way
        EXPECT_EQ(sorted(fish(c.line)), sorted(c.fish.empty() ? c.bash : c.fish)) << c.line;
    }
    const std::vector<std::string> chips = fish("mervex +");
    EXPECT_EQ(std::set<std::string>(chips.begin(), chips.end()), allChipWords());
}

TEST_F(Completion, ZshScriptParses) {
    if (!test::haveProgram("zsh")) GTEST_SKIP() << "zsh is not installed";
    const test::Outcome result = runShell("zsh -n " + shellQuote(SourceDir + "/completions/_mervex"));
    EXPECT_EQ(result.status, 0) << result.out;
}

}  // namespace
}  // namespace mervex
