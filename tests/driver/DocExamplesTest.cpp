// Every command example of the README, ARCHITECTURE.md and the man pages is
// taken from the documents themselves and run, so the documents cannot drift
// from the program.
//
// An example is a line of a README code block or of a man page .EX/.EE block
// that starts with "mervex " or "mervex-vchip ", or a README `code` span that
// starts with "mervex ". A block that uses mervex-vchip is run as it stands, command
// after command, in one directory. Any other mervex command runs on its own
// virtual target: the chip of its "+CHIP", the cable its -a switches name, its
// -p switch pointed at the target file, the target holding code.hex in flash and
// eeprom.hex in EEPROM; a -p that names a GPIO chip makes it a target on the
// rpi wiring of GPIO lines. Every example must end with status 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/RunProgram.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellQuote;

const fs::path SourceDir = MERVEX_SOURCE_DIR;

struct Example {
    std::string where;    // file:line
    int block = -1;       // examples of one code block share the number; -1 stands alone
    std::string command;  // as a shell would read it
};

bool isExampleCommand(const std::string& text) {
    return text.rfind("mervex ", 0) == 0 || text.rfind("mervex-vchip ", 0) == 0;
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<Example> readmeExamples(const fs::path& path) {
    std::vector<Example> examples;
    std::istringstream in(test::readFile(path));
    std::string line;
    int number = 0;
    int block = 0;
    bool fenced = false;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = path.filename().string() + ":" + std::to_string(number);
        const std::string text = trim(line);
        if (text.rfind("```", 0) == 0) {
            fenced = !fenced;
            if (fenced) ++block;
            continue;
        }
        if (fenced) {
            if (isExampleCommand(text)) examples.push_back({where, block, text});
            continue;
        }
        for (size_t open = line.find('`'); open != std::string::npos;) {
            const size_t close = line.find('`', open + 1);
            if (close == std::string::npos) break;
            const std::string span = line.substr(open + 1, close - open - 1);
            // Inline spans name mervex-vchip only in synopses, not as examples.
            if (span.rfind("mervex ", 0) == 0) examples.push_back({where, -1, span});
            open = line.find('`', close + 1);
        }
    }
    return examples;
}

// The text of a man page line as the reader sees it.
std::string unescapeRoff(const std::string& line) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            text += line[i];
            continue;
        }
        const char next = line[i + 1];
        if (next == '-') {
            text += '-';
            ++i;
        } else if (next == 'e') {
            text += '\\';
            ++i;
        } else if (next == '&') {
            ++i;
        } else if (line.compare(i, 4, "\\(aq") == 0) {
            text += '\'';
            i += 3;
        } else if (line.compare(i, 4, "\\(dq") == 0) {
            text += '"';
            i += 3;
        } else {
            text += line[i];
        }
    }
    return text;
}

std::vector<Example> manExamples(const fs::path& path) {
    std::vector<Example> examples;
    std::istringstream in(test::readFile(path));
    std::string line;
    int number = 0;
    int block = 0;
    bool inExample = false;
    while (std::getline(in, line)) {
        ++number;
        if (line.rfind(".EX", 0) == 0) {
            inExample = true;
            ++block;
        } else if (line.rfind(".EE", 0) == 0) {
            inExample = false;
        } else if (inExample) {
            const std::string text = trim(unescapeRoff(line));
            if (isExampleCommand(text)) {
                examples.push_back({path.filename().string() + ":" + std::to_string(number), block, text});
            }
        }
    }
    return examples;
}

// Whitespace-separated words with single quotes removed; enough for examples.
std::vector<std::string> words(const std::string& command) {
    std::vector<std::string> result;
    std::istringstream in(command);
    std::string word;
    while (in >> word) {
        word.erase(std::remove(word.begin(), word.end(), '\''), word.end());
        result.push_back(word);
    }
    return result;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The pin-map entries of a file, as one ':'-separated text.
std::string pinMapEntries(const fs::path& file) {
    std::istringstream in(test::readFile(file));
    std::string line;
    std::string entries;
    while (std::getline(in, line)) {
        line = trim(line.substr(0, std::min(line.find('#'), line.find(';'))));
        if (!line.empty()) entries += (entries.empty() ? "" : ":") + line;
    }
    return entries;
}

// Frequency in Hz of an -o switch value such as "8MHz", "3686.4" (kHz) or "500Hz".
std::string clockSetting(const std::string& value) {
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const std::string unit = end;
    double hz = number * 1000;
    if (startsWithNoCase(unit, "MHz")) hz = number * 1e6;
    if (startsWithNoCase(unit, "Hz")) hz = number;
    return std::to_string(static_cast<unsigned long>(hz));
}

// The mervex-vchip settings of a target fit for the command's chip and switches.
struct TargetPlan {
    std::string chip = "mega8";
    std::vector<std::string> settings;
};

TargetPlan planTarget(const std::vector<std::string>& args, const fs::path& dir) {
    TargetPlan plan;
    std::string cable = "vuder";
    bool lazy = false;
    bool power = false;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '+') {
            plan.chip = startsWithNoCase(a.substr(1), "AT") ? a.substr(3) : a.substr(1);
        } else if (startsWithNoCase(a, "-am=")) {
            const fs::path name = a.substr(4);
            const fs::path file = fs::exists(dir / name) ? dir / name : SourceDir / "examples/pinmaps" / name;
            cable = "user:" + pinMapEntries(file);
        } else if (startsWithNoCase(a, "-am:")) {
            cable = "user:" + a.substr(4);
        } else if (startsWithNoCase(a, "-ab")) {
            cable = "byteblaster";
        } else if (startsWithNoCase(a, "-as") || startsWithNoCase(a, "-aa")) {
            cable = "stk200";
        } else if (startsWithNoCase(a, "-ax")) {
            cable = "xilinx";
        } else if (startsWithNoCase(a, "-az")) {
            lazy = true;
        } else if (startsWithNoCase(a, "-ap")) {
            power = true;
        } else if (a == "-k" || a == "-K") {
            // Pressed after the supply's settling time, so the run sees a press, not a held key.
            plan.settings.push_back("key=500-");
        } else if (startsWithNoCase(a, "-o0")) {
            plan.settings.push_back("clock=0");
        } else if (startsWithNoCase(a, "-o") && !startsWithNoCase(a, "-os")) {
            plan.settings.push_back("clock=" + clockSetting(a.substr(2)));
        }
    }
    if (cable == "vuder" && (lazy || power)) cable = lazy && power ? "vuder-azp" : lazy ? "vuder-az" : "vuder-ap";
    // A GPIO chip's examples use the rpi wiring, which the target's gpio cable has.
    for (const std::string& a : args)
        if (a == "-pgpio" || startsWithNoCase(a, "-p/dev/gpiochip")) cable = "gpio";
    plan.settings.push_back("cable=" + cable);
    return plan;
}

class DocExamples : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef MERVEX_VCHIP_BINARY
        GTEST_SKIP() << "mervex-vchip is not built";
#else
        programDirs_ = shellQuote(fs::path(MERVEX_BINARY).parent_path().string()) + ":" +
                       shellQuote(fs::path(MERVEX_VCHIP_BINARY).parent_path().string());
#endif
    }

    // A fresh directory with the files the examples name.
    void prepare(const fs::path& dir) const {
        const fs::path blink = SourceDir / "examples/blink-mega8";
        fs::copy_file(blink / "blink.hex", dir / "code.hex");
        fs::copy_file(blink / "blink.bin", dir / "code.bin");
        fs::copy_file(blink / "blink.eep.hex", dir / "eeprom.hex");
        fs::copy_file(SourceDir / "examples/firmware-mega328p/firmware.elf", dir / "firmware.elf");
        test::writeFile(dir / "serial.txt", "1000\n");
    }

    test::Outcome inDir(const fs::path& dir, const std::string& command) const {
        return runShell("cd " + shellQuote(dir.string()) + " && PATH=" + programDirs_ + ":\"$PATH\" MERVEX_CONFIG_PATH=" +
                        shellQuote((SourceDir / "examples/pinmaps").string()) + " && export PATH MERVEX_CONFIG_PATH && " +
                        command);
    }

    // Run one mervex command on a target made for it; the failure, or "".
    std::string runOnOwnTarget(const Example& example) const {
        test::TempDir dir("example");
        prepare(dir.path());
        const std::vector<std::string> args = words(example.command);
        const TargetPlan plan = planTarget(args, dir.path());
        std::string make = "mervex-vchip new " + shellQuote(plan.chip) + " board.vchip";
        for (const std::string& s : plan.settings) make += " " + shellQuote(s);
        make += " && mervex-vchip load board.vchip flash code.hex && mervex-vchip load board.vchip eeprom eeprom.hex";
        const test::Outcome made = inDir(dir.path(), make);
        if (made.status != 0) return example.where + ": " + make + "\n" + made.out;

        std::istringstream in(example.command);
        std::string word;
        std::string command;
        while (in >> word) {
            if (word.rfind("-p", 0) == 0 || word.rfind("-P", 0) == 0) word = "-p./board.vchip";
            command += (command.empty() ? "" : " ") + word;
        }
        const test::Outcome run = inDir(dir.path(), command);
        if (run.status != 0) {
            return example.where + ": " + example.command + "\nstatus " + std::to_string(run.status) + "\n" + run.out;
        }
        return "";
    }

    // Run the commands of one block in order, in one directory; the failure, or "".
    std::string runBlock(const std::vector<Example>& block) const {
        test::TempDir dir("example");
        prepare(dir.path());
        for (const Example& example : block) {
            const test::Outcome run = inDir(dir.path(), example.command);
            if (run.status != 0) {
                return example.where + ": " + example.command + "\nstatus " + std::to_string(run.status) + "\n" +
                       run.out;
            }
        }
        return "";
    }

    // The runs mostly wait on the programming delays, so several go at once.
    void runAll(const std::vector<Example>& examples) const {
        std::vector<std::function<std::string()>> jobs;
        for (size_t i = 0; i < examples.size();) {
            size_t end = i + 1;
            if (examples[i].block >= 0) {
                while (end < examples.size() && examples[end].block == examples[i].block) ++end;
            }
            const bool usesVchip = std::any_of(examples.begin() + long(i), examples.begin() + long(end),
                                               [](const Example& e) { return e.command.rfind("mervex-vchip ", 0) == 0; });
            if (usesVchip) {
                std::vector<Example> block(examples.begin() + long(i), examples.begin() + long(end));
                jobs.push_back([this, block] { return runBlock(block); });
            } else {
                for (size_t k = i; k < end; ++k) {
                    const Example& example = examples[k];
                    jobs.push_back([this, &example] { return runOnOwnTarget(example); });
                }
            }
            i = end;
        }
        constexpr size_t Parallel = 8;
        for (size_t first = 0; first < jobs.size(); first += Parallel) {
            std::vector<std::future<std::string>> running;
            for (size_t k = first; k < std::min(jobs.size(), first + Parallel); ++k) {
                running.push_back(std::async(std::launch::async, jobs[k]));
            }
            for (std::future<std::string>& job : running) {
                const std::string failure = job.get();
                EXPECT_EQ(failure, "");
            }
        }
    }

    std::string programDirs_;
};

TEST_F(DocExamples, ReadmeExamplesRun) {
    const std::vector<Example> examples = readmeExamples(SourceDir / "README.md");
    EXPECT_GE(examples.size(), 30u);
    runAll(examples);
}

// The command whose road ARCHITECTURE.md follows.
TEST_F(DocExamples, ArchitectureExampleRuns) {
    const std::vector<Example> examples = readmeExamples(SourceDir / "ARCHITECTURE.md");
    EXPECT_EQ(examples.size(), 1u);
    runAll(examples);
}

TEST_F(DocExamples, ManPageExamplesRun) {
    const std::vector<Example> examples = manExamples(SourceDir / "docs/mervex.1");
    EXPECT_GE(examples.size(), 8u);
    runAll(examples);
}

TEST_F(DocExamples, VchipManPageExamplesRun) {
    const std::vector<Example> examples = manExamples(SourceDir / "docs/mervex-vchip.1");
    EXPECT_GE(examples.size(), 4u);
    runAll(examples);
}

// The README's switch table names every switch and gives each row an example.
TEST(DocTables, ReadmeSwitchTableCoversEverySwitch) {
    std::istringstream in(test::readFile(SourceDir / "README.md"));
    std::string line;
    std::string firstColumns;
    bool inSection = false;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## Switches";
        if (!inSection || line.rfind("| `", 0) != 0) continue;
        ++rows;
        firstColumns += line.substr(0, line.find(" | ", 2)) + "\n";
        EXPECT_NE(line.find("| `mervex "), std::string::npos) << "no example: " << line;
    }
    EXPECT_GE(rows, 30);
    for (const char* name : {"`-h`", "`-?`", "`+CHIP`", "`-p", "`-ie`", "`-iw`", "`-i`", "`-id`", "`-it`",
                             "`-ip-`", "`-ip`", "`-ip+`", "`-ab`", "`-as`", "`-ax`", "`-aa`", "`-am=",
                             "`-am:", "`-az`", "`-ap`", "`-ai#`", "`-k`", "`-K`", "`-o#`", "`-os#`", "`-o0",
                             "`-1`", "`-5`", "`-!`", "`-c ", "`-d ", "`:ihex:`", "`:bin:`", "`-e`", "`-e-`",
                             "`-b`", "`-bc`", "`-bd`", "`-r`", "`-r+`", "`-w`", "`-w+`", "`-wp`", "`-v`", "`-v+`",
                             "`-l1`", "`-l2`", "`-l+#`", "`-fLIST`", "`-n[#]`", "`-C*OSCCAL", "`-C*SERNO",
                             "`-C*BYTES", "`-%`"}) {
        EXPECT_NE(firstColumns.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace mervex
